// The download facility against the real service host on 127.0.0.1.
#include "platform/download/downloader.h"
#include "tests/download/transfer_recorder.h"
#include "tests/support/service_host.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>

using namespace download_testing;
using platform::Downloader;
using platform::TransferOutcome;
namespace msg = platform::TransferMessage;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::TestServiceHost;
using testing_support::writeFile;
using Clock = std::chrono::steady_clock;

namespace {

bool exists(const std::string& path) { return std::filesystem::exists(path); }

long long elapsedMs(Clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

// transferEnded exactly once, as the very last event.
void expectEndedOnceAndLast(const std::vector<Event>& events) {
  ASSERT_FALSE(events.empty());
  int ends = 0;
  for (const Event& e : events) ends += e.message == msg::transferEnded;
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(events.back().message, msg::transferEnded);
}

} // namespace

TEST(Downloader, FiveConnectionsGiveTheFileByteForByte) {
  TempFolder root, out;
  const std::string data = patternBytes(6 * 1024 * 1024 + 123);
  writeFile(root.file("release.zip"), data);
  TestServiceHost host(root.path());
  TransferRecorder recorder;
  Downloader downloader;
  auto settings = recorder.settings(host.url("/release.zip"), out.file("temp1.zip"));
  ASSERT_TRUE(downloader.start(settings));
  int32_t id = downloader.taskId();
  EXPECT_GT(id, 0);
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded));

  EXPECT_EQ(readFile(out.file("temp1.zip")), data);
  EXPECT_FALSE(exists(out.file("temp1.zip.part")));
  EXPECT_TRUE(downloader.succeeded());
  auto events = recorder.events();
  expectEndedOnceAndLast(events);
  EXPECT_EQ(events.back().a2, 1);
  // Five connections, each of which ended normally, each asking for its own range.
  EXPECT_EQ(recorder.count(msg::threadEndedNormally), 5);
  EXPECT_EQ(recorder.count(msg::threadEndedAbnormally), 0);
  std::string log = host.log();
  size_t ranged = 0;
  for (size_t at = 0; (at = log.find("Range: bytes=", at)) != std::string::npos; ++at) ++ranged;
  EXPECT_GE(ranged, 5u);
  EXPECT_NE(log.find("Range: bytes=0-\n"), std::string::npos);
  EXPECT_NE(log.find("If-Range: Mon, 07 Dec 2026 08:00:00 GMT"), std::string::npos);
  EXPECT_NE(log.find("Accept-Encoding: identity"), std::string::npos);
  EXPECT_NE(log.find("Referer: " + host.url("/")), std::string::npos);
  for (const Event& e : events) EXPECT_EQ(e.task, id);
}

TEST(Downloader, MessagesComeInOrderOnOneThreadWithOneDataReceivedPerBlock) {
  TempFolder root, out;
  const std::string data = patternBytes(300000);
  writeFile(root.file("f.bin"), data);
  TestServiceHost host(root.path(), {"--rate", "1000000"});
  TransferRecorder recorder;
  Downloader downloader;
  std::atomic<int64_t> taken{0};
  // As the updater does: take the count at each dataReceived.
  recorder.respondWith([&](const Event& e) {
    if (e.message == msg::dataReceived) taken += downloader.takeReceivedCount();
    return 1;
  });
  auto settings = recorder.settings(host.url("/f.bin"), out.file("f.bin"));
  settings.threadCount = 1;
  settings.receiveBlockSize = 4096;
  ASSERT_TRUE(downloader.start(settings));
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded));
  auto events = recorder.events();
  expectEndedOnceAndLast(events);

  std::vector<int32_t> order;
  int64_t blockBytes = 0;
  int blocks = 0;
  for (const Event& e : events) {
    EXPECT_EQ(e.thread, events.front().thread) << "message " << e.message;
    if (e.message == msg::dataReceived) {
      EXPECT_GT(e.a3, 0);
      EXPECT_LE(e.a3, 4096);
      blockBytes += e.a3;
      ++blocks;
    }
    if (order.empty() || order.back() != e.message) order.push_back(e.message);
  }
  EXPECT_EQ(blockBytes, static_cast<int64_t>(data.size()));
  EXPECT_GE(blocks, static_cast<int>(data.size() / 4096));
  EXPECT_EQ(taken.load() + downloader.takeReceivedCount(), static_cast<int64_t>(data.size()));
  std::vector<int32_t> expected{msg::dataRange, msg::serverAnswered, msg::transferStarted, msg::dataReceived,
                                msg::threadEndedNormally, msg::fileCompleted, msg::transferEnded};
  EXPECT_EQ(order, expected);
  EXPECT_EQ(events[2].a2, 300000);  // transferStarted carries the size
  EXPECT_EQ(readFile(out.file("f.bin")), data);
}

