// The fixed names of the resource folders and files, one accessor each, so every component builds
// its paths the same way: application folder + folder name + pack name + separator + file name.
#pragma once

inline const wchar_t* GetPathSeparator() { return L"\\"; }
inline const wchar_t* GetAllFilesMask() { return L"*"; }
inline const wchar_t* GetSkinsFolderName() { return L"Skins\\"; }
inline const wchar_t* GetColorsFileName() { return L"_colors.ini"; }
inline const wchar_t* GetSmiliesFolderName() { return L"Smilies\\"; }
inline const wchar_t* GetSmileyDefineFileName() { return L"_define.ini"; }
inline const wchar_t* GetAlertsFolderName() { return L"Alerts\\"; }
inline const wchar_t* GetAlertsFileName() { return L"_alerts.ini"; }
inline const wchar_t* GetLangsFolderName() { return L"Langs\\"; }
inline const wchar_t* GetLangModulePrefix() { return L"ZEL_"; }
