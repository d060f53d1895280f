#include "platform/download/download_task.h"

#include "platform/http_reader.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <limits>
#include <thread>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t kUnknownEnd = std::numeric_limits<int64_t>::max();
constexpr int64_t kMinPartSize = 64 * 1024;
constexpr int64_t kMinStealSize = 256 * 1024;  // below this a new request costs more than it saves
constexpr int kMaxFailuresPerPart = 4;
constexpr int kMaxRedirects = 5;
constexpr int kPollMs = 50;
constexpr int kMaxNameTries = 1000;
constexpr size_t kWakeBatch = 64;
constexpr auto kDeliveryLookMs = std::chrono::milliseconds(5);

thread_local const DownloadTask* currentConnectionTask = nullptr;

int32_t clamp32(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

bool equalsIgnoringCase(const std::string& a, const char* b) {
  size_t n = std::char_traits<char>::length(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool parseNumber(const std::string& s, int64_t& out) {
  if (s.empty() || s.size() > 18) return false;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  return true;
}

struct ContentRange {
  int64_t first = -1, last = -1, total = -1;  // total -1 when the server gives "*"
};

// "bytes FIRST-LAST/TOTAL"
bool parseContentRange(const std::string& value, ContentRange& out) {
  std::string v = trim(value);
  if (v.size() < 6 || !equalsIgnoringCase(v.substr(0, 6), "bytes ")) return false;
  v = trim(v.substr(6));
  size_t dash = v.find('-'), slash = v.find('/');
  if (dash == std::string::npos || slash == std::string::npos || dash > slash) return false;
  if (!parseNumber(v.substr(0, dash), out.first)) return false;
  if (!parseNumber(v.substr(dash + 1, slash - dash - 1), out.last)) return false;
  std::string total = v.substr(slash + 1);
  if (total == "*") out.total = -1;
  else if (!parseNumber(total, out.total)) return false;
  if (out.last < out.first) return false;
  if (out.total >= 0 && out.last >= out.total) return false;
  return true;
}

std::string localDateTime() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

std::string defaultReferer(const std::string& address) {
  size_t slash = address.rfind('/');
  size_t scheme = address.find("://");
  // "http://host" has no path: its last "/" still belongs to the scheme.
  if (slash == std::string::npos || (scheme != std::string::npos && slash < scheme + 3))
    return address + "/";
  return address.substr(0, slash + 1);
}

bool endsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

// "dir\name.ext" -> "dir\name(N).ext"
std::string numberedName(const std::string& path, int n) {
  size_t sep = path.find_last_of("\\/");
  size_t dot = path.rfind('.');
  size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
  std::string tag = "(" + std::to_string(n) + ")";
  if (dot == std::string::npos || dot <= nameStart) return path + tag;
  return path.substr(0, dot) + tag + path.substr(dot);
}

std::string safeFileName(std::string name) {
  std::string out;
  for (char c : name)
    if (std::string("\\/:*?\"<>|").find(c) == std::string::npos && static_cast<unsigned char>(c) >= 0x20)
      out += c;
  out = trim(out);
  if (out.empty() || out == "." || out == "..") out = "download";
  return out;
}

} // namespace

// What one HTTP request of a connection has seen so far. Lives on the
// connection thread; the curl callbacks run there too.
struct TransferRequest {
  DownloadTask* task = nullptr;
  CURL* easy = nullptr;
  int connection = 0;
  int part = 0;
  int64_t from = 0;
  bool firstAnswer = false;  // the task is not prepared yet: this request probes the server
  // Headers of the latest response (a redirect starts a new one).
  std::string contentRange, contentLength, contentEncoding, etag, lastModified, disposition;
  bool evaluated = false;
  DownloadTask::Verdict verdict = DownloadTask::Verdict::accept;
  bool reachedEnd = false;
  bool received = false;
  Clock::time_point deadline;
};

struct ConnectionHandles {
  CURLM* multi = curl_multi_init();
  CURL* easy = curl_easy_init();
  curl_slist* headers = nullptr;
  ~ConnectionHandles() {
    curl_slist_free_all(headers);
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
  }
};

// Nothing may unwind through libcurl: a callback that throws aborts its transfer.
size_t readHeaderLine(TransferRequest& r, const char* data, size_t n);

size_t onTransferHeader(char* data, size_t size, size_t count, void* context) {
  try {
    return readHeaderLine(*static_cast<TransferRequest*>(context), data, size * count);
  } catch (...) {
    return 0;
  }
}

size_t readHeaderLine(TransferRequest& r, const char* data, size_t n) {
  std::string line(data, n);
  r.deadline = Clock::now() + std::chrono::milliseconds(r.task->receiveTimeoutMs_);
  if (line.compare(0, 5, "HTTP/") == 0) {
    r.contentRange.clear(); r.contentLength.clear(); r.contentEncoding.clear();
    r.etag.clear(); r.lastModified.clear(); r.disposition.clear();
    return n;
  }
  size_t colon = line.find(':');
  if (colon == std::string::npos) return n;
  std::string name = trim(line.substr(0, colon));
  std::string value = trim(line.substr(colon + 1));
  if (equalsIgnoringCase(name, "Content-Range")) r.contentRange = value;
  else if (equalsIgnoringCase(name, "Content-Length")) r.contentLength = value;
  else if (equalsIgnoringCase(name, "Content-Encoding")) r.contentEncoding = value;
  else if (equalsIgnoringCase(name, "ETag")) r.etag = value;
  else if (equalsIgnoringCase(name, "Last-Modified")) r.lastModified = value;
  else if (equalsIgnoringCase(name, "Content-Disposition")) r.disposition = value;
  return n;
}

size_t onTransferBody(char* data, size_t size, size_t count, void* context) {
  auto& r = *static_cast<TransferRequest*>(context);
  try {
    return r.task->receiveBody(r, data, size * count);
  } catch (...) {
    try {
      r.task->fail(TransferOutcome::fileError, "a received block could not be handled");
    } catch (...) {
    }
    return 0;
  }
}

DownloadTask::DownloadTask(int32_t id, const TaskSettings& s)
    : id_(id), address_(s.address), localFile_(s.localFile),
      threadCount_(std::clamp<int32_t>(s.threadCount, 1, 16)),
      connectTimeoutMs_(std::max<int32_t>(s.connectTimeoutMs, 1)),
      receiveTimeoutMs_(std::max<int32_t>(s.receiveTimeoutMs, 1)),
      stopWaitMs_(std::max<int32_t>(s.stopWaitMs, 0)),
      blockSize_(std::clamp<int32_t>(s.receiveBlockSize, 1024, CURL_MAX_READ_SIZE)),
      eventRoutine_(s.eventRoutine), messageRoutine_(s.messageRoutine), proxy_(s.proxyAddress),
      referer_(s.referer.empty() ? defaultReferer(s.address) : s.referer),
      bucket_(s.speedLimit > 0 ? s.speedLimit : 0,
              std::max<int64_t>(std::max<int32_t>(s.speedLimit, 0) / 10, std::clamp<int32_t>(s.receiveBlockSize, 1024, CURL_MAX_READ_SIZE))) {
  effectiveAddress_ = address_;
  parts_.push_back(Part{0, kUnknownEnd});
}

DownloadTask::~DownloadTask() = default;

bool DownloadTask::begin() {
  ensureCurlReady();
  {
    std::lock_guard lock(mutex_);
    activeConnections_ = 1;
    connectionsMade_ = 1;
  }
  try {
    std::thread([self = shared_from_this()] { self->manage(); }).detach();
    return true;
  } catch (...) {
    return false;
  }
}

// ---- managing thread -------------------------------------------------------

void DownloadTask::manage() {
  try {
    spawnConnection(1);
    for (;;) {
      if (deliverQueued()) continue;
      std::unique_lock lock(mutex_);
      if (activeConnections_ == 0 && queue_.empty()) break;
      changed_.wait_for(lock, kDeliveryLookMs, [this] { return !queue_.empty() || activeConnections_ == 0; });
    }
    finish();
    while (deliverQueued()) {
    }
    Item end;
    {
      std::lock_guard lock(mutex_);
      end.message = TransferMessage::transferEnded;
      end.a2 = outcome_ == TransferOutcome::complete ? 1 : 0;
      end.a3 = static_cast<int32_t>(outcome_);
    }
    deliver(end);
  } catch (...) {
  }
  std::lock_guard lock(mutex_);
  endHandled_ = true;
}

bool DownloadTask::deliverQueued() {
  // The whole batch at once: the connections then meet the lock less often.
  std::deque<Item> batch;
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return false;
    batch.swap(queue_);
  }
  for (const Item& item : batch) deliver(item);
  return true;
}

void DownloadTask::deliver(const Item& item) {
  // A routine that throws must not take the managing thread with it.
  try {
    if (item.isLog) {
      if (messageRoutine_)
        messageRoutine_(item.a2, localDateTime().c_str(), item.text.c_str(), item.kind, id_);
    } else if (eventRoutine_) {
      eventRoutine_(item.message, item.a2, item.a3, item.a4, id_);
    }
  } catch (...) {
  }
}

void DownloadTask::finish() {
  std::unique_lock lock(mutex_);
  bool complete = outcome_ == TransferOutcome::running && !stopRequested_ && isComplete();
  bool keep = keepPartial_;
  int64_t size = size_;
  std::string partial = partialPath_, target = targetPath_;
  lock.unlock();

  bool closed = file_.close();
  TransferOutcome result = TransferOutcome::complete;
  if (complete && closed && renameReplacing(partial, target)) {
    post(TransferMessage::fileCompleted, clamp32(size), 0, 0);
    log(0, "file complete: " + target);
  } else {
    if (complete) {
      result = TransferOutcome::fileError;
      log(2, "cannot put the file in place: " + target);
    }
    if (!partial.empty() && !keep) removePath(partial);
  }
  lock.lock();
  if (outcome_ == TransferOutcome::running)
    outcome_ = !complete && stopRequested_ ? TransferOutcome::stopped
               : complete                   ? result
                                            : TransferOutcome::retriesExhausted;
}

bool DownloadTask::isComplete() const {
  if (!prepared_ || size_ < 0) return false;
  int64_t sum = 0, expectedStart = 0;
  std::vector<const Part*> sorted;
  for (const Part& p : parts_) sorted.push_back(&p);
  std::sort(sorted.begin(), sorted.end(), [](const Part* a, const Part* b) { return a->start < b->start; });
  for (const Part* p : sorted) {
    if (p->start != expectedStart || p->received != p->end - p->start || p->inFlight != 0) return false;
    sum += p->received;
    expectedStart = p->end;
  }
  return expectedStart == size_ && sum == size_;
}

// ---- messages --------------------------------------------------------------

void DownloadTask::post(int32_t message, int32_t a2, int32_t a3, int32_t a4) {
  std::lock_guard lock(mutex_);
  postLocked(message, a2, a3, a4);
}

void DownloadTask::postLocked(int32_t message, int32_t a2, int32_t a3, int32_t a4) {
  Item item;
  item.message = message;
  item.a2 = a2;
  item.a3 = a3;
  item.a4 = a4;
  queue_.push_back(std::move(item));
  // Waking the managing thread for every block costs more than the block
  // itself on a fast line: data messages wait for its next look instead.
  if (message != TransferMessage::dataReceived || queue_.size() >= kWakeBatch) changed_.notify_all();
}

void DownloadTask::log(int32_t kind, const std::string& text) {
  std::lock_guard lock(mutex_);
  logLocked(kind, text);
}

void DownloadTask::logLocked(int32_t kind, const std::string& text) {
  if (!messageRoutine_) return;
  Item item;
  item.isLog = true;
  item.a2 = ++logNumber_;
  item.kind = kind;
  item.text = text;
  queue_.push_back(std::move(item));
  changed_.notify_all();
}

// ---- stop and state ----------------------------------------------------------

void DownloadTask::requestStop(bool keepPartial) {
  {
    std::lock_guard lock(mutex_);
    if (!stopRequested_) {
      stopRequested_ = true;
      keepPartial_ = keepPartial;
      logLocked(0, "stop requested");
    }
    halted_ = true;
    changed_.notify_all();
  }
  bucket_.cancel();
}

void DownloadTask::waitForConnections() {
  // A routine running on one of our connection threads (sameNameFileExists)
  // that stops the task must not wait for its own thread.
  int own = currentConnectionTask == this ? 1 : 0;
  auto until = Clock::now() + std::chrono::milliseconds(stopWaitMs_);
  std::unique_lock lock(mutex_);
  while (activeConnections_ > own && Clock::now() < until) {
    auto next = std::min(until, Clock::now() + std::chrono::milliseconds(20));
    changed_.wait_until(lock, next);
  }
}

bool DownloadTask::endHandled() const {
  std::lock_guard lock(mutex_);
  return endHandled_;
}

TransferOutcome DownloadTask::outcome() const {
  std::lock_guard lock(mutex_);
  return outcome_;
}

int64_t DownloadTask::takeReceivedCount() {
  std::lock_guard lock(mutex_);
  int64_t n = receivedSinceTake_;
  receivedSinceTake_ = 0;
  return n;
}

bool DownloadTask::giveFileName(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (!awaitingName_ || path.empty()) return false;
  givenName_ = path;
  return true;
}

std::string DownloadTask::snapshot() const {
  std::lock_guard lock(mutex_);
  auto put64 = [](std::string& s, int64_t v) {
    for (int i = 0; i < 8; ++i) s += static_cast<char>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF);
  };
  std::string s = "VDS1";
  int64_t received = 0;
  for (const Part& p : parts_) received += p.received;
  put64(s, size_ < 0 ? 0 : size_);
  put64(s, received);
  put64(s, isComplete() ? 1 : 0);
  put64(s, static_cast<int64_t>(parts_.size()));
  for (const Part& p : parts_) {
    put64(s, p.start);
    put64(s, p.end == kUnknownEnd ? 0 : p.end - p.start);
    put64(s, p.received);
  }
  return s;
}

