// CZELPath: the program's folder and the fixed folders and file names under it, so every component
// finds plug-ins, history, skins, smiley packs and alert packs in the same places. Folder texts end
// with the separator, so a file name is appended directly.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

class ZELCOMMON_API CZELPath {
public:
    // Room, in units with the zero, that a buffer given to Path must have.
    static const int MaxPath = MAX_PATH;

    // The folder of the process's executable, ending with "\"; empty when the platform cannot tell.
    static CZELString AppDir();
    static CZELString GetProtosDir();
    static CZELString GetHistDir();
    // The folder of one protocol plug-in: AppDir + "Protos\" + name (length units, -1 = up to the
    // zero unit) + "\".
    static CZELString GetProtoDir(const wchar_t* name, int length = -1);

    // Writes AppDir and then each zero-terminated piece (the list ends with a null pointer) into
    // out, which holds MaxPath units, and returns the length. A path that would not fit is not
    // cut: out becomes empty and the result is 0.
    static int Path(wchar_t* out, const wchar_t* first, ...);

    static const wchar_t* ProtosDir() { return L"Protos\\"; }
    static const wchar_t* HistDir() { return L"History\\"; }
    static const wchar_t* SkinsDir() { return L"Skins\\"; }
    static const wchar_t* SmiliesDir() { return L"Smilies\\"; }
    static const wchar_t* AlertsDir() { return L"Alerts\\"; }
    static const wchar_t* Sep() { return L"\\"; }
    static const wchar_t* Ast() { return L"*"; }
    static const wchar_t* ColorFileExt() { return L".zcl"; }
    static const wchar_t* SmileDefFile() { return L"_define.ini"; }
    static const wchar_t* AlertDefFile() { return L"_alerts.ini"; }
};
