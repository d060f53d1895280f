#pragma once
// The extractor's rules for entry names, apart so they can be tested alone.
#include <map>
#include <string>
#include <vector>

namespace platform::zipnames {

struct EntryPath {
  std::vector<std::string> components;  // GBK, never empty when valid
  bool isFolder = false;                // the name ended with a separator
};

// The raw name from the central directory as GBK: converted when the UTF-8
// flag was set. Empty `problem` when the text is acceptable.
std::string nameAsGbk(const std::string& raw, bool utf8Flag, std::string& problem);

// Splits a GBK name on "/" and on "\" that is not a GBK trail byte and checks
// every component. Empty result when fine, else why the name is refused.
std::string parseEntryName(const std::string& gbkName, EntryPath& path);

// Why one component is refused, or the empty text.
std::string checkComponent(const std::string& component);

// The name as Windows compares it: letters folded to one case (ASCII, Greek,
// Cyrillic and full-width Latin, the cased letters GBK can hold).
std::u16string comparisonKey(const std::vector<std::string>& components, size_t count);

// Records every entry's path and finds names that would alias on Windows:
// two equal ignoring case, or a file where another entry needs a folder.
class NameSet {
public:
  // Empty when the entry fits with those added before it.
  std::string add(const EntryPath& path);

private:
  enum class Kind { File, ExplicitFolder, ImpliedFolder };
  std::map<std::u16string, Kind> seen_;
};

} // namespace platform::zipnames
