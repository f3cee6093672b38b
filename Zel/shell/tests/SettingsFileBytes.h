// Builders of "settings.zel" bytes for golden-byte tests, written from the file's layout.
#pragma once

#include <string>

namespace SettingsFileBytes {

// One value record: name length, name, data length (32-bit little-endian), data.
inline std::string Value(const std::string& name, const std::string& data)
{
    std::string record(1, char(name.size()));
    record += name;
    for (int shift = 0; shift < 32; shift += 8) record += char((data.size() >> shift) & 0xFF);
    return record + data;
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
