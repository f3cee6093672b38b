// Incoming files: offers by stream initiation with the file-transfer profile, accepted with
// in-band bytestreams, whose Base64 blocks arrive in iqs or messages. The pure half: reading an
// offer, the answers, the table of transfers and the checks each block passes. JabberAccount does
// the sending and tells the program (FileTransferHandling.cpp).
#pragma once

#include "Jabber/xml/XmlElement.h"

#include <string>
#include <vector>

namespace TransferNs {
extern const char StreamInitiation[];  // XEP-0095
extern const char FileProfile[];       // XEP-0096
extern const char FeatureNeg[];        // XEP-0020
extern const char DataForms[];         // "jabber:x:data"
extern const char Bytestreams[];       // XEP-0065
extern const char InBand[];            // XEP-0047
}  // namespace TransferNs

enum TransferMethod { MethodBytestreams = 2, MethodInBand = 3 };

struct StreamHost {
    std::string jid;
    std::string host;
    unsigned port = 0;
};

struct FileOffer {
    std::string from;   // the sender's full JID
    std::string iqId;   // answered with it
    std::string sid;
    std::wstring name;  // already a bare file name
    int size = 0;
    int method = MethodInBand;
};

struct FileTransfer {
    int key = 0;  // the program's number for it, one per transfer
    std::wstring name;  // the file it is written to, no other running transfer's
    std::string from;
    std::string iqId;
    std::string sid;
    int method = MethodInBand;
    bool opened = false;
    unsigned nextSeq = 0;  // 0 to 65535
    std::vector<StreamHost> streamhosts;
};

enum class OfferVerdict {
    Ignored,         // not an offer at all: no answer
    Malformed,       // error "bad-profile" (form B)
    NoValidStreams,  // no method we take: error "no-valid-streams"
    Good,
};

// Reads an iq "set" carrying an "si" offer. Only in-band bytestreams carry data here, so they are
// chosen whenever offered, wherever they stand in the list.
OfferVerdict ReadFileOffer(const XmlElement& iq, FileOffer& offer);

// The offered name cut to a bare file name: no folders (either separator), no drive, no "." or
// "..", no device name, no characters a file name cannot hold; "file" when nothing is left.
std::wstring BareOfferedFileName(const std::wstring& name);

enum class TransferError {
    OtherProfile,    // an "si" of another profile (400, bad-request + bad-profile)
    BadOffer,        // a malformed offer (400, bad-request + si's bad-profile)
    NoValidStreams,  // 400, bad-request + si's no-valid-streams
    NotFound,        // unknown stream, repeated open, refused block (404, item-not-found)
};
// The error answer to request.
void MakeTransferError(XmlElement* reply, const XmlElement& request, TransferError error);

// The result that accepts transfer's offer with its method.
void MakeOfferAcceptance(XmlElement* reply, const FileTransfer& transfer);

// Strict Base64: the standard alphabet in groups of four, "=" only to pad the last group; line
// breaks and blanks between groups are skipped. False for anything else.
bool DecodeBase64Strict(const std::string& text, std::string& bytes);

class FileTransferTable {
public:
    enum class Block { Taken, UnknownStream, OutOfOrder, BadData };
    // Transfers running at once; a sender that never closes its streams cannot grow the table
    // beyond it.
    enum { MaxRunning = 32 };

    // The transfer of sid offered by from (letter case aside); null when none.
    FileTransfer* Find(const std::string& from, const std::string& sid);
    // The transfer the program knows as key; null when none.
    FileTransfer* FindKey(int key);
    // Records offer under a key of its own and a file name no running transfer uses (a number is
    // put before the extension when needed); null when its sender already uses that sid or the
    // table is full.
    FileTransfer* Add(const FileOffer& offer);
    void Erase(int key);
    size_t Count() const { return transfers.size(); }
    bool Full() const { return transfers.size() >= MaxRunning; }

    // A data block of sid from from: taken only in sequence (seq read modulo 65536) and when its
    // Base64 decodes; only then does the sequence move on, so a refused block may be sent again.
    Block Receive(const std::string& from, const std::string& sid, const std::string& seq,
                  const std::string& base64, int& key, std::string& bytes);

private:
    bool NameInUse(const std::wstring& name) const;

    std::vector<FileTransfer> transfers;
    int lastKey = 0;
};
