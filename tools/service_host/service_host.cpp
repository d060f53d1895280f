// The service host for tests, benchmarks and the demo: serves a folder at any
// path, honours single Range requests, logs every request, and injects faults.
//
//   velmora-service-host --root DIR [--host 127.0.0.1] [--port N] [--log FILE]
//       [--status PATH=CODE]... [--redirect FROM=TO]... [--only PATH]
//       [--rate BYTES_PER_S] [--ignore-range] [--close-after N] [--stall-ms MS]
//       [--range-shift N] [--length-shift N] [--range-cap N] [--encoding NAME]
//       [--fault-skip K] [--fault-limit K]
//
// The first line on stdout is "listening HOST:PORT" (port 0 picks a free one).
// Faults (--rate, --ignore-range, --close-after, --stall-ms, --range-shift,
// --length-shift, --encoding) apply to every path, or only to the --only path;
// --fault-skip K serves the first K requests that they would apply to cleanly,
// and --fault-limit K lets them apply to K requests after those.
// --range-cap N answers a range with at most its first N bytes (a shorter,
// truthful 206, as servers that limit their ranges give).
// --encoding NAME labels answers "Content-Encoding: NAME" (the body stays raw).
// --range-shift N: a 206 answer's Content-Range claims a start N bytes off
// (the body is the one asked for). --length-shift N: Content-Length claims N
// bytes more (the connection closes after the real body) or fewer (the body
// is cut to the claim) than the answer has.
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

struct Options {
  std::string root = ".";
  std::string host = "127.0.0.1";
  int port = 0;
  std::string logFile;
  std::map<std::string, int> statuses;
  std::map<std::string, std::string> redirects;
  std::string onlyPath;
  long long rate = 0;
  bool ignoreRange = false;
  long long closeAfter = -1;
  int stallMs = 0;
  long long rangeShift = 0;
  long long lengthShift = 0;
  long long faultLimit = -1;
  long long faultSkip = 0;
  long long rangeCap = 0;
  std::string encoding;
};

Options options;
std::mutex logMutex;
std::atomic<long long> faultedRequests{0};

bool parseOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::runtime_error("missing value for " + a);
      return argv[++i];
    };
    auto split = [](const std::string& s) {
      size_t eq = s.rfind('=');
      if (eq == std::string::npos) throw std::runtime_error("expected KEY=VALUE: " + s);
      return std::make_pair(s.substr(0, eq), s.substr(eq + 1));
    };
    if (a == "--root") options.root = value();
    else if (a == "--host") options.host = value();
    else if (a == "--port") options.port = std::stoi(value());
    else if (a == "--log") options.logFile = value();
    else if (a == "--status") { auto [k, v] = split(value()); options.statuses[k] = std::stoi(v); }
    else if (a == "--redirect") { auto kv = split(value()); options.redirects[kv.first] = kv.second; }
    else if (a == "--only") options.onlyPath = value();
    else if (a == "--rate") options.rate = std::stoll(value());
    else if (a == "--ignore-range") options.ignoreRange = true;
    else if (a == "--close-after") options.closeAfter = std::stoll(value());
    else if (a == "--stall-ms") options.stallMs = std::stoi(value());
    else if (a == "--range-shift") options.rangeShift = std::stoll(value());
    else if (a == "--length-shift") options.lengthShift = std::stoll(value());
    else if (a == "--fault-limit") options.faultLimit = std::stoll(value());
    else if (a == "--fault-skip") options.faultSkip = std::stoll(value());
    else if (a == "--range-cap") options.rangeCap = std::stoll(value());
    else if (a == "--encoding") options.encoding = value();
    else throw std::runtime_error("unknown switch " + a);
  }
  return true;
}

void logRequest(const httplib::Request& req) {
  if (options.logFile.empty()) return;
  std::lock_guard<std::mutex> lock(logMutex);
  std::ofstream out(options.logFile, std::ios::app | std::ios::binary);
  std::string target = req.path;
  if (!req.params.empty()) {
    target += '?';
    bool first = true;
    for (auto& [k, v] : req.params) {
      if (!first) target += '&';
      target += k + "=" + v;
      first = false;
    }
  }
  out << req.method << ' ' << target << ' ' << req.version << "\n";
  for (auto& [k, v] : req.headers) {
    if (k == "REMOTE_ADDR" || k == "REMOTE_PORT" || k == "LOCAL_ADDR" || k == "LOCAL_PORT") continue;
    out << k << ": " << v << "\n";
  }
  out << "\n";
}

bool faultsApply(const httplib::Request& req) {
  if (!options.onlyPath.empty() && req.path != options.onlyPath) return false;
  long long n = ++faultedRequests;
  if (n <= options.faultSkip) return false;
  return options.faultLimit < 0 || n - options.faultSkip <= options.faultLimit;
}

// The file a path names below the root; empty when the path climbs out.
std::string fileFor(const std::string& path) {
  fs::path relative = fs::path(path).relative_path();
  for (auto& part : relative)
    if (part == "..") return {};
  fs::path full = fs::path(options.root) / relative;
  std::error_code ec;
  if (fs::is_directory(full, ec)) full /= "index.html";
  return fs::is_regular_file(full, ec) ? full.string() : std::string();
}

std::string contentType(const std::string& file) {
  std::string ext = fs::path(file).extension().string();
  if (ext == ".html" || ext == ".htm" || ext == ".asp") return "text/html";
  if (ext == ".xml") return "text/xml";
  if (ext == ".zip") return "application/zip";
  return "application/octet-stream";
}

