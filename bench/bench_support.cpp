#include "bench_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace bench {

std::int64_t MonotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

namespace {

// The number on the field's line of a /proc status text when the word after it
// is `unit` (no word at all when `unit` is empty); -1 when the field is absent
// or reads otherwise.
long StatusFieldNumber(const std::string& statusText, const std::string& field, const std::string& unit) {
  std::istringstream in(statusText);
  std::string line;
  const std::string key = field + ":";
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    std::istringstream rest(line.substr(key.size()));
    long value = -1;
    std::string after;
    if (!(rest >> value) || value < 0) return -1;
    rest >> after;
    return after == unit ? value : -1;
  }
  return -1;
}

// The whole text of /proc/<pid>/<name>; false when it cannot be read.
bool ReadProcFile(pid_t pid, const char* name, std::string* text) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + name);
  if (!in) return false;
  std::stringstream whole;
  whole << in.rdbuf();
  *text = whole.str();
  return true;
}

}  // namespace

long StatusFieldKb(const std::string& statusText, const std::string& field) {
  return StatusFieldNumber(statusText, field, "kB");
}

long StatusFieldCount(const std::string& statusText, const std::string& field) {
  return StatusFieldNumber(statusText, field, "");
}

long ContextSwitches(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code error;
  long total = 0;
  bool any = false;
  for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
    std::ifstream in(task.path() / "status");
    if (!in) continue;  // the thread ended meanwhile
    std::stringstream text;
    text << in.rdbuf();
    const long voluntary = StatusFieldCount(text.str(), "voluntary_ctxt_switches");
    const long involuntary = StatusFieldCount(text.str(), "nonvoluntary_ctxt_switches");
    if (voluntary < 0 || involuntary < 0) return -1;
    total += voluntary + involuntary;
    any = true;
  }
  return error || !any ? -1 : total;
}

long SmapsRollupKb(pid_t pid, const std::string& field) {
  std::string text;
  return ReadProcFile(pid, "smaps_rollup", &text) ? StatusFieldKb(text, field) : -1;
}

bool MappedFilesRssKb(const std::string& smapsText, const std::string& pathPrefix,
                      std::map<std::string, long>* perFile) {
  // A mapping's header line is "start-end perms offset dev inode [path]"; its
  // fields ("Rss:   12 kB", ...) follow until the next header.
  perFile->clear();
  std::istringstream in(smapsText);
  std::string line;
  std::string path;
  bool any = false;
  bool counted = false;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string first, perms, offset, device, inode;
    words >> first;
    if (first.find('-') != std::string::npos && words >> perms >> offset >> device >> inode) {
      any = true;
      path.clear();
      std::getline(words >> std::ws, path);
      counted = !path.empty() && path.compare(0, pathPrefix.size(), pathPrefix) == 0;
    } else if (counted && first == "Rss:") {
      long kb = 0;
      if (words >> kb) (*perFile)[path] += kb;
    }
  }
  return any;
}

bool MappedFilesRssKb(pid_t pid, const std::string& pathPrefix, std::map<std::string, long>* perFile) {
  std::string text;
  return ReadProcFile(pid, "smaps", &text) && MappedFilesRssKb(text, pathPrefix, perFile);
}

long PeakRssKb(pid_t pid) {
  std::string text;
  return ReadProcFile(pid, "status", &text) ? StatusFieldKb(text, "VmHWM") : -1;
}

