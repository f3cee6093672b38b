// The plug-in's dialog templates and their controls.
#pragma once

// Settings pages.
#define IDD_JABBER_ACCOUNT 135
#define IDD_JABBER_EXPERT 136
#define IDD_JABBER_ADVANCED 156

// Account page (and the expert page's server and port fields, which share their ids).
#define IDC_JB_ACCOUNT_LABEL 1001
#define IDC_JB_PASSWORD_LABEL 1002
#define IDC_JB_RESOURCE_LABEL 1003
#define IDC_JB_SERVER_LABEL 1004
#define IDC_JB_PORT_LABEL 1005
#define IDC_JB_SHOW_PASSWORD_LABEL 1007
#define IDC_JB_SAVE_PASSWORD_LABEL 1008
#define IDC_JB_SSL_LABEL 1009
#define IDC_JB_ACCOUNT 1015
#define IDC_JB_PASSWORD 1016
#define IDC_JB_SHOW_PASSWORD 1017
#define IDC_JB_SAVE_PASSWORD 1018
#define IDC_JB_RESOURCE 1019
#define IDC_JB_SERVER 1020
#define IDC_JB_PORT 1021
#define IDC_JB_SSL 1022
// Expert page.
#define IDC_JB_MANUAL 1006
#define IDC_JB_COMPRESSION 1007
#define IDC_JB_MANUAL_LABEL 1008
#define IDC_JB_COMPRESSION_LABEL 1009
// Advanced page.
#define IDC_JB_EMAIL_NOTIFY 1061
#define IDC_JB_EMAIL_NOTIFY_LABEL 1062
#define IDC_JB_HIDE_EMAIL 1063
#define IDC_JB_HIDE_EMAIL_LABEL 1064
