#include "navigator/manifest.h"

#include "navigator/navigator.h"

void loadManifest(const std::string& bytes) {
  if (manifestTree) manifestTree->load(bytes);
}

std::string readManifestValue(const std::string& path, const std::string& attribute) {
  return manifestTree ? manifestTree->attribute(path, attribute) : std::string();
}
