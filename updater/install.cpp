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
  replacedFiles.clear();
  createdFolders.clear();
  failedInstallFile.clear();
  copyFolderTree(source, target);
  // A file in use or a full disk: the old version is put back whole.
  const std::string failed = "升级包未能安装（" + failedInstallFile + "）";
  if (!failedInstallFile.empty() && !undoInstall())
    return failed + "，原版本未能完全恢复，原文件保存在 " + backupFolder() + "\r\n";
  platform::deleteFolderTree(backupFolder());
  if (!failedInstallFile.empty()) return failed + "，已恢复原版本\r\n";
  return "升级包已安装，共 " + std::to_string(unpacked.filesWritten) + " 个文件\r\n";
}

// A name in the backup folder that no kept file has yet.
std::string freeBackupName() {
  const std::string folder = backupFolder();
  if (!platform::folderExists(folder)) platform::createFolder(folder);
  for (size_t n = replacedFiles.size();; ++n) {
    std::string name = folder + "\\" + std::to_string(n);
    if (!platform::fileExists(name) && !platform::folderExists(name)) return name;
  }
}

// Moves the old file aside rather than copying over it: a file in use can
// often still be renamed, and the old one can be put back if a later file fails.
void installFile(const std::string& from, const std::string& to) {
  ReplacedFile change{to, ""};
  if (platform::fileExists(to)) {
    change.backup = freeBackupName();
    if (!platform::moveFile(to, change.backup)) {
      failedInstallFile = to;
      return;
    }
  }
  replacedFiles.push_back(change);
  if (!platform::copyFile(from, to)) failedInstallFile = to;
}

void createInstallFolder(const std::string& folder) {
  if (platform::createFolder(folder)) createdFolders.push_back(folder);
}

}  // namespace

std::vector<ReplacedFile> replacedFiles;
std::vector<std::string> createdFolders;
std::string failedInstallFile;

std::string extractionFolder() { return runFolder + "\\e_update"; }

std::string backupFolder() { return runFolder + "\\e_backup"; }

bool undoInstall() {
  bool restored = true;
  for (auto change = replacedFiles.rbegin(); change != replacedFiles.rend(); ++change) {
    platform::deleteFile(change->target);
    if (!change->backup.empty() && !platform::moveFile(change->backup, change->target)) restored = false;
  }
  // Made by the copy, so they hold nothing but what was just taken out.
  for (auto folder = createdFolders.rbegin(); folder != createdFolders.rend(); ++folder)
    platform::deleteFolderTree(*folder);
  replacedFiles.clear();
  createdFolders.clear();
  return restored;
}

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
  if (name.empty()) createInstallFolder(target);
  while (!name.empty() && failedInstallFile.empty()) {
    createInstallFolder(target);
    if (!endsWithBackslash(target)) target += "\\";
    installFile(source + name, target + name);
    name = search.next();
  }
  name = search.first(source + "*.*", platform::EntryFilter::FoldersOnly);
  while (!name.empty() && failedInstallFile.empty()) {
    if (!endsWithBackslash(target)) target += "\\";
    if (name[0] != '.') {
      std::string subSource = source + name;
      std::string subTarget = target + name;
      copyFolderTree(subSource, subTarget);
    }
    createInstallFolder(target + name);
    name = search.next();
  }
}
