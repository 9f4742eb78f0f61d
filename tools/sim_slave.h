#pragma once
#include <cstdint>
#include <random>
#include <vector>

#include "sensor_model.h"
#include "sim_options.h"

namespace sim {

using Bytes = std::vector<std::uint8_t>;

// Cuts what arrived between two silences into frames: a request whose length
// its function code tells and whose CRC holds is taken off the front, so two
// requests written back to back are still served; anything else is one frame.
std::vector<Bytes> SplitFrames(const Bytes& received);

// What arrived since the last line silence. A slave's receive buffer holds
// one frame (256 bytes, the longest MODBUS-RTU frame); a sender that never
// pauses cannot make a request of more, so the bytes beyond it are counted
// and dropped instead of stored: memory stays bounded however long the
// stream, and the overrun frame is never answered.
class RequestBuffer {
 public:
  static constexpr std::size_t kCapacity = 256;

  void Append(const std::uint8_t* data, std::size_t size);
  bool Empty() const { return bytes_.empty(); }
  std::size_t Size() const { return bytes_.size(); }
  bool Overrun() const { return dropped_ > 0; }

  // At a silence: the requests that arrived (none after an overrun, whose
  // first bytes go to `overrun` for the log), and the buffer starts afresh.
  std::vector<Bytes> TakeFrames(Bytes* overrun);

 private:
  Bytes bytes_;
  std::size_t dropped_ = 0;
};

// The MODBUS-RTU slave in front of the sensor model, with the line faults.
class SimSlave {
 public:
  SimSlave(SensorModel& model, const SimOptions& options);

  // One request, delimited by line silence. Returns the bytes to send back,
  // empty for no answer. A new bus address written by the previous request
  // takes effect here, after its echo went out.
  Bytes HandleFrame(const Bytes& frame);

  int RepliesSent() const { return replies_; }

 private:
  Bytes Answer(const Bytes& frame);
  Bytes ApplyFaults(Bytes reply, bool carriesDeviceType, std::uint16_t firstRegister);

  SensorModel& model_;
  SimOptions options_;
  std::mt19937 rng_;
  int requestsForUs_ = 0;
  int silenced_ = 0;
  int replies_ = 0;
};

}  // namespace sim
