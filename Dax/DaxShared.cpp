#include "Dax/DaxShared.h"

#include "Dax/MrimAccount.h"
#include "Dax/proto/BuiltinTexts.h"
#include "Dax/proto/MrimStatus.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/skin/ISkinImages.h"
#include "ZELCommon/MUIController.h"
#include "ZELCommon/ZELPath.h"

#include <memory>
#include <vector>

namespace DaxShared {

std::atomic<unsigned> ReconnectDelayMs{15000};

namespace {

// In the order other code refers to them by position.
const wchar_t* const ImageFiles[31] = {
    L"dax_stoffline.png",     L"dax_stconnect.png",    L"dax_stonline.png",       L"zel_stinvis.png",
    L"zel_stfreeforchat.png", L"zel_stevil.png",       L"zel_stdepression.png",   L"zel_stathome.png",
    L"zel_statwork.png",      L"zel_stlunch.png",      L"zel_staway.png",         L"zel_stna.png",
    L"zel_stoccupied.png",    L"zel_stdnd.png",        L"dax_stnotinlist.png",    L"proto_invislist.png",
    L"proto_ininvislist.png", L"proto_inignorelist.png", L"proto_authrequired.png", L"proto_addcontact.png",
    L"proto_authrequest.png", L"proto_addtovis.png",   L"proto_addtoinvis.png",   L"proto_addtoignore.png",
    L"proto_authaccept.png",  L"proto_authdecline.png", L"dax_wakeup.png",        L"dax_proto.png",
    L"proto_optadvanced.png", L"proto_mailboxempty.png", L"proto_mailboxfull.png",
};

struct State {
    CZELCriticalSection lock;
    int loaded = 0;
    std::unique_ptr<MUI::CZELWMMUI_Controller> language;
    std::vector<int> images;
    std::shared_ptr<const std::vector<StatusEntry>> statusTable;
    ISkinImages* skin = nullptr;  // while an account is loaded
};

State& Shared()
{
    static State state;
    return state;
}

int ImageLocked(const State& state, int position)
{
    if (state.images.empty() || position < 0) return -1;
    return state.images[size_t(position) < state.images.size() ? size_t(position) : state.images.size() - 1];
}

CZELString TextLocked(const State& state, int number)
{
    CZELString text;
    if (state.language) state.language->GetString(number, text);
    else Mrim::BuiltinTexts(number, text);
    return text;
}

void RebuildStatusTableLocked(State& state)
{
    auto table = std::make_shared<std::vector<StatusEntry>>();
    for (const Mrim::StatusRow& row : Mrim::StatusRows) {
        StatusEntry entry;
        entry.status = row.status;
        entry.name = TextLocked(state, row.textNumber);
        for (int position : row.images)
            if (position >= 0 && !state.images.empty()) entry.images.Add(ImageLocked(state, position));
        table->push_back(entry);
    }
    state.statusTable = table;
}

} // namespace

HMODULE& Module()
{
    static HMODULE module = nullptr;
    return module;
}

AccountRegistry<MrimAccount>& Registry()
{
    static AccountRegistry<MrimAccount> registry;
    return registry;
}

void AddLoadedAccount(Services::CServicesManager* bus)
{
    State& state = Shared();
    CZELLock hold(state.lock);
    ++state.loaded;
    if (!state.language)
        state.language.reset(new MUI::CZELWMMUI_Controller(CZELPath::GetProtoDir(L"DAX"), CZELString(L"Dax_"),
                                                           CZELString(L"English"), Mrim::BuiltinTexts));
    ISkinImages* skin = bus ? static_cast<ISkinImages*>(bus->GetService(GUID_SKIN_IMAGES)) : nullptr;
    state.skin = skin;
    if (state.images.empty() && skin) {
        for (const wchar_t* file : ImageFiles) state.images.push_back(skin->AcquireImage(CZELString(file)));
    }
    if (!state.statusTable) RebuildStatusTableLocked(state);
}

void RemoveLoadedAccount(Services::CServicesManager* bus)
{
    State& state = Shared();
    CZELLock hold(state.lock);
    if (state.loaded > 0) --state.loaded;
    if (state.loaded > 0) return;
    ISkinImages* skin = bus ? static_cast<ISkinImages*>(bus->GetService(GUID_SKIN_IMAGES)) : nullptr;
    if (skin)
        for (auto it = state.images.rbegin(); it != state.images.rend(); ++it) skin->ReleaseImage(*it);
    state.images.clear();
    state.skin = nullptr;
    state.statusTable.reset();
    state.language.reset();
}

HBRUSH BackgroundBrush()
{
    State& state = Shared();
    CZELLock hold(state.lock);
    return state.skin ? state.skin->GetBkBrush() : nullptr;
}

COLORREF TextColor()
{
    State& state = Shared();
    CZELLock hold(state.lock);
    return state.skin ? state.skin->GetTextColor() : GetSysColor(COLOR_WINDOWTEXT);
}

bool& ShowPasswordFlag()
{
    static bool shown = false;
    return shown;
}

int LoadedAccounts()
{
    State& state = Shared();
    CZELLock hold(state.lock);
    return state.loaded;
}

void ChangeLanguage(const CZELString& language)
{
    State& state = Shared();
    CZELLock hold(state.lock);
    if (state.language) state.language->ChangeLang(language);
    RebuildStatusTableLocked(state);
}

CZELString Text(int number)
{
    State& state = Shared();
    CZELLock hold(state.lock);
    return TextLocked(state, number);
}

int Image(int position)
{
    State& state = Shared();
    CZELLock hold(state.lock);
    return ImageLocked(state, position);
}

int ImageCount()
{
    State& state = Shared();
    CZELLock hold(state.lock);
    return int(state.images.size());
}

StatusEntry StatusRecord(int status)
{
    std::shared_ptr<const std::vector<StatusEntry>> table;
    {
        State& state = Shared();
        CZELLock hold(state.lock);
        table = state.statusTable;
    }
    if (status == 4) status = 3;
    if (table)
        for (const StatusEntry& entry : *table)
            if (entry.status == status) return entry;
    return StatusEntry();
}

} // namespace DaxShared
