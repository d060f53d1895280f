#include "tests/support/service_host.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

extern char** environ;

namespace testing_support {

namespace {
int logCounter = 0;
}

TestServiceHost::TestServiceHost(const std::string& root, const std::vector<std::string>& switches) {
  logFile_ = (std::filesystem::temp_directory_path() /
              ("velmora-host-" + std::to_string(getpid()) + "-" + std::to_string(++logCounter) + ".log"))
                 .string();
  std::remove(logFile_.c_str());
  std::vector<std::string> args{VELMORA_SERVICE_HOST_EXE, "--root", root, "--port", "0", "--log", logFile_};
  args.insert(args.end(), switches.begin(), switches.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    ADD_FAILURE() << "pipe failed";
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  pid_t pid;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (rc != 0) {
    close(pipeFds[0]);
    ADD_FAILURE() << "cannot start " << argv[0];
    return;
  }
  pid_ = pid;
  // The first line is "listening 127.0.0.1:PORT"; read() ends on EOF if it dies.
  std::string line;
  char c;
  while (read(pipeFds[0], &c, 1) == 1 && c != '\n') line += c;
  close(pipeFds[0]);
  size_t colon = line.rfind(':');
  if (line.rfind("listening ", 0) != 0 || colon == std::string::npos) {
    ADD_FAILURE() << "service host did not start: '" << line << "'";
    return;
  }
  port_ = std::stoi(line.substr(colon + 1));
}

TestServiceHost::~TestServiceHost() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    int status;
    waitpid(pid_, &status, 0);
  }
  std::remove(logFile_.c_str());
}

std::string TestServiceHost::hostPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::string TestServiceHost::url(const std::string& path) const { return "http://" + hostPort() + path; }

std::string TestServiceHost::log() const { return readFile(logFile_); }

} // namespace testing_support
