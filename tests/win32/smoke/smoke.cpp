// Proves the cross-built libraries: fetch a manifest over HTTP with the reader
// and read it with the XML holder, then print what was read as UTF-8 hex.
//   win32_smoke URL
#include "platform/http_reader.h"
#include "platform/text.h"
#include "platform/xml_document.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string body = platform::HttpReader().read(argv[1]);
  platform::XmlDocument doc;
  if (!doc.load(body)) {
    std::printf("no document (%u bytes)\n", static_cast<unsigned>(body.size()));
    return 1;
  }
  std::string version = doc.attribute("最新版本/版本信息", "版本号");
  std::string title = platform::gbkToUtf8(doc.attribute("最新版本/版本信息", "文件标题"));
  std::printf("version=%s\ntitle=", version.c_str());
  for (unsigned char c : title) std::printf("%02x", c);
  std::printf("\n");
  return 0;
}
