// fault-soak: the long fault soak. Drives the real main window offscreen
// against sensor-sim for a number of poll cycles with seeded faults on the
// line, prints the figures and exits non-zero when a check failed.
#include <QApplication>
#include <QCommandLineParser>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/sensor_tool_app.h"
#include "sensortool_version.h"
#include "soak_engine.h"

namespace {

const char kDescription[] =
    "The long fault soak: drives the real main window offscreen against sensor-sim\n"
    "for a number of poll cycles with seeded faults on the line.\n"
    "Defaults: 10000 cycles, seed 1, timer periods 150/75/70 ms (the product's are\n"
    "2000/1000/900 ms), an unplug every 400..800 cycles. Poll periods below 110 ms\n"
    "are refused: replies closer together than the receive path's 100 ms frame gap\n"
    "would change what is being tested. SOAK_TRACE=1 traces the soak's events.";

bool ParseInt(const QString& text, long lo, long hi, long* out) {
  bool ok = false;
  const long v = text.toLong(&ok);
  if (!ok || v < lo || v > hi) return false;
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

  // Offscreen unless told otherwise, and a private port directory, so that
  // COM1 here never reaches a real port.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir runtimeDir;
  qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromUtf8(kDescription));
  const QCommandLineOption helpOption = parser.addHelpOption();
  const QCommandLineOption versionOption = parser.addVersionOption();
  auto number = [](const char* name, const char* what) {
    return QCommandLineOption(QLatin1String(name), QLatin1String(what), QStringLiteral("N"));
  };
  const QCommandLineOption cycles = number("cycles", "Poll cycles (10000).");
  const QCommandLineOption seed = number("seed", "Seed of the faults (1).");
  const QCommandLineOption pollMs = number("poll-ms", "Poll period in ms, 110 or more (150).");
  const QCommandLineOption displayMs = number("display-ms", "Display period in ms (75).");
  const QCommandLineOption writeMs = number("write-ms", "Write period in ms (70).");
  const QCommandLineOption unplug(QStringLiteral("unplug-cycles"),
                                  QStringLiteral("An unplug every MIN..MAX cycles (400,800)."),
                                  QStringLiteral("MIN,MAX"));
  const QCommandLineOption sim(QStringLiteral("sim"), QStringLiteral("The simulator to run."), QStringLiteral("PATH"));
  parser.addOptions({cycles, seed, pollMs, displayMs, writeMs, unplug, sim});
  const std::string help = parser.helpText().toStdString();
  if (!parser.parse(app.arguments())) {
    std::fprintf(stderr, "fault-soak: %s\n%s", qPrintable(parser.errorText()), help.c_str());
    return 2;
  }
  if (parser.isSet(versionOption)) {
    std::printf("fault-soak %s\n", SENSORTOOL_VERSION);
    return 0;
  }
  if (parser.isSet(helpOption)) {
    std::fputs(help.c_str(), stdout);
    return 0;
  }
  struct Number {
    const QCommandLineOption& option;
    long lo, hi;
    int* out;
  };
  long v = 0;
  bool ok = parser.positionalArguments().isEmpty();
  for (const Number& n : {Number{cycles, 1, 10000000, &config.cycles}, Number{pollMs, 110, 100000, &config.pollMs},
                          Number{displayMs, 10, 100000, &config.displayMs}, Number{writeMs, 10, 100000, &config.writeMs}})
    if (parser.isSet(n.option)) {
      ok = ParseInt(parser.value(n.option), n.lo, n.hi, &v) && ok;
      *n.out = static_cast<int>(v);
    }
  if (parser.isSet(seed)) {
    ok = ParseInt(parser.value(seed), 0, 4294967295L, &v) && ok;
    config.seed = static_cast<std::uint32_t>(v);
  }
  if (parser.isSet(unplug)) {
    const QStringList range = parser.value(unplug).split(QLatin1Char(','));
    long w = 0;
    ok = range.size() == 2 && ParseInt(range[0], 1, 10000000, &v) && ParseInt(range[1], v, 10000000, &w) && ok;
    config.unplugMinCycles = static_cast<int>(v);
    config.unplugMaxCycles = static_cast<int>(w);
  }
  if (parser.isSet(sim)) config.simPath = parser.value(sim);
  if (!ok) {
    std::fprintf(stderr, "fault-soak: bad argument\n%s", help.c_str());
    return 2;
  }

  CSensorToolApp::ApplyDialogLook(app);

  const soak::SoakResult result = soak::RunSoak(config);
  std::fputs(soak::Report(config, result).c_str(), stdout);
  const auto failures = soak::Failures(config, result, soak::RecoveryLimitMs(config));
  for (const std::string& text : result.otherMessages) std::printf("unexpected message: %s\n", text.c_str());
  for (const std::string& f : failures) std::printf("FAILED: %s\n", f.c_str());
  std::puts(failures.empty() ? "PASSED" : "FAILED");
  return failures.empty() ? 0 : 1;
}
