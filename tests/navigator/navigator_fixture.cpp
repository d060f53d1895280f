#include "tests/navigator/navigator_fixture.h"

#include <filesystem>

namespace {

struct Shared {
  testing_support::TempFolder root;
  std::unique_ptr<testing_support::TestServiceHost> host;
  std::string builtHost;
};
Shared* shared = nullptr;

class SharedHostEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    shared = new Shared;
    shared->builtHost = serviceHost;
    shared->host = std::make_unique<testing_support::TestServiceHost>(shared->root.path());
    serviceHost = shared->host->hostPort();
    mainWindowSpec();  // its start page address is the shared host's for good
  }
  void TearDown() override {
    delete shared;
    shared = nullptr;
  }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new SharedHostEnvironment);

}  // namespace

const std::string& sharedRoot() { return shared->root.path(); }
testing_support::TestServiceHost& sharedHost() { return *shared->host; }
const std::string& builtServiceHost() { return shared->builtHost; }

void writeServedFile(const std::string& relative, const std::string& bytes) {
  std::filesystem::path path = std::filesystem::path(sharedRoot()) / relative;
  std::filesystem::create_directories(path.parent_path());
  testing_support::writeFile(path.string(), bytes);
}

void NavigatorTest::SetUp() {
  platform::gui::headless::reset();
  writeServedFile("gx/banben.html", "欢迎使用");
  std::filesystem::remove(std::filesystem::path(sharedRoot()) / "gx" / "gg.xml");
  logMark_ = sharedHost().log().size();
}

void NavigatorTest::TearDown() {
  platform::gui::headless::reset();
  releaseManifestTree();
  serviceHost = sharedHost().hostPort();
}

platform::gui::Window NavigatorTest::start() { return startAgainst(sharedHost().hostPort()); }

platform::gui::Window NavigatorTest::startAgainst(const std::string& host) {
  serviceHost = host;
  manifestTree = new platform::XmlDocument;
  platform::installExitRoutine(&releaseManifestTree);
  platform::gui::Window window;
  platform::gui::headless::runProgram([&] { window = platform::gui::loadWindow(mainWindowSpec()); });
  return window;
}

std::string NavigatorTest::hostLog() const { return sharedHost().log().substr(logMark_); }
