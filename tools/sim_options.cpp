#include "sim_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

#include <QCommandLineParser>
#include <QStringList>

#include "sensortool_version.h"

namespace sim {
namespace {

bool ParseInt(const std::string& text, long long lo, long long hi, long long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool ParseReal(const std::string& text, double lo, double hi, double* out) {
  if (text.empty()) return false;
  // Numbers are read in the C notation whatever the process locale says.
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  double v = 0;
  in >> v;
  if (in.fail() || !in.eof() || !std::isfinite(v) || v < lo || v > hi) return false;
  *out = v;
  return true;
}

struct OptionSpec {
  const char* name;
  const char* arg;  // nullptr for a flag
  const char* help;
};

const OptionSpec kSpecs[] = {
    {"--com", "N", "bind a pseudo-terminal as COMN (1..15) in the per-user port directory (default: --com 1)"},
    {"--link", "PATH", "bind a pseudo-terminal by a symbolic link at PATH"},
    {"--device", "PATH", "serve a real serial device (9600,n,8,1), e.g. /dev/ttyUSB0"},
    {"--frame-gap", "MS", "line silence that ends a request, 2..100 ms (default 5)"},
    {"--paced", nullptr, "send replies at the 9600-baud byte rate instead of in one write"},
    {"--log", "PATH", "append one line per frame: RX, RX-BADCRC or TX and the bytes in hex"},
    {"--address", "N[,N...]", "bus address, 1..254 (default 1); a list serves one sensor per address"},
    {"--serial", "N", "serial number, 0..4294967295 (default 20240001), of the first address's sensor"},
    {"--sw-version", "X", "the sensor's software version register (default 1.1)"},
    {"--device-type", "N", "device type register, 0..65535 (default 2, this sensor)"},
    {"--unit", "N", "unit register: 0 = % saturation, otherwise mg/L (default 1)"},
    {"--filter", "N", "filter setting, 1..99 (default 10)"},
    {"--pressure", "KPA", "atmospheric pressure, 50..200 kPa (default 101.3)"},
    {"--factory-zero", "DEG", "factory zero calibration: phase at zero oxygen (default 62.35)"},
    {"--factory-air", "DEG", "factory air calibration: phase in air-saturated water (default 27.812)"},
    {"--zero-cal", "DEG", "current zero calibration (default: the factory value)"},
    {"--air-cal", "DEG", "current air calibration (default: the factory value)"},
    {"--status", "N", "force the status register to N (default: 1 when the phase is implausible)"},
    {"--saturation", "PCT", "true oxygen saturation of the water, 0..2000 % (default 95)"},
    {"--do-value", "X", "report this fixed dissolved-oxygen value instead of the measured one"},
    {"--temperature", "C", "fixed water temperature, -5..60 C, instead of a slow drift"},
    {"--steady", nullptr, "no drift and no noise: identical readings on every poll"},
    {"--seed", "N", "seed of the noise and of the faults (default 1)"},
    {"--drop-byte-every", "N", "leave one byte out of every N-th reply"},
    {"--flip-bit-every", "N", "flip one bit in every N-th reply"},
    {"--noise-every", "N", "send 1..3 noise bytes before every N-th reply"},
    {"--silent-after", "M", "answer M requests before the silence of --silent-polls (default 0)"},
    {"--silent-polls", "N", "ignore N requests addressed to this sensor, once"},
    {"--foreign-address-every", "N", "send every N-th reply from another address"},
    {"--foreign-type-every", "N", "report another device type in every N-th reply"},
    {"--help", nullptr, "show this text and exit"},
    {"--version", nullptr, "show the program's version and exit"},
};

}  // namespace

std::string HelpText() {
  std::ostringstream out;
  out << "Usage: sensor-sim [OPTION]...\n"
         "Simulated fluorescent dissolved-oxygen sensor: a MODBUS-RTU slave (9600,n,8,1)\n"
         "with the sensor's 36 holding registers, answering function 3 and 16.\n"
         "Prints 'READY <device>' once it serves, and runs until SIGTERM or SIGINT.\n\n";
  for (const OptionSpec& spec : kSpecs) {
    std::string left = std::string("  ") + spec.name + (spec.arg ? std::string(" ") + spec.arg : "");
    if (left.size() < 30) left.resize(30, ' ');
    else left += "  ";
    out << left << spec.help << "\n";
  }
  out << "\nWith several addresses (--address 3,7,12) every sensor answers only its own\n"
         "address. The first is set up exactly as the options say; the one at a further\n"
         "address A has serial number --serial + (A - first address), its own factory and\n"
         "current calibration (the zero phase 0.45 deg higher and the air phase 0.3 deg\n"
         "lower per place in the list, repeating after seven), water 2 % more saturated\n"
         "per place (repeating after five) and its own noise. Line faults count each\n"
         "sensor's own replies.\n";
  out << "\nFault counters run over the replies actually sent; the choice of byte, bit\n"
         "and noise follows --seed, so a run can be repeated exactly.\n"
         "Exit status: 0 when stopped by a signal, 1 when the line fails, 2 for bad options.\n";
  return out.str();
}

ParseResult ParseSimOptions(const std::vector<std::string>& args, SimOptions* options, std::string* error) {
  SimOptions o;
  int lineChoices = 0;

  using Setter = std::function<bool(const std::string&)>;
  auto intOpt = [](int* target, long long lo, long long hi) -> Setter {
    return [=](const std::string& v) {
      long long x;
      if (!ParseInt(v, lo, hi, &x)) return false;
      *target = static_cast<int>(x);
      return true;
    };
  };
  auto floatOpt = [](float* target, double lo, double hi) -> Setter {
    return [=](const std::string& v) {
      double x;
      if (!ParseReal(v, lo, hi, &x)) return false;
      *target = static_cast<float>(x);
      return true;
    };
  };
  auto optionalFloat = [](std::optional<float>* target, double lo, double hi) -> Setter {
    return [=](const std::string& v) {
      double x;
      if (!ParseReal(v, lo, hi, &x)) return false;
      *target = static_cast<float>(x);
      return true;
    };
  };
  auto text = [](std::string* target) -> Setter {
    return [=](const std::string& v) {
      if (v.empty()) return false;
      *target = v;
      return true;
    };
  };

  const std::map<std::string, Setter> withValue = {
      {"--com", intOpt(&o.com, 1, 15)},
      {"--link", text(&o.link)},
      {"--device", text(&o.device)},
      {"--frame-gap", intOpt(&o.frameGapMs, 2, 100)},
      {"--log", text(&o.logPath)},
      {"--address", [&](const std::string& v) {
         std::vector<int> list;
         std::size_t from = 0;
         for (;;) {
           const std::size_t comma = v.find(',', from);
           long long x;
           if (!ParseInt(v.substr(from, comma - from), 1, 254, &x)) return false;
           for (int seen : list)
             if (seen == x) return false;
           list.push_back(static_cast<int>(x));
           if (comma == std::string::npos) break;
           from = comma + 1;
         }
         o.addresses = list;
         o.address = list.front();
         return true;
       }},
      {"--serial", [&](const std::string& v) {
         long long x;
         if (!ParseInt(v, 0, 4294967295LL, &x)) return false;
         o.serial = static_cast<std::uint32_t>(x);
         return true;
       }},
      {"--sw-version", floatOpt(&o.version, 0, 1000)},
      {"--device-type", intOpt(&o.deviceType, 0, 65535)},
      {"--unit", intOpt(&o.unit, 0, 65535)},
      {"--filter", intOpt(&o.filter, 1, 99)},
      {"--pressure", floatOpt(&o.pressure, 50, 200)},
      {"--factory-zero", floatOpt(&o.factoryZero, 0.5, 89.5)},
      {"--factory-air", floatOpt(&o.factoryAir, 0.5, 89.5)},
      {"--zero-cal", optionalFloat(&o.zeroCal, 0, 20000)},
      {"--air-cal", optionalFloat(&o.airCal, 0, 20000)},
      {"--status", [&](const std::string& v) {
         long long x;
         if (!ParseInt(v, 0, 65535, &x)) return false;
         o.status = static_cast<int>(x);
         return true;
       }},
      {"--saturation", [&](const std::string& v) { return ParseReal(v, 0, 2000, &o.saturation); }},
      {"--do-value", optionalFloat(&o.doValue, -1e6, 1e6)},
      {"--temperature", optionalFloat(&o.temperature, -5, 60)},
      {"--seed", [&](const std::string& v) {
         long long x;
         if (!ParseInt(v, 0, 4294967295LL, &x)) return false;
         o.seed = static_cast<std::uint32_t>(x);
         return true;
       }},
      {"--drop-byte-every", intOpt(&o.dropByteEvery, 1, 1000000)},
      {"--flip-bit-every", intOpt(&o.flipBitEvery, 1, 1000000)},
      {"--noise-every", intOpt(&o.noiseEvery, 1, 1000000)},
      {"--silent-after", intOpt(&o.silentAfter, 0, 1000000)},
      {"--silent-polls", intOpt(&o.silentPolls, 1, 1000000)},
      {"--foreign-address-every", intOpt(&o.foreignAddressEvery, 1, 1000000)},
      {"--foreign-type-every", intOpt(&o.foreignTypeEvery, 1, 1000000)},
  };

  // Qt's parser takes "--name value", "--name=value" and refuses unknown
  // options, missing values and values given to flags with its own words.
  QCommandLineParser parser;
  for (const OptionSpec& spec : kSpecs) {
    QStringList names{QString::fromLatin1(spec.name + 2)};
    if (names.first() == QLatin1String("help")) names.prepend(QStringLiteral("h"));
    parser.addOption(spec.arg ? QCommandLineOption(names, QString::fromUtf8(spec.help), QString::fromLatin1(spec.arg))
                              : QCommandLineOption(names, QString::fromUtf8(spec.help)));
  }
  QStringList arguments{QStringLiteral("sensor-sim")};
  for (const std::string& arg : args) arguments << QString::fromStdString(arg);
  if (!parser.parse(arguments)) {
    *error = parser.errorText().toStdString();
    return ParseResult::Error;
  }
  if (parser.isSet(QStringLiteral("help"))) {
    *options = o;
    options->help = true;
    return ParseResult::Help;
  }
  if (parser.isSet(QStringLiteral("version"))) return ParseResult::Version;
  if (!parser.positionalArguments().isEmpty()) {
    *error = "unexpected argument '" + parser.positionalArguments().first().toStdString() + "'";
    return ParseResult::Error;
  }
  o.paced = parser.isSet(QStringLiteral("paced"));
  o.steady = parser.isSet(QStringLiteral("steady"));
  for (const OptionSpec& spec : kSpecs) {
    const QString name = QString::fromLatin1(spec.name + 2);
    if (!spec.arg || !parser.isSet(name)) continue;
    const std::string value = parser.values(name).last().toStdString();
    if (!withValue.at(spec.name)(value)) {
      *error = "invalid value '" + value + "' for " + spec.name + " (" + spec.arg + ": " + spec.help + ")";
      return ParseResult::Error;
    }
    if (name == QLatin1String("com") || name == QLatin1String("link") || name == QLatin1String("device"))
      ++lineChoices;
  }
  if (lineChoices > 1) {
    *error = "use only one of --com, --link and --device";
    return ParseResult::Error;
  }
  if (lineChoices == 0) o.com = 1;
  if (o.factoryZero <= o.factoryAir) {
    *error = "--factory-zero must be a larger phase than --factory-air (oxygen shortens the phase)";
    return ParseResult::Error;
  }
  *options = o;
  return ParseResult::Ok;
}

}  // namespace sim
