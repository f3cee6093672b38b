#include "Jabber/stream/XmppInput.h"

void XmppInput::Put(const char* data, size_t length)
{
    if (!data || length == 0) return;
    if (compressed)
        compression.Put(data, length);
    else
        parser.Feed(data, length);
}

XmlEvent XmppInput::Next()
{
    if (corrupt) {
        XmlEvent failed;
        failed.kind = XmlEvent::Failed;
        return failed;
    }
    for (;;) {
        XmlEvent event = parser.Next();
        if (event.kind != XmlEvent::NeedMore || !compressed) return event;
        char piece[PieceBytes];
        const int n = compression.Decompress(piece, sizeof piece);
        if (n == 0) return event;
        if (n < 0) {
            corrupt = true;
            event.kind = XmlEvent::Failed;
            return event;
        }
        parser.Feed(piece, size_t(n));
    }
}

void XmppInput::Restart(bool compress)
{
    // Already inflated, or still plain: either way the parser's own input.
    std::string rest = parser.TakeUnparsed();
    parser.Reset();
    if (compress && !compressed) {
        compressed = true;
        compression.Put(rest.data(), rest.size());
    } else {
        parser.Feed(rest.data(), rest.size());
    }
}

void XmppInput::Reset()
{
    parser.Reset();
    compression.Reset();
    compressed = false;
    corrupt = false;
}
