// Writes the command line it was started with, byte for byte, to the file
// named by VELMORA_RECORD_LAUNCH (nothing when it is unset).
#include <cstdlib>
#include <fstream>

#include "platform/services.h"

int main() {
  const char* file = std::getenv("VELMORA_RECORD_LAUNCH");
  if (!file || !*file) return 0;
  std::string line = platform::processCommandLine();
  std::string partial = std::string(file) + ".part";
  // Written aside and renamed, so a waiting test never reads half a line.
  { std::ofstream(partial, std::ios::binary) << line; }
  return std::rename(partial.c_str(), file) == 0 ? 0 : 1;
}
