// CSettingsStore: the program's one store of persistent settings, a service on the bus under
// GUID_SETTINGS_STORE. Values are typed runs of bytes keyed by a section (a GUID, kept as its
// 38-unit text form) and a key name, both compared without regard to letter case.
//
// The whole file "settings.zel" is read when the store is created and written back when it is
// destroyed; in between everything works on memory. A file that exists but cannot be read (another
// program holds it: tried again for about 2 s; a read error) is never written over, since it holds
// settings the store never saw; nor is a read-only file, the user's word that it must not change.
// FileError tells why, so that the program can tell the user. The file is a sequence of section records
// (value record byte form: name = section text, data = the section's value records), sorted by
// section and by key. Nothing is ever removed.
//
// Other modules call the store through its vtable, so the eleven operations below are its first
// virtual slots, in this order. Any thread may call them; one lock covers each whole operation.
//
// Getters return 1 when the key exists and 0 when it does not; on 0 the output is left as it was,
// so callers put their default in first. A null output pointer only asks whether the key exists.
#pragma once

#include "Zel/core/settings/ValueRecordMap.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELGuid.h"
#include "ZELCommon/ZELString.h"

#include <map>

namespace Services {
class CServicesManager;
}

class CSettingsStore {
public:
    // Registers on the bus (unless bus is null) and loads the file at path, by default
    // "settings.zel" in the application folder.
    explicit CSettingsStore(Services::CServicesManager* bus, const CZELString& path = CZELString());

    CSettingsStore(const CSettingsStore&) = delete;
    CSettingsStore& operator=(const CSettingsStore&) = delete;

    // 1 and *size = the stored byte count.
    virtual int GetValueSize(const ZEL_GUID& section, const CZELString& key, int* size);
    // *length: in, the buffer's capacity; out, the stored length. 0, copying nothing and leaving
    // *length alone, when the key is absent or the capacity is below the stored length.
    virtual int GetBlob(const ZEL_GUID& section, const CZELString& key, void* buffer, unsigned* length);
    // The bytes decoded as UTF-8.
    virtual int GetString(const ZEL_GUID& section, const CZELString& key, CZELString& out);
    // The first 4 (2, 1) bytes little-endian; 0 when fewer are stored, and still 1.
    virtual int GetInt(const ZEL_GUID& section, const CZELString& key, int* out);
    virtual int GetShort(const ZEL_GUID& section, const CZELString& key, short* out);
    virtual int GetByte(const ZEL_GUID& section, const CZELString& key, char* out);

    // Each setter replaces whatever the key held, creating the section and the key when missing.
    // A key whose UTF-8 form exceeds ValueRecord::MaxNameBytes, a null value or a negative length
    // stores nothing; so does running out of memory (the old value then stays).
    virtual void SetBlob(const ZEL_GUID& section, const CZELString& key, const void* bytes, const int* length);
    // UTF-8, no terminator.
    virtual void SetString(const ZEL_GUID& section, const CZELString& key, const CZELString& text);
    virtual void SetInt(const ZEL_GUID& section, const CZELString& key, const int* value);
    virtual void SetShort(const ZEL_GUID& section, const CZELString& key, const short* value);
    virtual void SetByte(const ZEL_GUID& section, const CZELString& key, const char* value);

    // Saves the file (when anything is held), then leaves the bus.
    virtual ~CSettingsStore();

    // The name of the temporary file a save writes before it replaces the settings file.
    static CZELString TempPath(const CZELString& path);

    // Why the settings file will be left as it is at shutdown, or 0 when it will be written (or was
    // missing): the platform's error code from reading it at start-up, or ERROR_FILE_READ_ONLY.
    // Not part of the service's slots.
    unsigned long FileError() const { return fileError; }
    const CZELString& FilePath() const { return path; }

private:
    struct NameLess {
        bool operator()(const CZELString& a, const CZELString& b) const { return a < b; }
    };
    typedef std::map<CZELString, ValueRecordMap, NameLess> SectionMap;

    const ValueRecord* Find(const ZEL_GUID& section, const CZELString& key) const;
    // Finds the key (creating nothing) and hands its record to write; a missing key gets a new
    // record that is stored only when write succeeded.
    template <typename Write> void Set(const ZEL_GUID& section, const CZELString& key, Write write);

    void Load();
    bool Save();

    Services::CServicesManager* bus;
    int serviceHandle;
    CZELString path;
    unsigned long fileError;  // set while loading, and when a save finds the file read-only
    mutable CZELCriticalSection lock;
    SectionMap sections;
};