TEST(Downloader, SnapshotShowsPartsAndCompleteness) {
  TempFolder root, out;
  const std::string data = patternBytes(1000000);
  writeFile(root.file("f.bin"), data);
  TestServiceHost host(root.path());
  TransferRecorder recorder;
  Downloader downloader;
  std::string atEnd;
  recorder.respondWith([&](const Event& e) {
    // The task is still held while its end is being handled.
    if (e.message == msg::transferEnded) downloader.snapshot(atEnd);
    return 1;
  });
  ASSERT_TRUE(downloader.start(recorder.settings(host.url("/f.bin"), out.file("f.bin"))));
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded));
  // Once the end has been handled the object is idle again.
  for (int i = 0; i < 100 && downloader.taskId() != -1; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(downloader.taskId(), -1);
  ASSERT_FALSE(atEnd.empty());
  EXPECT_TRUE(Downloader::snapshotComplete(atEnd));
  EXPECT_EQ(Downloader::snapshotInfo(atEnd, 1, 0), 1000000);
  EXPECT_EQ(Downloader::snapshotInfo(atEnd, 2, 0), 1000000);
  int64_t parts = Downloader::snapshotInfo(atEnd, 3, 0);
  ASSERT_GE(parts, 5);
  int64_t sum = 0;
  for (int32_t p = 1; p <= parts; ++p) {
    EXPECT_EQ(Downloader::snapshotInfo(atEnd, 5, p), Downloader::snapshotInfo(atEnd, 6, p));
    EXPECT_GE(Downloader::snapshotInfo(atEnd, 4, p), 0);
    sum += Downloader::snapshotInfo(atEnd, 6, p);
  }
  EXPECT_EQ(sum, 1000000);
  struct Case { int32_t kind, part; };
  for (Case c : {Case{0, 0}, Case{7, 1}, Case{4, 0}, Case{5, static_cast<int32_t>(parts + 1)}, Case{6, -1}})
    EXPECT_EQ(Downloader::snapshotInfo(atEnd, c.kind, c.part), -1) << c.kind << " " << c.part;
  EXPECT_EQ(Downloader::snapshotInfo("", 1, 0), -1);
  EXPECT_EQ(Downloader::snapshotInfo(atEnd.substr(0, atEnd.size() - 1), 1, 0), -1);
  std::string none = "unchanged";
  EXPECT_FALSE(downloader.snapshot(none));
  EXPECT_EQ(none, "unchanged");
  EXPECT_EQ(downloader.takeReceivedCount(), 0);
}

TEST(Downloader, StartRefusesUnusableAddressesAndASecondTask) {
  TempFolder root, out;
  writeFile(root.file("f.bin"), patternBytes(2000000));
  TestServiceHost host(root.path(), {"--rate", "500000"});
  TransferRecorder recorder;
  Downloader downloader;
  for (const char* address : {"", "http://", "ftp://127.0.0.1/f.bin", "no address", "file:///etc/passwd"})
    EXPECT_FALSE(downloader.start(recorder.settings(address, out.file("x")))) << address;
  EXPECT_EQ(downloader.taskId(), -1);
  EXPECT_TRUE(recorder.events().empty());

  auto settings = recorder.settings(host.url("/f.bin"), out.file("f.bin"));
  ASSERT_TRUE(downloader.start(settings));
  EXPECT_FALSE(downloader.start(settings));
  // Later changes to the record have no effect on the running task.
  settings.localFile = out.file("other.bin");
  settings.address = host.url("/missing");
  ASSERT_TRUE(recorder.waitFor(msg::dataReceived));
  EXPECT_TRUE(std::filesystem::exists(out.file("f.bin.part")));
  downloader.stop();
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded));
  EXPECT_FALSE(exists(out.file("other.bin")));
  EXPECT_NE(host.log().find("GET /f.bin"), std::string::npos);
  EXPECT_EQ(host.log().find("GET /missing"), std::string::npos);
}

