// Pictures of the sensor windows and a value entry window for the README and
// the manual: dialog_screenshots <output folder>. Runs offscreen with the
// program's own look and typical sensor values.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTranslator>
#include <algorithm>
#include <cstdio>

#include "app/sensor_tool_app.h"
#include "dialogs/factory_info_dialog.h"
#include "dialogs/sensor_config_dialog.h"
#include "dialogs/sensor_signal_dialog.h"
#include "dialogs/value_entry_dialogs.h"
#include "protocol/registers.h"

namespace {

bool Save(QWidget& window, const QDir& dir, const char* name) {
  window.show();
  QApplication::processEvents();
  const QString path = dir.filePath(QString::fromLatin1(name));
  const bool ok = window.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  window.hide();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: dialog_screenshots <output folder>\n");
    return 2;
  }
  CSensorToolApp::ApplyDialogLook(app);
  QTranslator translator;
  CSensorToolApp::LoadChineseTranslations(app, translator);
  QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.mkpath(QStringLiteral("."))) return 1;

  protocol::RegisterBlock block;
  block.SetFloat(protocol::DoValue, 8.52f);
  block.SetFloat(protocol::Temperature, 25.25f);
  block.SetFloat(protocol::PhaseDiff, 45.678f);
  block.SetFloat(protocol::RedPhase, 12.345f);
  block.SetFloat(protocol::GreenPhase, 57.981f);
  block.regs[protocol::RedAmplitude] = 1530;
  block.regs[protocol::RedGain] = 4;
  block.regs[protocol::GreenAmplitude] = 2210;
  block.regs[protocol::GreenGain] = 2;
  block.SetFloat(protocol::SoftwareVersion, 1.0f);
  block.regs[protocol::DeviceType] = 2;
  block.regs[protocol::Unit] = 1;
  block.regs[protocol::Filter] = 10;
  block.SetFloat(protocol::Pressure, 101.3f);
  block.SetFloat(protocol::ZeroCalValue, 0.75f);
  block.SetFloat(protocol::AirCalValue, 123.4567f);
  block.SetFloat(protocol::FactoryZeroCal, 0.5f);
  block.SetFloat(protocol::FactoryAirCal, 120.345f);
  block.SetU32(protocol::SerialNumber, 20231108u);
  block.regs[protocol::DeviceAddress] = 1;

  protocol::AppState state;
  state.link.currentAddress = 1;
  const protocol::RtuFrame reply = block.PollReply(1);
  std::copy(reply.begin(), reply.end(), state.link.rxBuf.begin());
  const protocol::SensorReading r = protocol::DecodePollReply(reply.data());
  state.signalSnapshot = {r.phaseDiff,    r.redPhase,       r.greenPhase, r.redAmplitude,
                          r.redGain,      r.greenAmplitude, r.greenGain};

  bool ok = true;
  {
    CSensorConfigDlg window(state);
    ok &= Save(window, dir, "sensor_config.png");
  }
  {
    CSensorSignalDlg window(state);
    ok &= Save(window, dir, "sensor_signal.png");
  }
  {
    CFactoryInfoDlg window(state);
    ok &= Save(window, dir, "factory_info.png");
  }
  {
    CValueInputDlg window(state);
    window.ValueBox()->setText(QStringLiteral("101.3"));
    ok &= Save(window, dir, "value_entry.png");
  }
  {
    CIntInputDlg window(state);
    window.ValueBox()->setText(QStringLiteral("10"));
    ok &= Save(window, dir, "integer_entry.png");
  }
  return ok ? 0 : 1;
}
