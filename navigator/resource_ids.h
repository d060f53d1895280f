#pragma once
// Resource ids of the pictures built into Velmora器 (navigator.rc).
#define IDI_PROGRAM 1
#define IDP_TITLE_BAR 101
#define IDB_MINIMISE 111
#define IDB_MINIMISE_HOVER 112
#define IDB_MAXIMISE 113
#define IDB_MAXIMISE_HOVER 114
#define IDB_CLOSE 115
#define IDB_CLOSE_HOVER 116
