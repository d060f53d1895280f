#pragma once
// The navigator's globals and its start and end.
#include <cstdint>
#include <string>

#include "platform/xml_document.h"

// The one XML document holder: the update check and the announcement poll
// load their manifests into it. Created before the main window, freed by the
// exit routine.
extern platform::XmlDocument* manifestTree;
// The popup's wait in ms: 0 until the popup is first created.
extern std::int32_t popupWaitMs;

void startNavigator();
void releaseManifestTree();
