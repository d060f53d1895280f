#include "platform/download/downloader.h"

#include "platform/download/download_task.h"

#include <curl/curl.h>

#include <atomic>
#include <cctype>
#include <cstring>

namespace platform {

namespace {

std::atomic<int32_t> lastTaskId{0};

bool usableAddress(const std::string& address) {
  CURLU* url = curl_url();
  if (!url) return false;
  bool ok = false;
  if (curl_url_set(url, CURLUPART_URL, address.c_str(), 0) == CURLUE_OK) {
    char* scheme = nullptr;
    char* host = nullptr;
    if (curl_url_get(url, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
      std::string s = scheme;
      for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      ok = (s == "http" || s == "https") && host[0] != '\0';
    }
    curl_free(scheme);
    curl_free(host);
  }
  curl_url_cleanup(url);
  return ok;
}

// The parts of a snapshot: "VDS1", then 64-bit little-endian fields.
bool readSnapshotField(const std::string& b, size_t index, int64_t& out) {
  size_t at = 4 + index * 8;
  if (b.size() < 4 || b.compare(0, 4, "VDS1") != 0 || b.size() < at + 8) return false;
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  out = static_cast<int64_t>(v);
  return true;
}

} // namespace

Downloader::Downloader() = default;

Downloader::~Downloader() { stop(); }

std::shared_ptr<DownloadTask> Downloader::heldTask() const {
  std::lock_guard lock(mutex_);
  return task_ && !task_->endHandled() ? task_ : nullptr;
}

std::shared_ptr<DownloadTask> Downloader::letGo() {
  std::lock_guard lock(mutex_);
  if (task_) lastTask_ = std::move(task_);
  return lastTask_;
}

bool Downloader::start(const TaskSettings& settings) {
  if (heldTask()) return false;
  if (!usableAddress(settings.address)) return false;
  auto task = std::make_shared<DownloadTask>(++lastTaskId, settings);
  {
    // Held before its first message, so a routine can already find it.
    std::lock_guard lock(mutex_);
    task_ = task;
  }
  if (task->begin()) return true;
  std::lock_guard lock(mutex_);
  task_.reset();
  return false;
}

void Downloader::stop() {
  auto task = heldTask();
  if (!task) return;
  task->requestStop(false);
  task->waitForConnections();
  letGo();
}

bool Downloader::stopKeepingState(std::string& state) {
  auto task = heldTask();
  if (!task) return false;
  task->requestStop(true);
  task->waitForConnections();
  state = task->resumeState();
  letGo();
  return true;
}

int32_t Downloader::taskId() const {
  auto task = heldTask();
  return task ? task->id() : -1;
}

bool Downloader::snapshot(std::string& buffer) const {
  auto task = heldTask();
  if (!task) return false;
  buffer = task->snapshot();
  return true;
}

int64_t Downloader::snapshotInfo(const std::string& buffer, int32_t kind, int32_t part) {
  int64_t parts = 0;
  if (!readSnapshotField(buffer, 3, parts)) return -1;
  if (buffer.size() != 4 + 8 * (4 + 3 * static_cast<size_t>(parts))) return -1;
  int64_t value = -1;
  switch (kind) {
  case 1: readSnapshotField(buffer, 0, value); return value;
  case 2: readSnapshotField(buffer, 1, value); return value;
  case 3: return parts;
  case 4:
  case 5:
  case 6:
    if (part < 1 || part > parts) return -1;
    readSnapshotField(buffer, 4 + 3 * static_cast<size_t>(part - 1) + (kind - 4), value);
    return value;
  default: return -1;
  }
}

bool Downloader::snapshotComplete(const std::string& buffer) {
  int64_t flag = 0;
  return snapshotInfo(buffer, 3, 0) >= 0 && readSnapshotField(buffer, 2, flag) && flag == 1;
}

int64_t Downloader::takeReceivedCount() {
  auto task = heldTask();
  return task ? task->takeReceivedCount() : 0;
}

bool Downloader::giveFileName(const std::string& path) {
  std::shared_ptr<DownloadTask> task;
  {
    std::lock_guard lock(mutex_);
    task = task_;
  }
  return task && task->giveFileName(path);
}

TransferOutcome Downloader::outcome() const {
  std::lock_guard lock(mutex_);
  if (task_) return task_->outcome();
  if (lastTask_) return lastTask_->outcome();
  return TransferOutcome::running;
}

} // namespace platform
