// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/guarded_cli.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "support/test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUILLANE_HAS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLANE_HAS_ASAN 1
#endif
#endif

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

bool BuiltWithAddressSanitizer() {
#ifdef QUILLANE_HAS_ASAN
  return true;
#else
  return false;
#endif
}

void LimitOwnMemory() {
  if (BuiltWithAddressSanitizer()) return;
  rlimit limit{static_cast<rlim_t>(kMemoryLimitBytes), static_cast<rlim_t>(kMemoryLimitBytes)};
  rlimit current{};
  getrlimit(RLIMIT_AS, &current);
  if (current.rlim_cur != RLIM_INFINITY && current.rlim_cur < limit.rlim_cur) return;
  setrlimit(RLIMIT_AS, &limit);
}

std::string GuardedRun::Describe() const {
  std::string d = exited ? "exit " + std::to_string(status) : "signal " + std::to_string(signal);
  if (timedOut) d += " (timed out)";
  return d + "; stderr: " + err;
}

GuardedRun RunGuardedCli(const std::vector<std::string>& args, int timeoutSeconds,
                         long long fileSizeLimit, long long memoryLimit) {
  if (memoryLimit <= 0) memoryLimit = kMemoryLimitBytes;
  ScratchFolder capture;
  const std::string outPath = capture.File("stdout");
  const std::string errPath = capture.File("stderr");

  std::vector<std::string> argStrings;
  argStrings.push_back(QUILLANE_CLI_PATH);
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::string asanOptions;
  if (BuiltWithAddressSanitizer()) {
    const char* existing = std::getenv("ASAN_OPTIONS");
    asanOptions = std::string(existing ? existing : "");
    if (!asanOptions.empty()) asanOptions += ":";
    asanOptions += "hard_rss_limit_mb=" + std::to_string(memoryLimit / 1'000'000);
    asanOptions += ":exitcode=" + std::to_string(kSanitizerExitStatus);
  }
  std::string ubsanOptions;
  {
    const char* existing = std::getenv("UBSAN_OPTIONS");
    ubsanOptions = std::string(existing ? existing : "");
    if (!ubsanOptions.empty()) ubsanOptions += ":";
    ubsanOptions += "exitcode=" + std::to_string(kSanitizerExitStatus);
  }

  GuardedRun run;
  const pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    setenv("UBSAN_OPTIONS", ubsanOptions.c_str(), 1);
    if (BuiltWithAddressSanitizer()) {
      setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
    } else {
      rlimit limit{static_cast<rlim_t>(memoryLimit), static_cast<rlim_t>(memoryLimit)};
      setrlimit(RLIMIT_AS, &limit);
    }
    // The renderer starts with the default action for every signal, whatever this process set.
    signal(SIGXFSZ, SIG_DFL);
    if (fileSizeLimit > 0) {
      rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int wstatus = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &wstatus, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      run.timedOut = true;
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  run.exited = WIFEXITED(wstatus);
  run.status = run.exited ? WEXITSTATUS(wstatus) : -1;
  run.signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  return run;
}

::testing::AssertionResult EndedCleanly(const GuardedRun& run) {
  const bool documented =
      run.exited && (run.status == 0 || run.status == 1 || run.status == 2 || run.status == 64);
  const bool sanitizerSpoke = run.err.find("Sanitizer") != std::string::npos ||
                              run.err.find("runtime error:") != std::string::npos;
  if (!run.timedOut && documented && !sanitizerSpoke) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << run.Describe();
}
