#include "protocol/registers.h"

namespace protocol {

RtuFrame PollBlock(std::uint8_t address) {
  return BuildReadRequest(address, 0, kRegisterCount);
}

RtuFrame WriteUnit(std::uint8_t address, std::uint16_t unit) {
  return BuildWrite16(address, Unit, unit);
}
RtuFrame WriteFilter(std::uint8_t address, std::uint16_t filter) {
  return BuildWrite16(address, Filter, filter);
}
RtuFrame WritePressure(std::uint8_t address, float pressure) {
  return BuildWriteFloat(address, Pressure, pressure);
}
RtuFrame WriteZeroCalValue(std::uint8_t address, float value) {
  return BuildWriteFloat(address, ZeroCalValue, value);
}
RtuFrame WriteAirCalValue(std::uint8_t address, float value) {
  return BuildWriteFloat(address, AirCalValue, value);
}
RtuFrame WriteFactoryZeroCal(std::uint8_t address, float value) {
  return BuildWriteFloat(address, FactoryZeroCal, value);
}
RtuFrame WriteFactoryAirCal(std::uint8_t address, float value) {
  return BuildWriteFloat(address, FactoryAirCal, value);
}
RtuFrame WriteSerialNumber(std::uint8_t address, std::uint32_t serial) {
  return BuildWrite32(address, SerialNumber, serial);
}
RtuFrame WriteDeviceAddress(std::uint8_t address, std::uint16_t newAddress) {
  return BuildWrite16(address, DeviceAddress, newAddress);
}
RtuFrame StartZeroCal(std::uint8_t address) {
  return BuildWrite16(address, Command, CommandZeroCal);
}
RtuFrame StartAirCal(std::uint8_t address) {
  return BuildWrite16(address, Command, CommandAirCal);
}
RtuFrame RestoreFactoryCal(std::uint8_t address) {
  return BuildWrite16(address, Command, CommandRestoreFactoryCal);
}

std::uint16_t ToggledUnit(std::uint16_t currentUnit) { return currentUnit == 0 ? 1 : 0; }

std::uint16_t DecodeU16(const std::uint8_t* reply, Register reg) {
  const std::size_t at = RegisterOffset(reg);
  return static_cast<std::uint16_t>((reply[at] << 8) | reply[at + 1]);
}

std::uint32_t DecodeU32(const std::uint8_t* reply, Register reg) {
  return DecodeWord32(reply + RegisterOffset(reg));
}

float DecodeFloat(const std::uint8_t* reply, Register reg) {
  return FloatFromBits(DecodeU32(reply, reg));
}

SensorReading DecodePollReply(const std::uint8_t* reply) {
  SensorReading r;
  r.doValue = DecodeFloat(reply, DoValue);
  r.temperature = DecodeFloat(reply, Temperature);
  r.phaseDiff = DecodeFloat(reply, PhaseDiff);
  r.redPhase = DecodeFloat(reply, RedPhase);
  r.greenPhase = DecodeFloat(reply, GreenPhase);
  r.redAmplitude = DecodeU16(reply, RedAmplitude);
  r.redGain = DecodeU16(reply, RedGain);
  r.greenAmplitude = DecodeU16(reply, GreenAmplitude);
  r.greenGain = DecodeU16(reply, GreenGain);
  r.softwareVersion = DecodeFloat(reply, SoftwareVersion);
  r.deviceType = DecodeU16(reply, DeviceType);
  r.status = DecodeU16(reply, Status);
  r.unit = DecodeU16(reply, Unit);
  r.filter = DecodeU16(reply, Filter);
  r.pressure = DecodeFloat(reply, Pressure);
  r.zeroCalValue = DecodeFloat(reply, ZeroCalValue);
  r.airCalValue = DecodeFloat(reply, AirCalValue);
  r.factoryZeroCal = DecodeFloat(reply, FactoryZeroCal);
  r.factoryAirCal = DecodeFloat(reply, FactoryAirCal);
  r.serialNumber = DecodeU32(reply, SerialNumber);
  r.deviceAddress = DecodeU16(reply, DeviceAddress);
  r.command = DecodeU16(reply, Command);
  return r;
}

void RegisterBlock::SetU32(Register reg, std::uint32_t value) {
  regs[reg] = static_cast<std::uint16_t>(value & 0xFFFF);
  regs[reg + 1] = static_cast<std::uint16_t>(value >> 16);
}

void RegisterBlock::SetFloat(Register reg, float value) { SetU32(reg, FloatBits(value)); }

std::uint32_t RegisterBlock::GetU32(Register reg) const {
  return (std::uint32_t{regs[reg + 1]} << 16) | regs[reg];
}

float RegisterBlock::GetFloat(Register reg) const { return FloatFromBits(GetU32(reg)); }

RtuFrame RegisterBlock::PollReply(std::uint8_t address) const {
  return BuildReadReply(address, regs.data(), regs.size());
}

}  // namespace protocol
