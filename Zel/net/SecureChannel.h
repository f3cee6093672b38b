// CSecureChannel: TLS over a connected socket, through the platform's own TLS (Schannel, by SSPI).
// It sits between the socket and send/recv: the connection prepares it when the socket is made,
// runs the handshake once any proxy step has opened the tunnel, and from then on sends and receives
// plaintext through it.
//
// The server's certificate is checked after the handshake, whatever the platform's TLS did: the
// chain must end at a trusted root with no error of any kind, and the certificate must name the host
// the caller meant to reach. Either failure fails the handshake.
//
// Threads: one thread may send while another receives; the two meet only inside the platform's
// encrypt and decrypt calls, which a lock keeps apart. Neither blocks while holding it.
#pragma once

// Winsock's header must come before anything that brings in windows.h.
#include <winsock2.h>

#include "ZELCommon/ZELString.h"

#include <windows.h>
#include <wincrypt.h>

#include <memory>

class CSecureChannel {
public:
    // Receive's result when the bytes read so far hold no complete record: not an error, wait for
    // the socket to become readable again.
    static const int NeedMore = -2;

    // protocolId: the secure mode's protocol choice (3 or 4, see ProtocolIdForMode).
    explicit CSecureChannel(int protocolId);
    ~CSecureChannel();

    CSecureChannel(const CSecureChannel&) = delete;
    CSecureChannel& operator=(const CSecureChannel&) = delete;

    // The protocol id for a connection's secure mode: 3 for SECURE_SSL, 4 for SECURE_TLS and for
    // any other non-zero mode.
    static int ProtocolIdForMode(int secureMode);

    // Acquires the client credentials: 0, or the platform's error.
    int Prepare();

    // Runs the handshake on s for host, then checks the server's certificate chain and that it names
    // host. early holds bytes already read from s that belong to the server. 0 when the channel is
    // up; otherwise the failing status (an SSPI status, a certificate-check error or a Winsock error).
    int Handshake(SOCKET s, const CZELString& host, const char* early, int earlyLength);

    // Encrypts and sends all of data: 0, or the Winsock error (or SSPI status) that stopped it.
    int Send(SOCKET s, const char* data, int length);

    // Plaintext into buffer: the count (> 0); 0 when the server closed the channel; NeedMore; or
    // SOCKET_ERROR with the reason in LastError(). With mayRead false only bytes already read are
    // used (no recv is made), so a caller can drain what one read brought before it waits again.
    int Receive(SOCKET s, char* buffer, int size, bool mayRead);

    // The reason of the last failed Receive.
    int LastError() const { return lastError; }

    // Checks a server certificate chain as Handshake does: 0, or the error (trust status bits as
    // CERT_E_UNTRUSTEDROOT / CERT_E_CHAINING, or the policy's error such as CERT_E_CN_NO_MATCH).
    static int VerifyServerCertificate(PCCERT_CONTEXT certificate, const CZELString& host);

private:
    // The platform's handles and the buffers; kept out of this header, whose users need none of the
    // platform's security declarations.
    struct State;

    int Decrypt();  // decrypts what the input holds into plaintext
    int ReadMore(SOCKET s);  // one recv appended to the input: the count, 0 at end of stream, or -1

    int protocolId;
    int lastError;
    std::unique_ptr<State> state;
};
