// What each of the five alert events does (AlertEntry), the alert packs that set all five at once
// ("Alerts\<pack>\_alerts.ini" with its WAV files) and the stored form of the five entries: the
// global setting "Alerts", a list of value records with empty names, each holding "On", "SoundOn",
// "Sound" and "Vibra".
#pragma once

#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELGuid.h"
#include "ZELCommon/ZELString.h"

#include <cstddef>

class CSettingsStore;

enum AlertEvent {
    AE_MESSAGE_IN = 0,
    AE_MESSAGE_OUT = 1,
    AE_CONTACT_ONLINE = 2,
    AE_INFORMATION = 3,
    AE_MAIL = 4,
    AlertEventCount = 5,
};

struct AlertEntry {
    bool on = false;
    bool soundOn = false;
    CZELString sound;  // full path of the WAV file
    unsigned vibra = 0;
};

typedef CZELArray<AlertEntry> AlertEntryArray;

namespace AlertPack {

// Five entries, all on, without sound, vibrating for incoming messages and mail.
void SetDefaults(AlertEntryArray& entries);
// The five entries from an "_alerts.ini" text; folder (ending with "\") is put before each sound's
// file name. False (entries left partly filled) when the text is not a whole pack.
bool ParseIni(const char* text, size_t length, const CZELString& folder, AlertEntryArray& entries);
// The pack file at path, or the defaults when it cannot be read or parsed.
void Load(const CZELString& path, AlertEntryArray& entries);
// Load of root (the application folder when empty) + "Alerts\" + name + "\_alerts.ini".
void LoadPack(const CZELString& name, AlertEntryArray& entries, const CZELString& root = CZELString());

}  // namespace AlertPack

// At most the first 32 characters; bit i is set when character i is not '0'.
unsigned BitsFromString(const CZELString& text);
// '0'/'1' for bits 0 upwards, cut after the last set bit; "0" for 0.
CZELString BitsToString(unsigned mask);

namespace AlertListSetting {

// Appends one entry per stored record; false when the value is missing or unreadable, or a record
// lacks one of its four values or holds one too short for its type (entries appended so far stay).
bool Load(CSettingsStore& store, const ZEL_GUID& section, const CZELString& key, AlertEntryArray& entries);
void Save(CSettingsStore& store, const ZEL_GUID& section, const CZELString& key, const AlertEntryArray& entries);

}  // namespace AlertListSetting
