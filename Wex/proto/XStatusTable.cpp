#include "Wex/proto/XStatusTable.h"

#include <algorithm>

namespace Wex {

const XStatusRow XStatusRows[XStatusCount] = {
    {L"capXS1pic", L"XStatus(Angry)", GuidFromText("{01D8D7EE-AC3B-492A-A58D-D3D877E66B92}"), L"wex_xstatus_angry.png"},
    {L"capXS2pic", L"XStatus(Duck)", GuidFromText("{5A581EA1-E580-430C-A06F-612298B7E4C7}"), L"wex_xstatus_duck.png"},
    {L"capXS3pic", L"XStatus(Tired)", GuidFromText("{83C9B78E-77E7-4378-B2C5-FB6CFCC35BEC}"), L"wex_xstatus_tired.png"},
    {L"capXS4pic", L"XStatus(Party)", GuidFromText("{E601E41C-3373-4BD1-BC06-811D6C323D81}"), L"wex_xstatus_party.png"},
    {L"capXS5pic", L"XStatus(Beer)", GuidFromText("{8C50DBAE-81ED-4786-ACCA-16CC3213C7B7}"), L"wex_xstatus_beer.png"},
    {L"capXS6pic", L"XStatus(Thinking)", GuidFromText("{3FB0BD36-AF3B-4A60-9EEF-CF190F6A5A7F}"), L"wex_xstatus_thinking.png"},
    {L"capXS7pic", L"XStatus(Eating)", GuidFromText("{F8E8D7B2-82C4-4142-90F8-10C6CE0A89A6}"), L"wex_xstatus_eating.png"},
    {L"capXS8pic", L"XStatus(TV)", GuidFromText("{80537DE2-A467-4A76-B354-6DFD075F5EC6}"), L"wex_xstatus_tv.png"},
    {L"capXS9pic", L"XStatus(Friends)", GuidFromText("{F18AB52E-DC57-491D-99DC-6444502457AF}"), L"wex_xstatus_friends.png"},
    {L"capXS10pic", L"XStatus(Coffee)", GuidFromText("{1B78AE31-FA0B-4D38-93D1-997EEEAFB218}"), L"wex_xstatus_coffee.png"},
    {L"capXS11pic", L"XStatus(Music)", GuidFromText("{61BEE0DD-8BDD-475D-8DEE-5F4BAACF19A7}"), L"wex_xstatus_music.png"},
    {L"capXS12pic", L"XStatus(Business)", GuidFromText("{488E1489-8ACA-4A08-82AA-77CE7A165208}"), L"wex_xstatus_business.png"},
    {L"capXS13pic", L"XStatus(Camera)", GuidFromText("{107A9A18-1232-4DA4-B6CD-0879DB780F09}"), L"wex_xstatus_camera.png"},
    {L"capXS14pic", L"XStatus(Funny)", GuidFromText("{6F493098-4F7C-4AFF-A276-34A03BCEAEA7}"), L"wex_xstatus_funny.png"},
    {L"capXS15pic", L"XStatus(Phone)", GuidFromText("{1292E550-1B64-4F66-B206-B29AF378E48D}"), L"wex_xstatus_phone.png"},
    {L"capXS16pic", L"XStatus(Games)", GuidFromText("{D4A611D0-8F01-4EC0-9223-C5B6BEC6CCF0}"), L"wex_xstatus_games.png"},
    {L"capXS17pic", L"XStatus(College)", GuidFromText("{609D52F8-A29A-49A6-B2A0-2524C5E9D260}"), L"wex_xstatus_college.png"},
    {L"capXS18pic", L"XStatus(Shopping)", GuidFromText("{63627337-A03F-49FF-80E5-F709CDE0A4EE}"), L"wex_xstatus_shopping.png"},
    {L"capXS19pic", L"XStatus(Sick)", GuidFromText("{1F7A4071-BF3B-4E60-BC32-4C5787B04CF1}"), L"wex_xstatus_sick.png"},
    {L"capXS20pic", L"XStatus(Sleeping)", GuidFromText("{785E8C48-40D3-4C65-886F-04CF3F3F43DF}"), L"wex_xstatus_sleeping.png"},
    {L"capXS21pic", L"XStatus(Surfing)", GuidFromText("{A6ED557E-6BF7-44D4-A5D4-D2E7D95CE81F}"), L"wex_xstatus_surfing.png"},
    {L"capXS22pic", L"XStatus(@)", GuidFromText("{12D07E3E-F885-489E-8E97-A72A6551E58D}"), L"wex_xstatus_@.png"},
    {L"capXS23pic", L"XStatus(Engineering)", GuidFromText("{BA74DB3E-9E24-434B-87B6-2F6B8DFEE50F}"), L"wex_xstatus_engineering.png"},
    {L"capXS24pic", L"XStatus(Typing)", GuidFromText("{634F6BD8-ADD2-4AA1-AAB9-115BC26D05A1}"), L"wex_xstatus_typing.png"},
    {L"capXS25pic", L"XStatus(China1)", GuidFromText("{2CE0E4E5-7C64-4370-9C3A-7A1CE878A7DC}"), L"wex_xstatus_china1.png"},
    {L"capXS26pic", L"XStatus(China2)", GuidFromText("{101117C9-A3B0-40F9-81AC-49E159FBD5D4}"), L"wex_xstatus_china2.png"},
    {L"capXS27pic", L"XStatus(China3)", GuidFromText("{160C60BB-DD44-43F3-9140-050F00E6C009}"), L"wex_xstatus_china3.png"},
    {L"capXS28pic", L"XStatus(China4)", GuidFromText("{6443C6AF-2260-4517-B58C-D7DF8E290352}"), L"wex_xstatus_china4.png"},
    {L"capXS29pic", L"XStatus(China5)", GuidFromText("{16F5B76F-A9D2-4035-8CC5-C084703C98FA}"), L"wex_xstatus_china5.png"},
    {L"capXS30pic", L"XStatus(De1)", GuidFromText("{631436FF-3F8A-40D0-A5CB-7B66E051B364}"), L"wex_xstatus_de1.png"},
    {L"capXS31pic", L"XStatus(De2)", GuidFromText("{B70867F5-3825-4327-A1FF-CF4CC1939797}"), L"wex_xstatus_de2.png"},
    {L"capXS32pic", L"XStatus(De3)", GuidFromText("{DDCF0EA9-7195-4048-A9C6-413206D6F280}"), L"wex_xstatus_de3.png"},
    {L"capXS33pic", L"XStatus(RuSearch)", GuidFromText("{D4E2B0BA-334E-4FA5-98D0-117DBF4D3CC8}"), L"wex_xstatus_ru_search.png"},
    {L"capXS34pic", L"XStatus(RuLove)", GuidFromText("{CD5643A2-C94C-4724-B52C-DC0124A1D0CD}"), L"wex_xstatus_ru_love.png"},
    {L"capXS35pic", L"XStatus(RuJournal)", GuidFromText("{0072D908-4AD1-43DD-9199-6F026966026F}"), L"wex_xstatus_ru_journal.png"},
};

XStatusTable::XStatusTable()
{
    entries.reserve(XStatusCount);
    for (const XStatusRow& row : XStatusRows) {
        XStatusEntry entry;
        entry.guid = row.guid;
        entry.name = CZELString(row.name);
        entry.text = CZELString(row.text);
        entries.push_back(entry);
    }
}

bool XStatusTable::GetXStatusText(int slot, CZELString& title, CZELString& description) const
{
    if (slot < 0 || slot >= GetCount()) return false;
    title = entries[size_t(slot)].title;
    description = entries[size_t(slot)].description;
    return true;
}

bool XStatusTable::SetXStatusText(int slot, const CZELString& title, const CZELString& description)
{
    if (slot < 0 || slot >= GetCount()) return false;
    entries[size_t(slot)].title = title;
    entries[size_t(slot)].description = description;
    return true;
}

int FindXStatus(const unsigned char* guids, size_t count)
{
    for (size_t i = 0; guids && i < count; ++i) {
        const unsigned char* guid = guids + 16 * i;
        for (int n = 0; n < XStatusCount; ++n)
            if (std::equal(XStatusRows[n].guid.begin(), XStatusRows[n].guid.end(), guid)) return n + 1;
    }
    return 0;
}

int FindXStatus(const TlvChain& userInfo)
{
    const Tlv* capabilities = userInfo.Find(0x000D);
    return capabilities ? FindXStatus(capabilities->GetValue(), capabilities->GetLength() / 16u) : 0;
}

} // namespace Wex
