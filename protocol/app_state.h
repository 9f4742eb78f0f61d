#pragma once
#include <cstdint>

#include "protocol/link_state.h"
#include "protocol/stability.h"

namespace protocol {

// Registers 4 to 13 of the latest reply, taken by the main window just before
// it opens the signal window.
struct SignalSnapshot {
  float phaseDiff = 0;
  float redPhase = 0;
  float greenPhase = 0;
  std::uint32_t redAmplitude = 0;
  std::uint32_t redGain = 0;
  std::uint32_t greenAmplitude = 0;
  std::uint32_t greenGain = 0;
};

// Which register the value entry windows edit.
enum EntryKind : int {
  EntryFilter = 0,            // integer entry; pressure in the number entry
  EntryPressure = 1,
  EntryDeviceAddress = 2,     // integer entry; zero calibration value in the number entry
  EntryZeroCalValue = 2,
  EntrySerialNumber = 3,      // integer entry; air calibration value in the number entry
  EntryAirCalValue = 3,
  EntryFactoryZeroCal = 4,
  EntryFactoryAirCal = 5,
};

// Everything the windows share for the life of the program.
struct AppState {
  LinkState link;
  int childDialogState = 0;  // a sensor window sets 9 when it ends
  SignalSnapshot signalSnapshot;
  int entryKind = 0;
  // Stability of the accepted readings over the last minute, fed by the main
  // window's views and read by the calibration wait prompts.
  StabilityMonitor stability;
};

constexpr int kChildDialogEnded = 9;

}  // namespace protocol
