#pragma once
// Text helpers shared by both programs. Texts are GBK byte strings.
#include <cstdint>
#include <string>

namespace platform {

// The bytes as text up to the first zero byte.
std::string bytesToText(const std::string& bytes);

// Skips leading white space and reads the longest leading decimal number
// (sign, digits, point, exponent); 0 when the text starts with no number.
// GBK full-width digits, signs and points count like their ASCII forms.
double textToNumber(const std::string& text);

// The leading decimal integer of a text (same scanning rules), clamped to 32 bits.
int32_t textToInteger(const std::string& text);

// Every occurrence of `from` replaced by `to`, left to right, without rescanning.
std::string replaceAll(const std::string& text, const std::string& from, const std::string& to);

// Version comparison: `value` counts as greater only when it exceeds
// `reference` by more than 1e-7, so float noise in "1.17" never looks newer.
bool exceedsNoticeably(double value, double reference);

// GBK (code page 936) <-> UTF-8 / UTF-16. Unconvertible input maps to '?'.
std::string gbkToUtf8(const std::string& gbk);
std::string utf8ToGbk(const std::string& utf8);
std::u16string gbkToUtf16(const std::string& gbk);
std::string utf16ToGbk(const std::u16string& utf16);

// True when byte `c` opens a two-byte GBK character.
inline bool isGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

} // namespace platform