std::string DownloadTask::resumeState() const {
  std::lock_guard lock(mutex_);
  std::string s = "velmora-resume 1\n";
  s += address_ + "\n" + effectiveAddress_ + "\n" + targetPath_ + "\n" + partialPath_ + "\n";
  s += std::to_string(size_) + "\n" + validator_ + "\n";
  for (const Part& p : parts_)
    s += "part " + std::to_string(p.start) + " " +
         std::to_string(p.end == kUnknownEnd ? -1 : p.end - p.start) + " " +
         std::to_string(p.received) + "\n";
  return s;
}

// ---- connection threads ------------------------------------------------------

void DownloadTask::spawnConnection(int connection) {
  try {
    std::thread([self = shared_from_this(), connection] { self->connect(connection); }).detach();
  } catch (...) {
    std::lock_guard lock(mutex_);
    --activeConnections_;
    logLocked(2, "cannot start connection " + std::to_string(connection));
    changed_.notify_all();
  }
}

void DownloadTask::connect(int connection) {
  currentConnectionTask = this;
  bool normal = false;
  try {
    ConnectionHandles handles;
    if (handles.multi && handles.easy) {
      runConnections(connection, handles);
      std::lock_guard lock(mutex_);
      normal = outcome_ == TransferOutcome::running && !stopRequested_;
    }
  } catch (...) {
    fail(TransferOutcome::fileError, "connection " + std::to_string(connection) + " failed");
  }
  std::lock_guard lock(mutex_);
  TransferOutcome why = outcome_ == TransferOutcome::running && stopRequested_ ? TransferOutcome::stopped : outcome_;
  if (normal) postLocked(TransferMessage::threadEndedNormally, connection, 0, 0);
  else postLocked(TransferMessage::threadEndedAbnormally, connection, static_cast<int32_t>(why), 0);
  --activeConnections_;
  changed_.notify_all();
}

