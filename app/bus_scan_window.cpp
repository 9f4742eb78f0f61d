#include "app/bus_scan_window.h"

#include <QHideEvent>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "dialogs/dialog_support.h"
#include "link/bus_scan.h"
#include "link/device_table_file.h"
#include "protocol/display_rules.h"

namespace {

enum Column { AddressColumn, SerialColumn, VersionColumn, DoColumn, UnitColumn, FoundAtColumn, ColumnCount };

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

// Local time with its offset, so a table read in another time zone still tells when.
QString LocalTimeText() {
  const QDateTime now = QDateTime::currentDateTime();
  return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
}

}  // namespace

CBusScanWindow::CBusScanWindow(sensorlink::SensorLink& link, std::function<QString(std::uint8_t)> connectTo,
                               QWidget* parent)
    : QDialog(parent), m_scan(new sensorlink::BusScan(link, LocalTimeText, this)), m_connectTo(std::move(connectTo)) {
  setObjectName(QStringLiteral("busScanWindow"));
  setWindowTitle(tr("设备管理"));
  auto* layout = new QVBoxLayout(this);

  m_list = new QTableWidget(0, ColumnCount, this);
  m_list->setObjectName(QStringLiteral("deviceList"));
  m_list->setHorizontalHeaderLabels({tr("地址"), tr("序列号"), tr("软件版本"), tr("DO"), tr("单位"), tr("发现时间")});
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->verticalHeader()->hide();
  m_list->horizontalHeader()->setStretchLastSection(true);
  m_list->installEventFilter(this);
  layout->addWidget(m_list);

  m_progress = new QProgressBar(this);
  m_progress->setObjectName(QStringLiteral("scanProgress"));
  layout->addWidget(m_progress);

  auto* buttons = new QHBoxLayout;
  auto addButton = [&](const QString& text, const char* name) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    buttons->addWidget(button);
    return button;
  };
  m_scanButton = addButton(tr("扫描"), "scanButton");
  m_cancelButton = addButton(tr("取消"), "cancelScanButton");
  m_connectButton = addButton(tr("连接"), "connectButton");
  m_removeButton = addButton(tr("删除"), "removeButton");
  m_saveAsButton = addButton(tr("保存…"), "saveAsButton");
  buttons->addStretch(1);
  QPushButton* close = addButton(tr("关闭"), "closeButton");
  layout->addLayout(buttons);

  connect(m_scanButton, &QPushButton::clicked, this, &CBusScanWindow::StartScan);
  connect(m_cancelButton, &QPushButton::clicked, m_scan, &sensorlink::BusScan::Cancel);
  connect(m_connectButton, &QPushButton::clicked, this, &CBusScanWindow::ConnectToSelected);
  connect(m_list, &QTableWidget::cellDoubleClicked, this, &CBusScanWindow::ConnectToSelected);
  connect(m_removeButton, &QPushButton::clicked, this, &CBusScanWindow::RemoveSelected);
  connect(m_saveAsButton, &QPushButton::clicked, this, &CBusScanWindow::SaveAs);
  connect(close, &QPushButton::clicked, this, &QDialog::close);

  connect(m_scan, &sensorlink::BusScan::Progress, this, [this](int asked, int total, std::uint8_t address) {
    m_progress->setRange(0, total);
    m_progress->setValue(asked);
    m_progress->setFormat(address == 0 ? tr("%v / %m") : tr("%v / %m（地址 %1）").arg(address));
  });
  connect(m_scan, &sensorlink::BusScan::SensorFound, this, [this](const protocol::DeviceEntry& entry) {
    // Kept at once: a scan cut short by a closed window still keeps what it found.
    m_table.Put(entry);
    ShowTable();
    SaveTable();
  });
  connect(m_scan, &sensorlink::BusScan::Finished, this, &CBusScanWindow::OnFinished);

  m_choosePath = [this] {
    return QFileDialog::getSaveFileName(this, tr("保存设备表"), QString(), tr("文本文件 (*.txt);;所有文件 (*)"));
  };
  ShowScanning(false);
  ReloadTable();
  resize(620, 360);
}

