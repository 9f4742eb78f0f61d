#include "records/record_settings_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "records/database_url.h"
#include "records/record_database.h"

namespace records {

RecordSettingsDialog::RecordSettingsDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("记录设置"));
  m_local = new QRadioButton(
      tr("本机数据库（SQLite）：%1").arg(QDir::toNativeSeparators(DefaultDatabaseFile())), this);
  m_server = new QRadioButton(tr("PostgreSQL 服务器（多台电脑共用一份记录）"), this);
  m_url = new QLineEdit(this);
  m_url->setPlaceholderText(tr("postgresql://用户@主机:5432/数据库"));
  auto* hint = new QLabel(
      tr("连接串示例：postgresql://lab@db.plant:5432/records；本机套接字：postgresql://lab@%2Fvar%2Frun%2Fpostgresql/records。"
                     "密码可写在连接串中，或放在 PostgreSQL 的 .pgpass 文件里。"),
      this);
  hint->setWordWrap(true);
  m_test = new QPushButton(tr("测试连接"), this);
  m_result = new QLabel(this);
  m_result->setWordWrap(true);
  m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_local);
  layout->addWidget(m_server);
  layout->addWidget(m_url);
  layout->addWidget(hint);
  layout->addWidget(m_test, 0, Qt::AlignLeft);
  layout->addWidget(m_result);
  layout->addWidget(buttons);

  connect(m_server, &QRadioButton::toggled, m_url, &QWidget::setEnabled);
  connect(m_test, &QPushButton::clicked, this, &RecordSettingsDialog::TestConnection);
  connect(buttons, &QDialogButtonBox::accepted, this, &RecordSettingsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(&m_watcher, &QFutureWatcher<QString>::finished, this, [this] {
    m_test->setEnabled(true);
    const QString error = m_watcher.result();
    m_result->setText(error.isEmpty() ? tr("连接成功，记录格式版本 %1。").arg(kSchemaVersion)
                                      : tr("连接失败：%1").arg(error));
    emit TestFinished(error.isEmpty());
  });
  SetDatabaseUrl(SavedDatabaseUrl());
}

RecordSettingsDialog::~RecordSettingsDialog() { m_watcher.waitForFinished(); }

QString RecordSettingsDialog::DatabaseUrl() const { return m_server->isChecked() ? m_url->text().trimmed() : QString(); }

void RecordSettingsDialog::SetDatabaseUrl(const QString& url) {
  const bool server = !url.trimmed().isEmpty();
  (server ? m_server : m_local)->setChecked(true);
  m_url->setEnabled(server);
  m_url->setText(url.trimmed());
}

QString RecordSettingsDialog::ResultText() const { return m_result->text(); }

void RecordSettingsDialog::TestConnection() {
  DatabaseTarget target;
  QString error;
  if (!ParseDatabaseUrl(DatabaseUrl(), &target, &error)) {
    m_result->setText(error);
    emit TestFinished(false);
    return;
  }
  m_test->setEnabled(false);
  m_result->setText(tr("正在连接 %1…").arg(target.Describe()));
  m_watcher.setFuture(QtConcurrent::run([target] {
    RecordDatabase db;
    QString error;
    db.Open(target, &error);
    return error;
  }));
}

void RecordSettingsDialog::accept() {
  DatabaseTarget target;
  QString error;
  const bool missing = m_server->isChecked() && m_url->text().trimmed().isEmpty();
  if (missing) error = tr("请填写 PostgreSQL 连接串");
  if (missing || !ParseDatabaseUrl(DatabaseUrl(), &target, &error)) {
    m_result->setText(error);
    m_url->setFocus();
    return;
  }
  SaveDatabaseUrl(DatabaseUrl());
  QDialog::accept();
}


}  // namespace records
