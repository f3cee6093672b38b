#include "Zel/net/SecureChannel.h"

#include "Zel/net/ConnectionSettings.h"

#include <ws2tcpip.h>
#define SECURITY_WIN32
#include <security.h>
#include <schannel.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

struct CSecureChannel::State {
    State() : haveCredentials(false), haveContext(false), closed(false), plainOffset(0)
    {
        SecInvalidateHandle(&credentials);
        SecInvalidateHandle(&context);
        ZeroMemory(&sizes, sizeof sizes);
        InitializeCriticalSection(&cryptoLock);
    }
    ~State()
    {
        if (haveContext) DeleteSecurityContext(&context);
        if (haveCredentials) FreeCredentialsHandle(&credentials);
        DeleteCriticalSection(&cryptoLock);
    }

    CredHandle credentials;
    bool haveCredentials;
    CtxtHandle context;
    bool haveContext;
    bool closed;  // the server's close_notify arrived
    SecPkgContext_StreamSizes sizes;

    std::vector<char> input;  // received, not yet decrypted
    std::vector<char> plain;  // decrypted, not yet handed out
    size_t plainOffset;

    CRITICAL_SECTION cryptoLock;  // keeps EncryptMessage and DecryptMessage apart
};

namespace {

const ULONG kHandshakeFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                              ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                              ISC_REQ_MANUAL_CRED_VALIDATION;

// A handshake whose messages need more than this is not one we take part in.
const size_t kMaxHandshakeInput = 256 * 1024;
// Bytes asked of one recv.
const int kReadSize = 16 * 1024;

// What Decrypt made of the input.
enum { kDecrypted = 1, kClosedByPeer = 0 };

std::wstring Wide(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

// Sends all of data on the plain socket: 0, or the Winsock error.
int SendRaw(SOCKET s, const char* data, size_t length)
{
    while (length > 0) {
        int piece = int(std::min<size_t>(length, 0x7FFFFFFF));
        int sent = send(s, data, piece, 0);
        if (sent == SOCKET_ERROR) {
            int error = WSAGetLastError();
            return error ? error : WSAECONNABORTED;
        }
        data += sent;
        length -= size_t(sent);
    }
    return 0;
}

// Sends and frees a token the platform allocated: 0, or the Winsock error.
int SendToken(SOCKET s, SecBuffer& token)
{
    int error = 0;
    if (token.pvBuffer) {
        if (token.cbBuffer > 0) error = SendRaw(s, static_cast<const char*>(token.pvBuffer), token.cbBuffer);
        FreeContextBuffer(token.pvBuffer);
        token.pvBuffer = nullptr;
        token.cbBuffer = 0;
    }
    return error;
}

// Keeps the unread tail the platform reported in an extra buffer, or nothing.
void KeepExtra(std::vector<char>& input, const SecBuffer* buffers, int count)
{
    for (int i = 0; i < count; ++i) {
        if (buffers[i].BufferType == SECBUFFER_EXTRA && buffers[i].cbBuffer > 0 &&
            buffers[i].cbBuffer <= input.size()) {
            input.erase(input.begin(), input.end() - buffers[i].cbBuffer);
            return;
        }
    }
    input.clear();
}

// The bytes of an IPv4 or IPv6 address written as text; empty for a host name.
std::vector<BYTE> AddressBytes(const std::wstring& host)
{
    IN_ADDR v4;
    if (InetPtonW(AF_INET, host.c_str(), &v4) == 1) {
        const BYTE* bytes = reinterpret_cast<const BYTE*>(&v4);
        return std::vector<BYTE>(bytes, bytes + sizeof v4);
    }
    IN6_ADDR v6;
    if (InetPtonW(AF_INET6, host.c_str(), &v6) == 1) {
        const BYTE* bytes = reinterpret_cast<const BYTE*>(&v6);
        return std::vector<BYTE>(bytes, bytes + sizeof v6);
    }
    return std::vector<BYTE>();
}

// Whether the certificate lists address among its subject alternative names (RFC 6125 6.2: an
// address is matched only against iPAddress entries, never against the common name).
bool NamesAddress(PCCERT_CONTEXT certificate, const std::vector<BYTE>& address)
{
    PCERT_EXTENSION extension = CertFindExtension(szOID_SUBJECT_ALT_NAME2, certificate->pCertInfo->cExtension,
                                                  certificate->pCertInfo->rgExtension);
    if (!extension) return false;
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size))
        return false;
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == address.size() &&
                memcmp(entry.IPAddress.pbData, address.data(), address.size()) == 0;
    }
    LocalFree(names);
    return found;
}

}  // namespace

