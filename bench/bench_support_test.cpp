// The helpers behind the benchmark figures: medians, /proc fields, CPU
// clocks of other processes, child processes and the event-loop probes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "loop_probe.h"

namespace {

void BusyFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
  }
}

}  // namespace

TEST(BenchFigures, MedianAndStatusFields) {
  EXPECT_EQ(bench::Median({}), 0);
  EXPECT_EQ(bench::Median({7}), 7);
  EXPECT_EQ(bench::Median({9, 1, 5}), 5);
  EXPECT_EQ(bench::Median({4, 1, 3, 100}), 3.5);

  const std::string status =
      "Name:\tsensortool\nVmPeak:\t  812345 kB\nVmHWM:\t   61234 kB\nVmRSS:\t   60000 kB\nThreads:\t3\n";
  EXPECT_EQ(bench::StatusFieldKb(status, "VmHWM"), 61234);
  EXPECT_EQ(bench::StatusFieldKb(status, "VmRSS"), 60000);
  EXPECT_EQ(bench::StatusFieldKb(status, "VmSwap"), -1);
  EXPECT_EQ(bench::StatusFieldKb(status, "Threads"), -1);  // no kB unit
  EXPECT_EQ(bench::StatusFieldKb("VmHWM:\t  -5 kB\n", "VmHWM"), -1);
  struct CountCase {
    const char* field;
    long expected;
  };
  const std::string switches = status + "voluntary_ctxt_switches:\t120\nnonvoluntary_ctxt_switches:\t7\n";
  for (const CountCase& c : {CountCase{"Threads", 3}, CountCase{"voluntary_ctxt_switches", 120},
                             CountCase{"nonvoluntary_ctxt_switches", 7}, CountCase{"VmHWM", -1} /* has a unit */,
                             CountCase{"Missing", -1}})
    EXPECT_EQ(bench::StatusFieldCount(switches, c.field), c.expected) << c.field;

  // The peak of this process grows when it touches more memory.
  const long before = bench::PeakRssKb(getpid());
  ASSERT_GT(before, 0);
  std::vector<char> block(48 * 1024 * 1024);
  std::memset(block.data(), 1, block.size());
  EXPECT_GE(bench::PeakRssKb(getpid()), before + 40 * 1024);
  EXPECT_EQ(bench::PeakRssKb(-1), -1);
  // Of what is resident, the anonymous part grew by the block too.
  EXPECT_GE(bench::SmapsRollupKb(getpid(), "Anonymous"), 40 * 1024);
  EXPECT_GE(bench::SmapsRollupKb(getpid(), "Rss"), bench::SmapsRollupKb(getpid(), "Anonymous"));
  EXPECT_EQ(bench::SmapsRollupKb(getpid(), "NoSuchField"), -1);

  // Resident pages of the files below a folder: only those mappings' Rss
  // lines count, a path with spaces included, anonymous ones never.
  const std::string smaps =
      "7f00-7f10 r--p 00000000 08:01 12 /usr/share/fonts/noto/Noto Sans CJK.ttc\n"
      "Size:                64 kB\nRss:                 48 kB\nPss:  48 kB\n"
      "7f10-7f20 r--p 00000000 08:01 13 /usr/lib/libQt6Gui.so.6\n"
      "Rss:                900 kB\n"
      "7f20-7f30 rw-p 00000000 00:00 0 \n"
      "Rss:                500 kB\n"
      "7f30-7f40 r--p 00010000 08:01 14 /usr/share/fonts/wqy/wqy-zenhei.ttc\n"
      "Rss:                 12 kB\nSwapPss:               3 kB\n";
  using Files = std::map<std::string, long>;
  struct FilesCase {
    const char* prefix;
    Files expected;
  };
  for (const FilesCase& c :
       {FilesCase{"/usr/share/fonts/",
                  Files{{"/usr/share/fonts/noto/Noto Sans CJK.ttc", 48}, {"/usr/share/fonts/wqy/wqy-zenhei.ttc", 12}}},
        FilesCase{"/usr/lib/", Files{{"/usr/lib/libQt6Gui.so.6", 900}}}, FilesCase{"/opt/", Files{}}}) {
    Files found{{"stale", 1}};
    EXPECT_TRUE(bench::MappedFilesRssKb(smaps, c.prefix, &found));
    EXPECT_EQ(found, c.expected) << c.prefix;
  }
  Files none;
  EXPECT_FALSE(bench::MappedFilesRssKb(std::string("not smaps\n"), "/", &none));
  // This process maps its own libraries.
  Files own;
  ASSERT_TRUE(bench::MappedFilesRssKb(getpid(), "/", &own));
  EXPECT_FALSE(own.empty());
  EXPECT_FALSE(bench::MappedFilesRssKb(-1, "/", &own));
}

