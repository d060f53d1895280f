// velmora-unzip ARCHIVE FOLDER: unpacks the archive into the folder.
// Exit status 0 only when every entry was written whole.
#include "platform/text.h"
#include "platform/zip/zip_extractor.h"

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

int run(const std::vector<std::string>& args) {
  if (args.size() != 3) {
    std::fprintf(stderr, "usage: velmora-unzip ARCHIVE FOLDER\n");
    return 2;
  }
  platform::UnzipResult result = platform::unzipArchive(args[1], args[2]);
  if (!result.ok()) {
    std::fprintf(stderr, "velmora-unzip: %s\n", result.reason.c_str());
    return 1;
  }
  std::printf("%llu entries, %llu files, %llu folders, %llu bytes\n",
              static_cast<unsigned long long>(result.entryCount),
              static_cast<unsigned long long>(result.filesWritten),
              static_cast<unsigned long long>(result.foldersCreated),
              static_cast<unsigned long long>(result.bytesWritten));
  return 0;
}

} // namespace

#ifdef _WIN32
// Wide arguments, so that a name outside the ANSI code page still arrives whole.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    std::wstring w(argv[i]);
    args.push_back(platform::utf16ToGbk(std::u16string(w.begin(), w.end())));
  }
  return run(args);
}
#else
int main(int argc, char** argv) { return run(std::vector<std::string>(argv, argv + argc)); }
#endif
