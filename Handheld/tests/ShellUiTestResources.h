// Menus for the soft-key bar tests (ShellUiTestResources.rc).
#pragma once

#define IDM_TEST_COMMAND_AND_POPUP 301
#define IDM_TEST_EXTENDED 302
#define IDM_TEST_GRAYED 303
#define IDM_TEST_MANY 304
#define IDM_TEST_EMPTY 305

#define ID_TEST_SEND 3001
#define ID_TEST_FIRST 3011
#define ID_TEST_SECOND 3012
#define ID_TEST_LEFT 3101
#define ID_TEST_RIGHT_POPUP 3102
#define ID_TEST_ITEM 3111
#define ID_TEST_OFF 3201
#define ID_TEST_ON 3202
#define ID_TEST_A 3301
#define ID_TEST_B 3302
#define ID_TEST_C 3303
