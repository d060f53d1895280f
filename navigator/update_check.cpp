// 检查更新: compares the service host's update manifest with the running
// version and, for a newer release, hands over to the updater and ends.
#include "navigator/update_check.h"

#include "navigator/manifest.h"
#include "navigator/service_host.h"
#include "platform/gui/gui.h"
#include "platform/http_reader.h"
#include "platform/services.h"
#include "platform/text.h"

namespace gui = platform::gui;

namespace {

const char* const kVersionElement = "最新版本/版本信息";
// The running version; the label "当前版本:1.17" carries it a second time.
constexpr double kRunningVersion = 1.17;
const char* const kLaunchToken = "kqzmhost_launcher";

ReleaseHandOff readReleaseHandOff() {
  ReleaseHandOff release;
  release.address = readManifestValue(kVersionElement, "下载地址");
  release.title = readManifestValue(kVersionElement, "文件标题");
  release.fileName = readManifestValue(kVersionElement, "文件名");
  release.rawNotes = readManifestValue(kVersionElement, "升级说明");
  return release;
}

void showNewRelease(const std::string& versionText, const std::string& rawNotes) {
  std::string shownNotes = platform::replaceAll(rawNotes, "#HHF", "\r\n");
  gui::messageBox("发现有新的版本(" + versionText + ")可以更新，本次更新了如下内容：\r\n" + shownNotes,
                  "信息：", gui::BoxIcon::Information);
}

}  // namespace

std::string buildUpdaterCommandLine(const std::string& folder, const ReleaseHandOff& release) {
  // The program path is quoted: the usual install folder has a blank in it,
  // and unquoted the updater would take the part after it for its token.
  return "\"" + folder + "\\main_update\\update.exe\" " + kLaunchToken + " " + release.address + " " +
         release.title + " run Velmora器.exe " + release.fileName + " " + release.rawNotes;
}

void checkForUpdate() {
  loadManifest(platform::HttpReader().read(serviceAddress("/gx/update.xml")));
  std::string versionText = readManifestValue(kVersionElement, "版本号");
  if (!platform::exceedsNoticeably(platform::textToNumber(versionText), kRunningVersion)) {
    gui::messageBox("已经是最新版本。");
    return;
  }
  // Read before the box: while it is open the announcement poll may load its
  // own manifest into manifestTree.
  ReleaseHandOff release = readReleaseHandOff();
  showNewRelease(versionText, release.rawNotes);
  platform::startProgram(buildUpdaterCommandLine(platform::runDirectory(), release));
  platform::endProgram(0);
}
