#pragma once
#include <QDialog>
#include <QFutureWatcher>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace records {

// "记录设置": where the records go — the SQLite file in the user's data
// folder, or a PostgreSQL server shared by several PCs. The choice is kept
// in the program's settings; "测试连接" tries it without leaving the window
// waiting.
class RecordSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit RecordSettingsDialog(QWidget* parent = nullptr);
  ~RecordSettingsDialog() override;

  // What the operator chose: empty for the default SQLite file.
  QString DatabaseUrl() const;
  void SetDatabaseUrl(const QString& url);
  QString ResultText() const;

  // Tries the connection (schema made or migrated); TestFinished() when done.
  void TestConnection();

  void accept() override;

 signals:
  void TestFinished(bool ok);

 private:
  QRadioButton* m_local;
  QRadioButton* m_server;
  QLineEdit* m_url;
  QPushButton* m_test;
  QLabel* m_result;
  QFutureWatcher<QString> m_watcher;
};

}  // namespace records
