// GoogleTest entry point with a Qt event loop. The run gets its own runtime
// directory, inherited by the simulator and the client, so COMn links made
// here never touch the user's real port directory, and its own data and
// settings folders, so the client's records never reach the user's. The client speaks the
// language the environment names: the tests read it in English, whatever the
// machine's locale, unless a test gives it another.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "app/language.h"

int main(int argc, char** argv) {
  QTemporaryDir runtime;
  if (!runtime.isValid()) return 1;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
  qputenv("XDG_DATA_HOME", (runtime.path() + QStringLiteral("/data")).toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", (runtime.path() + QStringLiteral("/config")).toLocal8Bit());
  qputenv("LANGUAGE", "en");
  QCoreApplication app(argc, argv);
  i18n::Translators translators;
  translators.Apply(app, i18n::SystemLanguage());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