void DownloadTask::runConnections(int connection, ConnectionHandles& handles) {
  for (;;) {
    Claim claim = claimPart();
    if (claim.part < 0) return;
    {
      std::lock_guard lock(mutex_);
      const Part& p = parts_[claim.part];
      if (claim.continues)
        postLocked(TransferMessage::threadContinues, claim.part + 1, clamp32(p.next()), p.failures);
      else
        postLocked(TransferMessage::dataRange, claim.part + 1, clamp32(p.start),
                   p.end == kUnknownEnd ? -1 : clamp32(p.end - p.start));
    }
    PartResult result = fetchPart(connection, claim.part, handles);
    if (result == PartResult::stopped || result == PartResult::fatal) return;
    if (result == PartResult::failed) pause(200);
  }
}

DownloadTask::Claim DownloadTask::claimPart() {
  std::lock_guard lock(mutex_);
  if (stopRequested_ || outcome_ != TransferOutcome::running) return {};
  for (size_t i = 0; i < parts_.size(); ++i) {
    Part& p = parts_[i];
    if (!p.owned && p.pending() > 0) {
      p.owned = true;
      return {static_cast<int>(i), p.received > 0 || p.failures > 0};
    }
  }
  if (!ranges_) return {};
  // Work stealing: half of the largest remaining range, so that one slow
  // connection cannot hold up the end.
  int best = -1;
  for (size_t i = 0; i < parts_.size(); ++i)
    if (parts_[i].owned && (best < 0 || parts_[i].pending() > parts_[best].pending()))
      best = static_cast<int>(i);
  if (best < 0 || parts_[best].pending() < kMinStealSize) return {};
  Part& victim = parts_[best];
  int64_t middle = victim.next() + victim.pending() / 2;
  Part taken{middle, victim.end};
  taken.owned = true;
  victim.end = middle;
  parts_.push_back(taken);
  return {static_cast<int>(parts_.size() - 1), false};
}

