#include "app/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>

namespace i18n {
namespace {

const char* const kSettingsKey = "ui/language";

// Set by Translators::Apply: windows that pick a file by language (the manual)
// ask here rather than reach the application object.
Language g_inForce = Language::Chinese;

// Not QSettings(): the main window renames the application to its title,
// which would move the file between the first read and a later write.
QSettings Store() { return QSettings(QStringLiteral("sensortool"), QStringLiteral("sensortool")); }

bool NamesEnglish(const QByteArray& value) {
  return value == "en" || value.startsWith("en_") || value.startsWith("en.") || value.startsWith("en@");
}

}  // namespace

Language SystemLanguage() {
  // LANGUAGE is a colon-separated list in order of preference.
  const QByteArray preferred = qgetenv("LANGUAGE").split(':').value(0);
  if (!preferred.isEmpty()) return NamesEnglish(preferred) ? Language::English : Language::Chinese;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const QByteArray value = qgetenv(name);
    if (!value.isEmpty()) return NamesEnglish(value) ? Language::English : Language::Chinese;
  }
  return Language::Chinese;
}

Language ChosenLanguage() {
  const QString stored = Store().value(QLatin1String(kSettingsKey)).toString();
  if (stored == QLatin1String("en")) return Language::English;
  if (stored == QLatin1String("zh")) return Language::Chinese;
  return SystemLanguage();
}

void RememberLanguage(Language language) {
  Store().setValue(QLatin1String(kSettingsKey),
                       language == Language::English ? QStringLiteral("en") : QStringLiteral("zh"));
}

Language LanguageInForce() { return g_inForce; }

QString ManualFileName(Language language) {
  return language == Language::English ? QStringLiteral("help_en.pdf") : QStringLiteral("help.pdf");
}

void Translators::Apply(QCoreApplication& app, Language language) {
  if (m_installed) {
    app.removeTranslator(&m_ours);
    app.removeTranslator(&m_qt);
  }
  m_current = language;
  g_inForce = language;
  m_installed = true;
  if (language == Language::English) {
    // The texts are written in Chinese; English comes from our translation.
    if (m_ours.load(QStringLiteral(":/i18n/sensortool_en.qm"))) app.installTranslator(&m_ours);
  } else {
    // Qt's own buttons ("OK", "Cancel") in Chinese, as the rest of the window.
    if (m_qt.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      app.installTranslator(&m_qt);
  }
  // Installing and removing a translator posts LanguageChange to every
  // widget, and each window puts its texts in the new language.
}

}  // namespace i18n
