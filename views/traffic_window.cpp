#include "views/traffic_window.h"

#include "dialogs/dialog_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace views {

namespace {

QColor VerdictColour(Verdict verdict) {
  switch (verdict) {
    case Verdict::ReplyAccepted:
    case Verdict::WriteEcho: return QColor(18, 118, 18);
    case Verdict::CrcError:
    case Verdict::UnknownDevice:
    case Verdict::ForeignAddress:
    case Verdict::ExceptionReply:
    case Verdict::Incomplete:
    case Verdict::Noise:
    case Verdict::PortReset: return QColor(200, 17, 17);
    default: return {};
  }
}

}  // namespace

// ---------------------------------------------------------------- model

TrafficModel::TrafficModel(const TrafficLog& log, qint64 epochOffsetMs, QObject* parent)
    : QAbstractTableModel(parent), m_log(log), m_epochOffsetMs(epochOffsetMs) {
  Refresh();
}

int TrafficModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_count; }
int TrafficModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

const TrafficEntry* TrafficModel::EntryAt(int row) const {
  const auto& entries = m_log.Entries();
  if (row < 0 || row >= m_count || entries.empty()) return nullptr;
  const std::uint64_t seq = m_first + static_cast<std::uint64_t>(row);
  if (seq < entries.front().seq) return nullptr;
  const std::uint64_t at = seq - entries.front().seq;
  if (at >= entries.size()) return nullptr;
  return &entries[static_cast<std::size_t>(at)];
}

QString TrafficModel::TimeText(std::int64_t ms) const {
  const QTime t = QDateTime::fromMSecsSinceEpoch(m_epochOffsetMs + ms).time();
  return QString::asprintf("%02d:%02d:%02d.%03d", t.hour(), t.minute(), t.second(), t.msec());
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
  const TrafficEntry* e = EntryAt(index.row());
  if (!e) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    switch (index.column()) {
      case TimeColumn: return TimeText(e->ms);
      case DirectionColumn: return ui::SensorText(DirectionText(e->direction));
      // Every frame opens with the slave address: after a switch the rows say
      // which sensor was asked and which one answered.
      case AddressColumn: return e->bytes.empty() ? QString() : QString::number(e->bytes.front());
      case BytesColumn: return QString::fromStdString(HexBytes(e->bytes));
      case VerdictColumn: return ui::SensorText(VerdictText(e->verdict));
      default: return {};
    }
  }
  if (role == Qt::ForegroundRole && index.column() == VerdictColumn) {
    const QColor c = VerdictColour(e->verdict);
    if (c.isValid()) return c;
  }
  if (role == Qt::UserRole) return static_cast<int>(e->verdict);
  return {};
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  switch (section) {
    case TimeColumn: return tr("时间");
    case DirectionColumn: return tr("方向");
    case AddressColumn: return tr("地址");
    case BytesColumn: return tr("字节");
    case VerdictColumn: return tr("判定");
    default: return {};
  }
}

void TrafficModel::Refresh() {
  const auto& entries = m_log.Entries();
  if (entries.empty()) {
    if (m_count > 0) {
      beginRemoveRows({}, 0, m_count - 1);
      m_count = 0;
      endRemoveRows();
    }
    m_first = m_log.TotalEntries();
    return;
  }
  const std::uint64_t logFirst = entries.front().seq;
  const std::uint64_t logEnd = entries.back().seq + 1;
  // Rows whose entries dropped out of the ring go first.
  if (logFirst > m_first && m_count > 0) {
    const int drop = static_cast<int>(std::min<std::uint64_t>(logFirst - m_first, static_cast<std::uint64_t>(m_count)));
    beginRemoveRows({}, 0, drop - 1);
    m_first += static_cast<std::uint64_t>(drop);
    m_count -= drop;
    endRemoveRows();
  }
  if (m_count == 0) m_first = logFirst;
  const std::uint64_t shownEnd = m_first + static_cast<std::uint64_t>(m_count);
  if (logEnd > shownEnd) {
    const int add = static_cast<int>(logEnd - shownEnd);
    beginInsertRows({}, m_count, m_count + add - 1);
    m_count += add;
    endInsertRows();
  }
}