TEST(BenchFigures, ChildProcessesAndTheirCpuTime) {
  bench::Child talker;
  ASSERT_TRUE(talker.Start({"/bin/sh", "-c", "echo one; echo \"READY $BENCH_VALUE\"; cat; echo done; exit 3"},
                           {"BENCH_VALUE=42"}, true))
      << talker.Error();
  std::string line;
  ASSERT_TRUE(talker.WaitForLine("READY", &line, 10000));
  EXPECT_EQ(line, "READY 42");
  // Nothing more comes until its input ends.
  EXPECT_FALSE(talker.ReadLine(&line, 50));
  talker.CloseStdin();
  ASSERT_TRUE(talker.ReadLine(&line, 10000));
  EXPECT_EQ(line, "done");
  EXPECT_FALSE(talker.ReadLine(&line, 10000));  // end of output
  EXPECT_EQ(talker.Wait(10000), 3);

  bench::Child missing;
  EXPECT_FALSE(missing.Start({"/nonexistent/program"}, {}));
  EXPECT_FALSE(missing.Error().empty());

  // A child that wakes ten times a second is seen waking; its CPU time is
  // known once it has been reaped.
  bench::Child waker;
  ASSERT_TRUE(waker.Start({"/bin/sh", "-c", "for i in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15; do sleep 0.1; done"}, {},
                          false, {}, true));
  const long switches0 = bench::ContextSwitches(waker.Pid());
  ASSERT_GE(switches0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  EXPECT_GE(bench::ContextSwitches(waker.Pid()) - switches0, 5);
  EXPECT_EQ(waker.CpuNsAtExit(), -1);
  EXPECT_EQ(waker.Wait(10000), 0);
  EXPECT_GE(waker.CpuNsAtExit(), 0);
  EXPECT_EQ(bench::ContextSwitches(999999999), -1);

  // A spinning child and a sleeping one, side by side: only the first uses CPU.
  bench::Child spinner, sleeper;
  ASSERT_TRUE(spinner.Start({"/bin/sh", "-c", "while :; do :; done"}, {}, false, {}, true));
  ASSERT_TRUE(sleeper.Start({"/bin/sleep", "30"}, {}, false, {}, true));
  const std::int64_t sleeperStart = bench::ProcessCpuNs(sleeper.Pid());
  ASSERT_GE(sleeperStart, 0);
  QElapsedTimer clock;
  clock.start();
  while (bench::ProcessCpuNs(spinner.Pid()) < 200'000'000 && clock.elapsed() < 20000) {
  }
  EXPECT_GE(bench::ProcessCpuNs(spinner.Pid()), 200'000'000);
  EXPECT_LT(bench::ProcessCpuNs(sleeper.Pid()) - sleeperStart, 20'000'000);
  spinner.Signal(SIGKILL);
  sleeper.Signal(SIGKILL);
  EXPECT_EQ(spinner.Wait(5000), -1);
  EXPECT_EQ(sleeper.Wait(5000), -1);
  EXPECT_EQ(bench::ProcessCpuNs(999999999), -1);
}

TEST(BenchFigures, LoopProbesSeeStallsButNotWaiting) {
  int argc = 1;
  char name[] = "bench_support_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  LoopStallProbe probe(app);
  TimerGapProbe gaps;

  // A handler that keeps the loop busy for 80 ms.
  QEventLoop loop;
  gaps.Start();
  QTimer::singleShot(20, [] { BusyFor(80); });
  QTimer::singleShot(150, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_GE(probe.LongestStallMs(), 80);
  EXPECT_LT(probe.LongestStallMs(), 1000);
  EXPECT_GE(probe.Stretches(), 2);
  // The stretch is named after the first event of the wake-up: the busy
  // handler's own timer or, when both fall due together (a loaded machine),
  // the gap probe's timer that was handled just before it.
  const std::string receiver = probe.LongestStallReceiver();
  EXPECT_TRUE(receiver == "QTimer" || receiver == "QSingleShotTimer") << receiver;
  EXPECT_GE(gaps.LongestLateMs(), 60);

  // A handler that runs a nested loop waiting 150 ms (as a modal window
  // does) is not a stall: the nested loop blocks.
  probe.Reset();
  EXPECT_EQ(probe.Stretches(), 0);
  EXPECT_EQ(probe.LongestStallMs(), 0);
  QTimer::singleShot(10, [] {
    QEventLoop nested;
    QTimer::singleShot(150, &nested, &QEventLoop::quit);
    nested.exec();
  });
  QTimer::singleShot(250, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_GE(probe.Stretches(), 2);
  EXPECT_LT(probe.LongestStallMs(), 100);
}

// The start-up figures rest on both programs reporting their first paint:
// the tool through its opt-in, the floor dialog at the size it was given.
TEST(BenchPrograms, ToolAndFloorReportTheirFirstPaint) {
  char runtimeDir[] = "/tmp/bench-test-XXXXXX";
  ASSERT_NE(::mkdtemp(runtimeDir), nullptr);
  const std::vector<std::string> offscreen{"QT_QPA_PLATFORM=offscreen"};

  auto firstPaint = [](bench::Child& child, long long* ns, int* w, int* h) {
    std::string line;
    if (!child.WaitForLine("FIRST_PAINT ", &line, 60000)) return false;
    return std::sscanf(line.c_str(), "FIRST_PAINT %lld %d %d", ns, w, h) == 3;
  };

  bench::Child tool;
  const std::int64_t started = bench::MonotonicNs();
  ASSERT_TRUE(tool.Start({SENSORTOOL_PATH},
                         {"QT_QPA_PLATFORM=offscreen", "SENSORTOOL_BENCH_FIRST_PAINT=1",
                          std::string("XDG_RUNTIME_DIR=") + runtimeDir}))
      << tool.Error();
  long long toolNs = 0;
  int toolW = 0, toolH = 0;
  ASSERT_TRUE(firstPaint(tool, &toolNs, &toolW, &toolH));
  EXPECT_GT(toolNs, started);
  EXPECT_LT(toolNs, bench::MonotonicNs());
  EXPECT_GT(toolW, 100);
  EXPECT_GT(toolH, 100);
  EXPECT_EQ(tool.Wait(20000), 0);  // it ends by itself after the report

  const std::string size = std::to_string(toolW) + "x" + std::to_string(toolH);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{FLOOR_PATH, "--size", size, "--first-paint"},
        std::vector<std::string>{FLOOR_PATH, "--size", size, "--label", "传感器配置", "--first-paint"}}) {
    bench::Child floor;
    ASSERT_TRUE(floor.Start(args, offscreen)) << floor.Error();
    long long ns = 0;
    int w = 0, h = 0;
    ASSERT_TRUE(firstPaint(floor, &ns, &w, &h));
    EXPECT_EQ(w, toolW);
    EXPECT_EQ(h, toolH);
    EXPECT_EQ(floor.Wait(20000), 0);
  }

  // Without --first-paint the floor stays up until its input ends; a bad size is refused.
  bench::Child staying;
  ASSERT_TRUE(staying.Start({FLOOR_PATH, "--size", size, "--tick-ms", "27"}, offscreen, true));
  std::string line;
  EXPECT_FALSE(staying.ReadLine(&line, 300));
  EXPECT_GT(bench::PeakRssKb(staying.Pid()), 0);
  staying.CloseStdin();
  EXPECT_EQ(staying.Wait(20000), 0);
  bench::Child refused;
  ASSERT_TRUE(refused.Start({FLOOR_PATH, "--size", "0x10"}, offscreen));
  EXPECT_EQ(refused.Wait(20000), 2);
  std::filesystem::remove_all(runtimeDir);
}
