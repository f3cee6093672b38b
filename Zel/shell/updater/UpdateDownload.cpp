#include "Zel/shell/updater/UpdateDownload.h"

#include "Zel/shell/updater/HttpAnswer.h"
#include "Zel/shell/updater/UpdateReports.h"
#include "ZELCommon/ZELFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

CUpdateDownload::CUpdateDownload(const UpdaterContext& context, unsigned build, const PackageDigest packageDigest)
    : CUpdateTransaction(context), build(build)
{
    memcpy(digest, packageDigest, sizeof(digest));
    offset = records.GetResumeOffset(build, expectedSize);
}

CUpdateDownload::~CUpdateDownload()
{
    // The queue stops before the file goes; what came before an exit stays for the next resume.
    Close();
    if (file) Flush();
}

std::string CUpdateDownload::BuildRequest() const
{
    char path[48];
    snprintf(path, sizeof(path), "/pda/zelpda%u.cab", build);
    std::string request = std::string("GET ") + path + " HTTP/1.0\r\nAccept: */*\r\n" + UserAgentLine();
    if (offset > 0) {
        char range[48];
        snprintf(range, sizeof(range), "\r\nRange: bytes=%lld-", offset);
        request += range;
    }
    char* host = CZELString::Convert(endpoint.host, 0);
    request += std::string("\r\nHost: ") + (host ? host : "") + "\r\n\r\n";
    free(host);
    return request;
}

void CUpdateDownload::OnConnectResult(int result)
{
    if (result == 0 && SendText(BuildRequest())) return;
    Finish();
}

void CUpdateDownload::OnDataReady()
{
    char chunk[1024];
    while (!reported) {
        if (state == StoringBody) {
            ReceiveBody();
            return;
        }
        int got = ReceiveInto(chunk, sizeof(chunk));
        if (got <= 0) return;
        OnData(chunk, got);
    }
}

void CUpdateDownload::OnData(const char* bytes, int count)
{
    if (reported) return;
    if (state == StoringBody) {
        Store(bytes, size_t(count));
        return;
    }
    if (state != ReadingHeader) return;
    size_t kept = header.size();
    size_t room = HttpAnswer::MaxHeaderBytes - kept;
    header.append(bytes, size_t(count) < room ? size_t(count) : room);
    size_t headerEnd = HttpAnswer::HeaderEnd(header.data(), header.size());
    if (headerEnd == 0) {
        if (header.size() >= HttpAnswer::MaxHeaderBytes) state = Ignoring;
        return;
    }
    TakeHeader(headerEnd);
    if (state == StoringBody) {
        // The body's first bytes came with the header's end; those past the kept text follow.
        Store(header.data() + headerEnd, header.size() - headerEnd);
        size_t used = header.size() - kept;
        if (size_t(count) > used) Store(bytes + used, size_t(count) - used);
    }
    header.clear();
}

void CUpdateDownload::TakeHeader(size_t headerEnd)
{
    state = Ignoring;
    status = HttpAnswer::StatusCode(header.data(), headerEnd);
    if (status == 200) {
        unsigned size = 0;
        if (!HttpAnswer::ContentLength(header.data(), headerEnd, HttpAnswer::MaxPackageBytes, size)) return;
        file.reset(new CZELFile(records.CabPath(), CZELFile::ModeWrite));
        // The whole package comes: whatever an earlier download left goes.
        if (!file->Replace()) {
            file.reset();
            return;
        }
        records.Record(build, size);
        expectedSize = size;
        written = 0;
        hasher.reset(new CPackageHasher);
    } else if (status == 206 && offset > 0) {
        std::string range;
        unsigned first = 0;
        if (!HttpAnswer::FindField(header.data(), headerEnd, "Content-Range", range) ||
            !HttpAnswer::ContentRangeStart(range, first) || (long long)first != offset || !OpenPartialFile())
            return;
    } else {
        return;
    }
    held.resize(HeldBytes);
    heldCount = 0;
    state = StoringBody;
}

bool CUpdateDownload::OpenPartialFile()
{
    file.reset(new CZELFile(records.CabPath(), CZELFile::ModeReadWrite));
    hasher.reset(new CPackageHasher);
    unsigned long long size = 0;
    // The kept bytes are hashed once, through the handle that then appends to them: the file is
    // not shared while it is open, so what is hashed is what the package will hold.
    if (!file->Open() || !file->GetSize(size) || size != (unsigned long long)offset ||
        !hasher->AddFileBytes(*file, size) || !file->SeekTo(size)) {
        file.reset();
        hasher.reset();
        return false;
    }
    written = size;
    return true;
}

void CUpdateDownload::Store(const char* bytes, size_t count)
{
    while (count > 0 && state == StoringBody && !reported) {
        size_t piece = std::min(count, held.size() - heldCount);
        memcpy(held.data() + heldCount, bytes, piece);
        Stored(piece);
        bytes += piece;
        count -= piece;
    }
}

void CUpdateDownload::ReceiveBody()
{
    while (state == StoringBody && !reported) {
        int got = ReceiveInto(held.data() + heldCount, int(held.size() - heldCount));
        if (got <= 0) return;
        Stored(size_t(got));
    }
}

void CUpdateDownload::Stored(size_t count)
{
    // Nothing is written past the package's size.
    unsigned long long room = expectedSize > written ? expectedSize - written : 0;
    if (count > room) count = size_t(room);
    heldCount += count;
    written += count;
    if (heldCount == held.size() && !Flush()) return;
    // Whole: nothing more is wanted of a server that keeps the connection open.
    if (written == expectedSize) Finish();
}

bool CUpdateDownload::Flush()
{
    if (heldCount > 0 && !writeFailed) {
        hasher->Add(held.data(), heldCount);
        if (!file->Write(reinterpret_cast<const unsigned char*>(held.data()), int(heldCount))) {
            writeFailed = true;
            state = Ignoring;
        }
    }
    heldCount = 0;
    return !writeFailed;
}

void CUpdateDownload::OnDisconnected()
{
    Finish();
}

void CUpdateDownload::Finish()
{
    if (reported) return;
    reported = true;
    if (file && !Flush()) file.reset();
    if (file && status >= 0 && expectedSize > 0 && written == expectedSize) {
        PackageDigest actual;
        bool matches = hasher->Finish(actual) && memcmp(actual, digest, sizeof(digest)) == 0;
        file.reset();  // closed before it is offered or deleted
        if (matches)
            Report(GUIMSG_UPDATE_READY, new CUpdateOffer(build, digest));
        else
            records.Clear();
    }
    file.reset();
    hasher.reset();
    ReportSelf(GUIMSG_UPDATE_DOWNLOAD_DONE);
}
