#pragma once
#include <cstdint>

#include "protocol/registers.h"

namespace protocol {

// Oxygen solubility in fresh water in equilibrium with water-saturated air,
// in mg/L, at `tempC` and total atmospheric pressure `pressureKPa`: the
// Benson & Krause fit of Garcia & Gordon (1992), corrected from one standard
// atmosphere to the given pressure for water vapour and non-ideal gas. NaN
// outside the range where the fit means anything (below -5 C, above 60 C,
// pressure not above the water's own vapour pressure).
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

// The sensor's oxygen value in both units. `unit` is the register's value:
// 0 = % saturation, anything else mg/L. NaN where the solubility is.
struct OxygenBothUnits {
  double mgPerL;
  double saturation;
};
OxygenBothUnits ToBothUnits(double doValue, std::uint16_t unit, double tempC, double pressureKPa);

// How far the reported oxygen may stray from what the sensor's own phase and
// calibration points say before the reading is called implausible.
struct PlausibilityLimits {
  double maxDisagreementPercent = 5.0;  // % saturation points; the mg/L bound scales with solubility
  double minSaturation = 0.0;
  double maxSaturation = 300.0;
};

// Why a reading is or is not believable. Stored as its number, so the order
// is fixed: only ever append.
enum class Plausibility : int {
  Plausible = 0,
  UnitsDisagree = 1,         // reported value and phase disagree beyond the limit
  SaturationOutOfRange = 2,  // outside minSaturation..maxSaturation
  NotCheckable = 3,          // no solubility at this temperature and pressure
};

struct OxygenCheck {
  OxygenBothUnits reported{};      // the sensor's value, in both units
  double phaseSaturation = 0;      // % saturation from the phase and the calibration points; NaN if unusable
  Plausibility verdict = Plausibility::NotCheckable;
  bool Plausible() const { return verdict == Plausibility::Plausible; }
};

// Checks a decoded poll reply against physics: converts the reported value to
// both units at the reply's temperature and pressure, and compares it with
// the saturation the reply's own phase gives through its calibration points.
// When those points cannot be used the comparison is skipped and only the
// saturation range is judged.
OxygenCheck CheckOxygen(const SensorReading& reading, const PlausibilityLimits& limits = {});

// "可信", "单位换算不一致", "饱和度超出范围" or "无法核对".
const char* PlausibilityText(Plausibility verdict);

}  // namespace protocol
