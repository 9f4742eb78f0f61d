// fault-soak: the long fault soak. Drives the real main window offscreen
// against sensor-sim for a number of poll cycles with seeded faults on the
// line, prints the figures and exits non-zero when a check failed.
#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/sensor_tool_app.h"
#include "soak_engine.h"

namespace {

const char kUsage[] =
    "usage: fault-soak [--cycles N] [--seed N] [--poll-ms N] [--display-ms N] [--write-ms N]\n"
    "                  [--unplug-cycles MIN MAX] [--sim PATH]\n"
    "Defaults: 10000 cycles, seed 1, timer periods 150/75/70 ms (the product's are\n"
    "2000/1000/900 ms), an unplug every 400..800 cycles. Poll periods below 110 ms\n"
    "are refused: replies closer together than the receive path's 100 ms frame gap\n"
    "would change what is being tested. SOAK_TRACE=1 traces the soak's events.\n";

bool ParseInt(const char* text, long lo, long hi, long* out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!end || *end || v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  soak::SoakConfig config;
  config.simPath = QStringLiteral(SENSOR_SIM_PATH);
  config.cycles = 10000;
  config.pollMs = 150;
  config.displayMs = 75;
  config.writeMs = 70;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    long v = 0, w = 0;
    auto value = [&](long lo, long hi, long* out) { return i + 1 < argc && ParseInt(argv[++i], lo, hi, out); };
    bool ok = true;
    if (arg == "--cycles") ok = value(1, 10000000, &v), config.cycles = static_cast<int>(v);
    else if (arg == "--seed") ok = value(0, 4294967295L, &v), config.seed = static_cast<std::uint32_t>(v);
    else if (arg == "--poll-ms") ok = value(110, 100000, &v), config.pollMs = static_cast<int>(v);
    else if (arg == "--display-ms") ok = value(10, 100000, &v), config.displayMs = static_cast<int>(v);
    else if (arg == "--write-ms") ok = value(10, 100000, &v), config.writeMs = static_cast<int>(v);
    else if (arg == "--unplug-cycles") {
      ok = value(1, 10000000, &v) && value(v, 10000000, &w);
      config.unplugMinCycles = static_cast<int>(v);
      config.unplugMaxCycles = static_cast<int>(w);
    } else if (arg == "--sim" && i + 1 < argc) config.simPath = QString::fromLocal8Bit(argv[++i]);
    else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else ok = false;
    if (!ok) {
      std::fprintf(stderr, "fault-soak: bad argument near '%s'\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }

  // Offscreen unless told otherwise, and a private port directory, so that
  // COM1 here never reaches a real port.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir runtimeDir;
  qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
  QApplication app(argc, argv);
  CSensorToolApp::ApplyDialogLook(app);

  const soak::SoakResult result = soak::RunSoak(config);
  std::fputs(soak::Report(config, result).c_str(), stdout);
  const auto failures = soak::Failures(config, result, soak::RecoveryLimitMs(config));
  for (const std::string& text : result.otherMessages) std::printf("unexpected message: %s\n", text.c_str());
  for (const std::string& f : failures) std::printf("FAILED: %s\n", f.c_str());
  std::puts(failures.empty() ? "PASSED" : "FAILED");
  return failures.empty() ? 0 : 1;
}
