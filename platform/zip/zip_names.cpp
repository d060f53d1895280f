#include "platform/zip/zip_names.h"

#include "platform/text.h"

#include <cstring>

// Literals here stay ASCII: the fuzz build compiles this file with clang,
// which cannot produce GBK literals.

namespace platform::zipnames {

namespace {

bool isAsciiAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Strict UTF-8: no overlongs, no surrogates, nothing past U+10FFFF.
bool isValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t extra;
    uint32_t cp;
    if (c < 0x80) { ++i; continue; }
    if (c >= 0xC2 && c <= 0xDF) { extra = 1; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { extra = 2; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { extra = 3; cp = c & 0x07; }
    else return false;
    if (i + extra >= s.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    i += extra + 1;
  }
  return true;
}

bool isReservedDeviceName(const std::string& component) {
  // Windows looks at the part before the first dot, trailing blanks ignored.
  std::string stem = component.substr(0, component.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = upperAscii(c);
  static const char* const fixed[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* name : fixed)
    if (stem == name) return true;
  if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
      stem[3] >= '0' && stem[3] <= '9')
    return true;
  return false;
}

// The shape of a generated 8.3 name, "LONGFI~1.TXT": on Windows it can open
// the file another entry created under its long name.
bool looksLikeShortAlias(const std::string& component) {
  size_t dot = component.rfind('.');
  std::string stem = component.substr(0, dot);
  size_t extension = dot == std::string::npos ? 0 : component.size() - dot - 1;
  size_t tilde = stem.rfind('~');
  if (stem.size() > 8 || extension > 3 || tilde == std::string::npos || tilde + 1 == stem.size()) return false;
  for (size_t i = tilde + 1; i < stem.size(); ++i)
    if (stem[i] < '0' || stem[i] > '9') return false;
  for (char c : component)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

char16_t foldLetter(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - u'a' + u'A';
  if (c >= 0x03B1 && c <= 0x03C9 && c != 0x03C2) return c - 0x20;  // Greek
  if (c >= 0x0430 && c <= 0x044F) return c - 0x20;                  // Cyrillic
  if (c >= 0x0450 && c <= 0x045F) return c - 0x50;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;                  // full-width Latin
  return c;
}

} // namespace

std::string nameAsGbk(const std::string& raw, bool utf8Flag, std::string& problem) {
  problem.clear();
  if (std::memchr(raw.data(), 0, raw.size())) {
    problem = "name contains a NUL byte";
    return {};
  }
  if (utf8Flag) {
    if (!isValidUtf8(raw)) {
      problem = "name is not valid UTF-8";
      return {};
    }
    std::string gbk = utf8ToGbk(raw);
    if (gbkToUtf8(gbk) != raw) problem = "name has characters GBK cannot hold";
    return gbk;
  }
  // A GBK text survives the round trip through UTF-16 unchanged.
  if (utf16ToGbk(gbkToUtf16(raw)) != raw) problem = "name is not valid GBK";
  return raw;
}

std::string checkComponent(const std::string& c) {
  if (c.empty()) return "empty path component";
  if (c == "." || c == "..") return "\".\" or \"..\" path component";
  bool lastIsSingleByte = true;
  for (size_t i = 0; i < c.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(c[i]);
    lastIsSingleByte = !(isGbkLeadByte(b) && i + 1 < c.size());
    if (!lastIsSingleByte) {
      ++i;  // the trail byte may be any of the bytes refused below
      continue;
    }
    if (b < 0x20 || b == 0x7F) return "control character in name";
    if (b == ':') return "\":\" in name (drive letter or stream)";
    if (std::strchr("<>\"|?*", b)) return "character not allowed in Windows names";
  }
  if (lastIsSingleByte && (c.back() == '.' || c.back() == ' ')) return "trailing dot or space in name";
  if (isReservedDeviceName(c)) return "reserved device name";
  if (looksLikeShortAlias(c)) return "name shaped like a Windows short name";
  if (gbkToUtf16(c).size() > 255) return "path component too long";
  return {};
}

std::string parseEntryName(const std::string& name, EntryPath& path) {
  path = EntryPath{};
  if (name.empty()) return "empty name";
  std::vector<std::string> parts(1);
  bool endsWithSeparator = false;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(name[i]);
    endsWithSeparator = false;
    if (isGbkLeadByte(b) && i + 1 < name.size()) {
      parts.back() += name[i];
      parts.back() += name[++i];
      continue;
    }
    if (b == '/' || b == '\\') {
      parts.emplace_back();
      endsWithSeparator = true;
      continue;
    }
    parts.back() += name[i];
  }
  if (parts.front().empty() && parts.size() > 1) return "absolute path";
  if (parts.front().size() >= 2 && isAsciiAlpha(parts.front()[0]) && parts.front()[1] == ':')
    return "drive letter in name";
  if (endsWithSeparator) {
    parts.pop_back();
    path.isFolder = true;
  }
  for (const std::string& part : parts) {
    std::string problem = checkComponent(part);
    if (!problem.empty()) return problem;
  }
  path.components = std::move(parts);
  return {};
}

std::u16string comparisonKey(const std::vector<std::string>& components, size_t count) {
  std::u16string key;
  for (size_t i = 0; i < count && i < components.size(); ++i) {
    if (i) key += u'/';
    for (char16_t c : gbkToUtf16(components[i])) key += foldLetter(c);
  }
  return key;
}

std::string NameSet::add(const EntryPath& path) {
  size_t n = path.components.size();
  for (size_t depth = 1; depth < n; ++depth) {
    auto [it, inserted] = seen_.emplace(comparisonKey(path.components, depth), Kind::ImpliedFolder);
    if (!inserted && it->second == Kind::File) return "a file of this name is also a folder";
  }
  std::u16string key = comparisonKey(path.components, n);
  auto it = seen_.find(key);
  if (it == seen_.end()) {
    seen_.emplace(key, path.isFolder ? Kind::ExplicitFolder : Kind::File);
    return {};
  }
  if (path.isFolder && it->second == Kind::ImpliedFolder) {
    it->second = Kind::ExplicitFolder;
    return {};
  }
  if (path.isFolder != (it->second != Kind::File)) return "a file of this name is also a folder";
  return "two entries have the same name when case is ignored";
}

} // namespace platform::zipnames
