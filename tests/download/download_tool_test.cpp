// velmora-download as the benchmarks and reliability runs drive it.
#include "tests/download/transfer_recorder.h"
#include "tests/support/service_host.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include <cstdlib>
#include <filesystem>

using download_testing::patternBytes;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::TestServiceHost;
using testing_support::writeFile;

namespace {

struct ToolRun {
  int status = -1;
  std::string output;
};

ToolRun runTool(const std::string& arguments, const std::string& outputFile) {
  std::string command = std::string(VELMORA_DOWNLOAD_EXE) + " " + arguments + " > " + outputFile + " 2>&1";
  int raw = std::system(command.c_str());
  ToolRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.output = readFile(outputFile);
  return run;
}

} // namespace

TEST(DownloadTool, ExitsZeroOnlyForACompleteFileAndPrintsOneLinePerMessage) {
  TempFolder root, out;
  const std::string data = patternBytes(700000, 3);
  writeFile(root.file("f.bin"), data);
  TestServiceHost host(root.path());

  ToolRun good = runTool("--threads 3 " + host.url("/f.bin") + " " + out.file("f.bin"), out.file("good.txt"));
  EXPECT_EQ(good.status, 0) << good.output;
  EXPECT_EQ(readFile(out.file("f.bin")), data);
  EXPECT_NE(good.output.find("event 3 700000 1 0 "), std::string::npos);
  EXPECT_NE(good.output.find("\nevent 16 "), std::string::npos);
  EXPECT_EQ(good.output.substr(good.output.rfind("event ")).rfind("event 4 1 0 0 ", 0), 0u) << good.output;

  ToolRun missing = runTool(host.url("/missing.bin") + " " + out.file("m.bin"), out.file("missing.txt"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("event 4 0 "), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out.file("m.bin")));

  EXPECT_EQ(runTool("--threads", out.file("usage.txt")).status, 2);
  EXPECT_EQ(runTool("ftp://127.0.0.1/f.bin " + out.file("x"), out.file("refused.txt")).status, 2);
}

TEST(DownloadTool, ASpeedLimitHoldsTheWholeTransferBack) {
  TempFolder root, out;
  writeFile(root.file("f.bin"), patternBytes(600000, 4));
  TestServiceHost host(root.path());
  auto started = std::chrono::steady_clock::now();
  ToolRun run = runTool("--speed-limit 300000 " + host.url("/f.bin") + " " + out.file("f.bin"), out.file("o.txt"));
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
  EXPECT_EQ(run.status, 0);
  EXPECT_GE(ms, 1600);  // 600 KB at 300 KB/s, less the first 30 KB the bucket holds
}

// A proxy that answers every request with 404 and keeps what it was asked.
class RecordingProxy {
public:
  RecordingProxy() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at);
    listen(listener_, 8);
    socklen_t length = sizeof at;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &length);
    port_ = ntohs(at.sin_port);
    server_ = std::thread([this] {
      int client = accept(listener_, nullptr, nullptr);
      if (client < 0) return;
      char buffer[4096];
      std::string request;
      while (request.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      request_ = request;
      const char answer[] = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      send(client, answer, sizeof answer - 1, 0);
      close(client);
    });
  }
  ~RecordingProxy() {
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    if (server_.joinable()) server_.join();
  }
  int port() const { return port_; }
  // The first request, once it has been answered.
  std::string request() {
    if (server_.joinable()) server_.join();
    return request_;
  }

private:
  int listener_ = -1;
  int port_ = 0;
  std::string request_;
  std::thread server_;
};

TEST(DownloadProxy, RequestsGoToTheProxyWithTheFullAddress) {
  TempFolder out;
  RecordingProxy proxy;
  download_testing::TransferRecorder recorder;
  platform::Downloader downloader;
  auto settings = recorder.settings("http://127.0.0.1:9/gx/f.bin", out.file("f.bin"));
  settings.proxyAddress = "127.0.0.1:" + std::to_string(proxy.port());
  ASSERT_TRUE(downloader.start(settings));
  ASSERT_TRUE(recorder.waitFor(platform::TransferMessage::transferEnded));
  std::string request = proxy.request();
  EXPECT_EQ(request.rfind("GET http://127.0.0.1:9/gx/f.bin HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("Referer: http://127.0.0.1:9/gx/\r\n"), std::string::npos);
  EXPECT_FALSE(downloader.succeeded());
  EXPECT_EQ(downloader.outcome(), platform::TransferOutcome::httpError);
}
