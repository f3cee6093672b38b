#include "Wex/proto/account/SharedTables.h"

#include "Wex/proto/account/BuiltInTexts.h"
#include "Wex/proto/account/PictureNames.h"
#include "Wex/proto/account/StatusMapping.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/skin/ISkinImages.h"
#include "ZELCommon/MUIController.h"

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