CSecureChannel::CSecureChannel(int protocolId) : protocolId(protocolId), lastError(0), state(new State)
{
}

CSecureChannel::~CSecureChannel()
{
}

int CSecureChannel::ProtocolIdForMode(int secureMode)
{
    return secureMode == SECURE_SSL ? 3 : 4;
}

int CSecureChannel::Prepare()
{
    State& tls = *state;
    if (tls.haveCredentials) return 0;
    SCHANNEL_CRED request;
    ZeroMemory(&request, sizeof request);
    request.dwVersion = SCHANNEL_CRED_VERSION;
    // Both protocol choices negotiate the TLS versions still considered safe: the older protocols
    // they once named are broken and refused by current servers.
    request.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
    // The certificate is checked by VerifyServerCertificate, the same way on every platform.
    request.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    TimeStamp expiry;
    SECURITY_STATUS status = AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W),
                                                       SECPKG_CRED_OUTBOUND, nullptr, &request, nullptr, nullptr,
                                                       &tls.credentials, &expiry);
    if (status != SEC_E_OK) return int(status);
    tls.haveCredentials = true;
    return 0;
}

int CSecureChannel::Handshake(SOCKET s, const CZELString& host, const char* early, int earlyLength)
{
    State& tls = *state;
    if (!tls.haveCredentials) return int(SEC_E_NO_CREDENTIALS);
    if (tls.haveContext) return int(SEC_E_INVALID_HANDLE);  // one handshake per channel
    std::wstring target = Wide(host);
    tls.input.clear();
    if (early && earlyLength > 0) tls.input.assign(early, early + earlyLength);

    SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, out};
    ULONG attributes = 0;
    SECURITY_STATUS status = InitializeSecurityContextW(&tls.credentials, nullptr, &target[0], kHandshakeFlags, 0, 0,
                                                        nullptr, 0, &tls.context, &outDesc, &attributes, nullptr);
    if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_OK) return int(status);
    tls.haveContext = true;
    if (int error = SendToken(s, out[0])) return error;

    bool needInput = tls.input.empty();
    while (status != SEC_E_OK) {
        if (needInput) {
            if (tls.input.size() >= kMaxHandshakeInput) return int(SEC_E_INVALID_TOKEN);
            int read = ReadMore(s);
            if (read < 0) return lastError;
            if (read == 0) return WSAECONNRESET;  // the server hung up mid-handshake
        }
        SecBuffer in[2] = {{ULONG(tls.input.size()), SECBUFFER_TOKEN, tls.input.data()}, {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, in};
        out[0] = {0, SECBUFFER_TOKEN, nullptr};
        status = InitializeSecurityContextW(&tls.credentials, &tls.context, &target[0], kHandshakeFlags, 0, 0,
                                            &inDesc, 0, nullptr, &outDesc, &attributes, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needInput = true;
            continue;
        }
        // On failure the token, when there is one, is the alert telling the server why.
        int sendError = SendToken(s, out[0]);
        if (FAILED(status)) return int(status);
        if (sendError) return sendError;
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) return int(status);
        KeepExtra(tls.input, in, 2);
        needInput = tls.input.empty();
    }

    status = QueryContextAttributesW(&tls.context, SECPKG_ATTR_STREAM_SIZES, &tls.sizes);
    if (status != SEC_E_OK) return int(status);
    if (tls.sizes.cbMaximumMessage == 0) return int(SEC_E_INTERNAL_ERROR);

    PCCERT_CONTEXT certificate = nullptr;
    status = QueryContextAttributesW(&tls.context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate);
    if (status != SEC_E_OK || !certificate) return status != SEC_E_OK ? int(status) : int(SEC_E_CERT_UNKNOWN);
    int verdict = VerifyServerCertificate(certificate, host);
    CertFreeCertificateContext(certificate);
    return verdict;
}

