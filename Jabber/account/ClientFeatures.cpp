#include "Jabber/account/ClientFeatures.h"

#include "Jabber/xml/XmlElement.h"

const XmppFeature XmppFeatureTable[XmppFeatureCount] = {
    {"http://jabber.org/protocol/disco#info", "Supports Service Discovery info"},
    {"http://jabber.org/protocol/disco#items", "Supports Service Discovery items list"},
    {"http://jabber.org/protocol/caps", "Can inform about its Jabber capabilities"},
    {"http://jabber.org/protocol/si", "Supports stream initiation (for filetransfers for ex.)"},
    {"http://jabber.org/protocol/si/profile/file-transfer", "Supports stream initiation for file transfers"},
    {"http://jabber.org/protocol/bytestreams", "Supports file transfers via SOCKS5 Bytestreams"},
    {"http://jabber.org/protocol/ibb", "Supports file transfers via In-Band Bytestreams"},
    {"jabber:iq:oob", "Supports file transfers via Out-of-Band Bytestreams"},
    {"http://jabber.org/protocol/commands", "Supports execution of Ad-Hoc commands"},
    {"jabber:iq:register", "Supports in-band registration"},
    {"http://jabber.org/protocol/muc", "Supports multi-user chat"},
    {"http://jabber.org/protocol/chatstates", "Can report chat state in a chat session"},
    {"jabber:iq:last", "Can report information about the last activity of the user"},
    {"jabber:iq:version", "Can report own version information"},
    {"urn:xmpp:time", "Can report local time of the user"},
    {"urn:xmpp:ping", "Can send and receive ping requests"},
    {"jabber:x:data", "Supports data forms"},
    {"jabber:x:event",
     "Can request and respond to events relating to the delivery, display, and composition of messages"},
    {"vcard-temp", "Supports vCard"},
    {"jabber:iq:avatar", "Supports iq-based avatars"},
    {"http://jabber.org/protocol/xhtml-im", "Supports xHTML formatting of chat messages"},
    {"jabber:iq:agents", "Supports Jabber Browsing"},
    {"jabber:iq:browse", "Supports Jabber Browsing"},
    {"http://jabber.org/protocol/feature-neg", "Can negotiate options for specific features"},
    {"http://jabber.org/protocol/amp", "Can request advanced processing of message stanzas"},
    {"http://jabber.org/protocol/mood", "Can report information about user moods"},
    {"http://jabber.org/protocol/mood+notify", "Receives information about user moods"},
    {"http://jabber.org/protocol/pubsub", "Supports generic publish-subscribe functionality"},
    {"http://miranda-im.org/caps/secureim", "Supports SecureIM plugin for Miranda IM"},
    {"jabber:iq:privacy", "Can block communications from particular other users using Privacy lists"},
    {"urn:xmpp:receipts", "Supports Message Receipts"},
    {"http://jabber.org/protocol/tune", "Can report information about the music to which a user is listening"},
    {"http://jabber.org/protocol/tune+notify", "Receives information about the music to which a user is listening"},
    {"jabber:iq:private", "Supports private XML Storage (for bookmakrs and other)"},
    {"urn:xmpp:attention:0", "Supports attention requests ('nudge')"},
};

// The node names the client, not a place: the reserved top-level domain keeps it from ever naming
// someone's host.
const char OwnCapsNode[] = "http://zel.invalid/caps";
const char OwnCapsVersion[] = "0.2.1.1";

const OwnCapsEntry OwnCapsEntries[OwnCapsEntryCount] = {
    {"cmds", 0x100},
    {"0.2.1.1", 0x4004A0F9},
};

uint64_t FullOwnMask()
{
    uint64_t mask = 0;
    for (const OwnCapsEntry& entry : OwnCapsEntries) mask |= entry.mask;
    return mask;
}

bool OwnMaskForNode(const std::string* node, uint64_t& mask)
{
    if (!node) {
        mask = FullOwnMask();
        return true;
    }
    for (const OwnCapsEntry& entry : OwnCapsEntries) {
        if (*node != std::string(OwnCapsNode) + "#" + entry.name) continue;
        mask = entry.mask;
        return mask != 0;
    }
    return false;
}

uint64_t FeatureMaskOf(const XmlElement* query)
{
    uint64_t mask = 0;
    if (!query) return 0;
    for (const std::unique_ptr<XmlElement>& child : query->children) {
        if (child->name != "feature") continue;
        const std::string* var = GetAttribute(child.get(), "var");
        if (!var) continue;
        for (int bit = 0; bit < XmppFeatureCount; ++bit) {
            if (*var != XmppFeatureTable[bit].ns) continue;
            mask |= uint64_t(1) << bit;
            break;
        }
    }
    return mask;
}
