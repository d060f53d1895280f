#pragma once
// Resource id of the popup's back picture (announcement_popup.rc).
#define IDB_POPUP_BACK 201
