#include "text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace platform {

std::string bytesToText(const std::string& bytes) {
  return std::string(bytes.c_str());
}

namespace {

// Reads one character at `i` and, when it is an ASCII or GBK full-width form
// of a character a number may hold, gives its ASCII form and advances `i`.
char numberCharAt(const std::string& s, size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    ++i;
    return static_cast<char>(c);
  }
  if (c == 0xA3 && i + 1 < s.size()) {
    unsigned char t = static_cast<unsigned char>(s[i + 1]);
    // Full-width forms sit at 0xA3 0xA1..0xFE, mirroring ASCII 0x21..0x7E.
    if (t >= 0xA1 && t <= 0xFE) {
      char ascii = static_cast<char>(t - 0x80);
      if ((ascii >= '0' && ascii <= '9') || ascii == '+' || ascii == '-' || ascii == '.') {
        i += 2;
        return ascii;
      }
    }
  }
  return '\0';
}

bool isBlankAt(const std::string& s, size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c == ' ' || (c >= '\t' && c <= '\r')) {
    ++i;
    return true;
  }
  if (c == 0xA1 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xA1) {
    i += 2;  // the full-width space
    return true;
  }
  return false;
}

// The leading number of `s` in plain ASCII, after the white space.
// With `integerOnly` no point or exponent is taken.
std::string leadingNumber(const std::string& s, bool integerOnly) {
  size_t i = 0;
  while (i < s.size() && isBlankAt(s, i)) {
  }
  std::string out;
  auto peek = [&](size_t& next) {
    next = i;
    return next < s.size() ? numberCharAt(s, next) : '\0';
  };
  size_t next;
  char c = peek(next);
  if (c == '+' || c == '-') {
    out += c;
    i = next;
    c = peek(next);
  }
  bool digits = false;
  while (c >= '0' && c <= '9') {
    out += c;
    digits = true;
    i = next;
    c = peek(next);
  }
  if (integerOnly) return digits ? out : std::string();
  if (c == '.') {
    std::string frac = ".";
    i = next;
    c = peek(next);
    while (c >= '0' && c <= '9') {
      frac += c;
      digits = true;
      i = next;
      c = peek(next);
    }
    out += frac;
  }
  if (!digits) return std::string();
  if (c == 'e' || c == 'E') {
    // An exponent counts only when digits follow it.
    std::string exp = "e";
    size_t save = i;
    i = next;
    c = peek(next);
    if (c == '+' || c == '-') {
      exp += c;
      i = next;
      c = peek(next);
    }
    bool expDigits = false;
    while (c >= '0' && c <= '9') {
      exp += c;
      expDigits = true;
      i = next;
      c = peek(next);
    }
    if (expDigits) out += exp;
    else i = save;
  }
  return out;
}

} // namespace

double textToNumber(const std::string& text) {
  std::string number = leadingNumber(text, false);
  if (number.empty()) return 0.0;
  const char* first = number.c_str();
  if (*first == '+') ++first;  // from_chars takes no plus sign
  double value = 0.0;
  auto [end, ec] = std::from_chars(first, number.c_str() + number.size(), value);
  if (ec == std::errc::result_out_of_range) {
    bool negative = number[0] == '-';
    // Overflow reads as infinity, underflow (a negative exponent) as zero, as strtod does.
    if (number.find("e-") != std::string::npos) return 0.0;
    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  }
  (void)end;
  return ec == std::errc() ? value : 0.0;
}

int32_t textToInteger(const std::string& text) {
  std::string number = leadingNumber(text, true);
  if (number.empty()) return 0;
  bool negative = number[0] == '-';
  int64_t value = 0;
  for (char c : number) {
    if (c < '0' || c > '9') continue;
    value = value * 10 + (c - '0');
    if (value > static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1) break;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

std::string replaceAll(const std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  std::string out;
  size_t pos = 0;
  for (size_t hit; (hit = text.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
    out.append(text, pos, hit - pos);
    out += to;
  }
  out.append(text, pos, std::string::npos);
  return out;
}

bool exceedsNoticeably(double value, double reference) {
  return value - reference > 1e-7;
}

#ifdef _WIN32

std::u16string gbkToUtf16(const std::string& gbk) {
  if (gbk.empty()) return {};
  int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::u16string out(n, u'\0');
  MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::string utf16ToGbk(const std::u16string& utf16) {
  if (utf16.empty()) return {};
  auto w = reinterpret_cast<const wchar_t*>(utf16.data());
  int n = WideCharToMultiByte(936, 0, w, static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(936, 0, w, static_cast<int>(utf16.size()), out.data(), n, nullptr, nullptr);
  return out;
}

namespace {
std::u16string utf8ToUtf16(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::u16string out(n, u'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}
std::string utf16ToUtf8(const std::u16string& s) {
  if (s.empty()) return {};
  auto w = reinterpret_cast<const wchar_t*>(s.data());
  int n = WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}
} // namespace

std::string gbkToUtf8(const std::string& gbk) { return utf16ToUtf8(gbkToUtf16(gbk)); }
std::string utf8ToGbk(const std::string& utf8) { return utf16ToGbk(utf8ToUtf16(utf8)); }

#else

namespace {
// iconv with '?' for what the target cannot hold or the source gets wrong.
std::string convert(const char* to, const char* from, const std::string& in, size_t unitSize) {
  if (in.empty()) return {};
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return in;
  std::string out;
  char buffer[4096];
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof buffer;
    size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buffer, dst - buffer);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      // Skip one source unit and mark the gap.
      size_t skip = std::min(left, unitSize);
      src += skip;
      left -= skip;
      char q[4] = {0, 0, 0, 0};
      char* qsrc = const_cast<char*>("?");
      size_t qleft = 1;
      char* qdst = q;
      size_t qroom = sizeof q;
      iconv_t qd = iconv_open(to, "ASCII");
      if (qd != reinterpret_cast<iconv_t>(-1)) {
        iconv(qd, &qsrc, &qleft, &qdst, &qroom);
        iconv_close(qd);
        out.append(q, qdst - q);
      }
    }
  }
  iconv_close(cd);
  return out;
}
} // namespace

std::string gbkToUtf8(const std::string& gbk) { return convert("UTF-8", "GBK", gbk, 1); }
std::string utf8ToGbk(const std::string& utf8) { return convert("GBK", "UTF-8", utf8, 1); }

std::u16string gbkToUtf16(const std::string& gbk) {
  std::string bytes = convert("UTF-16LE", "GBK", gbk, 1);
  std::u16string out(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

std::string utf16ToGbk(const std::u16string& utf16) {
  std::string bytes(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
  return convert("GBK", "UTF-16LE", bytes, 2);
}

#endif

} // namespace platform