void DownloadTask::pause(int ms) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(ms),
                    [this] { return stopRequested_ || outcome_ != TransferOutcome::running; });
}

bool DownloadTask::stopping() const { return halted_.load(std::memory_order_acquire); }

void DownloadTask::fail(TransferOutcome outcome, const std::string& why) {
  {
    std::lock_guard lock(mutex_);
    if (outcome_ == TransferOutcome::running && !stopRequested_) {
      outcome_ = outcome;
      logLocked(2, why);
    }
    halted_ = true;
    changed_.notify_all();
  }
  bucket_.cancel();
}

void DownloadTask::recordFailure(int part, int connection, const std::string& why) {
  bool exhausted;
  {
    std::lock_guard lock(mutex_);
    Part& p = parts_[part];
    p.owned = false;
    exhausted = ++p.failures >= kMaxFailuresPerPart;
    logLocked(1, "connection " + std::to_string(connection) + ", part " + std::to_string(part + 1) +
                     ": " + why);
  }
  if (exhausted) fail(TransferOutcome::retriesExhausted, "part " + std::to_string(part + 1) + " failed too often");
}

void DownloadTask::prepareRequest(TransferRequest& r, ConnectionHandles& h) {
  CURL* e = h.easy;
  std::string address;
  std::string range;
  {
    std::lock_guard lock(mutex_);
    Part& p = parts_[r.part];
    r.firstAnswer = !prepared_;
    address = effectiveAddress_;
    if (r.firstAnswer) {
      range = "Range: bytes=0-";
    } else if (ranges_) {
      range = "Range: bytes=" + std::to_string(p.next()) + "-" + std::to_string(p.end - 1);
    } else {
      // Without ranges a broken transfer can only begin again.
      p.received = 0;
    }
    r.from = p.next();
    curl_slist_free_all(h.headers);
    h.headers = curl_slist_append(nullptr, "Accept-Encoding: identity");
    h.headers = curl_slist_append(h.headers, "Accept: */*");
    if (!range.empty()) h.headers = curl_slist_append(h.headers, range.c_str());
    if (!r.firstAnswer && ranges_ && !validator_.empty())
      h.headers = curl_slist_append(h.headers, ("If-Range: " + validator_).c_str());
  }
  curl_easy_setopt(e, CURLOPT_URL, address.c_str());
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, h.headers);
  curl_easy_setopt(e, CURLOPT_REFERER, referer_.c_str());
  curl_easy_setopt(e, CURLOPT_USERAGENT, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects));
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectTimeoutMs_));
  curl_easy_setopt(e, CURLOPT_BUFFERSIZE, static_cast<long>(blockSize_));
  curl_easy_setopt(e, CURLOPT_TCP_KEEPALIVE, 1L);
  // An empty proxy also keeps libcurl from taking one out of the environment.
  std::string proxy = proxy_.empty() ? std::string() : "http://" + proxy_;
  curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, onTransferHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &r);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, onTransferBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &r);
  r.easy = e;
  r.deadline = Clock::now() + std::chrono::milliseconds(connectTimeoutMs_ + receiveTimeoutMs_);
}