TEST(Downloader, StopDuringATransferReturnsWithinStopWaitAndEndsTheTask) {
  TempFolder root, out;
  writeFile(root.file("f.bin"), patternBytes(5000000));
  TestServiceHost host(root.path(), {"--rate", "200000"});
  TransferRecorder recorder;
  Downloader downloader;
  auto settings = recorder.settings(host.url("/f.bin"), out.file("f.bin"));
  settings.stopWaitMs = 1000;
  ASSERT_TRUE(downloader.start(settings));
  ASSERT_TRUE(recorder.waitFor(msg::dataReceived));
  auto before = Clock::now();
  downloader.stop();
  EXPECT_LT(elapsedMs(before), 1000 + 250);
  EXPECT_EQ(downloader.taskId(), -1);
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded, std::chrono::seconds(5)));
  for (int i = 0; i < 100 && exists(out.file("f.bin.part")); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  expectEndedOnceAndLast(recorder.events());
  EXPECT_EQ(recorder.events().back().a2, 0);
  EXPECT_EQ(recorder.events().back().a3, static_cast<int32_t>(TransferOutcome::stopped));
  EXPECT_EQ(downloader.outcome(), TransferOutcome::stopped);
  EXPECT_FALSE(exists(out.file("f.bin")));
  EXPECT_FALSE(exists(out.file("f.bin.part")));
  std::string state;
  EXPECT_FALSE(downloader.stopKeepingState(state));
}

TEST(Downloader, StopDuringASpeedLimitWaitIsNotHeldUpByTheBucket) {
  TempFolder root, out;
  writeFile(root.file("f.bin"), patternBytes(3000000));
  TestServiceHost host(root.path());
  TransferRecorder recorder;
  Downloader downloader;
  auto settings = recorder.settings(host.url("/f.bin"), out.file("f.bin"));
  settings.speedLimit = 20000;  // every block of 20480 bytes waits about a second
  settings.stopWaitMs = 3000;
  ASSERT_TRUE(downloader.start(settings));
  ASSERT_TRUE(recorder.waitFor(msg::dataReceived));
  auto before = Clock::now();
  downloader.stop();
  EXPECT_LT(elapsedMs(before), 500);
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded, std::chrono::seconds(5)));
}

TEST(Downloader, StopNeverWaitsForAManagingThreadBlockedInTheRoutine) {
  TempFolder root, out;
  const std::string data = patternBytes(400000);
  writeFile(root.file("f.bin"), data);
  TestServiceHost host(root.path());
  TransferRecorder recorder;
  Downloader downloader;
  Gate gate;
  // Like the updater's hand-over: the end message blocks its thread until the
  // program would be gone.
  recorder.respondWith([&](const Event& e) {
    if (e.message == msg::transferEnded) gate.wait();
    return 1;
  });
  auto settings = recorder.settings(host.url("/f.bin"), out.file("f.bin"));
  ASSERT_TRUE(downloader.start(settings));
  ASSERT_TRUE(recorder.waitForArrival(msg::transferEnded));
  EXPECT_TRUE(downloader.succeeded());
  EXPECT_EQ(readFile(out.file("f.bin")), data);
  auto before = Clock::now();
  downloader.stop();
  EXPECT_LT(elapsedMs(before), settings.stopWaitMs + 250);
  EXPECT_TRUE(downloader.succeeded());  // stopping after the end spoils nothing
  EXPECT_EQ(readFile(out.file("f.bin")), data);
  gate.open();
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded));
}

