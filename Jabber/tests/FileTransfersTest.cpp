// Incoming files without sockets: reading offers, the answers, the offered name made bare, and the
// checks each in-band block passes before its bytes go on.
#include "Jabber/account/FileTransfers.h"

#include "Jabber/tests/StanzaText.h"
#include "Jabber/xml/XmlSerializer.h"

#include <gtest/gtest.h>

namespace {

const std::string kIbb = "http://jabber.org/protocol/ibb";
const std::string kS5b = "http://jabber.org/protocol/bytestreams";

std::string Option(const std::string& ns)
{
    return "<option><value>" + ns + "</value></option>";
}

std::string Offer(const std::string& options, const std::string& file = "<file xmlns='http://jabber.org/protocol/si/profile/file-transfer' name='a.txt' size='100000'/>",
                  const std::string& iqAttributes = "type='set' from='bob@localhost/pc' id='o1'",
                  const std::string& sid = " id='s1'")
{
    return "<iq " + iqAttributes + "><si xmlns='http://jabber.org/protocol/si'" + sid +
           " profile='http://jabber.org/protocol/si/profile/file-transfer'>" + file +
           "<feature xmlns='http://jabber.org/protocol/feature-neg'><x xmlns='jabber:x:data' type='form'>"
           "<field var='stream-method' type='list-single'>" + options + "</field></x></feature></si></iq>";
}

OfferVerdict Read(const std::string& text, FileOffer& offer)
{
    std::unique_ptr<XmlElement> iq = JabberTest::ParseStanza(text);
    EXPECT_TRUE(iq) << text;
    return iq ? ReadFileOffer(*iq, offer) : OfferVerdict::Ignored;
}

TEST(FileTransfers, OffersAreReadAndInBandIsChosenWheneverOffered)
{
    const std::string file = "<file xmlns='http://jabber.org/protocol/si/profile/file-transfer' ";
    struct Case {
        const char* name;
        std::string offer;
        OfferVerdict verdict;
    } cases[] = {
        {"in-band alone", Offer(Option(kIbb)), OfferVerdict::Good},
        {"bytestreams first, in-band second", Offer(Option(kS5b) + Option(kIbb)), OfferVerdict::Good},
        {"in-band first, bytestreams second", Offer(Option(kIbb) + Option(kS5b)), OfferVerdict::Good},
        {"bytestreams only", Offer(Option(kS5b)), OfferVerdict::NoValidStreams},
        {"no option", Offer(""), OfferVerdict::NoValidStreams},
        {"a get", Offer(Option(kIbb), file + "name='a' size='1'/>", "type='get' from='b@l/p' id='o'"), OfferVerdict::Ignored},
        {"no from", Offer(Option(kIbb), file + "name='a' size='1'/>", "type='set' id='o'"), OfferVerdict::Ignored},
        {"no sid", Offer(Option(kIbb), file + "name='a' size='1'/>", "type='set' from='b@l/p' id='o'", ""), OfferVerdict::Malformed},
        {"no name", Offer(Option(kIbb), file + "size='1'/>"), OfferVerdict::Malformed},
        {"no size", Offer(Option(kIbb), file + "name='a'/>"), OfferVerdict::Malformed},
        {"size not a number", Offer(Option(kIbb), file + "name='a' size='12x'/>"), OfferVerdict::Malformed},
        {"size past 31 bits", Offer(Option(kIbb), file + "name='a' size='4294967296'/>"), OfferVerdict::Malformed},
        {"file in another namespace", Offer(Option(kIbb), "<file xmlns='other' name='a' size='1'/>"), OfferVerdict::Malformed},
        {"no feature", "<iq type='set' from='b@l/p' id='o'><si xmlns='http://jabber.org/protocol/si' id='s'>" + file +
                           "name='a' size='1'/></si></iq>",
         OfferVerdict::Malformed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileOffer offer;
        EXPECT_EQ(Read(c.offer, offer), c.verdict);
        if (c.verdict != OfferVerdict::Good) continue;
        EXPECT_EQ(offer.method, MethodInBand);
        EXPECT_EQ(offer.from, "bob@localhost/pc");
        EXPECT_EQ(offer.iqId, "o1");
        EXPECT_EQ(offer.sid, "s1");
        EXPECT_EQ(offer.name, L"a.txt");
        EXPECT_EQ(offer.size, 100000);
    }
}

TEST(FileTransfers, OfferedNamesAreCutToBareNames)
{
    struct Case {
        std::wstring offered;
        std::wstring bare;
    } cases[] = {
        {L"report.pdf", L"report.pdf"},
        {L"..\\..\\Windows\\evil.exe", L"evil.exe"},
        {L"../../etc/passwd", L"passwd"},
        {L"C:evil.txt", L"evil.txt"},
        {L"C:\\x\\y.txt", L"y.txt"},
        {L"\\\\server\\share\\z.bin", L"z.bin"},
        {L"..", L"file"},
        {L".", L"file"},
        {L"dir\\..", L"file"},
        {L"", L"file"},
        {L"...hidden...", L"hidden"},
        {L"CON", L"_CON"},
        {L"nul.txt", L"_nul.txt"},
        {L"com1", L"_com1"},
        {L"console.log", L"console.log"},
        {L"a*b?c\"d<e>f|g\x01h.txt", L"abcdefgh.txt"},
        {L"\x0444\x0430\x0439\x043b.doc", L"\x0444\x0430\x0439\x043b.doc"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BareOfferedFileName(c.offered), c.bare) << std::string(c.offered.begin(), c.offered.end());
}

TEST(FileTransfers, ErrorAnswersAndAcceptance)
{
    std::unique_ptr<XmlElement> request = JabberTest::ParseStanza("<iq type='set' from='bob@l/p' id='r&apos;1'><x/></iq>");
    ASSERT_TRUE(request);
    struct Case {
        TransferError error;
        std::string expected;
    } cases[] = {
        {TransferError::OtherProfile,
         "<iq type='error' to='bob@l/p' id='r&apos;1'><error code='400' type='cancel'>"
         "<bad-request xmlns='urn:ietf:params:xml:ns:xmpp-stanzas'/><bad-profile/></error></iq>"},
        {TransferError::BadOffer,
         "<iq type='error' to='bob@l/p' id='r&apos;1'><error code='400' type='cancel'>"
         "<bad-request xmlns='urn:ietf:params:xml:ns:xmpp-stanzas'/>"
         "<bad-profile xmlns='http://jabber.org/protocol/si'/></error></iq>"},
        {TransferError::NoValidStreams,
         "<iq type='error' to='bob@l/p' id='r&apos;1'><error code='400' type='cancel'>"
         "<bad-request xmlns='urn:ietf:params:xml:ns:xmpp-stanzas'/>"
         "<no-valid-streams xmlns='http://jabber.org/protocol/si'/></error></iq>"},
        {TransferError::NotFound,
         "<iq type='error' to='bob@l/p' id='r&apos;1'><error code='404' type='cancel'>"
         "<item-not-found xmlns='urn:ietf:params:xml:ns:xmpp-stanzas'/></error></iq>"},
    };
    for (const Case& c : cases) {
        XmlElement reply;
        MakeTransferError(&reply, *request, c.error);
        EXPECT_EQ(Serialize(reply), c.expected);
    }

    FileTransfer transfer;
    transfer.from = "bob@l/p";
    transfer.iqId = "o1";
    transfer.method = MethodInBand;
    XmlElement accept;
    MakeOfferAcceptance(&accept, transfer);
    EXPECT_EQ(Serialize(accept),
              "<iq type='result' to='bob@l/p' id='o1'><si xmlns='http://jabber.org/protocol/si'>"
              "<feature xmlns='http://jabber.org/protocol/feature-neg'><x xmlns='jabber:x:data' type='submit'>"
              "<field var='stream-method'><value>http://jabber.org/protocol/ibb</value></field></x></feature></si></iq>");
}

TEST(FileTransfers, StrictBase64)
{
    struct Case {
        const char* text;
        bool good;
        std::string bytes;
    } cases[] = {
        {"aGVsbG8=", true, "hello"},
        {"aGVs\r\nbG8h", true, "hello!"},
        {"aGk=", true, "hi"},
        {"aA==", true, "h"},
        {"", true, ""},
        {"aGVsbG8", false, ""},     // a group cut short
        {"aGV*bG8=", false, ""},    // outside the alphabet
        {"aA==aGk=", false, ""},    // data after the padding
        {"a===", false, ""},
        {"aG=s", false, ""},
    };
    for (const Case& c : cases) {
        std::string bytes;
        EXPECT_EQ(DecodeBase64Strict(c.text, bytes), c.good) << c.text;
        if (c.good) {
            EXPECT_EQ(bytes, c.bytes) << c.text;
        }
    }
}

FileOffer OfferOf(const std::string& from, const std::string& sid)
{
    FileOffer offer;
    offer.from = from;
    offer.sid = sid;
    offer.iqId = "id-" + sid;
    offer.name = L"f";
    offer.size = 3;
    return offer;
}

TEST(FileTransfers, EachTransferHasItsOwnKey)
{
    FileTransferTable table;
    FileTransfer* a = table.Add(OfferOf("bob@l/p", "s1"));
    ASSERT_TRUE(a);
    const int keyA = a->key;
    FileTransfer* b = table.Add(OfferOf("bob@l/p", "s2"));
    ASSERT_TRUE(b);
    const int keyB = b->key;
    // Another sender may use the same stream id; the same sender may not.
    FileTransfer* c = table.Add(OfferOf("carol@l/p", "s1"));
    ASSERT_TRUE(c);
    const int keyC = c->key;
    EXPECT_FALSE(table.Add(OfferOf("BOB@l/p", "s1")));
    EXPECT_NE(keyA, keyB);
    EXPECT_NE(keyA, keyC);
    EXPECT_NE(keyB, keyC);
    EXPECT_NE(keyA, 0);
    EXPECT_EQ(table.FindKey(keyB)->sid, "s2");
    EXPECT_EQ(table.Find("carol@l/p", "s1")->key, keyC);
    table.Erase(keyA);
    EXPECT_FALSE(table.FindKey(keyA));
    EXPECT_EQ(table.Count(), 2u);
    // A later transfer never takes a key still in use.
    FileTransfer* d = table.Add(OfferOf("bob@l/p", "s1"));
    ASSERT_TRUE(d);
    EXPECT_NE(d->key, keyB);
    EXPECT_NE(d->key, keyC);
}

TEST(FileTransfers, RunningTransfersNeverShareAFileName)
{
    FileTransferTable table;
    auto add = [&](const char* from, const char* sid, const wchar_t* name) {
        FileOffer offer = OfferOf(from, sid);
        offer.name = name;
        FileTransfer* transfer = table.Add(offer);
        return transfer ? transfer->name : std::wstring(L"(refused)");
    };
    EXPECT_EQ(add("bob@l/p", "s1", L"photo.jpg"), L"photo.jpg");
    EXPECT_EQ(add("carol@l/p", "s1", L"Photo.JPG"), L"Photo (2).JPG");
    EXPECT_EQ(add("bob@l/p", "s2", L"photo.jpg"), L"photo (3).jpg");
    EXPECT_EQ(add("bob@l/p", "s3", L"notes"), L"notes");
    EXPECT_EQ(add("bob@l/p", "s4", L"notes"), L"notes (2)");
    EXPECT_EQ(add("bob@l/p", "s5", L".profile"), L".profile");
    EXPECT_EQ(add("bob@l/p", "s6", L".profile"), L".profile (2)");
    // Once a transfer has ended its name is free again.
    table.Erase(table.Find("bob@l/p", "s1")->key);
    EXPECT_EQ(add("dave@l/p", "s1", L"photo.jpg"), L"photo.jpg");
}

TEST(FileTransfers, TheTableHoldsABoundedNumberOfTransfers)
{
    FileTransferTable table;
    int last = 0;
    for (int i = 0; i < FileTransferTable::MaxRunning; ++i) {
        FileTransfer* transfer = table.Add(OfferOf("bob@l/p", "s" + std::to_string(i)));
        ASSERT_TRUE(transfer);
        last = transfer->key;
    }
    EXPECT_TRUE(table.Full());
    EXPECT_FALSE(table.Add(OfferOf("bob@l/p", "one more")));
    table.Erase(last);
    EXPECT_TRUE(table.Add(OfferOf("bob@l/p", "one more")));
}

TEST(FileTransfers, BlocksAreTakenInOrderAndOnlyWhenTheyDecode)
{
    using Block = FileTransferTable::Block;
    FileTransferTable table;
    const int key = table.Add(OfferOf("bob@l/p", "s1"))->key;
    struct Step {
        const char* name;
        const char* from;
        const char* sid;
        const char* seq;
        const char* data;
        Block result;
        unsigned nextSeq;
    } steps[] = {
        {"first", "bob@l/p", "s1", "0", "AAE=", Block::Taken, 1},
        {"second", "bob@l/p", "s1", "1", "AgM=", Block::Taken, 2},
        {"third", "bob@l/p", "s1", "2", "BA==", Block::Taken, 3},
        {"repeated", "bob@l/p", "s1", "1", "AgM=", Block::OutOfOrder, 3},
        {"ahead", "bob@l/p", "s1", "4", "AgM=", Block::OutOfOrder, 3},
        {"not a number", "bob@l/p", "s1", "3x", "AgM=", Block::OutOfOrder, 3},
        {"no number", "bob@l/p", "s1", "", "AgM=", Block::OutOfOrder, 3},
        {"another sender", "mallory@l/p", "s1", "3", "BQ==", Block::UnknownStream, 3},
        {"another resource", "bob@l/other", "s1", "3", "BQ==", Block::UnknownStream, 3},
        {"unknown stream", "bob@l/p", "s9", "3", "BQ==", Block::UnknownStream, 3},
        // A block that does not decode is refused and may come again.
        {"bad Base64", "bob@l/p", "s1", "3", "B*==", Block::BadData, 3},
        {"resent", "bob@l/p", "s1", "3", "BQ==", Block::Taken, 4},
        {"sender in other letter case", "BOB@L/p", "s1", "4", "Bg==", Block::Taken, 5},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        int gotKey = 0;
        std::string bytes;
        EXPECT_EQ(table.Receive(s.from, s.sid, s.seq, s.data, gotKey, bytes), s.result);
        EXPECT_EQ(table.FindKey(key)->nextSeq, s.nextSeq);
        if (s.result == Block::Taken) {
            EXPECT_EQ(gotKey, key);
        }
    }
}

TEST(FileTransfers, SequenceCountsModulo65536)
{
    FileTransferTable table;
    FileTransfer* transfer = table.Add(OfferOf("bob@l/p", "s1"));
    int key = 0;
    std::string bytes;
    // 65536 reads as 0.
    EXPECT_EQ(table.Receive("bob@l/p", "s1", "65536", "AA==", key, bytes), FileTransferTable::Block::Taken);
    EXPECT_EQ(transfer->nextSeq, 1u);
    transfer->nextSeq = 65535;
    EXPECT_EQ(table.Receive("bob@l/p", "s1", "65535", "AA==", key, bytes), FileTransferTable::Block::Taken);
    EXPECT_EQ(transfer->nextSeq, 0u);
    EXPECT_EQ(table.Receive("bob@l/p", "s1", "0", "AA==", key, bytes), FileTransferTable::Block::Taken);
    EXPECT_EQ(transfer->nextSeq, 1u);
    EXPECT_EQ(table.Receive("bob@l/p", "s1", "99999999999999999999999999999999999", "AA==", key, bytes),
              FileTransferTable::Block::OutOfOrder);
}

}  // namespace
