#include "protocol/oxygen_physics.h"

#include "protocol/translatable_text.h"

#include <cmath>
#include <limits>

namespace protocol {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kStandardAtmKPa = 101.325;
constexpr double kMgPerMl = 1.42903;  // mg of O2 per mL at STP
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double Rad(double deg) { return deg * kPi / 180.0; }
double Deg(double rad) { return rad * 180.0 / kPi; }

}  // namespace

double WaterVapourPressureAtm(double tempC) {
  const double t = tempC + 273.15;
  return std::exp(11.8571 - 3840.70 / t - 216961.0 / (t * t));
}

double OxygenSolubility(double tempC, double pressureKPa) {
  // The fit is made from 0 to 40 C; a little beyond is still sound, far
  // beyond it (and at a pressure the vapour alone exceeds) it is not.
  if (!(tempC >= -5.0 && tempC <= 60.0) || !std::isfinite(pressureKPa)) return kNaN;
  const double p = pressureKPa / kStandardAtmKPa;
  const double pwv = WaterVapourPressureAtm(tempC);
  if (!(p > pwv)) return kNaN;
  // Garcia & Gordon (1992), Benson & Krause data, mL/L, salinity 0.
  const double ts = std::log((298.15 - tempC) / (273.15 + tempC));
  const double lnC = 2.00907 + ts * (3.22014 + ts * (4.05010 + ts * (4.94457 + ts * (-0.256847 + ts * 3.88767))));
  const double atOneAtm = std::exp(lnC) * kMgPerMl;
  // Pressure correction (Benson & Krause): partial pressure of dry air and
  // the second virial coefficient of oxygen.
  const double theta = 0.000975 - 1.426e-5 * tempC + 6.436e-8 * tempC * tempC;
  return atOneAtm * p * ((1 - pwv / p) * (1 - theta * p)) / ((1 - pwv) * (1 - theta));
}

double SaturationFromPhase(double phaseDeg, double zeroDeg, double airDeg) {
  const double t0 = std::tan(Rad(zeroDeg));
  const double tAir = std::tan(Rad(airDeg));
  const double t = std::tan(Rad(phaseDeg));
  if (!(t0 > 0) || !(tAir > 0) || !(t > 0) || tAir >= t0) return kNaN;
  const double k = (t0 / tAir - 1.0) / 100.0;
  return (t0 / t - 1.0) / k;
}

double PhaseFromSaturation(double saturation, double zeroDeg, double airDeg) {
  const double t0 = std::tan(Rad(zeroDeg));
  const double tAir = std::tan(Rad(airDeg));
  const double k = (t0 / tAir - 1.0) / 100.0;
  return Deg(std::atan(t0 / (1.0 + k * saturation)));
}

OxygenBothUnits ToBothUnits(double doValue, std::uint16_t unit, double tempC, double pressureKPa) {
  const double solubility = OxygenSolubility(tempC, pressureKPa);
  if (!std::isfinite(solubility) || !std::isfinite(doValue)) return {kNaN, kNaN};
  if (unit == 0) return {doValue / 100.0 * solubility, doValue};
  return {doValue, doValue / solubility * 100.0};
}

OxygenCheck CheckOxygen(const SensorReading& r, const PlausibilityLimits& limits) {
  OxygenCheck check;
  check.reported = ToBothUnits(r.doValue, r.unit, r.temperature, r.pressure);
  check.phaseSaturation = SaturationFromPhase(r.phaseDiff, r.zeroCalValue, r.airCalValue);
  const double s = check.reported.saturation;
  if (!std::isfinite(s)) {
    check.verdict = Plausibility::NotCheckable;
  } else if (s < limits.minSaturation || s > limits.maxSaturation) {
    check.verdict = Plausibility::SaturationOutOfRange;
  } else if (std::isfinite(check.phaseSaturation) &&
             std::fabs(s - check.phaseSaturation) > limits.maxDisagreementPercent) {
    // The sensor reads nothing below zero, so a phase beyond the zero point
    // counts as 0 %, as the sensor itself clamps it.
    const double fromPhase = check.phaseSaturation < 0 ? 0.0 : check.phaseSaturation;
    check.verdict = std::fabs(s - fromPhase) > limits.maxDisagreementPercent ? Plausibility::UnitsDisagree
                                                                              : Plausibility::Plausible;
  } else {
    check.verdict = Plausibility::Plausible;
  }
  return check;
}

const char* PlausibilityText(Plausibility verdict) {
  switch (verdict) {
    case Plausibility::Plausible: return SENSOR_TEXT("SensorTexts", "可信");
    case Plausibility::UnitsDisagree: return SENSOR_TEXT("SensorTexts", "单位换算不一致");
    case Plausibility::SaturationOutOfRange: return SENSOR_TEXT("SensorTexts", "饱和度超出范围");
    case Plausibility::NotCheckable: return SENSOR_TEXT("SensorTexts", "无法核对");
  }
  return SENSOR_TEXT("SensorTexts", "无法核对");
}

}  // namespace protocol
