#pragma once
// The settings of one download task and the routines through which the
// facility reports on it. Field order and defaults are fixed: callers fill
// the record field by field and hand it to Downloader::start. Every task is
// an HTTP(S) download: the FTP and upload fields and title are only carried.
#include <cstdint>
#include <string>

namespace platform {

// Transfer events: (message, a2, a3, a4, taskHandle) -> reply. Called on the
// task's managing thread, one message at a time; sameNameFileExists alone is
// raised by the connection thread that prepares the file.
using TransferEventRoutine = int32_t (*)(int32_t message, int32_t a2, int32_t a3, int32_t a4,
                                         int32_t taskHandle);

// Log lines: (sequence number, local date and time "YYYY-MM-DD HH:MM:SS",
// message text, kind 0 information / 1 warning / 2 error, taskHandle).
// The texts live only for the call.
using TransferMessageRoutine = int32_t (*)(int32_t number, const char* dateTime, const char* text,
                                           int32_t kind, int32_t taskHandle);

namespace TransferMessage {
// a2..a4 per message (sizes and positions are truncated to 32 bits):
constexpr int32_t transferStarted = 3;        // a2 total size (-1 unknown), a3 1 when split into ranges
constexpr int32_t transferEnded = 4;          // a2 1 complete / 0 not, a3 TransferOutcome; always last
constexpr int32_t fileCompleted = 5;          // a2 total size: the whole file is in place under localFile
constexpr int32_t dataRange = 6;              // a2 part, a3 start, a4 length: a connection takes a part
constexpr int32_t threadContinues = 7;        // a2 part, a3 next position, a4 failures so far
constexpr int32_t threadEndedNormally = 8;    // a2 connection number
constexpr int32_t threadEndedAbnormally = 9;  // a2 connection number, a3 TransferOutcome
constexpr int32_t dataReceived = 16;          // a2 part, a3 block bytes, a4 connection number
constexpr int32_t serverAnswered = 17;        // a2 HTTP status, a3 1 when ranges work, a4 connection
constexpr int32_t sameNameFileExists = 18;    // a2 connection number; reply 1 abandon, 0 another
                                              // name, 2 the name given by Downloader::giveFileName
} // namespace TransferMessage

constexpr int32_t kDownloadKind = 4096;
constexpr int32_t kUploadKind = 8192;

struct TaskSettings {
  int32_t kind = 1;
  std::string address;
  std::string localFile;               // ends with "\" (or "/"): the server's file name is appended
  std::string ftpUser = "anonymous";
  std::string ftpPassword = "guest@example.com";
  int32_t threadCount = 1;
  int32_t speedLimit = 0;              // bytes per second shared by all connections; 0 no limit
  int32_t connectTimeoutMs = 20000;
  int32_t sendTimeoutMs = 20000;
  int32_t receiveTimeoutMs = 20000;    // longest silence while a response is awaited or arrives
  int32_t stopWaitMs = 1000;
  int32_t receiveBlockSize = 20480;
  int32_t sendBlockSize = 1024;
  TransferMessageRoutine messageRoutine = nullptr;
  TransferEventRoutine eventRoutine = nullptr;
  std::string title;
  int32_t ftpTransferType = 1;
  std::string binaryExtensions = ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm";
  std::string proxyAddress;            // "host:port"
  std::string referer;                 // empty: the address up to and including its last "/"
};

} // namespace platform
