#pragma once
// Reading the service host's XML manifests through manifestTree.
#include <string>

// Replaces the document of manifestTree by the bytes; bad or empty bytes
// leave it empty.
void loadManifest(const std::string& bytes);
// The attribute at `path` of the document in manifestTree; empty text when
// there is none.
std::string readManifestValue(const std::string& path, const std::string& attribute);
