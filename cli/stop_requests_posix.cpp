#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "cli/stop_requests.h"

namespace cli {

namespace {

// The write end of the pipe, for the handler: a signal handler may only write.
volatile sig_atomic_t g_writeEnd = -1;

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_writeEnd, &byte, 1);
}

}  // namespace

// The signal goes through a pipe, so it is handled from the event loop,
// never from inside the signal handler.
struct StopRequests::Hook {
  int pipe[2] = {-1, -1};
  struct sigaction oldInt {};
  struct sigaction oldTerm {};
  std::unique_ptr<QSocketNotifier> notifier;
};

StopRequests::StopRequests(QObject* parent) : QObject(parent), hook_(std::make_unique<Hook>()) {
  if (::pipe(hook_->pipe) != 0) return;
  for (int fd : hook_->pipe) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  g_writeEnd = hook_->pipe[1];
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, &hook_->oldInt);
  ::sigaction(SIGTERM, &action, &hook_->oldTerm);
  hook_->notifier = std::make_unique<QSocketNotifier>(hook_->pipe[0], QSocketNotifier::Read);
  connect(hook_->notifier.get(), &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (::read(hook_->pipe[0], bytes, sizeof bytes) > 0) {
    }
    emit Requested();
  });
}

StopRequests::~StopRequests() {
  if (!hook_->notifier) return;
  ::sigaction(SIGINT, &hook_->oldInt, nullptr);
  ::sigaction(SIGTERM, &hook_->oldTerm, nullptr);
  hook_->notifier.reset();
  g_writeEnd = -1;
  ::close(hook_->pipe[0]);
  ::close(hook_->pipe[1]);
}

}  // namespace cli
