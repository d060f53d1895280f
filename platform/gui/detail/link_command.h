#pragma once
// The command line a hyperlink box runs when the shell cannot open its
// address: the command registered for opening ".htm" files, cut before its
// placeholder for the file, then a blank and the address.
#include <string>

namespace platform::gui::detail {

// Everything from a quoted "%1" on is dropped, or, without one, from the
// first bare %1 on; a command without a placeholder stays whole.
template <class Text> Text linkCommandLine(const Text& registered, const Text& address) {
  using Char = typename Text::value_type;
  const Char quoted[] = {Char('"'), Char('%'), Char('1'), Char('"'), Char(0)};
  const Char bare[] = {Char('%'), Char('1'), Char(0)};
  Text command = registered;
  size_t cut = command.find(quoted);
  if (cut == Text::npos) cut = command.find(bare);
  if (cut != Text::npos) command.erase(cut);
  command += Char(' ');
  command += address;
  return command;
}

}  // namespace platform::gui::detail
