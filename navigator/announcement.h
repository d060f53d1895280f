#pragma once
// The announcement poll of the main window's 时钟1 and the popup it opens.
void pollAnnouncement();
// Loads the announcement popup (or re-activates the one that exists).
void loadAnnouncementPopup();
