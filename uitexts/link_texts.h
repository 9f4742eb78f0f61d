#pragma once
#include <cstdint>
#include <string>

#include "protocol/link_events.h"
#include "protocol/translatable_text.h"

// The operator's words for link events, in one place for the window, the CLI
// and the soak (UTF-8).
namespace ui_texts {

constexpr const char* kCommunicating = SENSOR_TEXT("SensorTexts", "通信中");
constexpr const char* kCheckError = SENSOR_TEXT("SensorTexts", "校验错误");
constexpr const char* kUnknownDevice = SENSOR_TEXT("SensorTexts", "未知设备");
constexpr const char* kNoReply = SENSOR_TEXT("SensorTexts", "无应答");
constexpr const char* kExceptionReply = SENSOR_TEXT("SensorTexts", "异常应答");
constexpr const char* kNoConnection = SENSOR_TEXT("SensorTexts", "无连接");
constexpr const char* kNotConnected = SENSOR_TEXT("SensorTexts", "未连接");
constexpr const char* kOperationSucceeded = SENSOR_TEXT("SensorTexts", "操作成功");
constexpr const char* kNoDeviceFound = SENSOR_TEXT("SensorTexts", "未搜索到设备。");
constexpr const char* kWriteUnanswered = SENSOR_TEXT("SensorTexts", "写入失败：传感器无应答");

// The meaning of a MODBUS exception code, e.g. "非法数据值" for 3.
std::string ExceptionMeaning(std::uint8_t code);

// The communication-state text an event sets, or nullptr when it leaves the
// state as it is.
const char* CommStateText(const protocol::LinkEvent& event);

// Puts a text marked with SENSOR_TEXT into the operator's language (UTF-8).
using TextTranslator = std::string (*)(const char* text);

// The message an event puts in front of the operator, or "" for none; its
// parts go through `translate` when one is given.
std::string MessageText(const protocol::LinkEvent& event, TextTranslator translate = nullptr);

// True for messages that report a failure (shown with a warning icon).
bool IsFailure(const protocol::LinkEvent& event);

}  // namespace ui_texts