std::int64_t ProcessCpuNs(pid_t pid) {
  clockid_t clock;
  if (clock_getcpuclockid(pid, &clock) != 0) return -1;
  timespec ts{};
  if (clock_gettime(clock, &ts) != 0) return -1;
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

Child::~Child() {
  if (m_pid > 0) {
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
  }
  if (m_stdoutFd >= 0) ::close(m_stdoutFd);
  if (m_stdinFd >= 0) ::close(m_stdinFd);
}

bool Child::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                  bool keepStdin, const std::string& stderrPath, bool discardStdout) {
  int outPipe[2] = {-1, -1};
  int inPipe[2] = {-1, -1};
  if (!discardStdout && ::pipe2(outPipe, O_CLOEXEC) != 0) {
    m_error = std::strerror(errno);
    return false;
  }
  if (keepStdin && ::pipe2(inPipe, O_CLOEXEC) != 0) {
    m_error = std::strerror(errno);
    return false;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (keepStdin)
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
  else
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (discardStdout)
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  else
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, stderrPath.empty() ? "/dev/null" : stderrPath.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0644);

  // The environment: ours, with the given names replaced or added.
  std::vector<std::string> envText;
  for (char** e = environ; *e; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('='));
    const bool replaced = std::any_of(env.begin(), env.end(), [&](const std::string& add) {
      return add.compare(0, name.size() + 1, name + "=") == 0;
    });
    if (!replaced) envText.push_back(entry);
  }
  envText.insert(envText.end(), env.begin(), env.end());
  std::vector<char*> envp;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (std::string& a : args) argp.push_back(a.data());
  argp.push_back(nullptr);

  const int rc = posix_spawn(&m_pid, argp[0], &actions, nullptr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (!discardStdout) ::close(outPipe[1]);
  if (keepStdin) ::close(inPipe[0]);
  if (rc != 0) {
    m_pid = -1;
    m_error = std::string(argv[0]) + ": " + std::strerror(rc);
    if (!discardStdout) ::close(outPipe[0]);
    if (keepStdin) ::close(inPipe[1]);
    return false;
  }
  m_stdoutFd = discardStdout ? -1 : outPipe[0];
  m_stdinFd = keepStdin ? inPipe[1] : -1;
  return true;
}

bool Child::ReadLine(std::string* line, int timeoutMs) {
  const std::int64_t deadline = MonotonicNs() + static_cast<std::int64_t>(timeoutMs) * 1000000;
  for (;;) {
    const std::size_t newline = m_buffer.find('\n');
    if (newline != std::string::npos) {
      *line = m_buffer.substr(0, newline);
      m_buffer.erase(0, newline + 1);
      return true;
    }
    if (m_stdoutFd < 0) return false;
    const std::int64_t left = (deadline - MonotonicNs()) / 1000000;
    if (left <= 0) return false;
    pollfd pfd{m_stdoutFd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char chunk[4096];
    const ssize_t n = ::read(m_stdoutFd, chunk, sizeof chunk);
    if (n <= 0) {
      ::close(m_stdoutFd);
      m_stdoutFd = -1;
      if (!m_buffer.empty()) {
        *line = m_buffer;
        m_buffer.clear();
        return true;
      }
      return false;
    }
    m_buffer.append(chunk, static_cast<std::size_t>(n));
  }
}

bool Child::WaitForLine(const std::string& prefix, std::string* line, int timeoutMs) {
  const std::int64_t deadline = MonotonicNs() + static_cast<std::int64_t>(timeoutMs) * 1000000;
  for (;;) {
    const int left = static_cast<int>((deadline - MonotonicNs()) / 1000000);
    if (left <= 0 || !ReadLine(line, left)) return false;
    if (line->compare(0, prefix.size(), prefix) == 0) return true;
  }
}

void Child::CloseStdin() {
  if (m_stdinFd >= 0) ::close(m_stdinFd);
  m_stdinFd = -1;
}

void Child::Signal(int signal) {
  if (m_pid > 0) ::kill(m_pid, signal);
}

int Child::Wait(int timeoutMs) {
  if (m_pid <= 0) return -1;
  const std::int64_t deadline = MonotonicNs() + static_cast<std::int64_t>(timeoutMs) * 1000000;
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = ::wait4(m_pid, &status, WNOHANG, &usage);
    if (done == m_pid) break;
    if (MonotonicNs() > deadline) {
      ::kill(m_pid, SIGKILL);
      ::wait4(m_pid, &status, 0, &usage);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  m_pid = -1;
  auto ns = [](const timeval& t) { return static_cast<std::int64_t>(t.tv_sec) * 1000000000LL + t.tv_usec * 1000LL; };
  m_cpuNsAtExit = ns(usage.ru_utime) + ns(usage.ru_stime);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace bench
