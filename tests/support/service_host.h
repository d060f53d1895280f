#pragma once
// Starts the real service host on 127.0.0.1 for one test and stops it after.
#include <string>
#include <vector>

namespace testing_support {

class TestServiceHost {
public:
  // `root` is the served folder; `switches` are extra command-line switches
  // (fault injection). Fails the test when the server does not come up.
  explicit TestServiceHost(const std::string& root, const std::vector<std::string>& switches = {});
  ~TestServiceHost();
  TestServiceHost(const TestServiceHost&) = delete;
  TestServiceHost& operator=(const TestServiceHost&) = delete;

  int port() const { return port_; }
  std::string hostPort() const;             // "127.0.0.1:PORT"
  std::string url(const std::string& path) const;  // "http://127.0.0.1:PORT" + path
  std::string log() const;                  // every request logged so far
  std::string logFile() const { return logFile_; }

private:
  int pid_ = -1;
  int port_ = 0;
  std::string logFile_;
};

} // namespace testing_support
