// sensor-sim: the simulated dissolved-oxygen sensor on a MODBUS-RTU line.
// It serves a pseudo-terminal (bound as COMn or by a link) or a real serial
// device, frames requests by line silence like a real slave, and answers
// through SimBus: one simulated sensor per bus address.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <QFile>

#include "protocol/rtu_frame.h"
#include "serial/port_naming.h"
#include "sim_bus.h"
#include "sim_options.h"
#include "sensortool_version.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

using Clock = std::chrono::steady_clock;

std::string Hex(const sim::Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) out += ' ';
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 0xF];
  }
  return out;
}

class FrameLog {
 public:
  bool Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "a");
    return file_ != nullptr;
  }
  ~FrameLog() {
    if (file_) std::fclose(file_);
  }
  void Line(const char* tag, const sim::Bytes& bytes) {
    if (!file_) return;
    std::fprintf(file_, "%s %s\n", tag, Hex(bytes).c_str());
    std::fflush(file_);
  }

 private:
  FILE* file_ = nullptr;
};

bool MakeRaw(int fd, bool setSpeed) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(PARENB | CSTOPB | CRTSCTS);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (setSpeed && (::cfsetispeed(&tio, B9600) != 0 || ::cfsetospeed(&tio, B9600) != 0)) return false;
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Points `linkPath` at `target`. A link left by a run that was killed points
// at a pseudo-terminal that has gone and is replaced; a link whose device
// still exists is served by a live process (another simulator, or a real
// port bound to that name) and is refused, as is anything not a link.
bool PlaceLink(const std::string& linkPath, const std::string& target, std::string* error) {
  struct stat st {};
  if (::lstat(linkPath.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      *error = linkPath + " exists and is not a symbolic link";
      return false;
    }
    struct stat device {};
    if (::stat(linkPath.c_str(), &device) == 0 && S_ISCHR(device.st_mode)) {
      char buf[4096];
      const ssize_t n = ::readlink(linkPath.c_str(), buf, sizeof buf - 1);
      const std::string old = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string("a device");
      *error = linkPath + " is in use: it points at " + old +
               ", which a running process serves; stop that process or choose another port";
      return false;
    }
    ::unlink(linkPath.c_str());
  }
  // symlink() never replaces: of two simulators starting at once, one wins.
  if (::symlink(target.c_str(), linkPath.c_str()) != 0) {
    *error = "cannot create " + linkPath + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

// Removes the link on the way out only while it still points at our own
// pseudo-terminal, never one another process has placed since.
void RemoveLinkIfOurs(const std::string& linkPath, const std::string& target) {
  char buf[4096];
  const ssize_t n = ::readlink(linkPath.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return;
  buf[n] = '\0';
  if (target == buf) ::unlink(linkPath.c_str());
}

// Writes the whole reply; at the line's real byte rate when paced.
void Send(int fd, const sim::Bytes& bytes, bool paced) {
  timespec next{};
  ::clock_gettime(CLOCK_MONOTONIC, &next);
  constexpr long kByteNs = 1000000000L / 960;  // 10 bits per byte at 9600 baud
  std::size_t done = 0;
  while (done < bytes.size() && !g_stop) {
    const std::size_t chunk = paced ? 1 : bytes.size() - done;
    const ssize_t n = ::write(fd, bytes.data() + done, chunk);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      if (paced && done < bytes.size()) {
        next.tv_nsec += kByteNs;
        if (next.tv_nsec >= 1000000000L) {
          next.tv_nsec -= 1000000000L;
          ++next.tv_sec;
        }
        ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
      }
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // Nobody reads the line: wait a little, then give the reply up.
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, 100) > 0) continue;
    }
    return;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  sim::SimOptions options;
  std::string error;
  switch (sim::ParseSimOptions(args, &options, &error)) {
    case sim::ParseResult::Help:
      std::fputs(sim::HelpText().c_str(), stdout);
      return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    case sim::ParseResult::Version:
      std::printf("sensor-sim %s\n", SENSORTOOL_VERSION);
      return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    case sim::ParseResult::Error:
      std::fprintf(stderr, "sensor-sim: %s\nTry 'sensor-sim --help' for the options.\n", error.c_str());
      return 2;
    case sim::ParseResult::Ok:
      break;
  }

  FrameLog log;
  if (!options.logPath.empty() && !log.Open(options.logPath)) {
    std::fprintf(stderr, "sensor-sim: cannot open log %s: %s\n", options.logPath.c_str(), std::strerror(errno));
    return 1;
  }

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  ::sigemptyset(&sa.sa_mask);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGHUP, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  int fd = -1;
  int heldSlave = -1;  // keeps the pty up while the client closes and reopens
  std::string served;
  std::string linkPath;
  if (!options.device.empty()) {
    fd = ::open(options.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 || !MakeRaw(fd, true)) {
      std::fprintf(stderr, "sensor-sim: cannot open %s: %s\n", options.device.c_str(), std::strerror(errno));
      return 1;
    }
    served = options.device;
  } else {
    fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0) {
      std::fprintf(stderr, "sensor-sim: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
      return 1;
    }
    served = ::ptsname(fd);
    heldSlave = ::open(served.c_str(), O_RDWR | O_NOCTTY);
    if (heldSlave < 0 || !MakeRaw(heldSlave, true)) {
      std::fprintf(stderr, "sensor-sim: cannot set up %s: %s\n", served.c_str(), std::strerror(errno));
      return 1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (!options.link.empty()) {
      linkPath = options.link;
    } else {
      const QString dir = PortDirectory();
      if (dir.isEmpty()) {
        std::fprintf(stderr, "sensor-sim: no private port directory available\n");
        return 1;
      }
      linkPath = QFile::encodeName(PortLinkPath(dir, options.com)).toStdString();
    }
    if (!PlaceLink(linkPath, served, &error)) {
      std::fprintf(stderr, "sensor-sim: %s\n", error.c_str());
      return 1;
    }
  }
  if (!linkPath.empty() && options.com > 0) {
    std::string addresses;
    for (int a : options.addresses) addresses += (addresses.empty() ? "" : ",") + std::to_string(a);
    std::fprintf(stderr, "sensor-sim: COM%d -> %s, address%s %s\n", options.com, served.c_str(),
                 options.addresses.size() > 1 ? "es" : "", addresses.c_str());
  }
  std::printf("READY %s\n", served.c_str());
  std::fflush(stdout);

  sim::SimBus bus(options);
  const Clock::time_point start = Clock::now();
  const auto gap = std::chrono::milliseconds(options.frameGapMs);
  sim::RequestBuffer pending;
  Clock::time_point lastByte = start;
  int exitCode = 0;

  while (!g_stop) {
    int timeoutMs = 200;
    if (!pending.Empty() || pending.Overrun()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(lastByte + gap - Clock::now()).count();
      timeoutMs = static_cast<int>(std::max<long long>(0, left));
    }
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeoutMs);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0) {
      if (p.revents & POLLIN) {
        std::uint8_t buf[512];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
          pending.Append(buf, static_cast<std::size_t>(n));
          lastByte = Clock::now();
          continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      }
      if (p.revents & (POLLERR | POLLHUP | POLLNVAL | POLLIN)) {
        std::fprintf(stderr, "sensor-sim: the line %s failed\n", served.c_str());
        exitCode = 1;
        break;
      }
    }
    if ((pending.Empty() && !pending.Overrun()) || Clock::now() - lastByte < gap) continue;

    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    sim::Bytes overrun;
    const std::vector<sim::Bytes> frames = pending.TakeFrames(&overrun);
    if (!overrun.empty()) log.Line("RX-OVERRUN", overrun);
    for (const sim::Bytes& frame : frames) {
      const bool crcOk = frame.size() >= 4 && protocol::HasValidCrc(frame.data(), frame.size());
      log.Line(crcOk ? "RX" : "RX-BADCRC", frame);
      bus.Update(seconds);
      const sim::Bytes reply = bus.HandleFrame(frame);
      if (reply.empty()) continue;
      // Logged before it goes out, so whoever has read the reply can rely on
      // finding it in the log.
      log.Line("TX", reply);
      Send(fd, reply, options.paced);
    }
  }

  if (!linkPath.empty()) RemoveLinkIfOurs(linkPath, served);
  if (heldSlave >= 0) ::close(heldSlave);
  ::close(fd);
  return exitCode;
}
