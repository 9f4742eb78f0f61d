#pragma once
#include <cstdint>
#include <string>

#include "protocol/link_events.h"

// The operator's words for link events, in one place for the window, the CLI
// and the soak (UTF-8).
namespace ui_texts {

constexpr const char* kCommunicating = "通信中";
constexpr const char* kCheckError = "校验错误";
constexpr const char* kUnknownDevice = "未知设备";
constexpr const char* kNoReply = "无应答";
constexpr const char* kExceptionReply = "异常应答";
constexpr const char* kNoConnection = "无连接";
constexpr const char* kNotConnected = "未连接";
constexpr const char* kOperationSucceeded = "操作成功";
constexpr const char* kNoDeviceFound = "未搜索到设备。";
constexpr const char* kWriteUnanswered = "写入失败：传感器无应答";

// The meaning of a MODBUS exception code, e.g. "非法数据值" for 3.
std::string ExceptionMeaning(std::uint8_t code);

// The communication-state text an event sets, or nullptr when it leaves the
// state as it is.
const char* CommStateText(const protocol::LinkEvent& event);

// The message an event puts in front of the operator, or "" for none.
std::string MessageText(const protocol::LinkEvent& event);

// True for messages that report a failure (shown with a warning icon).
bool IsFailure(const protocol::LinkEvent& event);

}  // namespace ui_texts
