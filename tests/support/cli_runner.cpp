// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

struct Child {
  pid_t pid = -1;
  int outFd = -1;
  int errFd = -1;
};

std::vector<std::string> CommandLine(const std::vector<std::string>& arguments) {
  std::vector<std::string> args{QUILLANE_CLI_PATH};
  args.insert(args.end(), arguments.begin(), arguments.end());
  return args;
}

std::vector<char*> Argv(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

Child Start(const std::vector<std::string>& arguments) {
  int out[2];
  int err[2];
  Child child;
  if (pipe(out) != 0) return child;
  if (pipe(err) != 0) {
    close(out[0]);
    close(out[1]);
    return child;
  }
  std::vector<std::string> args = CommandLine(arguments);
  std::vector<char*> argv = Argv(args);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    close(err[0]);
    close(err[1]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  child.pid = pid;
  child.outFd = out[0];
  child.errFd = err[0];
  return child;
}

// Reads both pipes to their end; calls `onError` with standard error so far after each read
// (and, with a timeout, whenever it passes without one).
template <typename F>
void Drain(Child& child, CliRun* run, F onError, int timeoutMs = -1) {
  pollfd fds[2] = {{child.outFd, POLLIN, 0}, {child.errFd, POLLIN, 0}};
  int open = 2;
  char buf[4096];
  while (open > 0) {
    const int ready = poll(fds, 2, timeoutMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (ready == 0) onError(run->err);
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        continue;
      }
      (i == 0 ? run->out : run->err).append(buf, static_cast<size_t>(n));
      if (i == 1) onError(run->err);
    }
  }
}

void Wait(const Child& child, CliRun* run) {
  int status = 0;
  while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
  }
  run->exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run->endSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& arguments) {
  CliRun run;
  Child child = Start(arguments);
  if (child.pid <= 0) return run;
  Drain(child, &run, [](const std::string&) {});
  Wait(child, &run);
  return run;
}

CliRun RunCliOnTerminal(const std::vector<std::string>& arguments) {
  CliRun run;
  std::vector<std::string> args = CommandLine(arguments);
  std::vector<char*> argv = Argv(args);
  int terminal = -1;
  Child child;
  child.pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child.pid == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (child.pid < 0) return run;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(terminal, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // EIO once the program has closed its side
    run.out.append(buf, static_cast<size_t>(n));
  }
  close(terminal);
  Wait(child, &run);
  return run;
}

CliRun RunCliInterrupted(const std::vector<std::string>& arguments, const std::string& trigger) {
  CliRun run;
  Child child = Start(arguments);
  if (child.pid <= 0) return run;
  bool sent = false;
  Drain(child, &run, [&](const std::string& err) {
    if (!sent && err.find(trigger) != std::string::npos) {
      kill(child.pid, SIGINT);
      sent = true;
    }
  });
  Wait(child, &run);
  return run;
}

CliRun RunCliWithSignals(const std::vector<std::string>& arguments,
                         const std::vector<SignalStep>& steps) {
  CliRun run;
  Child child = Start(arguments);
  if (child.pid <= 0) return run;
  size_t next = 0;
  Drain(
      child, &run,
      [&](const std::string& err) {
        if (next < steps.size() && steps[next].ready(err)) kill(child.pid, steps[next++].signal);
      },
      1);
  Wait(child, &run);
  return run;
}
