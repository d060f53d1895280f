#pragma once
// Writes ZIP archives byte by byte for the extractor's tests, so that any
// field can be made to lie. Names are raw bytes as they go into the headers.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct ZipEntry {
  std::string name;
  std::string data;                  // the contents as they should come out
  uint16_t method = 8;               // 8: deflated by zlib; any other: data stored as is
  uint16_t flags = 0;                // general purpose bits (bit 11: UTF-8 name)
  uint16_t madeBy = 0x0314;          // Unix, version 2.0
  uint32_t externalAttributes = 0;   // Unix mode << 16, DOS attributes below
  bool zip64 = false;                // ZIP64 extra fields with 0xFFFFFFFF in the headers
  // Lies, written into both the local and the central header.
  std::optional<uint32_t> declaredCrc;
  std::optional<uint64_t> declaredSize;
  std::optional<uint64_t> declaredCompressedSize;
  std::optional<std::string> rawData;  // the bytes written instead of the (compressed) data
};

inline ZipEntry fileEntry(std::string name, std::string data, uint16_t method = 8) {
  ZipEntry e;
  e.name = std::move(name);
  e.data = std::move(data);
  e.method = method;
  e.externalAttributes = 0100644u << 16;
  return e;
}

inline ZipEntry folderEntry(std::string name) {
  ZipEntry e;
  e.name = std::move(name);
  e.method = 0;
  e.externalAttributes = (040755u << 16) | 0x10;
  return e;
}

// The whole archive; `zip64End` adds the ZIP64 end record and its locator.
std::string buildZip(const std::vector<ZipEntry>& entries, bool zip64End = false);

// Raw deflate data (no zlib header), as ZIP method 8 holds it.
std::string deflateRaw(const std::string& data);

// Offset of the first local header's data of the entry named `name`.
size_t dataOffset(const std::string& archive, const std::string& name);

} // namespace testing_support
