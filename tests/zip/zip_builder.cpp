#include "tests/zip/zip_builder.h"

#include <zlib.h>

#include <stdexcept>

namespace testing_support {

namespace {

void put16(std::string& out, uint64_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, uint64_t v) {
  put16(out, v & 0xFFFF);
  put16(out, (v >> 16) & 0xFFFF);
}
void put64(std::string& out, uint64_t v) {
  put32(out, v & 0xFFFFFFFFu);
  put32(out, v >> 32);
}

constexpr uint32_t max32 = 0xFFFFFFFFu;

struct Written {
  uint32_t crc;
  uint64_t size;
  uint64_t compressedSize;
  uint64_t offset;
  std::string payload;
};

} // namespace

std::string deflateRaw(const std::string& data) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&z, data.size()) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string buildZip(const std::vector<ZipEntry>& entries, bool zip64End) {
  std::string out;
  std::vector<Written> written;
  for (const ZipEntry& e : entries) {
    Written w;
    w.payload = e.rawData ? *e.rawData : (e.method == 8 ? deflateRaw(e.data) : e.data);
    w.crc = e.declaredCrc ? *e.declaredCrc
                          : static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()),
                                                        static_cast<uInt>(e.data.size())));
    w.size = e.declaredSize ? *e.declaredSize : e.data.size();
    w.compressedSize = e.declaredCompressedSize ? *e.declaredCompressedSize : w.payload.size();
    w.offset = out.size();

    put32(out, 0x04034b50);
    put16(out, e.zip64 ? 45 : 20);
    put16(out, e.flags);
    put16(out, e.method);
    put32(out, 0x00210000);  // 1980-01-01 00:00
    put32(out, w.crc);
    put32(out, e.zip64 ? max32 : w.compressedSize);
    put32(out, e.zip64 ? max32 : w.size);
    put16(out, e.name.size());
    put16(out, e.zip64 ? 20 : 0);
    out += e.name;
    if (e.zip64) {
      put16(out, 0x0001);
      put16(out, 16);
      put64(out, w.size);
      put64(out, w.compressedSize);
    }
    out += w.payload;
    written.push_back(std::move(w));
  }

  uint64_t centralOffset = out.size();
  for (size_t i = 0; i < entries.size(); ++i) {
    const ZipEntry& e = entries[i];
    const Written& w = written[i];
    put32(out, 0x02014b50);
    put16(out, e.madeBy);
    put16(out, e.zip64 ? 45 : 20);
    put16(out, e.flags);
    put16(out, e.method);
    put32(out, 0x00210000);
    put32(out, w.crc);
    put32(out, e.zip64 ? max32 : w.compressedSize);
    put32(out, e.zip64 ? max32 : w.size);
    put16(out, e.name.size());
    put16(out, e.zip64 ? 28 : 0);
    put16(out, 0);  // comment
    put16(out, 0);  // disk
    put16(out, 0);  // internal attributes
    put32(out, e.externalAttributes);
    put32(out, e.zip64 ? max32 : w.offset);
    out += e.name;
    if (e.zip64) {
      put16(out, 0x0001);
      put16(out, 24);
      put64(out, w.size);
      put64(out, w.compressedSize);
      put64(out, w.offset);
    }
  }
  uint64_t centralSize = out.size() - centralOffset;

  if (zip64End) {
    uint64_t recordOffset = out.size();
    put32(out, 0x06064b50);
    put64(out, 44);
    put16(out, 45);
    put16(out, 45);
    put32(out, 0);
    put32(out, 0);
    put64(out, entries.size());
    put64(out, entries.size());
    put64(out, centralSize);
    put64(out, centralOffset);
    put32(out, 0x07064b50);  // locator
    put32(out, 0);
    put64(out, recordOffset);
    put32(out, 1);
  }
  put32(out, 0x06054b50);
  put16(out, 0);
  put16(out, 0);
  put16(out, zip64End ? 0xFFFF : entries.size());
  put16(out, zip64End ? 0xFFFF : entries.size());
  put32(out, zip64End ? max32 : centralSize);
  put32(out, zip64End ? max32 : centralOffset);
  put16(out, 0);
  return out;
}

size_t dataOffset(const std::string& archive, const std::string& name) {
  size_t at = archive.find(std::string("PK\x03\x04", 4));
  while (at != std::string::npos) {
    auto u16 = [&](size_t p) { return static_cast<size_t>(static_cast<unsigned char>(archive[p]) |
                                                          (static_cast<unsigned char>(archive[p + 1]) << 8)); };
    size_t nameLength = u16(at + 26), extraLength = u16(at + 28);
    if (archive.compare(at + 30, nameLength, name) == 0) return at + 30 + nameLength + extraLength;
    at = archive.find(std::string("PK\x03\x04", 4), at + 4);
  }
  throw std::runtime_error("no local header for " + name);
}

} // namespace testing_support
