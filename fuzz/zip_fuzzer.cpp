// libFuzzer target for the ZIP extractor: any input may fail, but nothing may
// crash, appear outside the target folder, or be reported as written when
// it is not there. Literals stay ASCII: clang has no GBK execution charset.
#include "platform/zip/zip_extractor.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const std::string& workFolder() {
  static const std::string folder = [] {
    std::string pattern = (fs::temp_directory_path() / "velmora-zipfuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern;
  }();
  static const bool cleanup = [] {
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(workFolder(), ec);
    });
    return true;
  }();
  (void)cleanup;
  return folder;
}

[[noreturn]] void broken(const std::string& what) {
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& work = workFolder();
  std::string archive = work + "/in.zip";
  std::string target = work + "/out";
  {
    std::ofstream out(archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  platform::ZipLimits limits;
  limits.maxTotalSize = 16u << 20;  // keeps each run short; the logic is the same
  platform::UnzipResult result = platform::unzipArchive(archive, target, {}, limits);

  for (const auto& item : fs::directory_iterator(work)) {
    std::string name = item.path().filename().string();
    if (name != "in.zip" && name != "out") broken("written outside the target: " + name);
  }
  if (result.ok() != result.reason.empty()) broken("reason does not match the outcome");
  uint64_t files = 0, bytes = 0;
  if (fs::exists(target)) {
    for (const auto& item : fs::recursive_directory_iterator(target)) {
      if (item.is_symlink()) broken("symbolic link created");
      if (item.is_regular_file()) {
        ++files;
        bytes += item.file_size();
      }
    }
  }
  if (result.ok() && (files != result.filesWritten || bytes != result.bytesWritten))
    broken("the files on disk differ from the report");
  std::error_code ec;
  fs::remove_all(target, ec);
  return 0;
}
