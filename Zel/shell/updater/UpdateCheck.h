// CUpdateCheck: asks the version server for the newest build. An answer is taken when its status is
// 200 and its body holds the build and the package's digest; a newer build is then offered, or
// reported ready when its package is already downloaded and matches the digest.
#pragma once

#include "Zel/shell/updater/HttpAnswer.h"
#include "Zel/shell/updater/UpdateTransaction.h"

#include <string>

class CUpdateCheck : public CUpdateTransaction {
public:
    // The answer's text (header and body) is kept up to this size; a longer one is not read.
    static const size_t MaxAnswerBytes = 4096;

    explicit CUpdateCheck(const UpdaterContext& context) : CUpdateTransaction(context) {}

    // The request line and fields for this device and its online accounts.
    static std::string BuildRequest(Services::CServicesManager* bus, const CZELString& host);

protected:
    void OnConnectResult(int result) override;
    void OnData(const char* bytes, int count) override;
    void OnDisconnected() override;

private:
    void Take(const HttpAnswer::VersionAnswer& answer);

    std::string text;
    bool settled = false;  // taken or refused: the rest is not read
    bool reported = false;
};
