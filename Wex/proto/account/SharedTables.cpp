#include "Wex/proto/account/SharedTables.h"

#include "Wex/proto/account/BuiltInTexts.h"
#include "Wex/proto/account/PictureNames.h"
#include "Wex/proto/account/StatusMapping.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/skin/ISkinImages.h"
#include "ZELCommon/MUIController.h"
#include "ZELCommon/ZELFile.h"

namespace {

ISkinImages* SkinImagesOf(Services::CServicesManager* bus)
{
    return bus ? static_cast<ISkinImages*>(bus->GetService(GUID_SKIN_IMAGES)) : nullptr;
}

}  // namespace

SharedTables::SharedTables() : users(0) {}

SharedTables::~SharedTables() {}

void SharedTables::Acquire(Services::CServicesManager* bus, const CZELString& folder)
{
    ISkinImages* images = SkinImagesOf(bus);
    CZELLock hold(lock);
    ++users;
    if (!language)
        language.reset(new MUI::CZELWMMUI_Controller(folder, CZELString(L"WEX_"), CZELString(L"English"),
                                                     &WexTexts::BuiltInText));
    if (imageIds.empty() && images) {
        for (const wchar_t* name : WexPictures::Names) imageIds.push_back(images->AcquireImage(CZELString(name)));
    }
}

void SharedTables::Release(Services::CServicesManager* bus)
{
    ISkinImages* images = SkinImagesOf(bus);
    CZELLock hold(lock);
    if (users > 0) --users;
    if (users > 0) return;
    if (images) {
        for (size_t i = imageIds.size(); i-- > 0;) images->ReleaseImage(imageIds[i]);
        imageIds.clear();
    }
    statusTable.clear();
    language.reset();
    for (Wex::ClientIdEntry& rule : clientRules)
        if (images && rule.pictureIndex >= 0) images->ReleaseImage(rule.pictureIndex);
    clientRules.clear();
}

void SharedTables::LoadClientRules(Services::CServicesManager* bus, const CZELString& folder)
{
    ISkinImages* images = SkinImagesOf(bus);
    if (!images || ClientRuleCount() > 0) return;
    // The file is a short list of rules: anything larger is not one.
    const unsigned kMostBytes = 1u << 20;
    CZELFile file(folder + L"Clients.cfg", CZELFile::ModeRead);
    unsigned size = file.Open() ? file.Size() : 0;
    if (size == 0 || size > kMostBytes) return;
    std::vector<unsigned char> bytes(size);
    if (file.Read(bytes.data(), int(size)) != int(size)) return;
    Wex::ClientIdTable rules = Wex::ParseClientRules(bytes.data(), bytes.size());

    CZELLock hold(lock);
    if (!clientRules.empty() || users == 0) return;
    for (Wex::ClientIdEntry& rule : rules)
        if (!rule.picture.IsEmpty()) rule.pictureIndex = images->AcquireImage(CZELString(L"Clients\\") + rule.picture);
    clientRules.swap(rules);
}

int SharedTables::ClientRuleCount()
{
    CZELLock hold(lock);
    return int(clientRules.size());
}

int SharedTables::ClientPicture(const Wex::TlvChain& userInfo)
{
    CZELLock hold(lock);
    int rule = Wex::IdentifyClient(clientRules, capabilities, userInfo);
    return rule < 0 ? -1 : clientRules[size_t(rule)].pictureIndex;
}

int SharedTables::Users()
{
    CZELLock hold(lock);
    return users;
}

void SharedTables::ChangeLanguage(const CZELString& language)
{
    CZELLock hold(lock);
    if (this->language) this->language->ChangeLang(language);
    BuildStatusTableLocked();
}

void SharedTables::BuildStatusTableLocked()
{
    std::vector<StatusEntry> table;
    for (const WexStatus::StatusRow& row : WexStatus::StatusRows) {
        StatusEntry entry;
        entry.status = row.status;
        entry.name = TextLocked(row.textId);
        for (int i = 0; i < row.imageCount; ++i) {
            int image = ImageLocked(row.imageEntries[i]);
            if (image >= 0) entry.images.Add(image);
        }
        table.push_back(entry);
    }
    statusTable.swap(table);
}

CZELString SharedTables::Text(int id)
{
    CZELLock hold(lock);
    return TextLocked(id);
}

CZELString SharedTables::TextLocked(int id) const
{
    CZELString text;
    if (language)
        language->GetString(id, text);
    else
        WexTexts::BuiltInText(id, text);
    return text;
}

int SharedTables::Image(int entry)
{
    CZELLock hold(lock);
    return ImageLocked(entry);
}

int SharedTables::ImageLocked(int entry) const
{
    if (imageIds.empty() || entry < 0) return -1;
    return imageIds[size_t(entry) < imageIds.size() ? size_t(entry) : imageIds.size() - 1];
}

bool SharedTables::StatusRow(int status, StatusEntry& out)
{
    CZELLock hold(lock);
    for (const StatusEntry& entry : statusTable) {
        if (entry.status != status) continue;
        out = entry;
        return true;
    }
    return false;
}

int SharedTables::StatusRowCount()
{
    CZELLock hold(lock);
    return int(statusTable.size());
}

std::vector<int> SharedTables::ImageIds()
{
    CZELLock hold(lock);
    return imageIds;
}
