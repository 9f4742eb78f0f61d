#pragma once
// Runs sensor-sim as a child process, as a user or a script would.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Reads everything from `fd` until EOF or `timeoutMs`.
inline std::string Drain(int fd, int timeoutMs) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  return text;
}

class SimProcess {
 public:
  SimProcess(const std::string& program, const std::vector<std::string>& args) {
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      ::close(out[0]);
      ::close(err[0]);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(program.c_str()));
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~SimProcess() {
    if (pid_ > 0 && !exited_) Stop();
    if (out_ >= 0) ::close(out_);
    if (err_ >= 0) ::close(err_);
  }

  // Waits for the "READY <device>" line; returns the device, empty on failure.
  std::string WaitReady(int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (stdout_.find('\n') == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) return {};
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char buf[256];
      const ssize_t n = ::read(out_, buf, sizeof buf);
      if (n <= 0) return {};
      stdout_.append(buf, static_cast<std::size_t>(n));
    }
    const std::string line = stdout_.substr(0, stdout_.find('\n'));
    if (line.rfind("READY ", 0) != 0) return {};
    return line.substr(6);
  }

  // SIGTERM, then the exit code (-1 when it did not exit normally).
  int Stop() { return Signal(SIGTERM); }
  int Signal(int sig) {
    if (pid_ <= 0 || exited_) return status_;
    ::kill(pid_, sig);
    return Wait();
  }
  int Wait() {
    int status = 0;
    if (::waitpid(pid_, &status, 0) == pid_) {
      exited_ = true;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return status_;
  }
  std::string Stderr() { return Drain(err_, 2000); }
  std::string Stdout() { return stdout_ + Drain(out_, 2000); }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  bool exited_ = false;
  int status_ = -1;
  std::string stdout_;
};

// Runs sensor-sim to its end (for --help and bad options).
inline RunResult RunToEnd(const std::string& program, const std::vector<std::string>& args) {
  SimProcess p(program, args);
  RunResult r;
  r.out = p.Stdout();
  r.err = p.Stderr();
  r.exitCode = p.Wait();
  return r;
}