QString TrafficModel::RowText(int row) const {
  QStringList cells;
  for (int c = 0; c < ColumnCount; ++c) cells << data(index(row, c), Qt::DisplayRole).toString();
  return cells.join(QLatin1Char('\t'));
}

// ---------------------------------------------------------------- window

TrafficWindow::TrafficWindow(const TrafficLog& log, qint64 epochOffsetMs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_log(log) {
  setObjectName(QStringLiteral("trafficWindow"));
  setWindowTitle(tr("通信监视"));
  resize(860, 520);

  m_model = new TrafficModel(log, epochOffsetMs, this);
  m_table = new QTableView(this);
  m_table->setObjectName(QStringLiteral("trafficTable"));
  m_table->setModel(m_model);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_table->verticalHeader()->setVisible(false);
  m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
  m_table->setWordWrap(false);
  m_table->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_table->horizontalHeader()->setSectionResizeMode(TrafficModel::TimeColumn, QHeaderView::ResizeToContents);
  m_table->horizontalHeader()->setSectionResizeMode(TrafficModel::DirectionColumn, QHeaderView::ResizeToContents);
  m_table->horizontalHeader()->setSectionResizeMode(TrafficModel::AddressColumn, QHeaderView::ResizeToContents);
  m_table->horizontalHeader()->setSectionResizeMode(TrafficModel::BytesColumn, QHeaderView::Stretch);
  m_table->horizontalHeader()->setSectionResizeMode(TrafficModel::VerdictColumn, QHeaderView::ResizeToContents);

  m_counters = new QLabel(this);
  m_counters->setObjectName(QStringLiteral("countersLabel"));
  m_counters->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_follow = new QCheckBox(tr("自动滚动"), this);
  m_follow->setObjectName(QStringLiteral("followBox"));
  m_follow->setChecked(true);
  m_copy = new QPushButton(tr("复制到剪贴板"), this);
  m_copy->setObjectName(QStringLiteral("copyButton"));
  connect(m_copy, &QPushButton::clicked, this, &TrafficWindow::CopyToClipboard);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(new QLabel(tr("最多保留 %1 条").arg(log.Capacity()), this), 1);
  bottom->addWidget(m_follow);
  bottom->addWidget(m_copy);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_counters);
  layout->addWidget(m_table, 1);
  layout->addLayout(bottom);

  Refresh();
}

QString TrafficWindow::CountersText() const {
  const TrafficCounters& c = m_log.Counters();
  return tr("轮询 %1   应答 %2   校验错误 %3   超时 %4   复位 %5   未知设备 %6   写入 %7   回显 %8   "
                        "异常应答 %9   噪声 %10   其他地址 %11")
      .arg(c.polls)
      .arg(c.replies)
      .arg(c.crcErrors)
      .arg(c.timeouts)
      .arg(c.resets)
      .arg(c.unknownDevices)
      .arg(c.writes)
      .arg(c.echoes)
      .arg(c.exceptions)
      .arg(c.noise)
      .arg(c.foreignAddresses);
}

void TrafficWindow::Refresh() {
  m_model->Refresh();
  m_counters->setText(CountersText());
  if (m_follow->isChecked() && isVisible()) m_table->scrollToBottom();
}

void TrafficWindow::CopyToClipboard() {
  QList<int> rows;
  for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) rows << index.row();
  std::sort(rows.begin(), rows.end());
  if (rows.isEmpty())
    for (int r = 0; r < m_model->rowCount(); ++r) rows << r;
  QStringList lines{CountersText()};
  for (int r : rows) lines << m_model->RowText(r);
  QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

}  // namespace views
