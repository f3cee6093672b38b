#include "Zel/shell/updater/UpdateCheck.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/shell/updater/UpdateReports.h"
#include "ZELCommon/ZELSystemInfo.h"
#include "ZELCommon/ZELTime.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Base64 of the low byte of each unit; empty for an empty text.
std::string Base64Of(const CZELString& text)
{
    int length = -1;
    char* encoded = CZELString::Base64Encode(text.GetBuffer() ? text.GetBuffer() : L"", length);
    std::string result = encoded ? std::string(encoded, size_t(length)) : std::string();
    free(encoded);
    return result;
}

std::string Narrow(const CZELString& text)
{
    char* narrow = CZELString::Convert(text, 0);
    std::string result = narrow ? narrow : "";
    free(narrow);
    return result;
}

// The first letter of the protocol of each account that is online.
CZELString UsedProtocols(Services::CServicesManager* bus)
{
    CZELString used;
    IProtocolsManager* manager = bus ? static_cast<IProtocolsManager*>(bus->GetService(GUID_PROTOCOLS_MANAGER)) : nullptr;
    if (!manager) return used;
    int count = manager->GetAccountCount();
    for (int index = 0; index < count; ++index) {
        unsigned id = manager->GetAccountId(unsigned(index));
        int status = 0;
        if (!id || manager->GetStatus(id, &status) != 0 || status <= 1) continue;
        CZELString name = manager->GetAccountProtocol(id).displayName;
        if (name.GetLength() > 0) used = used + CZELString(name.GetBuffer(), 1);
    }
    return used;
}

}  // namespace

std::string CUpdateCheck::BuildRequest(Services::CServicesManager* bus, const CZELString& host)
{
    char number[16];
    snprintf(number, sizeof(number), "%u", CZELSystemInfo::ZELVersion());
    std::string path = "/newpda_ppc.php?uuid=" + Base64Of(CZELSystemInfo::DeviceID()) + "&cur_ver=" + number +
                       "&model=" + Base64Of(CZELSystemInfo::DeviceName()) + "&used=" + Narrow(UsedProtocols(bus));
    return "GET " + path + " HTTP/1.0\r\nAccept: */*\r\n" + UserAgentLine() + "\r\nHost: " + Narrow(host) + "\r\n\r\n";
}

void CUpdateCheck::OnConnectResult(int result)
{
    if (result == 0 && SendText(BuildRequest(context.bus, endpoint.host))) return;
    Finish();
}

void CUpdateCheck::Finish()
{
    if (reported) return;
    reported = true;
    ReportSelf(GUIMSG_UPDATE_CHECK_DONE);
}

void CUpdateCheck::OnData(const char* bytes, int count)
{
    if (settled) return;
    Read(bytes, count);
    // Nothing more is needed of this connection: the main window may close it now, rather than
    // wait for a server that keeps it open.
    if (settled) Finish();
}

void CUpdateCheck::Read(const char* bytes, int count)
{
    size_t room = MaxAnswerBytes - text.size();
    text.append(bytes, size_t(count) < room ? size_t(count) : room);

    size_t headerEnd = HttpAnswer::HeaderEnd(text.data(), text.size());
    if (headerEnd == 0) {
        settled = text.size() >= MaxAnswerBytes;
        return;
    }
    if (HttpAnswer::StatusCode(text.data(), headerEnd) != 200) {
        settled = true;
        return;
    }
    HttpAnswer::VersionAnswer answer;
    switch (HttpAnswer::ParseVersionAnswer(text.data() + headerEnd, text.size() - headerEnd, answer)) {
    case HttpAnswer::VersionComplete:
        settled = true;
        Take(answer);
        break;
    case HttpAnswer::VersionMalformed: settled = true; break;
    case HttpAnswer::VersionIncomplete: settled = text.size() >= MaxAnswerBytes; break;
    }
}

void CUpdateCheck::Take(const HttpAnswer::VersionAnswer& answer)
{
    if (!records.IsUpdateCheckDue()) return;
    if (CZELSystemInfo::ZELVersion() < answer.build) {
        int code = GUIMSG_UPDATE_AVAILABLE;
        if (records.IsDownloadComplete(answer.build)) {
            DigestCheck check = CheckFileDigest(context.cabPath, answer.digest);
            if (check == DigestMatches)
                code = GUIMSG_UPDATE_READY;
            else if (check == DigestDiffers)
                records.Clear();  // not the package offered: fetched anew
        }
        Report(code, new CUpdateOffer(answer.build, answer.digest));
    }
    records.MarkChecked(CZELTime().GetUnixTime());
}

void CUpdateCheck::OnDisconnected()
{
    Finish();
}
