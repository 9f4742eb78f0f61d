#pragma once
#include <string>
#include <vector>

#include "protocol/receive_path.h"

// Records what the receive path asks of its window.
class RecordingWindow : public protocol::LinkWindow {
 public:
  void PullControls() override { ++pulls; }
  void PushControls() override { ++pushes; }
  void RestartPollTimer(int periodMs) override { pollTimerRestarts.push_back(periodMs); }
  void StopPollAndDisplayTimers() override { ++timerStops; }
  void BeginPortReset() override { ++portResets; }
  void ShowNotConnected() override { ++notConnectedShown; }
  void SetCommStateText(const char* text) override { commStateText = text; }
  void SetAddressShown(std::uint8_t address) override { addressesShown.push_back(address); }
  void ShowMessage(const char* text) override { messages.push_back(text); }
  void SendFrame(const protocol::RtuFrame& frame) override { sent.push_back(frame); }

  int pulls = 0;
  int pushes = 0;
  std::vector<int> pollTimerRestarts;
  int timerStops = 0;
  int portResets = 0;
  int notConnectedShown = 0;
  std::string commStateText;
  std::vector<int> addressesShown;
  std::vector<std::string> messages;
  std::vector<protocol::RtuFrame> sent;
};
