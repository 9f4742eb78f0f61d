#include "records/calibration_records_window.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "protocol/display_rules.h"
#include "records/calibration_certificate.h"
#include "records/record_database.h"
#include "records/record_format.h"

namespace records {
namespace {

QString DoText(const SensorSnapshot& s) {
  const QString v = NumberText(s.doValue);
  return v.isEmpty() ? QStringLiteral("—")
                     : v + QLatin1Char(' ') + QString::fromUtf8(protocol::UnitText(static_cast<std::uint16_t>(s.unit)));
}

QString Text(double v) {
  const QString t = NumberText(v);
  return t.isEmpty() ? QStringLiteral("—") : t;
}

}  // namespace

CalibrationRecordsWindow::CalibrationRecordsWindow(const DatabaseTarget& target, QWidget* parent)
    : QDialog(parent), m_target(target) {
  setWindowTitle(tr("标定记录"));
  resize(980, 480);

  m_serial = new QLineEdit(this);
  m_serial->setPlaceholderText(tr("全部传感器"));
  m_serial->setClearButtonEnabled(true);
  m_useSince = new QCheckBox(tr("起始"), this);
  m_since = new QDateTimeEdit(QDateTime::currentDateTime().addDays(-30), this);
  m_useUntil = new QCheckBox(tr("截止"), this);
  m_until = new QDateTimeEdit(QDateTime::currentDateTime(), this);
  for (QDateTimeEdit* e : {m_since, m_until}) {
    e->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    e->setCalendarPopup(true);
    e->setEnabled(false);
  }
  m_query = new QPushButton(tr("查询"), this);
  m_query->setDefault(true);

  auto* filters = new QHBoxLayout;
  filters->addWidget(new QLabel(tr("传感器序列号"), this));
  filters->addWidget(m_serial, 1);
  filters->addWidget(m_useSince);
  filters->addWidget(m_since);
  filters->addWidget(m_useUntil);
  filters->addWidget(m_until);
  filters->addWidget(m_query);

  m_table = new QTableWidget(this);
  const QStringList headers{tr("时间"),       tr("类型"),       tr("传感器序列号"),
                            tr("操作员"),     tr("命令时稳定性"), tr("标定前溶解氧"),
                            tr("标定后溶解氧"), tr("标定前温度"), tr("标定后温度"),
                            tr("标定前气压"), tr("标定后气压")};
  m_table->setColumnCount(headers.size());
  m_table->setHorizontalHeaderLabels(headers);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->verticalHeader()->hide();
  m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

  m_csv = new QPushButton(tr("导出 CSV…"), this);
  m_pdf = new QPushButton(tr("标定证书 PDF…"), this);
  m_pdf->setToolTip(tr("为选中的一条标定记录生成证书"));
  m_status = new QLabel(this);
  m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* close = new QPushButton(tr("关闭"), this);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_status, 1);
  buttons->addWidget(m_csv);
  buttons->addWidget(m_pdf);
  buttons->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(m_table, 1);
  layout->addLayout(buttons);

  connect(m_useSince, &QCheckBox::toggled, m_since, &QWidget::setEnabled);
  connect(m_useUntil, &QCheckBox::toggled, m_until, &QWidget::setEnabled);
  connect(m_query, &QPushButton::clicked, this, &CalibrationRecordsWindow::Refresh);
  connect(m_serial, &QLineEdit::returnPressed, this, &CalibrationRecordsWindow::Refresh);
  connect(m_table, &QTableWidget::itemSelectionChanged, this, &CalibrationRecordsWindow::UpdateButtons);
  connect(m_csv, &QPushButton::clicked, this, &CalibrationRecordsWindow::AskExportCsv);
  connect(m_pdf, &QPushButton::clicked, this, &CalibrationRecordsWindow::AskExportCertificate);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  connect(&m_watcher, &QFutureWatcher<Result>::finished, this, &CalibrationRecordsWindow::OnLoaded);
  UpdateButtons();
}

CalibrationRecordsWindow::~CalibrationRecordsWindow() { m_watcher.waitForFinished(); }

void CalibrationRecordsWindow::ShowSerial(quint32 serial) {
  m_serial->setText(serial ? SerialText(serial) : QString());
  Refresh();
}

