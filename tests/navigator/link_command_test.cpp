// The fallback command of a hyperlink box: the ".htm" handler cut before its
// placeholder, then the address.
#include <gtest/gtest.h>

#include <string>

#include "platform/gui/detail/link_command.h"

using platform::gui::detail::linkCommandLine;

TEST(LinkCommand, CutsBeforeThePlaceholderAndAppendsTheAddress) {
  const std::string address = "http://mote-zhijia.example/";
  struct Case {
    const char* registered;
    const char* kept;  // what stays of the registered command
  } cases[] = {
      {"\"C:\\Program Files\\Web\\web.exe\" -nohome \"%1\"", "\"C:\\Program Files\\Web\\web.exe\" -nohome "},
      {"C:\\web.exe %1", "C:\\web.exe "},
      {"C:\\web.exe -url %1 -new", "C:\\web.exe -url "},
      {"\"C:\\web.exe\"", "\"C:\\web.exe\""},
      {"C:\\web.exe \"%1\" %1", "C:\\web.exe "},
      {"C:\\web.exe -a%1 \"%1\"", "C:\\web.exe -a%1 "},  // the quoted one wins over an earlier bare one
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(linkCommandLine(std::string(c.registered), address), std::string(c.kept) + " " + address) << c.registered;
}

TEST(LinkCommand, WorksOnWideText) {
  EXPECT_EQ(linkCommandLine(std::wstring(L"iexplore.exe \"%1\""), std::wstring(L"http://a.example/")),
            L"iexplore.exe  http://a.example/");
}
