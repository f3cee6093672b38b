#include "Zel/shell/alerts/AlertPack.h"

#include "Zel/core/settings/SettingsStore.h"
#include "Zel/core/settings/ValueRecordList.h"
#include "Zel/shell/helpers/FileHelpers.h"
#include "Zel/shell/helpers/ResourcePaths.h"
#include "ZELCommon/ZELPath.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <vector>

namespace {

const char kPackHeader[] = "[ZELAlerts]\r\n";
const size_t kPackHeaderLength = sizeof(kPackHeader) - 1;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Narrow bytes, each one UTF-16 unit.
CZELString Widen(const char* text, size_t length)
{
    std::vector<wchar_t> units(length + 1, 0);
    for (size_t i = 0; i < length; ++i) units[i] = wchar_t(static_cast<unsigned char>(text[i]));
    return CZELString(units.data(), int(length));
}

}  // namespace

namespace AlertPack {

void SetDefaults(AlertEntryArray& entries)
{
    static const unsigned kVibra[AlertEventCount] = {0xF, 0, 0, 0, 0x3};
    entries = AlertEntryArray();
    for (unsigned vibra : kVibra) {
        AlertEntry entry;
        entry.on = true;
        entry.vibra = vibra;
        entries.Add(entry);
    }
}

bool ParseIni(const char* text, size_t length, const CZELString& folder, AlertEntryArray& entries)
{
    entries = AlertEntryArray();
    if (!text || length < kPackHeaderLength || memcmp(text, kPackHeader, kPackHeaderLength) != 0) return false;
    size_t at = kPackHeaderLength;
    for (int n = 0; n < AlertEventCount; ++n) {
        const void* equals = memchr(text + at, '=', length - at);
        if (!equals) return false;
        at = size_t(static_cast<const char*>(equals) - text) + 1;
        size_t nameStart = at;
        while (at < length && !IsSpace(text[at])) ++at;
        if (at == length) return false;
        CZELString name = Widen(text + nameStart, at - nameStart);
        while (at < length && IsSpace(text[at])) ++at;
        if (at == length) return false;
        size_t codeStart = at;
        while (at < length && !IsSpace(text[at])) ++at;
        // Only the fifth code may end the text.
        if (at == length && n + 1 < AlertEventCount) return false;
        AlertEntry entry;
        entry.on = entry.soundOn = true;
        entry.sound = folder + name;
        entry.vibra = BitsFromString(Widen(text + codeStart, at - codeStart));
        entries.Add(entry);
    }
    return true;
}

void Load(const CZELString& path, AlertEntryArray& entries)
{
    // The pack's folder: the path without "_alerts.ini".
    int fileLength = int(wcslen(GetAlertsFileName()));
    CZELString folder = path.GetLength() > fileLength ? path.Substring(0, path.GetLength() - fileLength) : CZELString();
    unsigned size = 0;
    std::unique_ptr<unsigned char[]> text(ReadWholeFile(path.GetBuffer(), &size));
    if (!text || !ParseIni(reinterpret_cast<const char*>(text.get()), size, folder, entries)) SetDefaults(entries);
}

void LoadPack(const CZELString& name, AlertEntryArray& entries, const CZELString& root)
{
    CZELString base = root.IsEmpty() ? CZELPath::AppDir() : root;
    Load(base + GetAlertsFolderName() + name + GetPathSeparator() + GetAlertsFileName(), entries);
}

}  // namespace AlertPack

unsigned BitsFromString(const CZELString& text)
{
    unsigned mask = 0;
    const wchar_t* units = text.GetBuffer();
    for (int i = 0; i < text.GetLength() && i < 32; ++i)
        if (units[i] != L'0') mask |= 1u << i;
    return mask;
}

CZELString BitsToString(unsigned mask)
{
    wchar_t text[33] = {L'0', 0};
    int length = 1;
    for (int i = 0; i < 32; ++i) {
        text[i] = (mask >> i) & 1 ? L'1' : L'0';
        if ((mask >> i) & 1) length = i + 1;
    }
    return CZELString(text, length);
}

namespace AlertListSetting {

namespace {
const wchar_t kOn[] = L"On";
const wchar_t kSoundOn[] = L"SoundOn";
const wchar_t kSound[] = L"Sound";
const wchar_t kVibra[] = L"Vibra";
}  // namespace

bool Load(CSettingsStore& store, const ZEL_GUID& section, const CZELString& key, AlertEntryArray& entries)
{
    int size = 0;
    if (!store.GetValueSize(section, key, &size) || size <= 0) return false;
    std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[size_t(size)]);
    unsigned length = unsigned(size);
    if (!bytes || !store.GetBlob(section, key, bytes.get(), &length)) return false;
    ValueRecordList outer;
    if (outer.Parse(bytes.get(), length) != length) return false;
    for (int i = 0; i < outer.GetCount(); ++i) {
        const ValueRecord* record = outer.Get(i);
        ValueRecordList inner;
        if (record->GetLength() && inner.Parse(record->GetData(), record->GetLength()) != record->GetLength())
            return false;
        const ValueRecord* on = inner.Find(CZELString(kOn));
        const ValueRecord* soundOn = inner.Find(CZELString(kSoundOn));
        const ValueRecord* sound = inner.Find(CZELString(kSound));
        const ValueRecord* vibra = inner.Find(CZELString(kVibra));
        // A value too short for its type is as good as missing: the entry would read as zero.
        if (!on || !soundOn || !sound || !vibra) return false;
        if (on->GetLength() < 1 || soundOn->GetLength() < 1 || vibra->GetLength() < 4) return false;
        AlertEntry entry;
        entry.on = on->ReadByte() != 0;
        entry.soundOn = soundOn->ReadByte() != 0;
        entry.sound = sound->ReadString(false);
        entry.vibra = unsigned(vibra->ReadInt());
        entries.Add(entry);
    }
    return true;
}

void Save(CSettingsStore& store, const ZEL_GUID& section, const CZELString& key, const AlertEntryArray& entries)
{
    ValueRecordList outer;
    try {
        for (int i = 0; i < entries.GetCount(); ++i) {
            const AlertEntry& entry = entries[i];
            ValueRecordList inner;
            ValueRecord on{CZELString(kOn)}, soundOn{CZELString(kSoundOn)}, sound{CZELString(kSound)},
                vibra{CZELString(kVibra)};
            on.WriteByte(entry.on ? 1 : 0);
            soundOn.WriteByte(entry.soundOn ? 1 : 0);
            sound.WriteString(entry.sound, false);
            vibra.WriteInt(int(entry.vibra));
            inner.Add(on);
            inner.Add(soundOn);
            inner.Add(sound);
            inner.Add(vibra);
            std::vector<unsigned char> bytes(inner.GetSize());
            inner.Serialise(bytes.data(), unsigned(bytes.size()));
            outer.Add(ValueRecord(CZELString(), bytes.data(), unsigned(bytes.size())));
        }
        std::vector<unsigned char> bytes(outer.GetSize());
        int length = int(outer.Serialise(bytes.data(), unsigned(bytes.size())));
        store.SetBlob(section, key, bytes.data(), &length);
    } catch (const std::bad_alloc&) {
        // Nothing stored: the old value stays.
    }
}

}  // namespace AlertListSetting