TEST(Downloader, StopWhileADataMessageBlocksTheRoutine) {
  TempFolder root, out;
  writeFile(root.file("f.bin"), patternBytes(2000000));
  TestServiceHost host(root.path(), {"--rate", "300000"});
  TransferRecorder recorder;
  Downloader downloader;
  Gate gate;
  recorder.respondWith([&](const Event& e) {
    if (e.message == msg::dataReceived) gate.wait();
    return 1;
  });
  auto settings = recorder.settings(host.url("/f.bin"), out.file("f.bin"));
  settings.stopWaitMs = 500;
  ASSERT_TRUE(downloader.start(settings));
  ASSERT_TRUE(recorder.waitForArrival(msg::dataReceived));
  auto before = Clock::now();
  downloader.stop();
  EXPECT_LT(elapsedMs(before), 500 + 250);
  gate.open();
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded, std::chrono::seconds(10)));
  expectEndedOnceAndLast(recorder.events());
  EXPECT_EQ(recorder.events().back().a2, 0);
  EXPECT_FALSE(exists(out.file("f.bin")));
}

TEST(Downloader, StopKeepingStateKeepsThePartialFileAndDescribesIt) {
  TempFolder root, out;
  writeFile(root.file("f.bin"), patternBytes(4000000));
  TestServiceHost host(root.path(), {"--rate", "200000"});
  TransferRecorder recorder;
  Downloader downloader;
  ASSERT_TRUE(downloader.start(recorder.settings(host.url("/f.bin"), out.file("f.bin"))));
  ASSERT_TRUE(recorder.waitFor(msg::dataReceived));
  std::string state;
  ASSERT_TRUE(downloader.stopKeepingState(state));
  EXPECT_EQ(state.rfind("velmora-resume 1\n", 0), 0u);
  EXPECT_NE(state.find(host.url("/f.bin") + "\n"), std::string::npos);
  EXPECT_NE(state.find("\n4000000\n"), std::string::npos);
  EXPECT_NE(state.find("\npart 0 "), std::string::npos);
  EXPECT_FALSE(downloader.stopKeepingState(state));
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded, std::chrono::seconds(5)));
  EXPECT_TRUE(exists(out.file("f.bin.part")));
  EXPECT_FALSE(exists(out.file("f.bin")));
}

TEST(Downloader, SpeedLimitIsSharedByAllConnections) {
  TempFolder root, out;
  const std::string data = patternBytes(1500000);
  writeFile(root.file("f.bin"), data);
  TestServiceHost host(root.path());
  TransferRecorder recorder;
  Downloader downloader;
  auto settings = recorder.settings(host.url("/f.bin"), out.file("f.bin"));
  settings.speedLimit = 500000;
  auto before = Clock::now();
  ASSERT_TRUE(downloader.start(settings));
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded));
  long long ms = elapsedMs(before);
  EXPECT_EQ(readFile(out.file("f.bin")), data);
  // 1.5 MB at 500 KB/s, less the bucket's first 50 KB: about 2.9 s.
  EXPECT_GE(ms, 2600);
  EXPECT_LE(ms, 6000);
}

struct SameNameCase {
  const char* name;
  int32_t reply;
  bool giveName;
  const char* expectedFile;  // where the download lands; empty: abandoned
};

void PrintTo(const SameNameCase& c, std::ostream* out) { *out << c.name; }

class SameNameFile : public ::testing::TestWithParam<SameNameCase> {};

