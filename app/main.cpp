#include <QApplication>
#include <QCommandLineParser>

#include "app/sensor_tool_app.h"
#include "sensortool_version.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("sensortool"));
  QApplication::setApplicationVersion(QStringLiteral(SENSORTOOL_VERSION));

  // Only --help and --version: the window takes no other options. Qt's own
  // (-platform, -style, ...) were already taken out by QApplication.
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Desktop tool for a fluorescent dissolved-oxygen sensor on a MODBUS-RTU line: open a\n"
      "serial port (COM1..COM15), find the sensor, watch its values live and change its\n"
      "settings and calibrations. Qt's own options such as -platform offscreen also apply."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.process(app);

  CSensorToolApp sensorTool(app);
  return sensorTool.Run();
}
