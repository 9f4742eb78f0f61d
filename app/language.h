#pragma once
#include <QString>
#include <QTranslator>

class QCoreApplication;

// The interface language: the program's own texts are written in Chinese and
// translated to English. The system's choice holds until the operator picks
// one in the window menu; that choice is remembered.
namespace i18n {

enum class Language { Chinese, English };

// English when the first entry of LANGUAGE, or else LC_ALL, LC_MESSAGES or
// LANG (the first one set), names English ("en", "en_GB.UTF-8", ...);
// Chinese otherwise, "C" and "POSIX" included.
Language SystemLanguage();
// The operator's remembered choice, or the system's when there is none.
Language ChosenLanguage();
void RememberLanguage(Language language);

// The language the latest Translators::Apply put in force; Chinese before any.
Language LanguageInForce();

// The user manual's file in a language: help.pdf (Chinese) or help_en.pdf.
QString ManualFileName(Language language);

// Qt's own texts (standard buttons) and ours, for one language at a time.
class Translators {
 public:
  // Replaces the translators this object installed before; sends the
  // LanguageChange event to every widget.
  void Apply(QCoreApplication& app, Language language);
  Language Current() const { return m_current; }

 private:
  QTranslator m_ours;
  QTranslator m_qt;
  bool m_installed = false;
  Language m_current = Language::Chinese;
};

}  // namespace i18n
