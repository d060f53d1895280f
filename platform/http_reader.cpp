#include "http_reader.h"

#include <curl/curl.h>

#include <mutex>

namespace platform {

void ensureCurlReady() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

namespace {

size_t appendBody(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

struct CurlHandle {
  CURL* curl = curl_easy_init();
  curl_slist* headers = nullptr;
  ~CurlHandle() {
    curl_slist_free_all(headers);
    if (curl) curl_easy_cleanup(curl);
  }
};

} // namespace

std::string HttpReader::read(const std::string& address) const {
  ensureCurlReady();
  CurlHandle h;
  if (!h.curl) return {};
  std::string body;
  h.headers = curl_slist_append(h.headers, "Accept: */*");
  h.headers = curl_slist_append(h.headers, "Pragma: no-cache");
  h.headers = curl_slist_append(h.headers, "Cache-Control: no-cache");
  curl_easy_setopt(h.curl, CURLOPT_URL, address.c_str());
  curl_easy_setopt(h.curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
  curl_easy_setopt(h.curl, CURLOPT_USERAGENT, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  curl_easy_setopt(h.curl, CURLOPT_HTTPHEADER, h.headers);
  curl_easy_setopt(h.curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h.curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h.curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(h.curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h.curl, CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
  curl_easy_setopt(h.curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h.curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  curl_easy_setopt(h.curl, CURLOPT_TIMEOUT_MS, kTotalTimeoutMs);
  // Less than one byte a second for the idle span counts as a stall.
  curl_easy_setopt(h.curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h.curl, CURLOPT_LOW_SPEED_TIME, kIdleTimeoutMs / 1000);
  curl_easy_setopt(h.curl, CURLOPT_WRITEFUNCTION, appendBody);
  curl_easy_setopt(h.curl, CURLOPT_WRITEDATA, &body);
  if (curl_easy_perform(h.curl) != CURLE_OK) return {};
  return body;
}

} // namespace platform
