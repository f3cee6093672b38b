#include "Zel/core/settings/SettingsStore.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "ZELCommon/Packer.h"
#include "ZELCommon/ZELFile.h"
#include "ZELCommon/ZELPath.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace {

// Reads and writes go in pieces no larger than this: CZELFile counts bytes in a signed int.
const unsigned kChunk = 1u << 20;

// A settings file that another program holds is waited for this long at start-up, tried again
// after each pause.
const ULONGLONG kBusyWaitMs = 2000;
const DWORD kBusyPauseMs = 50;

bool IsMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Errors that pass once another program lets go of the file.
bool IsPassing(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool IsReadOnlyFile(const CZELString& path)
{
    DWORD attributes = GetFileAttributesW(path.GetBuffer());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The whole file into out; 0, or the platform's error code.
DWORD ReadWholeFile(const CZELString& path, std::vector<unsigned char>& out)
{
    out.clear();
    CZELFile file(path, CZELFile::ModeRead);
    unsigned long long size = 0;
    if (!file.Open() || !file.GetSize(size)) return file.LastError();
    if (size > 0x7FFFFFFFull) return ERROR_FILE_TOO_LARGE;
    try {
        out.resize(size_t(size));
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    size_t done = 0;
    while (done < out.size()) {
        int got = file.Read(out.data() + done, int(std::min<size_t>(out.size() - done, kChunk)));
        if (got <= 0) {
            if (file.LastError() != 0) return file.LastError();
            break;  // shorter than it said: what was there is all there is
        }
        done += size_t(got);
    }
    out.resize(done);
    return 0;
}

// Writes bytes to a temporary file beside path, flushes it and moves it over path in one step.
// On any failure path is left as it was and the temporary file is removed.
bool ReplaceFileContents(const CZELString& path, const unsigned char* bytes, size_t count)
{
    CZELString temp = CSettingsStore::TempPath(path);
    bool written;
    {
        CZELFile file(temp, CZELFile::ModeWrite);
        if (!file.Replace()) return false;  // not ours to remove
        written = true;
        for (size_t offset = 0; written && offset < count; offset += kChunk) {
            size_t piece = count - offset < kChunk ? count - offset : kChunk;
            written = file.Write(bytes + offset, int(piece));
        }
        written = written && file.Flush();
    }
    written = written && MoveFileExW(temp.GetBuffer(), path.GetBuffer(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!written) DeleteFileW(temp.GetBuffer());
    return written;
}

}  // namespace

CSettingsStore::CSettingsStore(Services::CServicesManager* bus, const CZELString& path)
    : bus(bus), serviceHandle(0), path(path.IsEmpty() ? CZELPath::AppDir() + L"settings.zel" : path), fileError(0)
{
    if (bus) serviceHandle = bus->RegisterService(GUID_SETTINGS_STORE, this);
    Load();
}

CSettingsStore::~CSettingsStore()
{
    Save();
    if (bus && serviceHandle) bus->UnregisterService(serviceHandle);
}

CZELString CSettingsStore::TempPath(const CZELString& path)
{
    return path + L".tmp";
}

// ---- lookups -----------------------------------------------------------------------------------

const ValueRecord* CSettingsStore::Find(const ZEL_GUID& section, const CZELString& key) const
{
    auto found = sections.find(section.GetString());
    return found == sections.end() ? nullptr : found->second.Find(key);
}

int CSettingsStore::GetValueSize(const ZEL_GUID& section, const CZELString& key, int* size)
{
    CZELLock guard(lock);
    const ValueRecord* record = Find(section, key);
    if (!record) return 0;
    if (size) *size = record->GetLength() > unsigned(INT_MAX) ? INT_MAX : int(record->GetLength());
    return 1;
}

int CSettingsStore::GetBlob(const ZEL_GUID& section, const CZELString& key, void* buffer, unsigned* length)
{
    if (!length) return 0;
    CZELLock guard(lock);
    const ValueRecord* record = Find(section, key);
    if (!record || *length < record->GetLength()) return 0;
    if (record->GetLength() != 0) {
        if (!buffer) return 0;
        std::memcpy(buffer, record->GetData(), record->GetLength());
    }
    *length = record->GetLength();
    return 1;
}

int CSettingsStore::GetString(const ZEL_GUID& section, const CZELString& key, CZELString& out)
{
    CZELLock guard(lock);
    const ValueRecord* record = Find(section, key);
    if (!record) return 0;
    out = record->ReadString(false);
    return 1;
}

int CSettingsStore::GetInt(const ZEL_GUID& section, const CZELString& key, int* out)
{
    CZELLock guard(lock);
    const ValueRecord* record = Find(section, key);
    if (!record) return 0;
    if (out) *out = record->ReadInt();
    return 1;
}

int CSettingsStore::GetShort(const ZEL_GUID& section, const CZELString& key, short* out)
{
    CZELLock guard(lock);
    const ValueRecord* record = Find(section, key);
    if (!record) return 0;
    if (out) *out = record->ReadShort();
    return 1;
}

int CSettingsStore::GetByte(const ZEL_GUID& section, const CZELString& key, char* out)
{
    CZELLock guard(lock);
    const ValueRecord* record = Find(section, key);
    if (!record) return 0;
    if (out) *out = char(record->ReadByte());
    return 1;
}

// ---- setters -----------------------------------------------------------------------------------

template <typename Write> void CSettingsStore::Set(const ZEL_GUID& section, const CZELString& key, Write write)
{
    // A longer key has no byte form in the file: storing it would wrap its length byte on save.
    if (ValueRecord::Utf8Length(key) > ValueRecord::MaxNameBytes) return;
    CZELString name = section.GetString();
    CZELLock guard(lock);
    try {
        auto found = sections.find(name);
        if (found != sections.end()) {
            if (ValueRecord* record = found->second.Find(key)) {
                write(*record);  // keeps the old value when it fails
                return;
            }
        }
        ValueRecord fresh(key);
        if (!write(fresh)) return;
        if (found == sections.end()) found = sections.emplace(name, ValueRecordMap()).first;
        found->second.Insert(std::move(fresh));
    } catch (const std::bad_alloc&) {
        // Nothing stored.
    }
}

void CSettingsStore::SetBlob(const ZEL_GUID& section, const CZELString& key, const void* bytes, const int* length)
{
    if (!length || *length < 0 || (*length > 0 && !bytes)) return;
    unsigned count = unsigned(*length);
    Set(section, key, [bytes, count](ValueRecord& record) { return record.WriteBlob(bytes, count); });
}

void CSettingsStore::SetString(const ZEL_GUID& section, const CZELString& key, const CZELString& text)
{
    Set(section, key, [&text](ValueRecord& record) { return record.WriteString(text, false); });
}

void CSettingsStore::SetInt(const ZEL_GUID& section, const CZELString& key, const int* value)
{
    if (!value) return;
    int v = *value;
    Set(section, key, [v](ValueRecord& record) { return record.WriteInt(v); });
}

void CSettingsStore::SetShort(const ZEL_GUID& section, const CZELString& key, const short* value)
{
    if (!value) return;
    short v = *value;
    Set(section, key, [v](ValueRecord& record) { return record.WriteShort(v); });
}

void CSettingsStore::SetByte(const ZEL_GUID& section, const CZELString& key, const char* value)
{
    if (!value) return;
    unsigned char v = (unsigned char)*value;
    Set(section, key, [v](ValueRecord& record) { return record.WriteByte(v); });
}

// ---- the file ----------------------------------------------------------------------------------

void CSettingsStore::Load()
{
    // Read without the lock: nobody else can reach the store before its constructor ends.
    std::vector<unsigned char> bytes;
    DWORD error = ReadWholeFile(path, bytes);
    for (ULONGLONG deadline = GetTickCount64() + kBusyWaitMs; IsPassing(error) && GetTickCount64() < deadline;) {
        Sleep(kBusyPauseMs);
        error = ReadWholeFile(path, bytes);
    }
    if (IsMissing(error)) return;  // no file: an empty store, written at shutdown
    if (error == 0 && IsReadOnlyFile(path)) error = ERROR_FILE_READ_ONLY;
    fileError = error;
    if (error != 0 && error != ERROR_FILE_READ_ONLY) return;

    CZELLock guard(lock);
    size_t offset = 0;
    while (bytes.size() - offset >= 1) {
        unsigned nameLength = bytes[offset];
        // Every declared length is checked against what the file still holds.
        if (bytes.size() - offset - 1 < nameLength + 4ull) break;
        const unsigned char* name = bytes.data() + offset + 1;
        unsigned dataLength = CPacker::Unpack32LE(name + nameLength);
        offset += 1 + nameLength + 4;
        if (dataLength > bytes.size() - offset) break;  // damaged, or the last record was cut short
        const unsigned char* data = bytes.data() + offset;
        offset += dataLength;

        CZELString section(reinterpret_cast<const char*>(name), int(nameLength), CP_UTF8);
        // A damaged name that grows past the length byte in UTF-8 could not be written back.
        if (ValueRecord::Utf8Length(section) > ValueRecord::MaxNameBytes) continue;
        try {
            // A name met again reuses its section; its values already there keep their first value.
            // A malformed value record clears this section's values and keeps the section.
            ValueRecordMap& values = sections.emplace(section, ValueRecordMap()).first->second;
            values.Parse(data, dataLength);
        } catch (const std::bad_alloc&) {
            break;
        }
    }
}

bool CSettingsStore::Save()
{
    CZELLock guard(lock);
    // A file that could not be read holds settings this store never saw; a read-only one is the
    // user's word that it must not change. Either stays as it is.
    if (fileError != 0) return false;
    if (sections.empty()) return true;  // nothing set and nothing loaded: the file stays as it is
    if (IsReadOnlyFile(path)) {
        fileError = ERROR_FILE_READ_ONLY;  // made so while the program ran
        return false;
    }

    // Every section record is sized first, so the image is built whole or not at all: a section
    // that cannot be written fails the save instead of vanishing from the file.
    unsigned long long total = 0;
    for (const auto& section : sections) {
        unsigned long long values = section.second.GetSize();
        total += ValueRecord::Utf8Length(section.first) + ValueRecord::HeaderBytes + values;
        if (values >= 0xFFFFFFFFull || total > 0xFFFFFFFFull) return false;
    }
    std::vector<unsigned char> image;
    try {
        image.resize(size_t(total));
    } catch (const std::bad_alloc&) {
        return false;
    }
    unsigned offset = 0;
    for (const auto& section : sections) {
        unsigned capacity = unsigned(total) - offset;
        // The header of the section record: its name and a data length patched in below.
        unsigned header = ValueRecord(section.first).Serialise(image.data() + offset, capacity);
        if (header == 0) return false;
        unsigned values = section.second.GetSize();
        if (values != 0 && section.second.Serialise(image.data() + offset + header, capacity - header) != values)
            return false;
        CPacker::Pack32LE(image.data() + offset + header - 4, values);
        offset += header + values;
    }
    return ReplaceFileContents(path, image.data(), image.size());
}
