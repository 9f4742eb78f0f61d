#pragma once
// Process handling and figures for the benchmark driver: plain POSIX, no Qt,
// so that the driver itself stays out of the way of what it measures.
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bench {

// Nanoseconds on the steady clock, the clock the tool's first-paint report uses.
std::int64_t MonotonicNs();

// Median of the values (mean of the middle two for an even count); 0 for none.
double Median(std::vector<double> values);

// The number in a "<field>:   123 kB" line of /proc/<pid>/status text, or -1.
long StatusFieldKb(const std::string& statusText, const std::string& field);

// A field of /proc/<pid>/smaps_rollup in kB ("Rss", "Anonymous"), or -1.
long SmapsRollupKb(pid_t pid, const std::string& field);

// Resident kB of each file below `pathPrefix` (say "/usr/share/fonts/") in
// /proc/<pid>/smaps text, summed over its mappings; false for text with no
// mapping at all.
bool MappedFilesRssKb(const std::string& smapsText, const std::string& pathPrefix,
                      std::map<std::string, long>* perFile);
// The same for a running process; false when it cannot be read.
bool MappedFilesRssKb(pid_t pid, const std::string& pathPrefix, std::map<std::string, long>* perFile);

// Peak resident set (VmHWM) of a running process in kB, or -1.
long PeakRssKb(pid_t pid);

// The count in a "<field>:\t123" line of /proc/<pid>/status text (no unit), or -1.
long StatusFieldCount(const std::string& statusText, const std::string& field);

// Times the threads of a running process were switched out, voluntarily
// (they went to sleep and so were woken since) or not, summed over every
// thread; -1 when it cannot be read. Its growth over an idle stretch counts
// the process's wake-ups.
long ContextSwitches(pid_t pid);

// CPU time (user + system, every thread) a running process has used so far,
// in nanoseconds, or -1 when it cannot be read.
std::int64_t ProcessCpuNs(pid_t pid);

// One child process with its standard output read line by line.
class Child {
 public:
  Child() = default;
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Starts argv[0] (a path) with `env` added to this process's environment
  // ("NAME=value"). With `keepStdin` the child's standard input is a pipe that
  // CloseStdin() ends; otherwise it reads /dev/null. Standard error goes to
  // `stderrPath` (or /dev/null when empty); standard output to a pipe unless
  // `discardStdout`.
  bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             bool keepStdin = false, const std::string& stderrPath = {}, bool discardStdout = false);

  // The next line of standard output without its newline; false on end of
  // output or when `timeoutMs` passed first.
  bool ReadLine(std::string* line, int timeoutMs);
  // Reads lines until one starts with `prefix`; false on timeout or end of output.
  bool WaitForLine(const std::string& prefix, std::string* line, int timeoutMs);

  void CloseStdin();
  void Signal(int signal);
  // Exit status after waiting up to `timeoutMs` (then SIGKILL); -1 if killed
  // or not started.
  int Wait(int timeoutMs);
  // CPU time (user + system) the child used in all, in ns, once Wait() has
  // reaped it; -1 before.
  std::int64_t CpuNsAtExit() const { return m_cpuNsAtExit; }

  pid_t Pid() const { return m_pid; }
  bool Running() const { return m_pid > 0; }
  const std::string& Error() const { return m_error; }

 private:
  pid_t m_pid = -1;
  int m_stdoutFd = -1;
  int m_stdinFd = -1;
  std::string m_buffer;
  std::string m_error;
  std::int64_t m_cpuNsAtExit = -1;
};

}  // namespace bench
