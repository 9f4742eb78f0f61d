#pragma once
#include <string>
#include <vector>

#include "protocol/receive_path.h"
#include "uitexts/link_texts.h"

// Records what the receive path asks of its window, with the events put in
// the operator's words as the window would.
class RecordingWindow : public protocol::LinkWindow {
 public:
  void PullControls() override { ++pulls; }
  void PushControls() override { ++pushes; }
  void RestartPollTimer(int periodMs) override { pollTimerRestarts.push_back(periodMs); }
  void StopPollAndDisplayTimers() override { ++timerStops; }
  void BeginPortReset() override { ++portResets; }
  void ShowNotConnected() override { ++notConnectedShown; }
  void SetAddressShown(std::uint8_t address) override { addressesShown.push_back(address); }
  void Report(const protocol::LinkEvent& event) override {
    events.push_back(event.kind);
    if (const char* state = ui_texts::CommStateText(event)) commStateText = state;
    const std::string message = ui_texts::MessageText(event);
    if (!message.empty()) messages.push_back(message);
  }
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
  std::vector<protocol::LinkEventKind> events;
  std::vector<protocol::RtuFrame> sent;
};
