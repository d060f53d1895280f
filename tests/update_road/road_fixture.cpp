#include "tests/update_road/road_fixture.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "navigator/navigator.h"
#include "navigator/service_host.h"
#include "platform/services.h"
#include "platform/text.h"

namespace gui = platform::gui;
namespace headless = platform::gui::headless;

namespace road {

testing_support::TempFolder& servedFolder() {
  static testing_support::TempFolder folder;
  return folder;
}

testing_support::TestServiceHost& serviceHostForTests() {
  static testing_support::TestServiceHost host(servedFolder().path());
  return host;
}

void serve(const std::string& path, const std::string& bytes) {
  std::filesystem::path file = std::filesystem::path(servedFolder().path()) / path;
  std::filesystem::create_directories(file.parent_path());
  testing_support::writeFile(file.string(), bytes);
}

std::string manifest(const std::map<std::string, std::string>& attributes) {
  std::string element = "<版本信息";
  for (const auto& [name, value] : attributes) element += " " + name + "=\"" + value + "\"";
  element += "/>";
  return "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<最新版本>" + element + "</最新版本>\r\n";
}

Probes::Probes() {
  spec_.title = "probes";
  spec_.width = 10;
  spec_.height = 10;
  gui::ControlSpec timer;
  timer.name = "时钟1";
  timer.kind = gui::Kind::Timer;
  timer.elapsed = [this] { fire(); };
  spec_.controls.push_back(timer);
}

void Probes::at(std::int64_t when, std::function<void()> action) {
  if (!gui::windowOf(spec_)) gui::loadWindow(spec_).hide();
  due_.emplace(when, std::move(action));
  rearm();
}

void Probes::fire() {
  // Actions may wait eventfully and so bring this routine back in; each one
  // is taken off the list before it runs.
  while (!due_.empty() && due_.begin()->first <= headless::now()) {
    auto action = std::move(due_.begin()->second);
    due_.erase(due_.begin());
    rearm();
    action();
  }
  rearm();
}

void Probes::rearm() {
  gui::Control timer = gui::windowOf(spec_).control("时钟1");
  // Stopped first, so that a gap equal to the old period still restarts it.
  timer.setPeriod(0);
  if (due_.empty()) return;
  timer.setPeriod(static_cast<int>(std::max<std::int64_t>(1, due_.begin()->first - headless::now())));
}

void RoadTest::SetUp() {
  headless::reset();
  manifestTree = new platform::XmlDocument;
  popupWaitMs = 0;
  serviceHost = serviceHostForTests().hostPort();
  platform::installExitRoutine(&releaseManifestTree);
  ::unsetenv("VELMORA_RECORD_LAUNCH");
  ::unsetenv("VELMORA_SHELL_OPEN");
}

void RoadTest::TearDown() {
  headless::reset();
  releaseManifestTree();
}

std::string waitForFile(const std::string& path, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::filesystem::exists(path)) return testing_support::readFile(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ADD_FAILURE() << "no file " << path << " within " << timeoutMs << " ms";
  return {};
}

}  // namespace road
