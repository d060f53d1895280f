// velmora-download [--threads N] [--speed-limit BYTES_PER_S]
//                  [--receive-timeout-ms MS] [--block-size BYTES] URL FILE
//
// Fetches URL into FILE with the download facility and prints one line per
// message: "event MESSAGE A2 A3 A4 TASK" or "log NUMBER KIND TEXT".
// Exit status 0 only when the file is complete; 1 when the download failed,
// 2 for a usage error or a refused start.
#include "platform/download/downloader.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::mutex endMutex;
std::condition_variable endSignal;
bool ended = false;

int32_t printEvent(int32_t message, int32_t a2, int32_t a3, int32_t a4, int32_t task) {
  std::printf("event %d %d %d %d %d\n", message, a2, a3, a4, task);
  if (message == platform::TransferMessage::transferEnded) {
    std::fflush(stdout);
    std::lock_guard lock(endMutex);
    ended = true;
    endSignal.notify_all();
  }
  // A file already there is replaced only by choice: take another name.
  return message == platform::TransferMessage::sameNameFileExists ? 0 : 1;
}

int32_t printLog(int32_t number, const char* dateTime, const char* text, int32_t kind, int32_t) {
  std::printf("log %d %d %s %s\n", number, kind, dateTime, text);
  return 1;
}

int usage() {
  std::fprintf(stderr, "usage: velmora-download [--threads N] [--speed-limit BYTES_PER_S] "
                       "[--receive-timeout-ms MS] [--block-size BYTES] URL FILE\n");
  return 2;
}

bool readInt(const char* text, int32_t& out) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!end || *end != '\0' || v < 0 || v > 0x7FFFFFFF) return false;
  out = static_cast<int32_t>(v);
  return true;
}

} // namespace

int main(int argc, char** argv) {
  // Lines for a pipe or a file: a big buffer keeps printing off the transfer's back.
  static char outBuffer[1 << 16];
  std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);

  platform::TaskSettings settings;
  settings.kind = platform::kDownloadKind;
  settings.threadCount = 5;
  settings.connectTimeoutMs = 5000;
  settings.sendTimeoutMs = 5001;
  settings.receiveTimeoutMs = 10000;
  settings.eventRoutine = printEvent;
  settings.messageRoutine = printLog;
  std::string positional[2];
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    int32_t* target = a == "--threads"              ? &settings.threadCount
                      : a == "--speed-limit"        ? &settings.speedLimit
                      : a == "--receive-timeout-ms" ? &settings.receiveTimeoutMs
                      : a == "--block-size"         ? &settings.receiveBlockSize
                                                    : nullptr;
    if (target) {
      if (i + 1 >= argc || !readInt(argv[++i], *target)) return usage();
    } else if (a.size() > 1 && a[0] == '-') {
      return usage();
    } else if (count < 2) {
      positional[count++] = a;
    } else {
      return usage();
    }
  }
  if (count != 2) return usage();
  settings.address = positional[0];
  settings.localFile = positional[1];

  platform::Downloader downloader;
  if (!downloader.start(settings)) {
    std::fprintf(stderr, "velmora-download: cannot start a download of %s\n", settings.address.c_str());
    return 2;
  }
  {
    std::unique_lock lock(endMutex);
    endSignal.wait(lock, [] { return ended; });
  }
  // transferEnded is the last message and the outcome is settled before it.
  bool complete = downloader.succeeded();
  std::fflush(stdout);
  return complete ? 0 : 1;
}