void CBusScanWindow::SetScanRange(std::uint8_t first, std::uint8_t last) {
  m_first = first;
  m_last = last;
}

bool CBusScanWindow::Scanning() const { return m_scan->Running(); }

void CBusScanWindow::ReloadTable() {
  if (Scanning()) return;
  m_table = sensorlink::LoadDeviceTable();
  ShowTable();
}

bool CBusScanWindow::StartScan() {
  if (!m_scan->Start(m_first, m_last)) {
    ui::ShowMessage(this, tr("有未完成的写入，请等它完成后再扫描总线。"));
    return false;
  }
  ShowScanning(true);
  emit ScanRunning(true);
  return true;
}

void CBusScanWindow::OnFinished(bool /*cancelled*/) {
  ShowScanning(false);
  SaveTable();
  emit ScanRunning(false);
}

void CBusScanWindow::ShowScanning(bool scanning) {
  m_progress->setVisible(scanning);
  m_cancelButton->setVisible(scanning);
  for (QPushButton* b : {m_scanButton, m_connectButton, m_removeButton}) b->setEnabled(!scanning);
}

void CBusScanWindow::ShowTable() {
  const std::uint8_t selected = SelectedAddress();
  const auto& entries = m_table.Entries();
  m_list->setRowCount(static_cast<int>(entries.size()));
  for (int row = 0; row < static_cast<int>(entries.size()); ++row) {
    const protocol::DeviceEntry& e = entries[static_cast<std::size_t>(row)];
    const QString cells[ColumnCount] = {QString::number(e.address),
                                        QString::number(e.serialNumber),
                                        Utf8(protocol::FormatG6(protocol::VersionShown(e.softwareVersion))),
                                        Utf8(protocol::FormatG6(protocol::DoValueShown(e.doValue))),
                                        QString::fromUtf8(protocol::UnitText(e.unit)),
                                        Utf8(e.foundAt)};
    for (int column = 0; column < ColumnCount; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      item->setData(Qt::UserRole, e.address);
      m_list->setItem(row, column, item);
    }
    if (e.address == selected) m_list->selectRow(row);
  }
  m_list->resizeColumnsToContents();
}

void CBusScanWindow::SaveTable() {
  QString error;
  if (!sensorlink::SaveDeviceTable(m_table, sensorlink::DeviceTablePath(), &error))
    ui::ShowMessage(this, tr("设备表无法保存：%1").arg(error));
}

std::uint8_t CBusScanWindow::SelectedAddress() const {
  const auto rows = m_list->selectionModel()->selectedRows();
  if (rows.isEmpty()) return 0;
  return static_cast<std::uint8_t>(m_list->item(rows.first().row(), AddressColumn)->data(Qt::UserRole).toUInt());
}

void CBusScanWindow::ConnectToSelected() {
  const std::uint8_t address = SelectedAddress();
  if (address == 0 || Scanning()) return;
  const QString refused = m_connectTo(address);
  if (!refused.isEmpty()) ui::ShowMessage(this, refused);
}

void CBusScanWindow::RemoveSelected() {
  const std::uint8_t address = SelectedAddress();
  if (address == 0 || !m_table.Remove(address)) return;
  ShowTable();
  SaveTable();
}

void CBusScanWindow::SaveAs() {
  const QString path = m_choosePath();
  if (path.isEmpty()) return;
  QString error;
  if (!sensorlink::SaveDeviceTable(m_table, path, &error))
    ui::ShowMessage(this, tr("设备表无法保存：%1").arg(error));
}

void CBusScanWindow::hideEvent(QHideEvent* event) {
  // The line goes back to the main window: a scan does not run on unseen.
  m_scan->Cancel();
  QDialog::hideEvent(event);
}

bool CBusScanWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_list && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      ConnectToSelected();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}
