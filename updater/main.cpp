// update.exe: started by the navigator with the description of one release.
#include "platform/gui/gui.h"
#include "platform/services.h"
#include "updater/updater.h"

int main() {
  platform::gui::initialise();
  runUpdater(platform::runDirectory());
  return 0;
}
