#pragma once

// Texts the protocol core puts on screen (UTF-8).
namespace protocol::texts {

constexpr const char* kCommunicating = "通信中";
constexpr const char* kCheckError = "校验错误";
constexpr const char* kUnknownDevice = "未知设备";
constexpr const char* kNoConnection = "无连接";
constexpr const char* kNotConnected = "未连接";
constexpr const char* kOperationSucceeded = "操作成功";
constexpr const char* kNoDeviceFound = "未搜索到设备。";

}  // namespace protocol::texts
