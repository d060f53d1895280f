#include "platform/http_reader.h"

#include "tests/support/service_host.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>

using platform::HttpReader;
using testing_support::TempFolder;
using testing_support::TestServiceHost;
using testing_support::writeFile;

TEST(HttpReader, SendsTheOldBrowserRequestForm) {
  TempFolder root;
  writeFile(root.file("banben.html"), "欢迎使用");
  TestServiceHost host(root.path());
  EXPECT_EQ(HttpReader().read(host.url("/banben.html")), "欢迎使用");
  std::string log = host.log();
  EXPECT_NE(log.find("GET /banben.html HTTP/1.0\n"), std::string::npos) << log;
  EXPECT_NE(log.find("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Accept: */*\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Pragma: no-cache\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Cache-Control: no-cache\n"), std::string::npos) << log;
}

TEST(HttpReader, TakesTheBodyWhateverTheStatus) {
  TempFolder root;
  TestServiceHost host(root.path(), {"--status", "/gx/update.xml=500"});
  EXPECT_EQ(HttpReader().read(host.url("/missing")), "<html><body>404 Not Found</body></html>");
  EXPECT_EQ(HttpReader().read(host.url("/gx/update.xml")), "<html><body>error 500</body></html>");
}

TEST(HttpReader, KeepsZeroBytesAndFollowsRedirects) {
  TempFolder root;
  writeFile(root.file("a.bin"), std::string("ab\0cd", 5));
  TestServiceHost host(root.path(), {"--redirect", "/old=/a.bin"});
  EXPECT_EQ(HttpReader().read(host.url("/a.bin")), std::string("ab\0cd", 5));
  EXPECT_EQ(HttpReader().read(host.url("/old")), std::string("ab\0cd", 5));
}

TEST(HttpReader, FailuresGiveEmptyBytes) {
  // A port nobody listens on: take one from a host that is gone again.
  int freePort;
  {
    TempFolder root;
    TestServiceHost host(root.path());
    freePort = host.port();
  }
  EXPECT_EQ(HttpReader().read("http://127.0.0.1:" + std::to_string(freePort) + "/gx/gg.xml"), "");
  EXPECT_EQ(HttpReader().read("not an address"), "");
  EXPECT_EQ(HttpReader().read("file:///etc/passwd"), "");
}

TEST(HttpReader, AStalledServerYieldsEmptyBytesWithinTheTimeOut) {
  TempFolder root;
  writeFile(root.file("gg.xml"), "<x/>");
  TestServiceHost host(root.path(), {"--stall-ms", "60000"});
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(HttpReader().read(host.url("/gg.xml")), "");
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
  EXPECT_GE(took.count(), HttpReader::kIdleTimeoutMs - 500);
  EXPECT_LE(took.count(), HttpReader::kIdleTimeoutMs + 3000);
}
