#pragma once
#include <cstdint>
#include <random>

#include "protocol/oxygen_physics.h"
#include "protocol/registers.h"
#include "sim_options.h"

namespace sim {

// Phases outside this band cannot come from a working sensor head.
constexpr double kMinPlausiblePhase = 5.0;
constexpr double kMaxPlausiblePhase = 80.0;

// MODBUS exception codes.
constexpr std::uint8_t kIllegalFunction = 1;
constexpr std::uint8_t kIllegalDataAddress = 2;
constexpr std::uint8_t kIllegalDataValue = 3;

// The simulated sensor: its stored settings, the water it sits in and the
// measurement it makes. Time is passed in, so the physics can be driven by
// the wall clock in the tool and by hand in tests.
class SensorModel {
 public:
  explicit SensorModel(const SimOptions& options);

  // Moves the water on to `seconds` since start and takes a new measurement.
  void Update(double seconds);

  // The register block as a read sees it now.
  const protocol::RegisterBlock& Registers() const { return block_; }

  // Function 16 of `count` registers from `first`. Checks every register and
  // value first and changes nothing unless all are acceptable; returns 0 or
  // a MODBUS exception code. A new bus address waits in PendingAddress()
  // until CommitAddress(), so the echo still leaves from the old one.
  std::uint8_t Write(std::uint16_t first, const std::uint16_t* values, std::uint16_t count);
  void CommitAddress();
  int Address() const { return address_; }

  // The measured values, for tests.
  double Phase() const { return phase_; }
  double TrueSaturation() const { return saturation_; }
  double Temperature() const { return temperature_; }
  double MeasuredSaturation() const { return measuredSaturation_; }

 private:
  void Refresh();
  double Noise(double sigma);

  SimOptions options_;
  protocol::RegisterBlock block_;
  int address_;
  int pendingAddress_ = 0;
  std::mt19937 rng_;
  double trueZero_;  // the sensing foil's real response, fixed at manufacture
  double trueAir_;
  double saturation_ = 0;
  double temperature_ = 20;
  double phase_ = 0;
  double measuredSaturation_ = 0;
};

}  // namespace sim
