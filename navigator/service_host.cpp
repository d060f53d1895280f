#include "navigator/service_host.h"

std::string serviceHost = VELMORA_SERVICE_HOST;

std::string serviceAddress(const std::string& path) { return "http://" + serviceHost + path; }