DownloadTask::PartResult DownloadTask::fetchPart(int connection, int part, ConnectionHandles& h) {
  TransferRequest r;
  r.task = this;
  r.connection = connection;
  r.part = part;
  prepareRequest(r, h);
  curl_multi_add_handle(h.multi, h.easy);
  bool stalled = false, stopped = false;
  CURLcode code = CURLE_OK;
  bool finished = false;
  while (!finished) {
    int running = 0;
    curl_multi_perform(h.multi, &running);
    int left = 0;
    while (CURLMsg* m = curl_multi_info_read(h.multi, &left))
      if (m->msg == CURLMSG_DONE) {
        code = m->data.result;
        finished = true;
      }
    if (finished || running == 0) break;
    if (stopping()) {
      stopped = true;
      break;
    }
    if (Clock::now() > r.deadline) {
      stalled = true;
      break;
    }
    curl_multi_poll(h.multi, nullptr, 0, kPollMs, nullptr);
  }
  curl_multi_remove_handle(h.multi, h.easy);

  if (stopped || stopping()) {
    std::lock_guard lock(mutex_);
    parts_[part].owned = false;
    return outcome_ == TransferOutcome::running ? PartResult::stopped : PartResult::fatal;
  }
  if (stalled) {
    recordFailure(part, connection, "no data within the receive time-out");
    return PartResult::failed;
  }
  return concludePart(r, code);
}

