#pragma once
// A MODBUS slave that is not ours: libmodbus serving a register block on a
// serial device (one end of a pseudo-terminal pair) from its own thread.
#include <modbus/modbus.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

#include "protocol/registers.h"

// A libmodbus slave serving `block` at `address` on `path` until stopped.
class LibmodbusSlave {
 public:
  LibmodbusSlave(const std::string& path, int address, const protocol::RegisterBlock& block)
      : map_(modbus_mapping_new(0, 0, protocol::kRegisterCount, 0)) {
    std::memcpy(map_->tab_registers, block.regs.data(), sizeof(std::uint16_t) * protocol::kRegisterCount);
    ctx_ = modbus_new_rtu(path.c_str(), 9600, 'N', 8, 1);
    modbus_set_slave(ctx_, address);
    connected_ = modbus_connect(ctx_) == 0;
    modbus_set_indication_timeout(ctx_, 0, 100000);
    thread_ = std::thread([this] { Run(); });
  }
  ~LibmodbusSlave() {
    Stop();
    modbus_mapping_free(map_);
    modbus_close(ctx_);
    modbus_free(ctx_);
  }
  bool connected() const { return connected_; }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  // Only after Stop().
  std::uint16_t Register(int i) const { return map_->tab_registers[i]; }

 private:
  void Run() {
    std::uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
    while (!stop_ && connected_) {
      const int rc = modbus_receive(ctx_, request);
      if (rc > 0) modbus_reply(ctx_, request, rc, map_);
    }
  }

  modbus_mapping_t* map_;
  modbus_t* ctx_ = nullptr;
  bool connected_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A register block with a value of every kind in every field (a status of 1,
// a unit of 0x0100, a serial number above 2^31), for decoding tests.
inline protocol::RegisterBlock KnownRegisterBlock() {
  protocol::RegisterBlock block;
  block.SetFloat(protocol::DoValue, 7.89f);
  block.SetFloat(protocol::Temperature, -3.456f);
  block.SetFloat(protocol::PhaseDiff, 31.25f);
  block.SetFloat(protocol::RedPhase, 45.5f);
  block.SetFloat(protocol::GreenPhase, 14.25f);
  block.regs[protocol::RedAmplitude] = 1234;
  block.regs[protocol::RedGain] = 4;
  block.regs[protocol::GreenAmplitude] = 987;
  block.regs[protocol::GreenGain] = 2;
  block.SetFloat(protocol::SoftwareVersion, 1.23f);
  block.regs[protocol::DeviceType] = 2;
  block.regs[protocol::Status] = 1;
  block.regs[protocol::Unit] = 0x0100;
  block.regs[protocol::Filter] = 17;
  block.SetFloat(protocol::Pressure, 99.8f);
  block.SetFloat(protocol::ZeroCalValue, 61.5f);
  block.SetFloat(protocol::AirCalValue, 1234.5678f);
  block.SetFloat(protocol::FactoryZeroCal, 62.0f);
  block.SetFloat(protocol::FactoryAirCal, 12.34567f);
  block.SetU32(protocol::SerialNumber, 3000000000u);
  block.regs[protocol::DeviceAddress] = 9;
  block.regs[protocol::Command] = 3;
  return block;
}
