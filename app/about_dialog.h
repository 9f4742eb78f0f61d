#pragma once
#include <QDialog>
#include <QIcon>
#include <memory>

namespace Ui {
class CAboutDlg;
}

// "关于 Velloran": the application icon, the version line and OK.
class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(const QIcon& appIcon, QWidget* parent = nullptr);
  ~CAboutDlg() override;

 private:
  std::unique_ptr<Ui::CAboutDlg> m_ui;
};
