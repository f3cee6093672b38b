// Builders and readers of "settings.zel" bytes for golden-byte tests, written from the file's layout.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace SettingsFileBytes {

// One value record: name length, name, data length (32-bit little-endian), data.
inline std::string Value(const std::string& name, const std::string& data)
{
    std::string record(1, char(name.size()));
    record += name;
    for (int shift = 0; shift < 32; shift += 8) record += char((data.size() >> shift) & 0xFF);
    return record + data;
}

// The value records of bytes in order, as (name, data), up to the first that is not whole.
inline std::vector<std::pair<std::string, std::string>> Records(const std::string& bytes)
{
    std::vector<std::pair<std::string, std::string>> records;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t nameLength = (unsigned char)bytes[at];
        if (bytes.size() - at < 5 + nameLength) break;
        size_t dataLength = 0;
        for (int i = 3; i >= 0; --i) dataLength = dataLength << 8 | (unsigned char)bytes[at + 1 + nameLength + i];
        size_t data = at + 5 + nameLength;
        if (bytes.size() - data < dataLength) break;
        records.push_back({bytes.substr(at + 1, nameLength), bytes.substr(data, dataLength)});
        at = data + dataLength;
    }
    return records;
}

// The value key of section (its GUID text) in a settings file's bytes; empty when absent.
inline std::string FindValue(const std::string& file, const std::string& section, const std::string& key)
{
    for (const auto& s : Records(file))
        if (s.first == section)
            for (const auto& value : Records(s.second))
                if (value.first == key) return value.second;
    return std::string();
}

// One section record: a value record named by the section's GUID text, holding its value records.
inline std::string Section(const std::string& guid, const std::string& values)
{
    return Value(guid, values);
}

// What the connection service stores at every shutdown when nobody changed its settings: its seven
// keys with their defaults, in key order.
inline std::string ConnectionDefaults()
{
    return Section("{250BA6FC-BD6B-4959-9199-9A9339ECC018}",
                   Value("Access point", "") + Value("Proxy auth", std::string(1, '\0')) +
                       Value("Proxy hostname", "") + Value("Proxy login", "") + Value("Proxy password", "") +
                       Value("Proxy port", std::string(4, '\0')) + Value("Proxy type", std::string(1, '\0')));
}

}  // namespace SettingsFileBytes
