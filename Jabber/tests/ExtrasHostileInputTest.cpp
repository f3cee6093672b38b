// Stanzas a hostile peer may send, through every reader of vCards, mail notices and file offers:
// none crashes, and each takes only what it may.
#include "Jabber/account/FileTransfers.h"
#include "Jabber/account/MailNotice.h"
#include "Jabber/account/VCardFields.h"

#include "Jabber/tests/StanzaText.h"

#include <gtest/gtest.h>

#include <map>

namespace {

class CountingValues : public VCardValues {
public:
    bool GetString(const wchar_t*, CZELString&) override { return false; }
    void SetString(const wchar_t* key, const CZELString& value) override
    {
        ++writes;
        longest = std::max(longest, value.GetLength());
        keys[key] = true;
    }
    bool GetNumber(const wchar_t*, int, int&) override { return false; }
    void SetNumber(const wchar_t* key, int bits, int value) override
    {
        ++writes;
        EXPECT_TRUE(bits == 16 ? value >= 0 && value <= 0xFFFF : value >= 0 && value <= 0xFF);
        keys[key] = true;
    }
    int writes = 0;
    int longest = 0;
    std::map<std::wstring, bool> keys;
};

TEST(ExtrasHostileInput, ReadersTakeOnlyWhatTheyMay)
{
    const std::string deep = [] {
        std::string open, close;
        for (int i = 0; i < 30; ++i) {
            open += "<ADR><HOME/>";
            close = "</ADR>" + close;
        }
        return open + "<STREET>x</STREET>" + close;
    }();
    const std::string hostile[] = {
        "<x/>",
        "<x><message/><message><senders/></message><message><senders><sender/></senders></message></x>",
        "<x><message><senders><sender address=''/></senders><subject/></message></x>",
        "<x><BDAY>99999999999999999999-1-1</BDAY><BDAY>1-99999999999-1</BDAY><BDAY>--</BDAY><BDAY>1--1</BDAY>"
        "<BDAY>1-1-</BDAY><BDAY>a-b-c</BDAY><GENDER/><TEL/><TEL><NUMBER/></TEL><EMAIL><USERID/><WORK/></EMAIL>"
        "<ADR/><ADR><HOME/></ADR><ORG/><N/><DESC>\n\n\n</DESC></x>",
        "<x><ADR><HOME/><STREET>" + std::string(5000, 'a') + "</STREET><EXTADD>" + std::string(5000, 'b') +
            "</EXTADD></ADR></x>",
        "<x>" + deep + "</x>",
        "<x><si xmlns='http://jabber.org/protocol/si'/></x>",
    };
    for (const std::string& inner : hostile) {
        SCOPED_TRACE(inner.substr(0, 80));
        std::unique_ptr<XmlElement> stanza = JabberTest::ParseStanza("<iq type='set' from='a@b/c' id='1'>" + inner + "</iq>");
        ASSERT_TRUE(stanza);
        const XmlElement& x = *FirstChild(stanza.get());
        CountingValues values;
        FillVCardValues(x, values);
        EXPECT_LE(values.longest, 5000);
        MailNoticeAlerts(x, MailNoticeLabels{L"a", L"b", L"c"}, L"n");
        FileOffer offer;
        EXPECT_NE(ReadFileOffer(*stanza, offer), OfferVerdict::Good);
    }

    // A street is kept to 127 characters however long it comes.
    std::unique_ptr<XmlElement> stanza = JabberTest::ParseStanza(
        "<vCard><ADR><HOME/><STREET>" + std::string(5000, 'a') + "</STREET><EXTADD>b</EXTADD></ADR></vCard>");
    ASSERT_TRUE(stanza);
    CountingValues values;
    FillVCardValues(*stanza, values);
    EXPECT_EQ(values.longest, 127);
    // Nothing nested deeper than the vCard's own fields is read.
    std::unique_ptr<XmlElement> nested = JabberTest::ParseStanza("<vCard>" + deep + "</vCard>");
    ASSERT_TRUE(nested);
    CountingValues none;
    FillVCardValues(*nested, none);
    EXPECT_EQ(none.writes, 0);
}

}  // namespace
