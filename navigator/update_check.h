#pragma once
// The update check behind the link "检查更新" and the hand-off to the updater.
#include <string>

// What the updater needs to know of one release, read from the update manifest.
struct ReleaseHandOff {
  std::string address;   // 下载地址: the release archive
  std::string title;     // 文件标题
  std::string fileName;  // 文件名
  std::string rawNotes;  // 升级说明, "#HHF" markers kept
};

void checkForUpdate();

// The updater's command line for a navigator in `folder` (no trailing backslash).
std::string buildUpdaterCommandLine(const std::string& folder, const ReleaseHandOff& release);
