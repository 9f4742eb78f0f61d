#pragma once
#include <QDialog>
#include <QList>
#include <QString>

class QComboBox;
class QTableWidget;

// One serial port of this machine as the port settings window lists it.
struct SystemPortEntry {
  QString device;        // /dev/ttyUSB0
  QString byIdName;      // /dev/serial/by-id/usb-FTDI_..., empty when there is none
  QString description;
  QString manufacturer;
  QString serialNumber;
  // What a binding stores: the by-id name survives replugging, the device may not.
  QString BindingName() const { return byIdName.isEmpty() ? device : byIdName; }
};

// The ports the system reports, each with its /dev/serial/by-id name where
// `byIdFolder` holds a link to it.
QList<SystemPortEntry> ListSystemPorts(const QString& byIdFolder = QStringLiteral("/dev/serial/by-id"));

// "串口设置…": lists the system's serial ports and lets the operator bind
// COM1..COM15 to them (or to any device path typed in). OK saves the bindings
// in the user's settings; Cancel changes nothing.
class CPortSettingsDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CPortSettingsDlg(const QList<SystemPortEntry>& ports, QWidget* parent = nullptr);

  // The binding chosen for COMn in the window, empty for none.
  QString ChosenBinding(int number) const;

  void accept() override;

 private:
  QTableWidget* m_portTable = nullptr;
  QList<QComboBox*> m_bindingBoxes;  // COM1 first
};
