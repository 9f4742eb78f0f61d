// GoogleTest entry point with a Qt event loop. The run gets its own runtime
// directory, inherited by the simulator and the client, so COMn links made
// here never touch the user's real port directory.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  QTemporaryDir runtime;
  if (!runtime.isValid()) return 1;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
