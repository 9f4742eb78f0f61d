#include "uitexts/link_texts.h"

#include <cstdio>

namespace ui_texts {

using protocol::LinkEvent;
using protocol::LinkEventKind;

std::string ExceptionMeaning(std::uint8_t code) {
  switch (code) {
    case 1: return "非法功能";
    case 2: return "非法数据地址";
    case 3: return "非法数据值";
    case 4: return "从站设备故障";
    case 5: return "确认";
    case 6: return "从站设备忙";
    case 8: return "存储奇偶性差错";
    default: return "未知异常";
  }
}

namespace {
std::string CodeAndMeaning(std::uint8_t code) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%02X", code);
  return std::string("异常码 ") + hex + "：" + ExceptionMeaning(code);
}
}  // namespace

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

std::string MessageText(const LinkEvent& event) {
  switch (event.kind) {
    case LinkEventKind::WriteConfirmed: return kOperationSucceeded;
    case LinkEventKind::SearchExhausted: return kNoDeviceFound;
    case LinkEventKind::WriteUnanswered: return kWriteUnanswered;
    case LinkEventKind::WriteRefused: return "写入失败：传感器拒绝写入（" + CodeAndMeaning(event.exceptionCode) + "）";
    default: return {};
  }
}

bool IsFailure(const LinkEvent& event) {
  return event.kind == LinkEventKind::WriteUnanswered || event.kind == LinkEventKind::WriteRefused ||
         event.kind == LinkEventKind::SearchExhausted;
}

}  // namespace ui_texts
