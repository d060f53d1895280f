// Writes the command line it was started with into the file named by its first argument.
#include "platform/services.h"

#include <fstream>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::ofstream(argv[1], std::ios::binary) << platform::processCommandLine();
  return 0;
}
