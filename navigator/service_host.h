#pragma once
// Where the navigator finds its maker's web server.
#include <string>

// Host or host:port, fixed at build time (VELMORA_SERVICE_HOST). Host tests
// point it at their own server on 127.0.0.1.
extern std::string serviceHost;

// "http://" + the host + path; the empty path gives the host's root.
std::string serviceAddress(const std::string& path);
