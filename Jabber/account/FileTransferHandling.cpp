// JabberAccount: files contacts send. An offer is told to the program, which opens the file in its
// history folder and answers; the offer is then accepted and the blocks that follow (in iqs or in
// messages) are handed over one by one until the sender closes the stream.
#include "Jabber/account/JabberAccount.h"

#include "Jabber/account/FileTransfers.h"
#include "Jabber/xml/Iq.h"
#include "Jabber/xml/Jid.h"
#include "Jabber/xml/XmlText.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"

#include <cstdlib>
#include <cstring>
#include <new>

void JabberAccount::RegisterTransferHandlers()
{
    requestHandlers.push_back({TypeSet, TransferNs::StreamInitiation, "si", [this](const XmlElement& iq) { HandleSiRequest(iq); }});
    requestHandlers.push_back({TypeSet, TransferNs::InBand, nullptr, [this](const XmlElement& iq) { HandleIbbRequest(iq); }});
    requestHandlers.push_back({TypeSet, TransferNs::Bytestreams, "query", [this](const XmlElement& iq) { HandleStreamhosts(iq); }});
}

void JabberAccount::HandleSiRequest(const XmlElement& iq)
{
    const XmlElement* si = FirstChild(&iq);
    const std::string* profile = GetAttribute(si, "profile");
    if (!profile || *profile != TransferNs::FileProfile) {
        XmlElement error;
        MakeTransferError(&error, iq, TransferError::OtherProfile);
        SendElement(error);
        return;
    }
    HandleFileOffer(iq);
}

void JabberAccount::HandleFileOffer(const XmlElement& iq)
{
    FileOffer offer;
    const OfferVerdict verdict = ReadFileOffer(iq, offer);
    if (verdict == OfferVerdict::Ignored) return;
    if (verdict != OfferVerdict::Good) {
        XmlElement error;
        MakeTransferError(&error, iq,
                          verdict == OfferVerdict::NoValidStreams ? TransferError::NoValidStreams : TransferError::BadOffer);
        SendElement(error);
        return;
    }
    // Files come from contacts only; anyone else hears nothing, and so does an offer beyond the
    // transfers that may run at once.
    const int contact = ContactIdForJid(StripResource(offer.from));
    if (!contact || transfers.Full()) return;
    const FileTransfer* transfer = transfers.Add(offer);
    if (!transfer) {
        // The sender's stream of that id is still running: a second offer cannot share it.
        XmlElement error;
        MakeTransferError(&error, iq, TransferError::BadOffer);
        SendElement(error);
        return;
    }
    Notify(ProtocolGuid(), ACC_FILE_BEGIN,
           new (std::nothrow) CFileBeginPayload(HistoryFileEntry(
               transfer->key, contact, CZELString(transfer->name.c_str(), int(transfer->name.size())), offer.size)));
}

int JabberAccount::AnswerFileOffer(intptr_t key, bool accept)
{
    FileTransfer* transfer = transfers.FindKey(int(key));
    if (!transfer) return 0;
    if (!accept) {
        transfers.Erase(transfer->key);
        return 0;
    }
    // Offers are only ever taken with in-band bytestreams.
    if (transfer->method == MethodInBand) AcceptSiIbb(*transfer);
    return 0;
}

void JabberAccount::AcceptSiIbb(const FileTransfer& transfer)
{
    XmlElement answer;
    MakeOfferAcceptance(&answer, transfer);
    SendElement(answer);
}

void JabberAccount::HandleStreamhosts(const XmlElement& iq)
{
    const XmlElement* query = FirstChild(&iq);
    const std::string* from = GetAttribute(&iq, "from");
    const std::string* sid = GetAttribute(query, "sid");
    FileTransfer* transfer = from && sid ? transfers.Find(*from, *sid) : nullptr;
    if (!transfer) return;
    for (int n = 1; const XmlElement* host = FindChild(query, "streamhost", n); ++n) {
        const std::string* jid = GetAttribute(host, "jid");
        const std::string* address = GetAttribute(host, "host");
        const std::string* port = GetAttribute(host, "port");
        if (!jid || !address || !port || transfer->streamhosts.size() >= 16) continue;
        StreamHost entry;
        entry.jid = *jid;
        entry.host = *address;
        entry.port = unsigned(std::strtoul(port->c_str(), nullptr, 10));
        transfer->streamhosts.push_back(entry);
    }
}

void JabberAccount::HandleIbbRequest(const XmlElement& iq)
{
    const XmlElement* child = FirstChild(&iq);
    if (child->name == "open" || child->name == "close") {
        HandleIbbOpenClose(iq, child->name == "open");
        return;
    }
    if (child->name != "data") return;
    const std::string* from = GetAttribute(&iq, "from");
    const std::string* sid = GetAttribute(child, "sid");
    const std::string* seq = GetAttribute(child, "seq");
    const bool taken = from && sid && seq && !child->text.empty() && ReceiveIbbBlock(*from, child->text, *sid, *seq);
    XmlElement reply;
    if (taken)
        MakeIqReply(&reply, "result", &iq);
    else
        MakeTransferError(&reply, iq, TransferError::NotFound);
    SendElement(reply);
}

void JabberAccount::HandleIbbOpenClose(const XmlElement& iq, bool open)
{
    const XmlElement* child = FirstChild(&iq);
    const std::string* from = GetAttribute(&iq, "from");
    const std::string* sid = GetAttribute(child, "sid");
    if (!GetAttribute(&iq, "id") || !from || !GetAttribute(&iq, "to") || !sid) return;
    FileTransfer* transfer = transfers.Find(*from, *sid);
    if (!transfer || (open && transfer->opened)) {
        XmlElement error;
        MakeTransferError(&error, iq, TransferError::NotFound);
        SendElement(error);
        return;
    }
    if (open) {
        transfer->opened = true;
        XmlElement reply;
        MakeIqReply(&reply, "result", &iq);
        SendElement(reply);
        return;
    }
    if (transfer->opened) {
        XmlElement reply;
        MakeIqReply(&reply, "result", &iq);
        SendElement(reply);
    }
    const int key = transfer->key;
    transfers.Erase(key);
    Notify(ProtocolGuid(), ACC_FILE_END, new (std::nothrow) CFileEndPayload(key));
}

bool JabberAccount::ReceiveIbbBlock(const std::string& from, const std::string& base64, const std::string& sid,
                                    const std::string& seq)
{
    int key = 0;
    std::string bytes;
    if (transfers.Receive(from, sid, seq, base64, key, bytes) != FileTransferTable::Block::Taken) return false;
    unsigned char* buffer = bytes.empty() ? nullptr : new (std::nothrow) unsigned char[bytes.size()];
    if (buffer) std::memcpy(buffer, bytes.data(), bytes.size());
    Notify(ProtocolGuid(), ACC_FILE_DATA,
           new (std::nothrow) CFileDataPayload(key, buffer, buffer ? unsigned(bytes.size()) : 0));
    return true;
}

void JabberAccount::IbbFromMessage(const XmlElement& message)
{
    const XmlElement* data = FindChildWithAttribute(&message, "data", "xmlns", TransferNs::InBand);
    const std::string* from = GetAttribute(&message, "from");
    const std::string* sid = GetAttribute(data, "sid");
    const std::string* seq = GetAttribute(data, "seq");
    // Blocks in messages are never answered, taken or not.
    if (from && sid && seq && !data->text.empty()) ReceiveIbbBlock(*from, data->text, *sid, *seq);
}