int CSecureChannel::VerifyServerCertificate(PCCERT_CONTEXT certificate, const CZELString& host)
{
    if (!certificate) return int(SEC_E_CERT_UNKNOWN);
    std::wstring name = Wide(host);
    if (name.empty()) return int(CERT_E_CN_NO_MATCH);
    std::vector<BYTE> address = AddressBytes(name);

    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA chainRequest;
    ZeroMemory(&chainRequest, sizeof chainRequest);
    chainRequest.cbSize = sizeof chainRequest;
    chainRequest.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainRequest.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainRequest.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    // The certificate's own store carries the intermediates the server sent.
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainRequest, 0, nullptr,
                                 &chain))
        return int(HRESULT_FROM_WIN32(GetLastError()));

    // Any trust error at all fails: the platform's policy check below does not flag every one (an
    // unknown root shows only as a partial chain).
    int verdict = 0;
    DWORD trust = chain->TrustStatus.dwErrorStatus;
    if (trust & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN))
        verdict = int(CERT_E_UNTRUSTEDROOT);
    else if (trust & CERT_TRUST_IS_NOT_TIME_VALID)
        verdict = int(CERT_E_EXPIRED);
    else if (trust & CERT_TRUST_IS_NOT_VALID_FOR_USAGE)
        verdict = int(CERT_E_WRONG_USAGE);
    else if (trust)
        verdict = int(CERT_E_CHAINING);

    if (verdict == 0) {
        HTTPSPolicyCallbackData server;
        ZeroMemory(&server, sizeof server);
        server.cbStruct = sizeof server;
        server.dwAuthType = AUTHTYPE_SERVER;
        // An address is matched below; the policy only knows names on every platform.
        server.pwszServerName = address.empty() ? &name[0] : nullptr;
        CERT_CHAIN_POLICY_PARA policy;
        ZeroMemory(&policy, sizeof policy);
        policy.cbSize = sizeof policy;
        policy.pvExtraPolicyPara = &server;
        CERT_CHAIN_POLICY_STATUS result;
        ZeroMemory(&result, sizeof result);
        result.cbSize = sizeof result;
        if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &result))
            verdict = int(HRESULT_FROM_WIN32(GetLastError()));
        else if (result.dwError != 0)
            verdict = int(result.dwError);
        else if (!address.empty() && !NamesAddress(certificate, address))
            verdict = int(CERT_E_CN_NO_MATCH);
    }
    CertFreeCertificateChain(chain);
    return verdict;
}

