#include "Wex/proto/CapabilityTable.h"

#include "Wex/proto/XStatusTable.h"

#include <algorithm>
#include <cstring>

namespace Wex {

namespace {

struct Row {
    const wchar_t* name;
    CapabilityGuid guid;
    const wchar_t* text;
};

// Rows 1 to 4; rows 5 to 39 are the x-statuses (XStatusRows).
const Row kRowsBeforeXStatuses[] = {
    {L"capXtZers", GuidFromText("{B2EC8F16-7C6F-451B-BD79-DC58497888B9}"), L"WEX-XtZers"},
    {L"capXSVideo", GuidFromText("{B6074378-F50C-4AC7-9092-5938502D0591}"), L"WEX-XVideo"},
    {L"capXSPush2Talk", GuidFromText("{E362C1E9-121A-4B94-A626-7A74DE24270D}"), L"Push2Talk"},
    {L"capXSStatuses", capXSStatuses, L"Xtraz MultiUser Chat"},
};

// Rows 40 to 109.
const Row kRowsAfterXStatuses[] = {
    {L"caShortSupport", caShortSupport, L"Short Caps"},
    {L"caVideo", GuidFromText("{09460100-4C7F-11D1-8222-444553540000}"), L"Video"},
    {L"caLiveVideo", GuidFromText("{09460101-4C7F-11D1-8222-444553540000}"), L"Live Video"},
    {L"caCamera", GuidFromText("{09460102-4C7F-11D1-8222-444553540000}"), L"Camera"},
    {L"caMicrophone", GuidFromText("{09460103-4C7F-11D1-8222-444553540000}"), L"Microphone"},
    {L"caLiveAudio", GuidFromText("{09460104-4C7F-11D1-8222-444553540000}"), L"Live Audio"},
    {L"caCallWait", GuidFromText("{09460105-4C7F-11D1-8222-444553540000}"), L"Available For Call"},
    {L"caAca", GuidFromText("{09460106-4C7F-11D1-8222-444553540000}"), L"AOL Call Alert"},
    {L"caMultiAudio", GuidFromText("{09460107-4C7F-11D1-8222-444553540000}"), L"Multi Audio"},
    {L"caMultiVideo", GuidFromText("{09460108-4C7F-11D1-8222-444553540000}"), L"Multi Video"},
    {L"caSmartCaps", GuidFromText("{094601FF-4C7F-11D1-8222-444553540000}"), L"Smart Caps"},
    {L"caBuddyIcon", GuidFromText("{09461346-4C7F-11D1-8222-444553540000}"), L"BuddyIcon"},
    {L"caDirectIM", GuidFromText("{09461345-4C7F-11D1-8222-444553540000}"), L"DirectIM"},
    {L"caEncrypt", GuidFromText("{09460001-4C7F-11D1-8222-444553540000}"), L"SecureIM"},
    {L"caTalk", GuidFromText("{09461341-4C7F-11D1-8222-444553540000}"), L"Voice Chat"},
    {L"caFTSend", caFTSend, L"File Transfer"},
    {L"caFTRcv", GuidFromText("{09461348-4C7F-11D1-8222-444553540000}"), L"File Sharing"},
    {L"caAddIns", GuidFromText("{09461347-4C7F-11D1-8222-444553540000}"), L"Add-Ins Support"},
    {L"caSendBuddyList", GuidFromText("{0946134B-4C7F-11D1-8222-444553540000}"), L"Send BuddyList"},
    {L"caDirectPlay", GuidFromText("{09461342-4C7F-11D1-8222-444553540000}"), L"Direct Play"},
    {L"caRouteFinder", caRouteFinder, L"WEX DirectConnect"},
    {L"caUnification", caUnification, L"WEX Interop"},
    {L"caGames", GuidFromText("{0946134A-4C7F-11D1-8222-444553540000}"), L"Games Support"},
    {L"caGames2", GuidFromText("{0946134A-4C7F-11D1-2282-444553540000}"), L"Advanced Chat Features"},
    {L"caWEXRelay", caWEXRelay, L"WEX ServerRelay"},
    {L"caUTF8support", caUTF8support, L"UTF8 Messages"},
    {L"caChat", GuidFromText("{748F2420-6287-11D1-8222-444553540000}"), L"Chat Support"},
    {L"caWebSrv", GuidFromText("{0946E000-4C7F-11D1-2282-444553540000}"), L"From Web"},
    {L"caRTFsupport", caRTFsupport, L"RTF Messages"},
    {L"caUnknown1", GuidFromText("{A0E93F37-4C7F-11D1-8222-444553540000}"), L"Common WEX2001/2002"},
    {L"caUnknown2", GuidFromText("{10CF40D1-4C7F-11D1-8222-444553540000}"), L"IM is WEX2002"},
    {L"caWEXBI", caWEXBI, L"WEX Devils"},
    {L"caWEXVoiceChat", caWEXVoiceChat, L"WEX VoiceChat"},
    {L"caWEX2001", GuidFromText("{2E7A6475-FADF-4DC8-886F-EA3595FDB6DF}"), L"IM is WEX2001"},
    {L"caTyping", caTyping, L"Typing Notifications"},
    {L"caXtraz", caXtraz, L"WEX Xtraz Support"},
    {L"caLITE4", GuidFromText("{178C2D9B-DAA5-45BB-8DDB-F3BDBD53A10A}"), L"IM is WEXLite"},
    {L"caTrilSecureIM", GuidFromText("{F2E7C7F4-FEAD-4DFB-B235-36798BDF0000}"), L"SecureIM Trillian"},
    {L"caTrillian", GuidFromText("{97B12751-243C-4334-AD22-D6ABF73F1409}"), L"IM is Trillian"},
    {L"caKXWEX", GuidFromText("{09491344-4C7F-11D1-8222-444553540000}"), L"IM is KXWEX"},
    {L"caMACWEX", GuidFromText("{DD16F202-84E6-11D4-90DB-00104B9B4B7D}"), L"IM is MacWEX"},
    {L"caLWEX", GuidFromText("{09491349-4C7F-11D1-8222-444553540000}"), L"IM is LWEX"},
    {L"caSTRWEX", GuidFromText("{A0E93F37-4FE9-D311-BCD2-0004AC96DD96}"), L"IM is StrWEX"},
    {L"caSIMPPro", GuidFromText("{53494D50-5F50-524F-5349-4D505F50524F}"), L"Using SimpPRO"},
    {L"caRuRambler", GuidFromText("{7E11B778-A353-4926-A802-44735208C42A}"), L"Lsp-RU-Rambler"},
    {L"caBgAbv", GuidFromText("{00E7E0DF-A9D0-4FE1-9162-C8909A132A1B}"), L"Lsp-BG-Abv"},
    {L"caChNetvigator", GuidFromText("{4C6B90A3-3D2D-480E-89D6-2E4B2C10D99F}"), L"Lsp-CH-Netvigator"},
    {L"caImplus", GuidFromText("{8ECD90E7-4F18-28F8-02EC-D618A4E9DE68}"), L"IM is IM+"},
    {L"caZELPassMsg", GuidFromText("{D3D45319-8B32-403B-ACC7-D1A9E2B5813E}"), L"ZEL-ProtectMsg"},
    {L"caAIMPro", GuidFromText("{032200AC-ADA1-4209-B850-BC01143FAA83}"), L"IM is AIM Pro"},
    {L"caDeskShare", GuidFromText("{ACED89EB-6D67-4887-8CB4-EACFE47C3D66}"), L"Desktop Share"},
    {L"caRQ", GuidFromText("{26525169-6E73-6964-6500-000000000000}"), L""},
    {L"caSIM", GuidFromText("{53494D20-636C-6965-6E74-000000000000}"), L""},
    {L"caKopete", GuidFromText("{97B12751-243C-4334-AD22-D6ABF73F1400}"), L""},
    {L"caMiranda4", GuidFromText("{4D697261-6E64-614D-0000-000000000000}"), L""},
    {L"caJimm", GuidFromText("{4A696D6D-2000-0000-0000-000000000000}"), L""},
    {L"caLWEXAll", GuidFromText("{4C776578-2063-6C69-656E-740000000000}"), L""},
    {L"caMChat", GuidFromText("{6D436861-7420-7765-7800-000000000000}"), L""},
    {L"caKopete2", GuidFromText("{4B6F7065-7465-2057-4558-202000000000}"), L""},
    {L"caZEL", GuidFromText("{563FC809-0B6F-415A-454C-000000000000}"), L""},
    {L"caZELPDA", caZELPDA, L"IM is ZEL for PDA"},
    {L"caZELPDASymbian", GuidFromText("{51ADD190-7204-473D-A1A1-49F4A397A41F}"), L"IM is ZEL PDA ( Symbian )"},
    {L"caZELMobile", GuidFromText("{563FC809-0B6F-415A-454C-202020202022}"), L"IM is ZEL Mobile"},
    {L"caZELPellox", GuidFromText("{7C737502-C3BE-4F3E-A69F-015313431E1A}"), L"IM is ZEL Pellox"},
    {L"caStatusDepression", GuidFromText("{B7074378-F50C-7777-9777-5778502D0570}"), L""},
    {L"caStatusFFC", GuidFromText("{B7074378-F50C-7777-9777-5778502D0575}"), L""},
    {L"caStatusHome", GuidFromText("{B7074378-F50C-7777-9777-5778502D0576}"), L""},
    {L"caStatusWork", GuidFromText("{B7074378-F50C-7777-9777-5778502D0577}"), L""},
    {L"caStatusLunch", GuidFromText("{B7074378-F50C-7777-9777-5778502D0578}"), L""},
    {L"caStatusEvil", GuidFromText("{B7074378-F50C-7777-9777-5778502D0579}"), L""},
};

// The short form's bytes 2 and 3 go into this identifier.
const CapabilityGuid kShortForm = GuidFromText("{09460000-4C7F-11D1-8222-444553540000}");

// The family's clients in the order they are tested, with the bytes each test compares.
const struct {
    const wchar_t* name;
    size_t prefix;
} kFamilyClients[] = {
    {L"caZEL", 10}, {L"caZELPDA", 16}, {L"caZELPDASymbian", 16}, {L"caZELMobile", 16}, {L"caZELPellox", 16},
};

void Append(CapabilityList& list, const CapabilityTable& table, const CapabilityGuid& guid)
{
    const CapabilityEntry* known = table.FindByGuid(guid.data());
    if (known) {
        list.push_back(*known);
    } else {
        CapabilityEntry unnamed;
        unnamed.guid = guid;
        list.push_back(unnamed);
    }
}

} // namespace

CapabilityTable::CapabilityTable()
{
    auto insert = [this](const CapabilityGuid& guid, const wchar_t* name, const wchar_t* text) {
        CapabilityEntry& entry = entries[guid];
        entry.guid = guid;
        entry.name = CZELString(name);
        entry.text = CZELString(text);
    };
    for (const Row& row : kRowsBeforeXStatuses) insert(row.guid, row.name, row.text);
    for (const XStatusRow& row : XStatusRows) insert(row.guid, row.name, row.text);
    for (const Row& row : kRowsAfterXStatuses) insert(row.guid, row.name, row.text);
}

const CapabilityEntry* CapabilityTable::FindByGuid(const unsigned char* guid) const
{
    if (!guid) return nullptr;
    CapabilityGuid key;
    std::copy(guid, guid + key.size(), key.begin());
    auto found = entries.find(key);
    return found == entries.end() ? nullptr : &found->second;
}

const CapabilityEntry* CapabilityTable::FindByName(const CZELString& name) const
{
    for (const auto& entry : entries)
        if (entry.second.name == name) return &entry.second;
    return nullptr;
}

CapabilityList ParseCapabilities(const CapabilityTable& table, const TlvChain& userInfo)
{
    CapabilityList list;
    if (const Tlv* full = userInfo.Find(0x000D)) {
        for (size_t at = 0; at + 16 <= full->GetLength(); at += 16) {
            CapabilityGuid guid;
            std::copy(full->GetValue() + at, full->GetValue() + at + 16, guid.begin());
            Append(list, table, guid);
        }
    }
    if (const Tlv* brief = userInfo.Find(0x0019)) {
        for (size_t at = 0; at + 2 <= brief->GetLength(); at += 2) {
            CapabilityGuid guid = kShortForm;
            guid[2] = brief->GetValue()[at];
            guid[3] = brief->GetValue()[at + 1];
            Append(list, table, guid);
        }
    }
    return list;
}

bool HasCapability(const CapabilityTable& table, const CapabilityList& list, const CZELString& name, size_t prefix)
{
    const CapabilityEntry* row = table.FindByName(name);
    if (!row) return false;
    prefix = std::min(prefix, row->guid.size());
    for (const CapabilityEntry& entry : list)
        if (memcmp(entry.guid.data(), row->guid.data(), prefix) == 0) return true;
    return false;
}

int DetectClient(const CapabilityTable& table, const TlvChain& userInfo)
{
    CapabilityList list = ParseCapabilities(table, userInfo);
    for (size_t i = 0; i < sizeof kFamilyClients / sizeof kFamilyClients[0]; ++i)
        if (HasCapability(table, list, CZELString(kFamilyClients[i].name), kFamilyClients[i].prefix)) return int(i) + 1;
    return 0;
}

} // namespace Wex
