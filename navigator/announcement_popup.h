#pragma once
// The announcement popup: a shaped window that slides up at the lower right
// of the screen while the announcement manifest asks for it.
#include "platform/gui/gui.h"

// The popup's window table (it is the navigator's second window).
const platform::gui::WindowSpec& announcementPopupSpec();

// Bound to the popup's own events.
void onPopupCreated();
void slideUpStep();
void slideDownStep();
void closePopup();
void openHomePage();
