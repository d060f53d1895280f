#pragma once
// The site catalogue: the tab control 高级选择夹1 with the start page and
// the hyperlink boxes of pages 2 to 6.
#include <vector>

#include "platform/gui/gui.h"

struct CatalogueEntry {
  int page;             // tab page 2 to 6
  const char* caption;  // the site's name
  const char* address;  // opened in the user's browser on a click
  int left, top, width, height;
};

// 143 entries, in the order of their boxes 超级链接框2 ... 超级链接框144.
extern const std::vector<CatalogueEntry> catalogueEntries;

// Appends the tab control and everything on its pages to the main window.
void addCatalogue(platform::gui::WindowSpec& window);

bool openNewWindowInBox();
