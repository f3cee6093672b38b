// The five account kinds one XMPP plug-in serves: plain XMPP and four preset services. Every table
// the plug-in keeps per kind is indexed by the kind number, and the kind is chosen once, from the
// protocol GUID an account is created with.
#pragma once

#include "Zel/core/CoreGuids.h"
#include "ZELCommon/ZELGuid.h"

inline const ZEL_GUID GUID_XMPP_PROTOCOL = {0xAB4D1737, 0x3B4D, 0x4DA7, {0x8B, 0x82, 0x60, 0xC8, 0xDD, 0xF8, 0xD8, 0xEB}};
inline const ZEL_GUID GUID_XMPP_YANDEX_PROTOCOL = {0x6F323CF0, 0x5BBC, 0x4D8E, {0x9C, 0x9D, 0xFD, 0xAF, 0xF9, 0x86, 0xF3, 0xF2}};
inline const ZEL_GUID GUID_XMPP_GTALK_PROTOCOL = {0x2F7C77BE, 0xA19F, 0x4D45, {0xBF, 0x5A, 0xCF, 0xE2, 0xF9, 0xCD, 0xBD, 0x95}};
inline const ZEL_GUID GUID_XMPP_LJ_PROTOCOL = {0xFB100452, 0x54FA, 0x48C6, {0x9D, 0x24, 0xD6, 0xE9, 0x25, 0xE2, 0xD4, 0x34}};

enum AccountKind {
    KindOwnServer = 0,
    KindPlainXmpp = 1,
    KindYandex = 2,
    KindGoogleTalk = 3,
    KindLiveJournal = 4,
    KindCount = 5
};

struct KindInfo {
    const wchar_t* listenerName;
    const wchar_t* displayName;
    const ZEL_GUID* protocol;
    const wchar_t* iconFile;  // the protocol's icon in ProtocolInfo
    int firstStatusImage;     // index in PluginImages of the kind's five own images
    const char* imagePrefix;
    // The service's own domain ("Account server") and connection host ("Manual connection
    // server"); empty where the kind has none.
    const wchar_t* presetDomain;
    const wchar_t* presetHost;
};

// The row of kind; a number outside 0 to 4 reads plain XMPP's row.
const KindInfo& KindOf(int kind);

// The kind of an account created for protocol: the first preset service whose GUID matches byte
// for byte; anything else, plain XMPP's own GUID included, is plain XMPP.
int KindFromProtocol(const ZEL_GUID& protocol);

// The order GetProtocolInfoFunc announces the kinds in.
inline const int AnnouncedKinds[KindCount] = {KindPlainXmpp, KindOwnServer, KindYandex, KindGoogleTalk,
                                              KindLiveJournal};
