// The service host is what every network test trusts: check that its ranges
// and injected faults are what they claim to be.
#include "tests/support/service_host.h"
#include "tests/support/temp_folder.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>

using testing_support::TempFolder;
using testing_support::TestServiceHost;
using testing_support::writeFile;

namespace {

struct Answer {
  long status = 0;
  std::string headers;
  std::string body;
  CURLcode result = CURLE_OK;
};

size_t collect(char* data, size_t size, size_t n, void* target) {
  static_cast<std::string*>(target)->append(data, size * n);
  return size * n;
}

Answer get(const std::string& url, const std::string& range = "") {
  Answer a;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  if (!range.empty()) curl_easy_setopt(curl, CURLOPT_RANGE, range.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &a.body);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, collect);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &a.headers);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
  a.result = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &a.status);
  curl_easy_cleanup(curl);
  return a;
}

std::string digits(size_t n) {
  std::string s(n, '0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('0' + i % 10);
  return s;
}

} // namespace

TEST(ServiceHost, ServesRangesAndRefusesUnsatisfiableOnes) {
  TempFolder root;
  writeFile(root.file("f.bin"), digits(1000));
  TestServiceHost host(root.path());
  Answer whole = get(host.url("/f.bin"));
  EXPECT_EQ(whole.status, 200);
  EXPECT_EQ(whole.body, digits(1000));

  Answer part = get(host.url("/f.bin"), "10-19");
  EXPECT_EQ(part.status, 206);
  EXPECT_EQ(part.body, digits(1000).substr(10, 10));
  EXPECT_NE(part.headers.find("Content-Range: bytes 10-19/1000"), std::string::npos) << part.headers;

  Answer open = get(host.url("/f.bin"), "990-");
  EXPECT_EQ(open.body, digits(1000).substr(990));
  Answer past = get(host.url("/f.bin"), "1000-");
  EXPECT_EQ(past.status, 416);
  EXPECT_NE(past.headers.find("Content-Range: bytes */1000"), std::string::npos);
  EXPECT_EQ(get(host.url("/../etc/passwd")).status, 404);
}

TEST(ServiceHost, InjectsFaultsOnlyWhereAsked) {
  TempFolder root;
  writeFile(root.file("f.bin"), digits(100000));
  writeFile(root.file("g.bin"), digits(100));
  TestServiceHost host(root.path(), {"--ignore-range", "--close-after", "5000", "--only", "/f.bin",
                                     "--status", "/gone=404", "--redirect", "/r=/g.bin"});
  Answer cut = get(host.url("/f.bin"), "0-");
  EXPECT_EQ(cut.status, 200);                      // Range ignored
  EXPECT_EQ(cut.body, digits(5000));               // and the connection dropped
  EXPECT_NE(cut.result, CURLE_OK);
  EXPECT_EQ(get(host.url("/g.bin"), "0-9").status, 206);  // other paths untouched
  EXPECT_EQ(get(host.url("/gone")).status, 404);
  Answer moved = get(host.url("/r"));
  EXPECT_EQ(moved.status, 302);
  EXPECT_NE(moved.headers.find("Location: /g.bin"), std::string::npos);
}

TEST(ServiceHost, LimitsTheRatePerConnection) {
  TempFolder root;
  writeFile(root.file("f.bin"), digits(200000));
  TestServiceHost host(root.path(), {"--rate", "400000"});
  auto started = std::chrono::steady_clock::now();
  Answer a = get(host.url("/f.bin"));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_EQ(a.body.size(), 200000u);
  EXPECT_GE(seconds, 0.45);  // 200 kB at 400 kB/s
  EXPECT_LE(seconds, 2.0);
}