int CSecureChannel::Send(SOCKET s, const char* data, int length)
{
    State& tls = *state;
    if (!tls.haveContext || tls.sizes.cbMaximumMessage == 0) return WSAENOTCONN;
    if (length <= 0) return 0;
    std::vector<char> record(size_t(tls.sizes.cbHeader) + tls.sizes.cbMaximumMessage + tls.sizes.cbTrailer);
    int offset = 0;
    while (offset < length) {
        ULONG piece = ULONG(std::min<long long>(tls.sizes.cbMaximumMessage, length - offset));
        memcpy(record.data() + tls.sizes.cbHeader, data + offset, piece);
        SecBuffer buffers[4] = {
            {tls.sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
            {piece, SECBUFFER_DATA, record.data() + tls.sizes.cbHeader},
            {tls.sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + tls.sizes.cbHeader + piece},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
        EnterCriticalSection(&tls.cryptoLock);
        SECURITY_STATUS status = EncryptMessage(&tls.context, 0, &desc, 0);
        LeaveCriticalSection(&tls.cryptoLock);
        if (status != SEC_E_OK) return int(status);
        // The platform may have used less of the header and trailer than it asked room for.
        size_t total = size_t(buffers[0].cbBuffer) + buffers[1].cbBuffer + buffers[2].cbBuffer;
        if (buffers[1].pvBuffer != record.data() + buffers[0].cbBuffer ||
            buffers[2].pvBuffer != record.data() + buffers[0].cbBuffer + buffers[1].cbBuffer)
            return int(SEC_E_INTERNAL_ERROR);
        if (int error = SendRaw(s, record.data(), total)) return error;
        offset += int(piece);
    }
    return 0;
}

int CSecureChannel::ReadMore(SOCKET s)
{
    State& tls = *state;
    char buffer[kReadSize];
    int read = recv(s, buffer, kReadSize, 0);
    if (read == SOCKET_ERROR) {
        int error = WSAGetLastError();
        lastError = error ? error : WSAECONNABORTED;
        return -1;
    }
    if (read > 0) tls.input.insert(tls.input.end(), buffer, buffer + read);
    return read;
}

int CSecureChannel::Decrypt()
{
    State& tls = *state;
    if (tls.input.empty()) return NeedMore;
    SecBuffer buffers[4] = {
        {ULONG(tls.input.size()), SECBUFFER_DATA, tls.input.data()},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
    };
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
    EnterCriticalSection(&tls.cryptoLock);
    SECURITY_STATUS status = DecryptMessage(&tls.context, &desc, 0, nullptr);
    LeaveCriticalSection(&tls.cryptoLock);

    if (status == SEC_E_INCOMPLETE_MESSAGE) {
        // Within one record's size there must be a whole record.
        if (tls.input.size() > size_t(tls.sizes.cbHeader) + tls.sizes.cbMaximumMessage + tls.sizes.cbTrailer) {
            lastError = int(SEC_E_INVALID_TOKEN);
            return SOCKET_ERROR;
        }
        return NeedMore;
    }
    if (status == SEC_I_CONTEXT_EXPIRED) {
        tls.closed = true;
        tls.input.clear();
        return kClosedByPeer;
    }
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) {
        lastError = int(status);
        return SOCKET_ERROR;
    }
    // The buffers point into input: take the plaintext out before the tail moves.
    for (const SecBuffer& buffer : buffers) {
        if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0) {
            if (tls.plainOffset == tls.plain.size()) {
                tls.plain.clear();
                tls.plainOffset = 0;
            }
            const char* bytes = static_cast<const char*>(buffer.pvBuffer);
            tls.plain.insert(tls.plain.end(), bytes, bytes + buffer.cbBuffer);
        }
    }
    KeepExtra(tls.input, buffers, 4);

    if (status == SEC_I_RENEGOTIATE) {
        // A handshake message after the handshake (a TLS 1.3 session ticket or key update): the
        // platform takes it, with what follows, through the handshake call.
        std::vector<char> token(tls.input);
        SecBuffer in[2] = {{ULONG(token.size()), SECBUFFER_TOKEN, token.empty() ? nullptr : token.data()},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, in};
        SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
        SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, out};
        ULONG attributes = 0;
        EnterCriticalSection(&tls.cryptoLock);
        status = InitializeSecurityContextW(&tls.credentials, &tls.context, nullptr, kHandshakeFlags, 0, 0, &inDesc, 0,
                                            nullptr, &outDesc, &attributes, nullptr);
        LeaveCriticalSection(&tls.cryptoLock);
        if (out[0].pvBuffer) FreeContextBuffer(out[0].pvBuffer);  // a client sends nothing back here
        if (FAILED(status)) {
            lastError = int(status);
            return SOCKET_ERROR;
        }
        KeepExtra(token, in, 2);
        tls.input.swap(token);
    }
    return kDecrypted;
}

int CSecureChannel::Receive(SOCKET s, char* buffer, int size, bool mayRead)
{
    State& tls = *state;
    if (!tls.haveContext || tls.sizes.cbMaximumMessage == 0 || !buffer || size <= 0) {
        lastError = tls.haveContext ? WSAEINVAL : WSAENOTCONN;
        return SOCKET_ERROR;
    }
    for (;;) {
        if (tls.plainOffset < tls.plain.size()) {
            size_t count = std::min(tls.plain.size() - tls.plainOffset, size_t(size));
            memcpy(buffer, tls.plain.data() + tls.plainOffset, count);
            tls.plainOffset += count;
            return int(count);
        }
        if (tls.closed) return 0;
        int result = Decrypt();
        if (result == kDecrypted) continue;
        if (result == kClosedByPeer) return 0;
        if (result == SOCKET_ERROR) return SOCKET_ERROR;
        if (!mayRead) return NeedMore;
        mayRead = false;
        int read = ReadMore(s);
        if (read < 0) return SOCKET_ERROR;
        if (read == 0) return 0;
    }
}