// Parses a single "bytes=a-b" range against `size`. Returns false when the
// header is absent or not a single range; sets `unsatisfiable` for a range
// that starts past the end.
bool parseRange(const std::string& header, long long size, long long& first, long long& last,
                bool& unsatisfiable) {
  unsatisfiable = false;
  if (header.rfind("bytes=", 0) != 0 || header.find(',') != std::string::npos) return false;
  std::string spec = header.substr(6);
  size_t dash = spec.find('-');
  if (dash == std::string::npos) return false;
  std::string a = spec.substr(0, dash), b = spec.substr(dash + 1);
  try {
    if (a.empty()) {  // suffix range: the last b bytes
      if (b.empty()) return false;
      long long n = std::stoll(b);
      if (n <= 0) { unsatisfiable = true; return true; }
      first = std::max(0LL, size - n);
      last = size - 1;
    } else {
      first = std::stoll(a);
      last = b.empty() ? size - 1 : std::min(std::stoll(b), size - 1);
      if (!b.empty() && std::stoll(b) < first) return false;
    }
  } catch (...) {
    return false;
  }
  if (first >= size || size == 0) unsatisfiable = true;
  return true;
}

void serveFile(const httplib::Request& req, httplib::Response& res) {
  std::string file = fileFor(req.path);
  if (file.empty()) {
    res.status = 404;
    res.set_content("<html><body>404 Not Found</body></html>", "text/html");
    return;
  }
  long long size = static_cast<long long>(fs::file_size(file));
  bool faults = faultsApply(req);
  long long first = 0, last = size - 1;
  bool unsatisfiable = false;
  bool ranged = !(faults && options.ignoreRange) && req.has_header("Range") &&
                parseRange(req.get_header_value("Range"), size, first, last, unsatisfiable);
  res.set_header("Accept-Ranges", (faults && options.ignoreRange) ? "none" : "bytes");
  res.set_header("Last-Modified", "Mon, 07 Dec 2026 08:00:00 GMT");
  if (faults && !options.encoding.empty()) res.set_header("Content-Encoding", options.encoding);
  if (ranged && unsatisfiable) {
    res.status = 416;
    res.set_header("Content-Range", "bytes */" + std::to_string(size));
    return;
  }
  if (ranged) {
    if (faults && options.rangeCap > 0) last = std::min(last, first + options.rangeCap - 1);
    res.status = 206;
    long long shift = faults ? options.rangeShift : 0;
    res.set_header("Content-Range", "bytes " + std::to_string(first + shift) + "-" +
                                        std::to_string(last + shift) + "/" + std::to_string(size));
  } else {
    res.status = 200;
  }
  long long length = size == 0 ? 0 : last - first + 1;
  long long closeAfter = faults ? options.closeAfter : -1;
  long long lengthShift = faults ? options.lengthShift : 0;
  if (lengthShift > 0) closeAfter = closeAfter >= 0 ? std::min(closeAfter, length) : length;
  long long declared = std::max(0LL, length + lengthShift);
  long long rate = faults ? options.rate : 0;
  int stallMs = faults ? options.stallMs : 0;
  auto started = std::make_shared<std::chrono::steady_clock::time_point>();
  res.set_content_provider(
      static_cast<size_t>(declared), contentType(file),
      [file, first, closeAfter, rate, stallMs, started](size_t offset, size_t length, httplib::DataSink& sink) {
        if (offset == 0) {
          if (stallMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(stallMs));
          *started = std::chrono::steady_clock::now();
        }
        if (closeAfter >= 0 && static_cast<long long>(offset) >= closeAfter) return false;  // drop it
        std::ifstream in(file, std::ios::binary);
        in.seekg(first + static_cast<long long>(offset));
        size_t chunk = std::min<size_t>(length, 64 * 1024);
        if (rate > 0) chunk = std::min<size_t>(chunk, std::max<long long>(1, rate / 20));
        if (closeAfter >= 0) chunk = std::min<size_t>(chunk, closeAfter - offset);
        std::string buffer(chunk, '\0');
        in.read(buffer.data(), static_cast<std::streamsize>(chunk));
        if (in.gcount() <= 0) return false;
        if (rate > 0) {
          // Pace so that offset + chunk bytes are not sent before their time.
          auto due = *started + std::chrono::microseconds((offset + chunk) * 1000000LL / rate);
          std::this_thread::sleep_until(due);
        }
        return sink.write(buffer.data(), static_cast<size_t>(in.gcount()));
      });
}

void handle(const httplib::Request& req, httplib::Response& res) {
  logRequest(req);
  if (auto r = options.redirects.find(req.path); r != options.redirects.end()) {
    res.status = 302;
    res.set_header("Location", r->second);
    res.set_content("<html><body>moved</body></html>", "text/html");
    return;
  }
  if (auto s = options.statuses.find(req.path); s != options.statuses.end()) {
    res.status = s->second;
    res.set_content("<html><body>error " + std::to_string(s->second) + "</body></html>", "text/html");
    return;
  }
  serveFile(req, res);
}

} // namespace

int main(int argc, char** argv) {
  try {
    parseOptions(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "velmora-service-host: " << e.what() << "\n";
    return 2;
  }
  httplib::Server server;
  // Range handling is ours: the library would otherwise cut a 200 answer too.
  server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
    const_cast<httplib::Request&>(req).ranges.clear();
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server.set_keep_alive_max_count(1000);
  server.Get(R"(/.*)", handle);
  int port = options.port;
  if (port == 0) {
    port = server.bind_to_any_port(options.host);
  } else if (!server.bind_to_port(options.host, port)) {
    port = -1;
  }
  if (port <= 0) {
    std::cerr << "velmora-service-host: cannot listen on " << options.host << ":" << options.port << "\n";
    return 1;
  }
  std::cout << "listening " << options.host << ":" << port << std::endl;
  server.listen_after_bind();
  return 0;
}
