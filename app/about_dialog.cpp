#include "app/about_dialog.h"

#include "dialogs/dialog_support.h"
#include "ui_about_dialog.h"

CAboutDlg::CAboutDlg(const QIcon& appIcon, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CAboutDlg>()) {
  m_ui->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  QFont dialogFont;
  dialogFont.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC"),
                          QStringLiteral("Noto Sans CJK SC")});
  dialogFont.setPointSize(9);
  setFont(dialogFont);
  ui::ApplyDialogUnits(this, 235, 55);
  m_ui->iconLabel->setPixmap(appIcon.pixmap(QSize(32, 32)));
}

CAboutDlg::~CAboutDlg() = default;
