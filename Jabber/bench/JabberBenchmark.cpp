// The XMPP plug-in's figures: our stream parser against expat on the same input, and stream
// compression beside zlib's own inflate. A program, not a test: run it by hand under Wine and
// compare the figures of one run with each other.
#include "Jabber/bench/Bench.h"

#include <cstdio>

std::string RosterPushInput(int items)
{
    std::string input =
        "<?xml version='1.0'?><stream:stream xmlns='jabber:client' xmlns:stream='http://etherx.jabber.org/streams' "
        "id='4181497381' from='example.org' version='1.0' xml:lang='en'>"
        "<iq to='alice@example.org/zel' type='set' id='push1'><query xmlns='jabber:iq:roster'>";
    char item[256];
    for (int i = 0; i < items; ++i) {
        // Every tenth name needs decoding, as names with "&" or quotes do.
        std::snprintf(item, sizeof item,
                      "<item subscription='both' name='%s %05d' jid='contact%05d@example.org'><group>Group %02d</group></item>",
                      i % 10 ? "Contact" : "Tom &amp; Jerry", i, i, i % 50);
        input += item;
    }
    input += "</query></iq>";
    return input;
}

std::string MessagesInput(int count, std::string* firstMessage)
{
    std::string input =
        "<?xml version='1.0'?><stream:stream xmlns='jabber:client' xmlns:stream='http://etherx.jabber.org/streams' "
        "id='4181497381' from='example.org' version='1.0' xml:lang='en'>";
    char message[512];
    for (int i = 0; i < count; ++i) {
        int n = std::snprintf(message, sizeof message,
                              "<message from='bob@example.org/home' to='alice@example.org/zel' type='chat' id='m%d'>"
                              "<body>Hello, this is message %d &amp; it is short</body>"
                              "<active xmlns='http://jabber.org/protocol/chatstates'/></message>",
                              i, i);
        if (i == 0 && firstMessage) *firstMessage = std::string(message, size_t(n));
        input.append(message, size_t(n));
    }
    return input;
}

int main()
{
    RunParserBenchmark();
    RunCompressionBenchmark();
    RunRosterBenchmark();
    return 0;
}
