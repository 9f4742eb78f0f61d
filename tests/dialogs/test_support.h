#pragma once
// Shared pieces of the window tests: frames sealed with their CRC, the shared
// state with a poll reply in rxBuf, and waiting on conditions.
#include <QLabel>
#include <QTest>
#include <algorithm>
#include <functional>
#include <initializer_list>

#include "controls/image_button.h"
#include "protocol/app_state.h"
#include "protocol/crc16.h"
#include "protocol/registers.h"

// The frame as the sensor expects it, sealed with its CRC (low byte first).
inline protocol::RtuFrame Sealed(std::initializer_list<std::uint8_t> body) {
  protocol::RtuFrame frame(body);
  const std::uint16_t crc = protocol::Crc16Modbus(frame.data(), frame.size());
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  return frame;
}

// Copies the block's poll reply into rxBuf, as the receive path leaves it.
inline void PutReply(protocol::AppState& state, const protocol::RegisterBlock& block,
                     std::uint8_t address) {
  const protocol::RtuFrame reply = block.PollReply(address);
  std::copy(reply.begin(), reply.end(), state.link.rxBuf.begin());
}

// Waits (processing events) until the condition holds; false on time-out.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
  return QTest::qWaitFor(condition, timeoutMs);
}

// The hover background an image button of these windows must have: the
// palette's button face lightened by 10, as far as its brightest channel allows.
inline ColourRef LightenedFace(const CImageButton* button) {
  const QColor face = button->palette().color(QPalette::Active, QPalette::Button);
  const int shift = std::min({10, 255 - face.red(), 255 - face.green(), 255 - face.blue()});
  return Rgb(face.red() + shift, face.green() + shift, face.blue() + shift);
}

// The three colours every image button of the sensor windows and prompts gets.
inline void ExpectPromptColours(const CImageButton* button) {
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->StateColour(ColourIdleBack), Rgb(96, 123, 139)) << button->text().toStdString();
  EXPECT_EQ(button->StateColour(ColourFocusBack), Rgb(96, 123, 139)) << button->text().toStdString();
  EXPECT_EQ(button->StateColour(ColourHotBack), LightenedFace(button)) << button->text().toStdString();
}
