// Start and end of the navigator.
#include "navigator/navigator.h"

#include "navigator/main_window.h"
#include "platform/gui/gui.h"
#include "platform/services.h"

platform::XmlDocument* manifestTree = nullptr;
std::int32_t popupWaitMs = 0;

void startNavigator() {
  platform::gui::initialise();
  manifestTree = new platform::XmlDocument;
  platform::installExitRoutine(&releaseManifestTree);
  platform::gui::loadWindow(mainWindowSpec());
  platform::gui::runMessageLoop();
  platform::runExitRoutine();
}

void releaseManifestTree() {
  if (!manifestTree) return;
  manifestTree->clear();
  delete manifestTree;
  manifestTree = nullptr;
}
