#include "Jabber/account/AccountKinds.h"

#include <initializer_list>

namespace {

// The preset services' domains and hosts are outside endpoints; none is filled in here, so such an
// account reaches only the server its settings name.
const KindInfo Kinds[KindCount] = {
    {L"ZEL", L"ZEL", &GUID_XMPP_ZEL_PROTOCOL, L"goxzel_stconnect.png", 19, "goxzel_", L"", L""},
    {L"Jabber", L"XMPP(Jabber)", &GUID_XMPP_PROTOCOL, L"goxxmpp_stconnect.png", 0, "goxxmpp_", L"", L""},
    {L"Yandex Online", L"Yandex Online", &GUID_XMPP_YANDEX_PROTOCOL, L"goxyandex_stonline.png", 24, "goxyandex_", L"", L""},
    {L"Google Talk", L"Google Talk", &GUID_XMPP_GTALK_PROTOCOL, L"goxgoogle_stonline.png", 29, "goxgoogle_", L"", L""},
    {L"Live Journal", L"Live Journal", &GUID_XMPP_LJ_PROTOCOL, L"goxlj_stonline.png", 34, "goxlj_", L"", L""},
};

}  // namespace

const KindInfo& KindOf(int kind)
{
    return kind >= 0 && kind < KindCount ? Kinds[kind] : Kinds[KindPlainXmpp];
}

int KindFromProtocol(const ZEL_GUID& protocol)
{
    for (int kind : {KindOwnServer, KindYandex, KindGoogleTalk, KindLiveJournal})
        if (protocol == *Kinds[kind].protocol) return kind;
    return KindPlainXmpp;
}
