// CUpdateCheck: asks the version server for the newest build. An answer is taken when its status is
// 200 and its body holds the build and the package's digest; a newer build is then offered, or
// reported ready when its package is already downloaded and matches the digest.
#pragma once

#include "Zel/shell/updater/HttpAnswer.h"
#include "Zel/shell/updater/UpdateTransaction.h"

#include <windows.h>

#include <string>

class CUpdateCheck : public CUpdateTransaction {
public:
    // The answer's text (header and body) is kept up to this size; a longer one is not read.
    static const size_t MaxAnswerBytes = 4096;

    // A check still open after this long is given up, so that a server that never answers does
    // not hold back every later check.
    static const unsigned long long GiveUpMilliseconds = 120000;

    explicit CUpdateCheck(const UpdaterContext& context) : CUpdateTransaction(context), started(GetTickCount64()) {}

    bool IsStale(unsigned long long now) const { return now - started >= GiveUpMilliseconds; }

    // The request line and fields for this device and its online accounts.
    static std::string BuildRequest(Services::CServicesManager* bus, const CZELString& host);

protected:
    void OnConnectResult(int result) override;
    void OnData(const char* bytes, int count) override;
    void OnDisconnected() override;

private:
    void Read(const char* bytes, int count);
    void Take(const HttpAnswer::VersionAnswer& answer);
    // Reports the check done, once.
    void Finish();

    unsigned long long started;
    std::string text;
    bool settled = false;  // taken or refused: the rest is not read
    bool reported = false;
};
