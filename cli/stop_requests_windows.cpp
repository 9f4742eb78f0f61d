#include <windows.h>

#include <atomic>

#include "cli/stop_requests.h"

namespace cli {

namespace {

// The console calls its handler on a thread of its own: the request is
// queued to the object's thread.
std::atomic<StopRequests*> g_target{nullptr};

BOOL WINAPI OnConsoleEvent(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  StopRequests* target = g_target.load();
  if (!target) return FALSE;
  QMetaObject::invokeMethod(target, &StopRequests::Requested, Qt::QueuedConnection);
  return TRUE;
}

}  // namespace

struct StopRequests::Hook {};

StopRequests::StopRequests(QObject* parent) : QObject(parent), hook_(std::make_unique<Hook>()) {
  g_target = this;
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopRequests::~StopRequests() {
  ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  g_target = nullptr;
}

}  // namespace cli
