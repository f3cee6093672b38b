// CUpdateDownload: fetches one build's package into the package file, resuming a partial file with
// a range request. The package is hashed as it is written (a partial file once, when it resumes), and
// reported ready only when it is whole and its SHA-256 is the digest that came with the offer; a
// package that does not match is deleted with the records.
#pragma once

#include "Zel/shell/updater/PackageDigest.h"
#include "Zel/shell/updater/UpdateTransaction.h"

#include <memory>
#include <string>
#include <vector>

class CZELFile;

class CUpdateDownload : public CUpdateTransaction {
public:
    static const size_t HeldBytes = 64 * 1024;

    // Computes where the download resumes from the records and the package file.
    CUpdateDownload(const UpdaterContext& context, unsigned build, const PackageDigest digest);
    ~CUpdateDownload() override;

    unsigned Build() const { return build; }
    // 0 from the start, -1 when the recorded package is already whole, else the bytes already held.
    long long ResumeOffset() const { return offset; }

    std::string BuildRequest() const;

protected:
    void OnConnectResult(int result) override;
    void OnDataReady() override;
    void OnData(const char* bytes, int count) override;
    void OnDisconnected() override;

private:
    enum State { ReadingHeader, StoringBody, Ignoring };

    void TakeHeader(size_t headerEnd);
    // The package file of a range answer, its bytes so far hashed: false when it is not the partial
    // file the request was made for.
    bool OpenPartialFile();
    void Store(const char* bytes, size_t count);
    // Takes the body's queued bytes straight into the held block.
    void ReceiveBody();
    // The bytes held count as stored; the block goes to the file once full, or at the package's end.
    void Stored(size_t count);
    // Hashes and writes the bytes held back: false when the file took them not all.
    bool Flush();
    // Checks a whole package and reports, once.
    void Finish();

    unsigned build;
    PackageDigest digest;
    long long offset;
    unsigned expectedSize = 0;
    std::unique_ptr<CZELFile> file;
    // The digest of the file's bytes and of those held back, in order.
    std::unique_ptr<CPackageHasher> hasher;
    unsigned long long written = 0;  // the file's size once the held bytes are written
    // Chunks are gathered into larger writes: one file write per 1 KB chunk costs more than the
    // transfer.
    std::vector<char> held;
    size_t heldCount = 0;
    bool writeFailed = false;
    int status = -1;
    std::string header;
    State state = ReadingHeader;
    bool reported = false;
};
