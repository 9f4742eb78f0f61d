#include "uitexts/link_texts.h"

#include <cstdio>

namespace ui_texts {

using protocol::LinkEvent;
using protocol::LinkEventKind;

namespace {

const char* ExceptionMeaningText(std::uint8_t code) {
  switch (code) {
    case 1: return SENSOR_TEXT("SensorTexts", "非法功能");
    case 2: return SENSOR_TEXT("SensorTexts", "非法数据地址");
    case 3: return SENSOR_TEXT("SensorTexts", "非法数据值");
    case 4: return SENSOR_TEXT("SensorTexts", "从站设备故障");
    case 5: return SENSOR_TEXT("SensorTexts", "确认");
    case 6: return SENSOR_TEXT("SensorTexts", "从站设备忙");
    case 8: return SENSOR_TEXT("SensorTexts", "存储奇偶性差错");
    default: return SENSOR_TEXT("SensorTexts", "未知异常");
  }
}

// The refusal names the code and its meaning; both go into one text so that a
// translation can order them as its language needs.
constexpr const char* kWriteRefused = SENSOR_TEXT("SensorTexts", "写入失败：传感器拒绝写入（异常码 %1：%2）");

std::string Same(const char* text) { return text; }

std::string Fill(std::string text, const std::string& first, const std::string& second) {
  const auto one = text.find("%1");
  if (one != std::string::npos) text.replace(one, 2, first);
  const auto two = text.find("%2");
  if (two != std::string::npos) text.replace(two, 2, second);
  return text;
}

}  // namespace

std::string ExceptionMeaning(std::uint8_t code) { return ExceptionMeaningText(code); }

const char* CommStateText(const LinkEvent& event) {
  switch (event.kind) {
    case LinkEventKind::ReplyAccepted: return kCommunicating;
    case LinkEventKind::CrcError: return kCheckError;
    case LinkEventKind::UnknownDevice: return kUnknownDevice;
    case LinkEventKind::PollException: return kExceptionReply;
    case LinkEventKind::NoReply: return kNoReply;
    default: return nullptr;
  }
}

std::string MessageText(const LinkEvent& event, TextTranslator translate) {
  if (!translate) translate = Same;
  switch (event.kind) {
    case LinkEventKind::WriteConfirmed: return translate(kOperationSucceeded);
    case LinkEventKind::SearchExhausted: return translate(kNoDeviceFound);
    case LinkEventKind::WriteUnanswered: return translate(kWriteUnanswered);
    case LinkEventKind::WriteRefused: {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%02X", event.exceptionCode);
      return Fill(translate(kWriteRefused), hex, translate(ExceptionMeaningText(event.exceptionCode)));
    }
    default: return {};
  }
}

bool IsFailure(const LinkEvent& event) {
  return event.kind == LinkEventKind::WriteUnanswered || event.kind == LinkEventKind::WriteRefused ||
         event.kind == LinkEventKind::SearchExhausted;
}

}  // namespace ui_texts
