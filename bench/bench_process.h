// What the benchmarks that run keyers as processes share: starting them
// (as an ordinary user when started as root, so neither keyer gets
// real-time priority only because root may have it), stopping them, busy
// neighbours, a pseudo-terminal pair, and percentiles.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace bench {

// Starts a program with env added to ours; its output goes nowhere.
inline pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                   bool asUser = false) {
  std::vector<char*> argv, envp;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> all(env);
  for (char** e = environ; *e; ++e) all.push_back(*e);
  for (auto& e : all) envp.push_back(e.data());
  envp.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    if (asUser && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  return pid;
}

inline void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

inline std::vector<pid_t> BusyProcesses() {
  std::vector<pid_t> out;
  for (int i = 0; i < 2; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      volatile unsigned long x = 0;
      for (;;) x = x + 1;
    }
    out.push_back(pid);
  }
  return out;
}

// A pseudo-terminal pair from socat; returns the line's path.
inline std::string Pty(const std::string& dir, pid_t* socat) {
  *socat = Spawn(
      {"socat", "pty,raw,echo=0,link=" + dir + "/tty", "pty,raw,echo=0,link=" + dir + "/other"});
  for (int i = 0; i < 50 && access((dir + "/tty").c_str(), F_OK) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  char real[256] = {};
  if (readlink((dir + "/tty").c_str(), real, sizeof real - 1) <= 0) return "";
  chmod(real, 0666);
  return real;
}

inline double Pct(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

}  // namespace bench
