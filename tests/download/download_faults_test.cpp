// Each fault ends with the right file or a reported failure: never a wrong
// file reported complete, never a hang.
#include "platform/download/downloader.h"
#include "tests/download/transfer_recorder.h"
#include "tests/support/service_host.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace download_testing;
using platform::Downloader;
using platform::TransferOutcome;
namespace msg = platform::TransferMessage;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::TestServiceHost;
using testing_support::writeFile;

namespace {

struct FaultCase {
  const char* name;
  std::vector<std::string> switches;
  const char* path;  // asked for; the file is served as /f.bin
  TransferOutcome expected;
  int minimumRequests = 1;  // shows that a retry or the ranges happened
  int maximumRequests = 1000;
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

const int64_t kSize = 2 * 1024 * 1024 + 77;

class DownloadFault : public ::testing::TestWithParam<FaultCase> {};

} // namespace

TEST_P(DownloadFault, EndsWithTheRightFileOrAReportedFailure) {
  const FaultCase& c = GetParam();
  TempFolder root, out;
  const std::string data = patternBytes(kSize, 7);
  writeFile(root.file("f.bin"), data);
  TestServiceHost host(root.path(), c.switches);
  TransferRecorder recorder;
  Downloader downloader;
  auto settings = recorder.settings(host.url(c.path), out.file("f.bin"));
  settings.receiveTimeoutMs = 700;
  ASSERT_TRUE(downloader.start(settings));
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded, std::chrono::seconds(60))) << "hangs";

  auto events = recorder.events();
  EXPECT_EQ(recorder.count(msg::transferEnded), 1);
  EXPECT_EQ(events.back().message, msg::transferEnded);
  bool reportedComplete = events.back().a2 == 1;
  EXPECT_EQ(downloader.outcome(), c.expected);
  EXPECT_EQ(static_cast<TransferOutcome>(events.back().a3), c.expected);
  EXPECT_FALSE(std::filesystem::exists(out.file("f.bin.part")));
  if (reportedComplete) {
    EXPECT_EQ(readFile(out.file("f.bin")), data);
  } else {
    EXPECT_FALSE(std::filesystem::exists(out.file("f.bin")));
  }
  std::string log = host.log();
  int requests = 0;
  for (size_t at = 0; (at = log.find("GET ", at)) != std::string::npos; ++at) ++requests;
  EXPECT_GE(requests, c.minimumRequests);
  EXPECT_LE(requests, c.maximumRequests);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DownloadFault,
    ::testing::Values(
        FaultCase{"clean", {}, "/f.bin", TransferOutcome::complete, 5},
        FaultCase{"droppedOnceInARange", {"--close-after", "150000", "--fault-limit", "2"}, "/f.bin",
                  TransferOutcome::complete, 7},
        FaultCase{"droppedAtEveryStart", {"--close-after", "0"}, "/f.bin", TransferOutcome::retriesExhausted, 4},
        FaultCase{"stallOnceBeyondTheReceiveTimeout", {"--stall-ms", "3000", "--fault-limit", "1"}, "/f.bin",
                  TransferOutcome::complete, 6},
        FaultCase{"stallEveryTime", {"--stall-ms", "3000"}, "/f.bin", TransferOutcome::retriesExhausted, 4, 4},
        FaultCase{"notFound", {}, "/missing.bin", TransferOutcome::httpError, 1, 1},
        FaultCase{"forbidden", {"--status", "/f.bin=403"}, "/f.bin", TransferOutcome::httpError, 1, 1},
        FaultCase{"serverErrorRetriedThenGivenUp", {"--status", "/f.bin=503"}, "/f.bin",
                  TransferOutcome::retriesExhausted, 4, 4},
        FaultCase{"rangeIgnored", {"--ignore-range"}, "/f.bin", TransferOutcome::complete, 1, 1},
        FaultCase{"rangeIgnoredAndDropped", {"--ignore-range", "--close-after", "500000", "--fault-limit", "1"},
                  "/f.bin", TransferOutcome::complete, 2, 2},
        FaultCase{"rangesDroppedAfterTheFirstAnswer", {"--ignore-range", "--fault-skip", "1"}, "/f.bin",
                  TransferOutcome::serverChanged, 2},
        FaultCase{"lengthClaimsMoreOnce", {"--length-shift", "1000", "--fault-limit", "3"}, "/f.bin",
                  TransferOutcome::complete, 8},
        FaultCase{"lengthClaimsMoreAlways", {"--length-shift", "1000"}, "/f.bin", TransferOutcome::retriesExhausted, 4},
        FaultCase{"lengthClaimsLessAlways", {"--length-shift", "-1000"}, "/f.bin", TransferOutcome::retriesExhausted, 4},
        FaultCase{"lengthClaimsMoreWithoutRanges", {"--ignore-range", "--length-shift", "1000"}, "/f.bin",
                  TransferOutcome::retriesExhausted, 4},
        FaultCase{"lyingRangeStartOnce", {"--range-shift", "4096", "--fault-skip", "1", "--fault-limit", "2"},
                  "/f.bin", TransferOutcome::complete, 7},
        FaultCase{"lyingRangeStartAlways", {"--range-shift", "4096"}, "/f.bin", TransferOutcome::retriesExhausted, 4},
        FaultCase{"shortRangeAnswers", {"--range-cap", "300000"}, "/f.bin", TransferOutcome::complete, 8},
        FaultCase{"encodedBody", {"--encoding", "gzip"}, "/f.bin", TransferOutcome::encodedContent, 1, 1},
        FaultCase{"redirect", {"--redirect", "/old.bin=/f.bin"}, "/old.bin", TransferOutcome::complete, 6},
        FaultCase{"redirectLoop", {"--redirect", "/a.bin=/b.bin", "--redirect", "/b.bin=/a.bin"}, "/a.bin",
                  TransferOutcome::httpError, 6, 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DownloadFaults, LaterRangesOfARedirectGoStraightToTheFile) {
  TempFolder root, out;
  writeFile(root.file("f.bin"), patternBytes(kSize));
  TestServiceHost host(root.path(), {"--redirect", "/old.bin=/f.bin"});
  TransferRecorder recorder;
  Downloader downloader;
  ASSERT_TRUE(downloader.start(recorder.settings(host.url("/old.bin"), out.file("f.bin"))));
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded));
  std::string log = host.log();
  int old = 0;
  for (size_t at = 0; (at = log.find("GET /old.bin", at)) != std::string::npos; ++at) ++old;
  EXPECT_EQ(old, 1);
  EXPECT_TRUE(downloader.succeeded());
}

