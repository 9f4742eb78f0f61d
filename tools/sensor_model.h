#pragma once
#include <cstdint>
#include <random>

#include "protocol/registers.h"
#include "sim_options.h"

namespace sim {

// Oxygen solubility in fresh water in equilibrium with water-saturated air,
// in mg/L, at `tempC` and total atmospheric pressure `pressureKPa`: the
// Benson & Krause fit of Garcia & Gordon (1992), corrected from one standard
// atmosphere to the given pressure for water vapour and non-ideal gas.
double OxygenSolubility(double tempC, double pressureKPa);

// Vapour pressure of water over fresh water, in atmospheres.
double WaterVapourPressureAtm(double tempC);

// Stern-Volmer with the luminescence phase: tan(phi0)/tan(phi) = 1 + K * S,
// anchored on the zero point phi0 (S = 0) and the air point (S = 100 %).
// Returns the saturation in % for the phase `phaseDeg`; NaN when the two
// points do not make a usable calibration (air phase not below zero phase).
double SaturationFromPhase(double phaseDeg, double zeroDeg, double airDeg);
// The inverse: the phase for a saturation in %.
double PhaseFromSaturation(double saturation, double zeroDeg, double airDeg);

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