TEST_P(SameNameFile, TheReplyIsObeyed) {
  const SameNameCase& c = GetParam();
  TempFolder root, out;
  const std::string data = patternBytes(200000);
  writeFile(root.file("f.zip"), data);
  writeFile(out.file("f.zip"), "old");
  TestServiceHost host(root.path());
  TransferRecorder recorder;
  Downloader downloader;
  std::thread::id askedOn;
  std::string given = out.file("given.zip");
  recorder.respondWith([&](const Event& e) {
    if (e.message != msg::sameNameFileExists) return 1;
    askedOn = e.thread;
    if (c.giveName) {
      EXPECT_TRUE(downloader.giveFileName(given));
    }
    return c.reply;
  });
  EXPECT_FALSE(downloader.giveFileName(given));
  ASSERT_TRUE(downloader.start(recorder.settings(host.url("/f.zip"), out.file("f.zip"))));
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded));
  auto events = recorder.events();
  expectEndedOnceAndLast(events);
  ASSERT_EQ(recorder.count(msg::sameNameFileExists), 1);
  EXPECT_NE(askedOn, events.back().thread);  // a connection thread asks, not the managing thread
  if (std::string(c.expectedFile).empty()) {
    EXPECT_EQ(events.back().a2, 0);
    EXPECT_EQ(downloader.outcome(), TransferOutcome::abandoned);
  } else {
    EXPECT_EQ(events.back().a2, 1);
    EXPECT_EQ(readFile(out.file(c.expectedFile)), data);
  }
  EXPECT_EQ(readFile(out.file("f.zip")), "old");
}

INSTANTIATE_TEST_SUITE_P(Replies, SameNameFile,
                         ::testing::Values(SameNameCase{"abandon", 1, false, ""},
                                           SameNameCase{"anotherName", 0, false, "f(1).zip"},
                                           SameNameCase{"givenName", 2, true, "given.zip"},
                                           SameNameCase{"twoWithoutName", 2, false, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Downloader, AFolderTargetTakesTheServersFileName) {
  TempFolder root, out;
  const std::string data = patternBytes(100000);
  std::filesystem::create_directories(root.path() + "/gx");
  writeFile(root.path() + "/gx/pack.zip", data);
  TestServiceHost host(root.path());
  TransferRecorder recorder;
  Downloader downloader;
  ASSERT_TRUE(downloader.start(recorder.settings(host.url("/gx/pack.zip?v=2"), out.path() + "/")));
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded));
  EXPECT_EQ(readFile(out.file("pack.zip")), data);
  EXPECT_NE(host.log().find("Referer: " + host.url("/gx/")), std::string::npos);
}

TEST(Downloader, ASlowConnectionHandsHalfItsRangeToOnesThatFinished) {
  TempFolder root, out;
  const std::string data = patternBytes(5 * 1000 * 1000, 9);
  writeFile(root.file("f.bin"), data);
  // Only the first request, which keeps the first fifth, is slow.
  TestServiceHost host(root.path(), {"--rate", "100000", "--fault-limit", "1"});
  TransferRecorder recorder;
  Downloader downloader;
  auto before = Clock::now();
  ASSERT_TRUE(downloader.start(recorder.settings(host.url("/f.bin"), out.file("f.bin"))));
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded));
  // Alone, the first fifth would take 10 s at 100 KB/s.
  EXPECT_LT(elapsedMs(before), 6000);
  EXPECT_EQ(readFile(out.file("f.bin")), data);
  EXPECT_GT(recorder.count(msg::dataRange), 5);
}

TEST(Downloader, StopFromInsideTheRoutineStillEndsWithTransferEnded) {
  TempFolder root, out;
  writeFile(root.file("f.bin"), patternBytes(3000000));
  TestServiceHost host(root.path(), {"--rate", "300000"});
  TransferRecorder recorder;
  Downloader downloader;
  std::atomic<long long> stopMs{-1};
  recorder.respondWith([&](const Event& e) {
    if (e.message == msg::dataReceived && stopMs < 0) {
      auto before = Clock::now();
      downloader.stop();
      stopMs = elapsedMs(before);
    }
    return 1;
  });
  ASSERT_TRUE(downloader.start(recorder.settings(host.url("/f.bin"), out.file("f.bin"))));
  ASSERT_TRUE(recorder.waitFor(msg::transferEnded, std::chrono::seconds(10)));
  EXPECT_GE(stopMs.load(), 0);
  EXPECT_LT(stopMs.load(), 1000 + 250);
  expectEndedOnceAndLast(recorder.events());
  EXPECT_EQ(downloader.outcome(), TransferOutcome::stopped);
  EXPECT_FALSE(exists(out.file("f.bin")));
}