TEST(DownloadFaults, AnEmptyFileIsCompleteAndEmpty) {
  TempFolder root, out;
  writeFile(root.file("empty.bin"), "");
  TestServiceHost host(root.path());
  TransferRecorder recorder;
  Downloader downloader;
  ASSERT_TRUE(downloader.start(recorder.settings(host.url("/empty.bin"), out.file("empty.bin"))));
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded));
  EXPECT_TRUE(downloader.succeeded());
  EXPECT_TRUE(std::filesystem::exists(out.file("empty.bin")));
  EXPECT_EQ(std::filesystem::file_size(out.file("empty.bin")), 0u);
}

TEST(DownloadFaults, NothingListensOnThePort) {
  TempFolder out;
  int port;
  {
    TempFolder root;
    TestServiceHost host(root.path());
    port = host.port();
  }
  TransferRecorder recorder;
  Downloader downloader;
  auto settings = recorder.settings("http://127.0.0.1:" + std::to_string(port) + "/f.bin", out.file("f.bin"));
  ASSERT_TRUE(downloader.start(settings));
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded, std::chrono::seconds(30)));
  EXPECT_EQ(downloader.outcome(), TransferOutcome::retriesExhausted);
  EXPECT_FALSE(std::filesystem::exists(out.file("f.bin")));
  EXPECT_EQ(recorder.count(msg::transferStarted), 0);
  EXPECT_EQ(recorder.count(msg::threadEndedAbnormally), 1);
}
