// The XMPP features this client can name, one bit of a 64-bit mask per row (bit n is row n), and the
// client's own capabilities as it announces them (XEP-0115, legacy form: node, version and
// extensions, each extension with its mask) and answers service discovery with.
#pragma once

#include <cstdint>
#include <string>

class XmlElement;

struct XmppFeature {
    const char* ns;
    const char* description;
};

enum { XmppFeatureCount = 35 };
extern const XmppFeature XmppFeatureTable[XmppFeatureCount];

extern const char OwnCapsNode[];
extern const char OwnCapsVersion[];  // "0.2.1.1"

struct OwnCapsEntry {
    const char* name;
    uint64_t mask;
};

enum { OwnCapsEntryCount = 2 };
extern const OwnCapsEntry OwnCapsEntries[OwnCapsEntryCount];

// Every entry's mask together.
uint64_t FullOwnMask();

// The mask that answers a disco#info request for node: the full mask for no node; the entry's for
// OwnCapsNode "#" an entry's name; false for any other node or an entry without features.
bool OwnMaskForNode(const std::string* node, uint64_t& mask);

// The mask a disco#info answer's "query" tells: each "feature" whose "var" names a row of
// XmppFeatureTable sets that row's bit; features the table does not know are ignored. 0 for null.
uint64_t FeatureMaskOf(const XmlElement* query);
