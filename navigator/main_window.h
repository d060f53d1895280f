#pragma once
// The main window "Velmora工具": its table and the routines bound to it.
#include "platform/gui/gui.h"

const platform::gui::WindowSpec& mainWindowSpec();
// The live main window (empty before it is loaded and after it is gone).
platform::gui::Window mainWindow();

void onMainWindowCreated();
void toggleMainWindow();
void minimizeMainWindow();
void exitNavigator();
void openLoginPage();
void showContactMessage();
void endWithMainWindow();
