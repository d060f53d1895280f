// Install and relaunch: the downloaded release is installed only when it is
// whole, then the navigator is started again and the updater ends.
#include "platform/services.h"
#include "platform/zip/zip_extractor.h"
#include "updater/updater.h"

namespace gui = platform::gui;

namespace {

// Looks at the last character, not the last byte: a GBK character may end
// in 0x5C.
bool endsWithBackslash(const std::string& path) {
  bool last = false;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    last = c == '\\';
    if (c >= 0x80 && i + 1 < path.size()) ++i;
  }
  return last;
}

bool folderIsEmpty(const std::string& folder) {
  platform::FolderSearch files;
  if (!files.first(folder + "\\*.*", platform::EntryFilter::FilesOnly).empty()) return false;
  platform::FolderSearch folders;
  for (std::string name = folders.first(folder + "\\*.*", platform::EntryFilter::FoldersOnly);
       !name.empty(); name = folders.next()) {
    if (name != "." && name != "..") return false;
  }
  return true;
}

bool downloadReportedComplete(int taskNumber) {
  std::shared_ptr<platform::Downloader> downloader;
  {
    std::lock_guard lock(taskListsLock);
    if (taskNumber >= 1 && static_cast<size_t>(taskNumber) <= downloaders.size())
      downloader = downloaders[taskNumber - 1];
  }
  return downloader && downloader->succeeded() && platform::fileExists(archivePath(taskNumber));
}

// Unpacks and checks the whole release before a single installed file is
// touched; returns the log line that tells the outcome.
std::string installRelease(int taskNumber) {
  const std::string archive = archivePath(taskNumber);
  const std::string extraction = extractionFolder();
  // Files left by an earlier, interrupted install must not ship with this one.
  platform::deleteFolderTree(extraction);
  platform::createFolder(extraction);
  if (!downloadReportedComplete(taskNumber)) return "下载未完成，升级包未安装\r\n";
  if (!platform::folderExists(extraction) || !folderIsEmpty(extraction))
    return "解压目录无法清空，升级包未安装\r\n";
  platform::UnzipResult unpacked = platform::unzipArchive(archive, extraction);
  if (!unpacked.ok()) return "升级包不完整或有误，未安装：" + unpacked.reason + "\r\n";
  std::string source = extraction;
  std::string target = installFolder();
  copyFolderTree(source, target);
  return "升级包已安装，共 " + std::to_string(unpacked.filesWritten) + " 个文件\r\n";
}

}  // namespace

std::string extractionFolder() { return runFolder + "\\e_update"; }

std::string installFolder() { return runFolder + "\\..\\"; }

std::string relaunchCommandLine() {
  std::string program;
  {
    std::lock_guard lock(taskListsLock);
    if (launchArguments.size() >= 5) program = launchArguments[4];
  }
  // Quoted: with a blank in the folder, Windows would otherwise try the
  // path's first word as the program.
  return "\"" + installFolder() + program + "\"";
}

int installAndRestart(int taskNumber, int /*second*/) {
  installRunning = true;
  appendToLog(installRelease(taskNumber));
  platform::deleteFile(archivePath(taskNumber));
  platform::deleteFolderTree(extractionFolder());
  platform::startProgram(relaunchCommandLine());
  platform::endProgram(0);
}

void copyFolderTree(std::string& source, std::string& target) {
  gui::processPendingEvents();
  if (!endsWithBackslash(source)) source += "\\";
  platform::FolderSearch search;
  std::string name = search.first(source + "*.*", platform::EntryFilter::FilesOnly);
  if (name.empty()) platform::createFolder(target);
  while (!name.empty()) {
    platform::createFolder(target);
    if (!endsWithBackslash(target)) target += "\\";
    platform::copyFile(source + name, target + name);
    name = search.next();
  }
  name = search.first(source + "*.*", platform::EntryFilter::FoldersOnly);
  while (!name.empty()) {
    if (!endsWithBackslash(target)) target += "\\";
    if (name[0] != '.') {
      std::string subSource = source + name;
      std::string subTarget = target + name;
      copyFolderTree(subSource, subTarget);
    }
    platform::createFolder(target + name);
    name = search.next();
  }
}