DownloadTask::PartResult DownloadTask::concludePart(TransferRequest& r, int curlCode) {
  if (r.evaluated && r.verdict == Verdict::fatal) return PartResult::fatal;
  if (r.evaluated && r.verdict == Verdict::retry) {
    recordFailure(r.part, r.connection, "unusable answer");
    return PartResult::failed;
  }
  if (curlCode == CURLE_TOO_MANY_REDIRECTS) {
    fail(TransferOutcome::httpError, "too many redirects");
    return PartResult::fatal;
  }
  if (!r.reachedEnd && curlCode != CURLE_OK) {
    recordFailure(r.part, r.connection, std::string("transfer broke: ") + curl_easy_strerror(static_cast<CURLcode>(curlCode)));
    return PartResult::failed;
  }
  if (!r.evaluated) {
    // An empty body: the answer still has to be judged.
    r.evaluated = true;
    r.verdict = evaluate(r);
    if (r.verdict == Verdict::fatal) return PartResult::fatal;
    if (r.verdict == Verdict::retry) {
      recordFailure(r.part, r.connection, "unusable answer");
      return PartResult::failed;
    }
  }
  std::unique_lock lock(mutex_);
  Part& p = parts_[r.part];
  if (p.end == kUnknownEnd && !r.reachedEnd) {
    // No length was announced: the end of the body is the end of the file.
    p.end = p.start + p.received;
    size_ = p.end;
  }
  p.owned = false;
  if (p.pending() <= 0) return PartResult::done;
  bool progressed = p.next() > r.from;
  bool ranges = ranges_;
  lock.unlock();
  if (!progressed || !ranges) {
    recordFailure(r.part, r.connection, "the answer ended early");
    return PartResult::failed;
  }
  // A shorter range answer: the rest goes back to the pool.
  log(0, "part " + std::to_string(r.part + 1) + " answered short; the rest is asked for again");
  return PartResult::shortAnswer;
}

size_t DownloadTask::receiveBody(TransferRequest& r, const char* data, size_t length) {
  r.deadline = Clock::now() + std::chrono::milliseconds(receiveTimeoutMs_);
  if (!r.evaluated) {
    r.evaluated = true;
    r.verdict = evaluate(r);
    if (r.verdict != Verdict::accept) return 0;
  }
  if (!bucket_.take(static_cast<int64_t>(length))) return 0;
  if (bucket_.limited()) r.deadline = Clock::now() + std::chrono::milliseconds(receiveTimeoutMs_);
  int64_t position, allowed;
  {
    std::lock_guard lock(mutex_);
    if (stopRequested_ || outcome_ != TransferOutcome::running) return 0;
    Part& p = parts_[r.part];
    position = p.start + p.received;
    allowed = std::clamp<int64_t>(p.end - position, 0, static_cast<int64_t>(length));
    p.inFlight = allowed;
  }
  if (allowed > 0 && !file_.writeAt(position, data, static_cast<size_t>(allowed))) {
    {
      std::lock_guard lock(mutex_);
      parts_[r.part].inFlight = 0;
    }
    fail(TransferOutcome::fileError, "cannot write " + partialPath_);
    r.verdict = Verdict::fatal;
    r.evaluated = true;
    return 0;
  }
  if (allowed > 0) {
    std::lock_guard lock(mutex_);
    Part& p = parts_[r.part];
    p.received += allowed;
    p.inFlight = 0;
    receivedSinceTake_ += allowed;
    postLocked(TransferMessage::dataReceived, r.part + 1, clamp32(allowed), r.connection);
  }
  if (allowed < static_cast<int64_t>(length)) {
    // The part ends here (it may have been shortened by another connection).
    r.reachedEnd = true;
    return 0;
  }
  return length;
}

