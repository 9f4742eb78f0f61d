#include "sensor_model.h"

#include <cmath>

namespace sim {

// The physics the real sensor obeys, shared with the tool that checks it.
using protocol::OxygenSolubility;
using protocol::PhaseFromSaturation;
using protocol::SaturationFromPhase;

namespace {

constexpr double kPi = 3.14159265358979323846;

double Rad(double deg) { return deg * kPi / 180.0; }

// Amplitude of the red (luminescence) light with no oxygen, and of the green
// reference light, in mV at the photodiode.
constexpr double kRedAmplitudeAtZero = 2200.0;
constexpr double kGreenAmplitude = 1650.0;
// Phase of the green reference channel: the LED drive and electronics.
constexpr double kGreenPhase = 10.5;

// The amplifier steps up weak signals so the converter sees at least 1000 mV.
std::uint16_t GainFor(double amplitudeMv) {
  std::uint16_t gain = 1;
  while (gain < 16 && amplitudeMv * gain < 1000.0) gain *= 2;
  return gain;
}

bool Valid32(const std::uint16_t* v, double lo, double hi) {
  const std::uint32_t bits = static_cast<std::uint32_t>(v[1]) << 16 | v[0];
  const float f = protocol::FloatFromBits(bits);
  return std::isfinite(f) && f >= lo && f <= hi;
}

}  // namespace

SensorModel::SensorModel(const SimOptions& options)
    : options_(options),
      address_(options.address),
      rng_(options.seed),
      trueZero_(options.factoryZero),
      trueAir_(options.factoryAir),
      saturation_(options.saturation) {
  using namespace protocol;
  block_.SetFloat(SoftwareVersion, options.version);
  block_.regs[DeviceType] = static_cast<std::uint16_t>(options.deviceType);
  block_.regs[Unit] = static_cast<std::uint16_t>(options.unit);
  block_.regs[Filter] = static_cast<std::uint16_t>(options.filter);
  block_.SetFloat(Pressure, options.pressure);
  block_.SetFloat(ZeroCalValue, options.zeroCal.value_or(options.factoryZero));
  block_.SetFloat(AirCalValue, options.airCal.value_or(options.factoryAir));
  block_.SetFloat(FactoryZeroCal, options.factoryZero);
  block_.SetFloat(FactoryAirCal, options.factoryAir);
  block_.SetU32(SerialNumber, options.serial);
  block_.regs[DeviceAddress] = static_cast<std::uint16_t>(address_);
  Update(0);
}

double SensorModel::Noise(double sigma) {
  if (options_.steady) return 0;
  return std::normal_distribution<double>(0.0, sigma)(rng_);
}

void SensorModel::Update(double seconds) {
  // Water: temperature swings slowly by about a degree around 20 C, oxygen
  // wanders a little around the saturation it was given.
  if (options_.temperature) {
    temperature_ = *options_.temperature;
  } else if (options_.steady) {
    temperature_ = 20.0;
  } else {
    temperature_ = 20.0 + 0.8 * std::sin(2 * kPi * seconds / 900.0) + Noise(0.01);
  }
  saturation_ = options_.steady ? options_.saturation
                                : std::max(0.0, options_.saturation + 1.5 * std::sin(2 * kPi * seconds / 1300.0));
  // The foil: the phase the true oxygen level produces, with the small jitter
  // of the phase detector.
  phase_ = PhaseFromSaturation(saturation_, trueZero_, trueAir_) + Noise(0.01);
  Refresh();
}

void SensorModel::Refresh() {
  using namespace protocol;
  const double zero = block_.GetFloat(ZeroCalValue);
  const double air = block_.GetFloat(AirCalValue);
  const double s = SaturationFromPhase(phase_, zero, air);
  measuredSaturation_ = std::isfinite(s) ? std::max(0.0, s) : 0.0;
  const double pressure = block_.GetFloat(Pressure);
  const double mgPerL = measuredSaturation_ / 100.0 * OxygenSolubility(temperature_, pressure);
  const double reported = block_.regs[Unit] == 0 ? measuredSaturation_ : mgPerL;
  block_.SetFloat(DoValue, options_.doValue ? *options_.doValue : static_cast<float>(reported));
  block_.SetFloat(protocol::Temperature, static_cast<float>(temperature_));

  const double green = kGreenPhase + Noise(0.005);
  block_.SetFloat(PhaseDiff, static_cast<float>(phase_));
  block_.SetFloat(GreenPhase, static_cast<float>(green));
  block_.SetFloat(RedPhase, static_cast<float>(green + phase_));
  // Oxygen quenches the luminescence: its intensity falls in the same ratio
  // as tan(phase), I/I0 = tan(phi)/tan(phi0).
  const double red = kRedAmplitudeAtZero * std::tan(Rad(phase_)) / std::tan(Rad(trueZero_)) + Noise(2.0);
  const double greenAmp = kGreenAmplitude + Noise(2.0);
  block_.regs[RedAmplitude] = static_cast<std::uint16_t>(std::lround(std::max(0.0, red)));
  block_.regs[RedGain] = GainFor(red);
  block_.regs[GreenAmplitude] = static_cast<std::uint16_t>(std::lround(greenAmp));
  block_.regs[GreenGain] = GainFor(greenAmp);

  const bool plausible = phase_ >= kMinPlausiblePhase && phase_ <= kMaxPlausiblePhase && std::isfinite(s);
  block_.regs[Status] = static_cast<std::uint16_t>(options_.status ? *options_.status : (plausible ? 0 : 1));
}

std::uint8_t SensorModel::Write(std::uint16_t first, const std::uint16_t* values, std::uint16_t count) {
  using namespace protocol;
  if (count == 0 || first + count > kRegisterCount) return kIllegalDataAddress;
  // Check every register of the write: writable, 32-bit pairs whole, value
  // in range.
  for (int i = 0; i < count;) {
    const int reg = first + i;
    const std::uint16_t* v = values + i;
    const int left = count - i;
    switch (reg) {
      case Unit:
        i += 1;
        break;
      case Filter:
        if (v[0] < 1 || v[0] > 99) return kIllegalDataValue;
        i += 1;
        break;
      case DeviceAddress:
        if (v[0] < 1 || v[0] > 254) return kIllegalDataValue;
        i += 1;
        break;
      case Command:
        if (v[0] < CommandZeroCal || v[0] > CommandRestoreFactoryCal) return kIllegalDataValue;
        i += 1;
        break;
      case Pressure:
      case ZeroCalValue:
      case AirCalValue:
      case FactoryZeroCal:
      case FactoryAirCal:
      case SerialNumber:
        if (left < 2) return kIllegalDataAddress;
        if (reg == Pressure && !Valid32(v, 50, 200)) return kIllegalDataValue;
        if (reg != Pressure && reg != SerialNumber && !Valid32(v, 0, 20000)) return kIllegalDataValue;
        i += 2;
        break;
      default:
        return kIllegalDataAddress;  // read-only, or the second half of a pair
    }
  }
  for (int i = 0; i < count; ++i) {
    const int reg = first + i;
    if (reg == DeviceAddress) {
      pendingAddress_ = values[i];
      continue;
    }
    block_.regs[reg] = values[i];
    if (reg == Command) {
      switch (values[i]) {
        case CommandZeroCal:
          block_.SetFloat(ZeroCalValue, static_cast<float>(phase_));
          break;
        case CommandAirCal:
          block_.SetFloat(AirCalValue, static_cast<float>(phase_));
          break;
        case CommandRestoreFactoryCal:
          block_.regs[ZeroCalValue] = block_.regs[FactoryZeroCal];
          block_.regs[ZeroCalValue + 1] = block_.regs[FactoryZeroCal + 1];
          block_.regs[AirCalValue] = block_.regs[FactoryAirCal];
          block_.regs[AirCalValue + 1] = block_.regs[FactoryAirCal + 1];
          break;
      }
    }
  }
  Refresh();
  return 0;
}

void SensorModel::CommitAddress() {
  if (pendingAddress_ == 0) return;
  address_ = pendingAddress_;
  block_.regs[protocol::DeviceAddress] = static_cast<std::uint16_t>(address_);
  pendingAddress_ = 0;
}

}  // namespace sim
