// Resource identifiers of the program.
#pragma once

#define IDI_ZEL 101
#define IDR_SOFTKEYS 165
#define IDM_SOFTKEY_LEFT 32823
#define IDM_SOFTKEY_RIGHT 32825
#define IDD_COMMON_DIALOG 132

// The text input dialog: a label and a one-line edit.
#define IDD_TEXT_INPUT 107
#define IDC_TEXT_INPUT_LABEL 1188
#define IDC_TEXT_INPUT_EDIT 1026