DownloadTask::Verdict DownloadTask::evaluate(TransferRequest& r) {
  long status = 0;
  curl_easy_getinfo(r.easy, CURLINFO_RESPONSE_CODE, &status);
  post(TransferMessage::serverAnswered, static_cast<int32_t>(status), ranges_ ? 1 : 0, r.connection);
  // "bytes=0-" cannot be satisfied by an empty file; that is the answer for one.
  bool emptyFile = r.firstAnswer && status == 416 && trim(r.contentRange) == "bytes */0";
  if ((status < 200 || status > 299) && !emptyFile) {
    std::string why = "the server answered " + std::to_string(status);
    // Server trouble may pass; any other refusal will not.
    if (status >= 500 || status == 408 || status == 429) {
      log(1, why);
      return Verdict::retry;
    }
    fail(TransferOutcome::httpError, why);
    return Verdict::fatal;
  }
  if (!r.contentEncoding.empty() && !equalsIgnoringCase(r.contentEncoding, "identity")) {
    fail(TransferOutcome::encodedContent, "the server sent an encoded body: " + r.contentEncoding);
    return Verdict::fatal;
  }
  return r.firstAnswer ? evaluateFirstAnswer(r, status) : evaluateRangeAnswer(r, status);
}

DownloadTask::Verdict DownloadTask::evaluateFirstAnswer(TransferRequest& r, long status) {
  int64_t size = -1;
  bool ranges = false;
  int64_t length = -1;
  if (!r.contentLength.empty() && !parseNumber(r.contentLength, length)) {
    log(1, "unreadable Content-Length: " + r.contentLength);
    return Verdict::retry;
  }
  if (status == 416) {
    size = 0;
  } else if (status == 206) {
    ContentRange cr;
    if (!parseContentRange(r.contentRange, cr) || cr.first != 0) {
      log(1, "unusable Content-Range: " + r.contentRange);
      return Verdict::retry;
    }
    if (length >= 0 && length != cr.last - cr.first + 1) {
      log(1, "Content-Length disagrees with Content-Range");
      return Verdict::retry;
    }
    size = cr.total;
    ranges = cr.total > 0;
  } else {
    size = length;
  }
  if (!prepareFile(r)) return Verdict::fatal;

  char* effective = nullptr;
  curl_easy_getinfo(r.easy, CURLINFO_EFFECTIVE_URL, &effective);
  std::lock_guard lock(mutex_);
  if (effective) effectiveAddress_ = effective;
  // If-Range needs a strong validator; a weak ETag can only be replaced by the date.
  if (!r.etag.empty() && r.etag.compare(0, 2, "W/") != 0) validator_ = r.etag;
  else validator_ = r.lastModified;
  size_ = size;
  ranges_ = ranges;
  prepared_ = true;
  Part& first = parts_[r.part];
  first.end = size >= 0 ? size : kUnknownEnd;
  postLocked(TransferMessage::transferStarted, clamp32(size), ranges ? 1 : 0, 0);
  logLocked(0, "size " + std::to_string(size) + (ranges ? ", in ranges" : ", one connection"));
  if (ranges) splitIntoParts();
  return Verdict::accept;
}

// Under mutex_: the first part keeps its connection, the others wait for new ones.
void DownloadTask::splitIntoParts() {
  int64_t count = std::clamp<int64_t>(size_ / kMinPartSize, 1, threadCount_);
  int64_t chunk = size_ / count;
  parts_[0].end = count == 1 ? size_ : chunk;
  for (int64_t i = 1; i < count; ++i)
    parts_.push_back(Part{i * chunk, i == count - 1 ? size_ : (i + 1) * chunk});
  if (stopRequested_) return;
  for (int64_t i = 1; i < count; ++i) {
    int connection = ++connectionsMade_;
    ++activeConnections_;
    try {
      std::thread([self = shared_from_this(), connection] { self->connect(connection); }).detach();
    } catch (...) {
      --activeConnections_;
      logLocked(2, "cannot start connection " + std::to_string(connection));
    }
  }
}