void CalibrationRecordsWindow::Refresh() {
  if (m_watcher.isRunning()) {
    m_pending = true;
    return;
  }
  RecordFilter filter;
  const QString serialText = m_serial->text().trimmed();
  if (!serialText.isEmpty()) {
    bool ok = false;
    const qlonglong v = serialText.toLongLong(&ok);
    if (!ok || v < -2147483648LL || v > 4294967295LL) {
      m_status->setText(tr("序列号无效：%1").arg(serialText));
      return;
    }
    filter.serial = static_cast<quint32>(v);
  }
  if (m_useSince->isChecked()) filter.since = m_since->dateTime();
  if (m_useUntil->isChecked()) filter.until = m_until->dateTime();
  m_status->setText(tr("查询中…"));
  m_query->setEnabled(false);
  const DatabaseTarget target = m_target;
  // The connection is made, used and closed on the pool thread: Qt SQL
  // connections belong to the thread that opened them.
  m_watcher.setFuture(QtConcurrent::run([target, filter] {
    Result r;
    RecordDatabase db;
    if (target.kind == DatabaseTarget::SQLite && !QFileInfo::exists(target.file)) return r;  // nothing recorded yet
    if (db.Open(target, &r.error)) r.rows = db.Calibrations(filter, &r.error);
    return r;
  }));
}

void CalibrationRecordsWindow::OnLoaded() {
  m_query->setEnabled(true);
  const Result result = m_watcher.result();
  if (m_pending) {
    m_pending = false;
    Refresh();
    return;
  }
  m_rows = result.rows;
  m_table->clearContents();
  m_table->setRowCount(static_cast<int>(m_rows.size()));
  for (int i = 0; i < m_rows.size(); ++i) {
    const CalibrationRecord& c = m_rows[i];
    const QStringList cells{c.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                            CalibrationKindLabel(c.kind),
                            SerialText(c.serial),
                            c.operatorName,
                            c.stabilityText,
                            DoText(c.before),
                            DoText(c.after),
                            Text(c.before.temperature),
                            Text(c.after.temperature),
                            Text(c.before.pressure),
                            Text(c.after.pressure)};
    for (int col = 0; col < cells.size(); ++col) m_table->setItem(i, col, new QTableWidgetItem(cells[col]));
  }
  if (!result.error.isEmpty())
    m_status->setText(tr("无法读取记录（%1）：%2").arg(m_target.Describe(), result.error));
  else
    m_status->setText(tr("%1 条标定记录").arg(m_rows.size()));
  UpdateButtons();
  emit Loaded();
}

QList<CalibrationRecord> CalibrationRecordsWindow::SelectedRows() const {
  QList<CalibrationRecord> rows;
  const QModelIndexList selected = m_table->selectionModel()->selectedRows();
  QList<int> indices;
  for (const QModelIndex& index : selected) indices << index.row();
  std::sort(indices.begin(), indices.end());
  for (int i : indices)
    if (i >= 0 && i < m_rows.size()) rows << m_rows[i];
  return rows;
}

QString CalibrationRecordsWindow::StatusText() const { return m_status->text(); }

void CalibrationRecordsWindow::UpdateButtons() {
  const qsizetype selected = m_table->selectionModel() ? m_table->selectionModel()->selectedRows().size() : 0;
  m_csv->setEnabled(selected > 0);
  m_pdf->setEnabled(selected == 1);
}

bool CalibrationRecordsWindow::ExportCsv(const QString& path, QString* error) const {
  const QList<CalibrationRecord> rows = SelectedRows();
  if (rows.isEmpty()) {
    *error = tr("请先选中要导出的标定记录");
    return false;
  }
  return WriteCalibrationsCsv(rows, path, error);
}

bool CalibrationRecordsWindow::ExportCertificate(const QString& path, QString* error) const {
  const QList<CalibrationRecord> rows = SelectedRows();
  if (rows.size() != 1) {
    *error = tr("请只选中一条标定记录");
    return false;
  }
  return WriteCalibrationCertificate(rows.first(), path, error);
}

void CalibrationRecordsWindow::AskExportCsv() {
  const QString path = QFileDialog::getSaveFileName(this, tr("导出标定记录"), tr("标定记录.csv"),
                                                    QStringLiteral("CSV (*.csv)"));
  if (path.isEmpty()) return;
  QString error;
  if (!ExportCsv(path, &error)) QMessageBox::warning(this, tr("导出失败"), error);
}

void CalibrationRecordsWindow::AskExportCertificate() {
  const QList<CalibrationRecord> rows = SelectedRows();
  if (rows.size() != 1) return;
  const QString name = tr("标定证书_%1_%2.pdf")
                           .arg(SerialText(rows.first().serial),
                                rows.first().time.toLocalTime().toString(QStringLiteral("yyyyMMdd_HHmmss")));
  const QString path =
      QFileDialog::getSaveFileName(this, tr("标定证书"), name, QStringLiteral("PDF (*.pdf)"));
  if (path.isEmpty()) return;
  QString error;
  if (!ExportCertificate(path, &error)) QMessageBox::warning(this, tr("导出失败"), error);
}

}  // namespace records
