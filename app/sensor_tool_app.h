#pragma once
#include <QTranslator>
#include <memory>

#include "app/language.h"
#include "protocol/app_state.h"

class QApplication;
class CMainDlg;

// The application object: prepares the look and the translations, runs the
// main window as the program's only top window, and ends the program with it.
class CSensorToolApp {
 public:
  explicit CSensorToolApp(QApplication& app);
  ~CSensorToolApp();

  // Shows the main window; returns once it has closed.
  int Run();

  protocol::AppState& State() { return m_state; }
  CMainDlg* MainWindow() { return m_mainWindow.get(); }
  // The interface language in force; switching retranslates the open windows
  // and is remembered for the next start.
  i18n::Language Language() const { return m_translators.Current(); }
  void SwitchLanguage(i18n::Language language);

  // Dialog colours and style for the whole program.
  static void ApplyDialogLook(QApplication& app);
  // Qt's own Simplified Chinese texts ("确定", "取消", edit menus).
  static bool LoadChineseTranslations(QApplication& app, QTranslator& translator);

 private:
  void AddLanguageMenu();

  QApplication& m_app;
  i18n::Translators m_translators;
  protocol::AppState m_state;
  std::unique_ptr<CMainDlg> m_mainWindow;
};
