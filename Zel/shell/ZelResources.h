// Resource identifiers of the program.
#pragma once

#define IDI_ZEL 101
#define IDR_SOFTKEYS 165
#define IDM_SOFTKEY_LEFT 32823
#define IDM_SOFTKEY_RIGHT 32825
#define IDD_COMMON_DIALOG 132
