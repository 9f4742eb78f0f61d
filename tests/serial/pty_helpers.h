#pragma once
// Pseudo-terminal helpers for the serial tests: a pty whose slave a port can
// open while the test plays the far end of the line on the master, and a
// bridge that joins two ptys like a null-modem cable.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class Pty {
 public:
  Pty() { Open(); }
  ~Pty() { Close(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool Open() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return false;
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return false;
    slavePath_ = ::ptsname(master_);
    // Hold the slave open so the line stays up while ports close and reopen,
    // and make it raw so nothing is echoed or translated before a port opens.
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
    if (slave_ < 0) return false;
    termios tio{};
    ::tcgetattr(slave_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
    return true;
  }

  // Hangs the line up: the far end sees its device fail.
  void Close() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    slave_ = master_ = -1;
  }

  int master() const { return master_; }
  int slaveFd() const { return slave_; }
  const std::string& slavePath() const { return slavePath_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

inline bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads until `count` bytes arrived or `timeoutMs` passed without them.
inline std::vector<std::uint8_t> ReadBytes(int fd, std::size_t count, int timeoutMs = 5000) {
  std::vector<std::uint8_t> out;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (out.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    if (!(p.revents & POLLIN)) break;
    std::uint8_t buf[256];
    const std::size_t want = std::min(sizeof buf, count - out.size());
    const ssize_t n = ::read(fd, buf, want);
    if (n <= 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

// Two ptys joined master to master by a thread: bytes written to one slave
// come out of the other, as over a null-modem cable.
class PtyBridge {
 public:
  PtyBridge() : thread_([this] { Run(); }) {}
  ~PtyBridge() {
    stop_ = true;
    thread_.join();
  }
  const Pty& a() const { return a_; }
  const Pty& b() const { return b_; }

 private:
  void Run() {
    pollfd fds[2] = {{a_.master(), POLLIN, 0}, {b_.master(), POLLIN, 0}};
    while (!stop_) {
      if (::poll(fds, 2, 20) <= 0) continue;
      for (int i = 0; i < 2; ++i) {
        if (!(fds[i].revents & POLLIN)) continue;
        std::uint8_t buf[512];
        const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
        if (n > 0) WriteAll(fds[1 - i].fd, std::vector<std::uint8_t>(buf, buf + n));
      }
    }
  }

  Pty a_;
  Pty b_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