DownloadTask::Verdict DownloadTask::evaluateRangeAnswer(TransferRequest& r, long status) {
  std::unique_lock lock(mutex_);
  bool ranges = ranges_;
  int64_t size = size_;
  lock.unlock();
  int64_t length = -1;
  if (!r.contentLength.empty() && !parseNumber(r.contentLength, length)) {
    log(1, "unreadable Content-Length: " + r.contentLength);
    return Verdict::retry;
  }
  if (!ranges) {
    // One connection beginning again: it must be the same file.
    if (status != 200 && status != 206) return Verdict::retry;
    if (size >= 0 && length >= 0 && status == 200 && length != size) {
      fail(TransferOutcome::serverChanged, "the file changed its size on the server");
      return Verdict::fatal;
    }
    return Verdict::accept;
  }
  if (status != 206) {
    // If-Range failed or ranges were dropped: the parts would not fit together.
    fail(TransferOutcome::serverChanged, "the server sent the whole file to a range request");
    return Verdict::fatal;
  }
  ContentRange cr;
  if (!parseContentRange(r.contentRange, cr)) {
    log(1, "unusable Content-Range: " + r.contentRange);
    return Verdict::retry;
  }
  if (cr.total != size) {
    fail(TransferOutcome::serverChanged, "the file changed its size on the server");
    return Verdict::fatal;
  }
  if (cr.first != r.from) {
    log(1, "the server answered a range from " + std::to_string(cr.first) + " instead of " +
               std::to_string(r.from));
    return Verdict::retry;
  }
  if (length >= 0 && length != cr.last - cr.first + 1) {
    log(1, "Content-Length disagrees with Content-Range");
    return Verdict::retry;
  }
  return Verdict::accept;
}

std::string DownloadTask::chooseTarget(TransferRequest& r) {
  std::string target = localFile_;
  if (endsWithSeparator(target)) {
    std::string name;
    size_t at = r.disposition.find("filename=");
    if (at != std::string::npos) {
      name = trim(r.disposition.substr(at + 9));
      size_t semi = name.find(';');
      if (semi != std::string::npos) name = trim(name.substr(0, semi));
      if (name.size() >= 2 && name.front() == '"') name = name.substr(1, name.find('"', 1) - 1);
    } else {
      char* effective = nullptr;
      curl_easy_getinfo(r.easy, CURLINFO_EFFECTIVE_URL, &effective);
      std::string a = effective ? effective : address_;
      a = a.substr(0, a.find_first_of("?#"));
      size_t slash = a.rfind('/');
      size_t scheme = a.find("://");
      if (slash != std::string::npos && (scheme == std::string::npos || slash > scheme + 2))
        name = a.substr(slash + 1);
    }
    target += safeFileName(name);
  }
  return target;
}

bool DownloadTask::prepareFile(TransferRequest& r) {
  if (localFile_.empty()) {
    fail(TransferOutcome::fileError, "no local file given");
    return false;
  }
  std::string original = chooseTarget(r);
  std::string target = original;
  int numbered = 0;
  for (int tries = 0; pathExists(target); ++tries) {
    if (tries >= kMaxNameTries) {
      fail(TransferOutcome::abandoned, "no free file name for " + original);
      return false;
    }
    int32_t reply = 0;
    if (eventRoutine_) {
      {
        std::lock_guard lock(mutex_);
        awaitingName_ = true;
        givenName_.clear();
      }
      try {
        reply = eventRoutine_(TransferMessage::sameNameFileExists, r.connection, 0, 0, id_);
      } catch (...) {
        reply = 1;
      }
    }
    std::string given;
    {
      std::lock_guard lock(mutex_);
      awaitingName_ = false;
      given.swap(givenName_);
    }
    if (reply == 0) {
      target = numberedName(original, ++numbered);
    } else if (reply == 2 && !given.empty()) {
      target = given;
    } else {
      fail(TransferOutcome::abandoned, "a file named " + target + " exists; the download is abandoned");
      return false;
    }
    if (stopping()) return false;
  }
  std::string partial = target + ".part";
  if (!file_.create(partial)) {
    fail(TransferOutcome::fileError, "cannot create " + partial);
    return false;
  }
  std::lock_guard lock(mutex_);
  targetPath_ = target;
  partialPath_ = partial;
  return true;
}

} // namespace platform
