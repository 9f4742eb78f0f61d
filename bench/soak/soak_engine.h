#pragma once
// The fault soak: the real main window, offscreen, polls the simulated sensor
// through a line this engine owns, while the simulator and the line inject
// seeded faults and the sensor is unplugged and plugged in again. Everything
// the window shows and sends is checked against the simulator's own logs.
//
// Needs a QApplication; RunSoak runs its own event loop until the cycles are
// done.
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace soak {

struct SoakConfig {
  QString simPath;       // the sensor-sim program
  int cycles = 10000;    // poll cycles after the sensor was found
  std::uint32_t seed = 1;

  // Periods the soak gives the window's timers once the sensor was found
  // (the product's: poll 2000, display 1000, write 900). Shorter periods run
  // more cycles per minute; the line and the reset waits keep real time.
  int pollMs = 2000;
  int displayMs = 1000;
  int writeMs = 900;

  // Unplugging: after a number of cycles drawn from [min, max], for a
  // downtime drawn from [downMinMs, downMaxMs].
  int unplugMinCycles = 400;
  int unplugMaxCycles = 800;
  int downMinMs = 500;
  int downMaxMs = 3000;

  // The longest event-loop stall that passes. The long soak holds the strict
  // 100 ms; a short run inside a loaded test machine (sanitizers, two cores
  // shared with other tests) is given a bound that such a machine can hold.
  int stallLimitMs = 100;

  // Per poll cycle: a noise burst between replies, noise inside the next
  // reply, a write queued.
  double noiseBetweenChance = 0.03;
  double noiseInsideChance = 0.03;
  double writeChance = 0.03;

  // Fault periods of the simulator, each drawn per simulator run from
  // [min, 3*min] replies; its silence of 2..7 polls comes once per run.
  int dropByteEvery = 13;
  int flipBitEvery = 9;
  int noiseEvery = 11;
  int foreignAddressEvery = 29;
  int foreignTypeEvery = 17;
};

struct SoakResult {
  bool started = false;        // the window found the sensor
  bool timedOut = false;
  std::string setupError;

  int cycles = 0;              // poll-timer ticks after the sensor was found
  double seconds = 0;          // wall time of those cycles
  int simRuns = 0;             // simulator processes (1 + replugs)
  int unplugs = 0;
  int portLossShown = 0;       // unplugs during which the window showed "串口断开" with its port closed
  int silences = 0;            // stretches of unanswered polls that ended in a reply
  int portResets = 0;          // closes of the port by the window after silence

  // Replies.
  int pollRepliesSent = 0;     // by the simulator, faulted or not
  int checkedRepliesSent = 0;  // of which intact
  int repliesFaultedOnLine = 0;  // replies the line carried with noise inside
  int noiseBursts = 0;         // bursts between replies
  int repliesAccepted = 0;     // complete replies the window took into rxBuf
  int repliesRejected = 0;     // complete replies it refused (CRC, device type, address)
  int checkErrorsShown = 0;    // "校验错误" shown
  int unknownDeviceShown = 0;  // "未知设备" shown

  // The checks.
  int valuesShown = 0;         // distinct oxygen/temperature pairs shown
  int valuesUnexplained = 0;   // shown pairs no checked reply accounts for (must be 0)
  int rxBufUnexplained = 0;    // rxBuf contents that are no checked reply (must be 0)
  int writesQueued = 0;
  int writesReceived = 0;      // write requests that reached the sensor
  int writesWrong = 0;         // of which differ from every queued write (must be 0)
  int writesConfirmed = 0;     // "操作成功" boxes
  // "写入失败…" boxes: a write the sensor refused, or one still unanswered
  // after its last repetition (a silence or an unplug can outlast it).
  int writesFailedShown = 0;
  int requestsBadCrc = 0;      // requests that reached the sensor broken
  int faultEpisodes = 0;       // faults followed by a good value on screen
  int longestRecoveryMs = 0;   // fault end to the next good value on screen
  int messageBoxes = 0;
  int portMessageBoxes = 0;    // boxes about the port
  int mostPortMessagesOpen = 0;  // port boxes up at the same time (one at most)
  std::vector<std::string> otherMessages;  // texts of boxes that are neither
  int longestStallMs = 0;      // longest the event loop did not turn
};

SoakResult RunSoak(const SoakConfig& config);

// The figures, one per line, for people.
std::string Report(const SoakConfig& config, const SoakResult& result);

// What the run must satisfy; empty when it passed. `recoveryLimitMs` is the
// longest fault-to-good-value time accepted.
std::vector<std::string> Failures(const SoakConfig& config, const SoakResult& result, int recoveryLimitMs);

// The longest recovery a healthy window needs with these periods: the last
// reply lost with a port reset, the reset's wait or a reopen retry, a poll,
// its reply and a display refresh, with room for a busy machine.
int RecoveryLimitMs(const SoakConfig& config);

}  // namespace soak
