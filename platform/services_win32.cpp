// Win32 side of the Windows services. GBK texts go through code page 936 to
// the W functions, so Chinese paths work on any system locale.
#include "services.h"

#include "text.h"

#include <windows.h>
#include <shellapi.h>

#include <cctype>

namespace platform {

namespace {

std::wstring wide(const std::string& gbk) {
  std::u16string u = gbkToUtf16(gbk);
  return std::wstring(u.begin(), u.end());
}

std::string narrow(const wchar_t* w) {
  std::u16string u;
  for (; *w; ++w) u += static_cast<char16_t>(*w);
  return utf16ToGbk(u);
}

bool isDriveRoot(const std::string& s) {
  bool letter = s.size() >= 2 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':';
  return letter && (s.size() == 2 || (s.size() == 3 && (s[2] == '\\' || s[2] == '/')));
}

bool deleteTreeW(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = folder + L"\\" + name;
      bool isFolder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
      // A junction or folder link is removed, never followed.
      bool isLink = data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
      if (isFolder && !isLink) {
        deleteTreeW(full);
      } else if (isFolder) {
        RemoveDirectoryW(full.c_str());
      } else {
        SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(full.c_str());
      }
    } while (FindNextFileW(h, &data));
    FindClose(h);
  }
  return RemoveDirectoryW(folder.c_str()) != 0;
}

} // namespace

std::string nativePath(const std::string& path) { return path; }

std::string runDirectory() {
  wchar_t path[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  if (n == 0) return ".";
  std::wstring p(path, n);
  size_t slash = p.rfind(L'\\');
  if (slash != std::wstring::npos) p.resize(slash);
  return narrow(p.c_str());
}

std::string processCommandLine() { return narrow(GetCommandLineW()); }

bool createFolder(const std::string& path) { return CreateDirectoryW(wide(path).c_str(), nullptr) != 0; }

bool copyFile(const std::string& from, const std::string& to) {
  return CopyFileW(wide(from).c_str(), wide(to).c_str(), FALSE) != 0;
}

bool deleteFile(const std::string& path) { return DeleteFileW(wide(path).c_str()) != 0; }

bool moveFile(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING the move fails on an existing target.
  return MoveFileExW(wide(from).c_str(), wide(to).c_str(), 0) != 0;
}

bool deleteFolderTree(const std::string& path) {
  size_t start = path.find_first_not_of(' ');
  std::string p = start == std::string::npos ? std::string() : path.substr(start);
  if (p.empty() || isDriveRoot(p)) return false;
  while (p.size() > 3 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  std::wstring w = wide(p);
  DWORD attributes = GetFileAttributesW(w.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveDirectoryW(w.c_str()) != 0;
  return deleteTreeW(w);
}

bool fileExists(const std::string& path) {
  DWORD a = GetFileAttributesW(wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool folderExists(const std::string& path) {
  DWORD a = GetFileAttributesW(wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

struct FolderSearch::Impl {
  HANDLE handle = INVALID_HANDLE_VALUE;
  EntryFilter filter = EntryFilter::FilesOnly;
  WIN32_FIND_DATAW data{};
  bool pending = false;  // `data` holds an entry not yet looked at

  void close() {
    if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
    handle = INVALID_HANDLE_VALUE;
    pending = false;
  }
  std::string advance() {
    while (handle != INVALID_HANDLE_VALUE) {
      if (!pending && !FindNextFileW(handle, &data)) {
        close();
        break;
      }
      pending = false;
      bool isFolder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
      if ((filter == EntryFilter::FoldersOnly) == isFolder) return narrow(data.cFileName);
    }
    return {};
  }
};

FolderSearch::FolderSearch() : impl_(std::make_unique<Impl>()) {}
FolderSearch::~FolderSearch() { impl_->close(); }

std::string FolderSearch::first(const std::string& pattern, EntryFilter filter) {
  impl_->close();
  impl_->filter = filter;
  impl_->handle = FindFirstFileW(wide(pattern).c_str(), &impl_->data);
  impl_->pending = impl_->handle != INVALID_HANDLE_VALUE;
  return impl_->advance();
}

std::string FolderSearch::next() { return impl_->advance(); }

bool startProgram(const std::string& commandLine) {
  std::wstring line = wide(commandLine);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  WaitForInputIdle(pi.hProcess, 1000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

bool shellOpen(const std::string& file, const std::string& parameters) {
  std::wstring f = wide(file), p = wide(parameters);
  HINSTANCE r = ShellExecuteW(nullptr, L"open", f.c_str(), p.empty() ? nullptr : p.c_str(), L"", SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(r) > 32;
}

} // namespace platform
