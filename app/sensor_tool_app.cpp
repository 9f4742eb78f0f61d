#include "app/sensor_tool_app.h"

#include <QApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QActionGroup>
#include <QMenu>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "app/first_paint_reporter.h"
#include "app/main_dialog.h"
#include "dialogs/dialog_support.h"

CSensorToolApp::CSensorToolApp(QApplication& app) : m_app(app) {}

CSensorToolApp::~CSensorToolApp() = default;

void CSensorToolApp::ApplyDialogLook(QApplication& app) {
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
  QPalette palette = app.style()->standardPalette();
  const QColor background = ui::FromColourRef(0xFCC39D);  // RGB(157,195,252)
  const QColor text = ui::FromColourRef(0x4B4466);        // RGB(102,68,75)
  for (auto group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Window, background);
    palette.setColor(group, QPalette::WindowText, text);
  }
  palette.setColor(QPalette::Disabled, QPalette::Window, background);
  app.setPalette(palette);
  app.setFont(ui::MainWindowFont());
}

bool CSensorToolApp::LoadChineseTranslations(QApplication& app, QTranslator& translator) {
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                       QStringLiteral("_"), dir))
    return false;
  return app.installTranslator(&translator);
}

void CSensorToolApp::AddLanguageMenu() {
  QMenu* windowMenu = m_mainWindow->WindowMenu();
  // Named in both languages, so an operator who cannot read the one in force finds it.
  auto* menu = new QMenu(QStringLiteral("Language / 语言"), windowMenu);
  menu->setObjectName(QStringLiteral("languageMenu"));
  auto* group = new QActionGroup(menu);
  const std::pair<i18n::Language, const char*> choices[] = {{i18n::Language::Chinese, "中文"},
                                                            {i18n::Language::English, "English"}};
  for (const auto& [language, name] : choices) {
    QAction* action = menu->addAction(QString::fromUtf8(name));
    action->setCheckable(true);
    action->setChecked(language == m_translators.Current());
    action->setActionGroup(group);
    const i18n::Language chosen = language;
    QObject::connect(action, &QAction::triggered, menu, [this, chosen] { SwitchLanguage(chosen); });
  }
  // Before the About entry and its separator, like the other window entries.
  const QList<QAction*> actions = windowMenu->actions();
  QAction* before = nullptr;
  for (QAction* action : actions)
    if (action->isSeparator()) before = action;
  windowMenu->insertMenu(before, menu);
}

void CSensorToolApp::SwitchLanguage(i18n::Language language) {
  i18n::RememberLanguage(language);
  m_translators.Apply(m_app, language);
}

int CSensorToolApp::Run() {
  ApplyDialogLook(m_app);
  // Where QSettings keeps the operator's choices (language, port bindings).
  if (QCoreApplication::organizationName().isEmpty())
    QCoreApplication::setOrganizationName(QStringLiteral("sensortool"));
  m_translators.Apply(m_app, i18n::ChosenLanguage());
  m_app.setWindowIcon(QIcon(QStringLiteral(":/icons/128.png")));

  m_mainWindow = std::make_unique<CMainDlg>(m_state);
  AddLanguageMenu();
  QObject::connect(m_mainWindow.get(), &QDialog::finished, &m_app, &QApplication::quit);
  // Opt-in for the start-up benchmark; nothing else changes.
  if (qEnvironmentVariableIntValue("SENSORTOOL_BENCH_FIRST_PAINT") == 1)
    m_mainWindow->installEventFilter(new FirstPaintReporter(m_mainWindow.get()));
  m_mainWindow->show();
  const int result = m_app.exec();
  m_mainWindow.reset();
  return result;
}
