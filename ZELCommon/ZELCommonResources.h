// Identifiers of the resources compiled into ZELCommon.dll (ZELCommon.rc). Shared by the resource
// script and the code, so plain macros.
#pragma once

// The soft-key bar of every full-screen dialog: two top-level items, left key then right key.
#define IDM_ZELCOMMON_SOFTKEYS 101
#define ID_ZELCOMMON_SOFTKEY_LEFT 40002
#define ID_ZELCOMMON_SOFTKEY_RIGHT 40004

// An empty child dialog: the window of a tab page that has no template of its own.
#define IDD_ZELCOMMON_EMPTY_PAGE 102
