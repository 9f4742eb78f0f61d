// The short fault soak: the real main window against sensor-sim with every
// kind of line fault and two unplugs, a few hundred poll cycles at shortened
// timer periods. The long form is bench/soak's fault-soak program.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/sensor_tool_app.h"
#include "soak_engine.h"

TEST(ShortSoak, FaultsNeverShowBadValuesSendStrayWritesOrStallTheWindow) {
  soak::SoakConfig config;
  config.simPath = QStringLiteral(SENSOR_SIM_PATH);
  config.seed = 20261208;
  config.cycles = 360;
  config.pollMs = 150;
  config.displayMs = 75;
  config.writeMs = 70;
  config.unplugMinCycles = 90;
  config.unplugMaxCycles = 130;
  // The long fault-soak keeps 100 ms; this run shares a loaded machine.
  config.stallLimitMs = 250;
  const soak::SoakResult r = soak::RunSoak(config);
  std::printf("%s", soak::Report(config, r).c_str());
  for (const std::string& text : r.otherMessages) std::printf("unexpected message: %s\n", text.c_str());

  for (const std::string& failure : soak::Failures(config, r, soak::RecoveryLimitMs(config)))
    ADD_FAILURE() << failure;
  // The figures the checks above rest on, spelled out.
  EXPECT_EQ(r.cycles, config.cycles);
  EXPECT_GE(r.unplugs, 2);
  EXPECT_EQ(r.portLossShown, r.unplugs);
  EXPECT_EQ(r.valuesUnexplained, 0);
  EXPECT_EQ(r.writesWrong, 0);
  EXPECT_GT(r.repliesAccepted, r.cycles / 2) << "the link must carry most cycles despite the faults";
  EXPECT_GT(r.repliesRejected, 0);
  EXPECT_LT(r.longestStallMs, config.stallLimitMs);
  std::printf("longest event-loop stall: %d ms (limit %d ms)\n", r.longestStallMs, config.stallLimitMs);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // A private port directory, so COM1 here never reaches a real port.
  QTemporaryDir runtimeDir;
  qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
  // The main window keeps records and reads their settings: in folders of
  // this run, never the user's.
  QTemporaryDir userDir;
  qputenv("XDG_DATA_HOME", (userDir.path() + QStringLiteral("/data")).toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", (userDir.path() + QStringLiteral("/config")).toLocal8Bit());
  QApplication app(argc, argv);
  CSensorToolApp::ApplyDialogLook(app);
  return RUN_ALL_TESTS();
}
