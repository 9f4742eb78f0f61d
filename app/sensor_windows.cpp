#include "app/sensor_windows.h"

#include <QUrl>

#include "dialogs/factory_info_dialog.h"
#include "dialogs/sensor_config_dialog.h"
#include "dialogs/sensor_signal_dialog.h"

void RunSensorConfigWindow(protocol::AppState& state, QWidget* parent) {
  CSensorConfigDlg dialog(state, parent);
  dialog.exec();
}

void RunFactoryInfoWindow(protocol::AppState& state, QWidget* parent,
                          const std::function<bool(const QUrl&)>& openUrl) {
  CFactoryInfoDlg dialog(state, parent);
  if (openUrl) dialog.SetUrlOpener(openUrl);
  dialog.exec();
}

void RunSensorSignalWindow(protocol::AppState& state, QWidget* parent) {
  CSensorSignalDlg dialog(state, parent);
  dialog.exec();
}
