#pragma once
// One GET for a whole resource, as the navigator fetches from its service host.
#include <string>

namespace platform {

class HttpReader {
public:
  // A host that accepts the connection and never answers must not freeze the
  // caller's GUI thread for good, so every read is bounded.
  static constexpr long kConnectTimeoutMs = 5000;
  static constexpr long kIdleTimeoutMs = 5000;   // no byte received for this long
  static constexpr long kTotalTimeoutMs = 30000;

  // The whole body, whatever the status code; empty bytes on any failure.
  // HTTP/1.0, an old-browser user agent, "Accept: */*", and no-cache headers
  // so that every cache on the way passes the request on.
  std::string read(const std::string& address) const;
};

// Libcurl's process-wide set-up, done once whoever asks first.
void ensureCurlReady();

} // namespace platform
