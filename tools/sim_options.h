#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// Everything sensor-sim can be told on its command line.
struct SimOptions {
  // Line: exactly one of com / link / device is used (com 1 when none given).
  int com = 0;              // bind a pty as COMn in the per-user port directory
  std::string link;         // bind a pty by a symlink at this path
  std::string device;       // serve a real serial device instead of a pty
  int frameGapMs = 5;       // line silence that ends a request frame
  bool paced = false;       // send replies at 9600-baud byte rate
  std::string logPath;      // append RX/TX lines here

  // Identity and stored settings.
  int address = 1;                // the first of `addresses`
  std::vector<int> addresses{1};  // one sensor per address, all on this line
  std::uint32_t serial = 20240001;
  float version = 1.1f;     // the software version register (--sw-version)
  int deviceType = 2;
  int unit = 1;             // 0 = % saturation, otherwise mg/L
  int filter = 10;
  float pressure = 101.3f;  // kPa
  float factoryZero = 62.35f;  // phase at zero oxygen, deg
  float factoryAir = 27.812f;  // phase in air-saturated water, deg
  std::optional<float> zeroCal;  // current calibration; factory value when unset
  std::optional<float> airCal;
  std::optional<int> status;     // forces the Status register

  // The water and the measurement.
  double saturation = 95.0;            // true oxygen saturation of the water, %
  std::optional<float> doValue;        // fixed DoValue instead of the physics
  std::optional<float> temperature;    // fixed temperature instead of the drift
  bool steady = false;                 // no drift and no noise
  std::uint32_t seed = 1;

  // Faults, each counted over the replies (or requests) and seeded.
  int dropByteEvery = 0;
  int flipBitEvery = 0;
  int noiseEvery = 0;
  int silentAfter = 0;
  int silentPolls = 0;
  int foreignAddressEvery = 0;
  int foreignTypeEvery = 0;

  bool help = false;
};

enum class ParseResult { Ok, Help, Version, Error };

// Parses the arguments after the program name. "--name value" and
// "--name=value" are both accepted. On Error, `error` says what is wrong;
// Version asks for the program's version.
ParseResult ParseSimOptions(const std::vector<std::string>& args, SimOptions* options, std::string* error);

std::string HelpText();

}  // namespace sim
