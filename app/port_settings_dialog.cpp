#include "app/port_settings_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/dialog_support.h"
#include "serial/port_naming.h"
#include "transports/port_address.h"
#include "transports/transport_factory.h"

namespace {

// A function, not a constant: the text follows the language in use.
QString NoBinding() { return CPortSettingsDlg::tr("（自动）"); }

}  // namespace

QList<SystemPortEntry> ListSystemPorts(const QString& byIdFolder) {
  // by-id links point at the device; map the device back to its link.
  QHash<QString, QString> byIdOf;
  const QFileInfoList links = QDir(byIdFolder).entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
  for (const QFileInfo& link : links) {
    const QString target = link.canonicalFilePath();
    if (!target.isEmpty()) byIdOf.insert(target, link.absoluteFilePath());
  }
  QList<SystemPortEntry> ports;
  const auto infos = QSerialPortInfo::availablePorts();
  for (const QSerialPortInfo& info : infos) {
    SystemPortEntry entry;
    entry.device = info.systemLocation();
    const QString canonical = QFileInfo(entry.device).canonicalFilePath();
    entry.byIdName = byIdOf.value(canonical.isEmpty() ? entry.device : canonical);
    entry.description = info.description();
    entry.manufacturer = info.manufacturer();
    entry.serialNumber = info.serialNumber();
    ports << entry;
  }
  const QStringList order = OrderSystemPorts([&] {
    QStringList devices;
    for (const SystemPortEntry& e : ports) devices << e.device;
    return devices;
  }());
  std::sort(ports.begin(), ports.end(), [&](const SystemPortEntry& a, const SystemPortEntry& b) {
    return order.indexOf(a.device) < order.indexOf(b.device);
  });
  return ports;
}

CPortSettingsDlg::CPortSettingsDlg(const QList<SystemPortEntry>& ports, QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("串口设置"));
  setObjectName(QStringLiteral("portSettings"));
  auto* layout = new QVBoxLayout(this);

  layout->addWidget(new QLabel(tr("本机的串口："), this));
  m_portTable = new QTableWidget(static_cast<int>(ports.size()), 5, this);
  m_portTable->setObjectName(QStringLiteral("portTable"));
  m_portTable->setHorizontalHeaderLabels({tr("设备"), tr("by-id 名称"), tr("描述"),
                                          tr("制造商"), tr("序列号")});
  m_portTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_portTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_portTable->verticalHeader()->hide();
  m_portTable->horizontalHeader()->setStretchLastSection(true);
  for (int row = 0; row < ports.size(); ++row) {
    const SystemPortEntry& p = ports[row];
    const QString cells[] = {p.device, QFileInfo(p.byIdName).fileName(), p.description, p.manufacturer,
                             p.serialNumber};
    for (int column = 0; column < 5; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (column == 1) item->setToolTip(p.byIdName);
      m_portTable->setItem(row, column, item);
    }
  }
  m_portTable->resizeColumnsToContents();
  m_portTable->setMinimumHeight(120);
  layout->addWidget(m_portTable);

  auto* intro = new QLabel(
      tr("为 COM1…COM15 选择设备（或输入设备路径）。绑定保存在本用户的设置中，"
                     "优先于端口目录中的链接；有 by-id 名称的适配器重新插拔后仍对应同一编号。"),
      this);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  auto* network = new QLabel(tr("经网络连接：输入 tcp://主机:端口（MODBUS TCP 网关）或 "
                                "rtu+tcp://主机:端口（透传 RTU 帧的串口服务器）。"),
                             this);
  network->setObjectName(QStringLiteral("networkNote"));
  network->setWordWrap(true);
  layout->addWidget(network);

  auto* grid = new QGridLayout;
  for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
    auto* box = new QComboBox(this);
    box->setObjectName(QStringLiteral("bindingCOM%1").arg(n));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItem(NoBinding(), QString());
    for (const SystemPortEntry& p : ports) {
      const QString shown = p.description.isEmpty() ? p.BindingName()
                                                    : QStringLiteral("%1 — %2").arg(p.BindingName(), p.description);
      box->addItem(shown, p.BindingName());
    }
    const QString saved = SavedPortBinding(n);
    int index = saved.isEmpty() ? 0 : box->findData(saved);
    if (index < 0) {
      // Bound to an adapter that is not plugged in now: keep it, say so.
      box->addItem(tr("%1（未连接）").arg(saved), saved);
      index = box->count() - 1;
    }
    box->setCurrentIndex(index);
    box->setAccessibleName(tr("COM%1 绑定").arg(n));
    auto* label = new QLabel(QStringLiteral("COM%1").arg(n), this);
    label->setBuddy(box);
    const int row = (n - 1) % 8;
    const int column = (n - 1) / 8 * 2;
    grid->addWidget(label, row, column);
    grid->addWidget(box, row, column + 1);
    m_bindingBoxes << box;
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  layout->addLayout(grid);

  auto* permission = new QLabel(
      tr("打开串口时提示“没有权限”：串口设备属于 dialout 组，当前用户需加入该组。"
                     "请在终端执行\n    sudo usermod -aG dialout $USER\n然后注销并重新登录。"),
      this);
  permission->setObjectName(QStringLiteral("permissionNote"));
  permission->setWordWrap(true);
  permission->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(permission);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(640, 560);
}

QString CPortSettingsDlg::ChosenBinding(int number) const {
  if (number < kFirstPortNumber || number > kLastPortNumber) return QString();
  const QComboBox* box = m_bindingBoxes.at(number - 1);
  const QString typed = box->currentText().trimmed();
  // A listed entry stores its binding name, not the text it is shown with.
  const int listed = box->findText(typed);
  if (listed >= 0) return box->itemData(listed).toString();
  return typed == NoBinding() ? QString() : typed;
}

void CPortSettingsDlg::accept() {
  // A network address typed wrong is said now, not when the port fails to open.
  for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
    const QString binding = ChosenBinding(n);
    if (!binding.contains(QLatin1String("://"))) continue;
    const transports::PortSpecResult parsed = transports::ParsePortSpec(binding.toStdString());
    QString refusal;
    if (parsed.error != transports::PortSpecError::None)
      refusal = transports::PortSpecErrorText(parsed.error);
    else if (parsed.spec.kind == transports::PortKind::Serial)
      refusal = tr("只支持 tcp://主机:端口 和 rtu+tcp://主机:端口");
    if (refusal.isEmpty()) continue;
    m_bindingBoxes.at(n - 1)->setFocus(Qt::OtherFocusReason);
    ui::ShowMessage(this, tr("COM%1：%2\n%3").arg(n).arg(binding, refusal));
    return;
  }
  for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) SavePortBinding(n, ChosenBinding(n));
  QDialog::accept();
}
