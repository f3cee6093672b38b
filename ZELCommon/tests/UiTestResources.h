// Identifiers of the dialog templates the window tests run (UiTestResources.rc).
#pragma once

#define IDD_TEST_FORM 201
#define IDD_TEST_PAGE 202
#define IDD_TEST_SIGN_IN 203

#define IDC_TEST_EDIT 1001
#define IDC_TEST_LABEL 1002
#define IDC_TEST_ACCOUNT 1003
#define IDC_TEST_PASSWORD 1004
