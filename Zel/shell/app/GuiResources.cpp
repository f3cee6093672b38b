#include "Zel/shell/app/GuiResources.h"

#include "Zel/chat/ChatDlg.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/core/skin/SkinImages.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/alerts/AlertPlayer.h"
#include "Zel/shell/helpers/ResourcePaths.h"
#include "Zel/shell/lang/EnglishTexts.h"
#include "Zel/shell/notify/Notifier.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "Zel/shell/skin/SkinBackgroundBrush.h"
#include "Zel/shell/skin/SkinPictureFile.h"
#include "ZELCommon/MUIController.h"
#include "ZELCommon/ZELPath.h"

#include <atomic>

namespace {

std::atomic<CGuiResources*> Current{nullptr};

const wchar_t kDefaultLanguage[] = L"English";

}  // namespace

CGuiResources::CGuiResources(GlobalSettings& settings, CSkinImageSet& images, INotifierCallbacks* notifierCallbacks,
                             HWND owner)
    : settings(settings), images(images), brush(new SkinBackgroundBrush), chatWindow(nullptr)
{
    images.SetLoader(LoadSkinPicture);
    images.SetSkin(CZELString(), settings.skinName);
    brush->Create(images);
    language.reset(new MUI::CZELWMMUI_Controller(CZELPath::AppDir() + GetLangsFolderName(),
                                                 CZELString(GetLangModulePrefix()), CZELString(kDefaultLanguage),
                                                 EnglishText));
    language->ChangeLang(settings.language);
    alertPlayer.reset(new CAlertPlayer(settings, owner));
    notifier.reset(new CNotifier(notifierCallbacks, settings, &images, owner));
    LoadSmileyPack();
    for (CZELArray<int>& list : notificationState) list = CZELArray<int>();
    PublishToService();
    Current.store(this);
}

CGuiResources::~CGuiResources()
{
    Current.store(nullptr);
    // The order of construction: pictures (the application's), brush, language, alerts, notifier,
    // smilies, notification state.
    brush.reset();
    {
        CZELLock hold(languageLock);
        language.reset();
    }
    alertPlayer.reset();
    notifier.reset();
    SetSmileyPackInUse(nullptr);
    smileyPack.reset();
}

void CGuiResources::LoadSmileyPack()
{
    // The windows stop reading the old pack before it goes; its loader is stopped and waited for.
    SetSmileyPackInUse(nullptr);
    smileyPack.reset();
    SetSmileyScaling(settings.scaleSmile);
    smileyPack.reset(settings.useSmile ? new CSmileyPack(settings.smilePack, this) : new CSmileyPack());
    SetSmileyPackInUse(smileyPack.get());
}

void CGuiResources::SetChatWindow(CChatDlg* window)
{
    CZELLock hold(chatWindowLock);
    chatWindow = window;
    // A pack that finished loading while the window was being made told no window: its strip,
    // filled before the pack was there, waits for this.
    if (chatWindow && chatWindow->GetWindow() && smileyPack && smileyPack->IsLoaded())
        PostMessageW(chatWindow->GetWindow(), WM_SMILEY_PACK_LOADED, 0, 0);
}

void CGuiResources::PublishToService()
{
    if (!SkinImagesService) return;
    SkinImagesService->SetBkBrush(brush->Get());
    SkinImagesService->SetTextColor(GetSchemeColor(ColorScheme::TextColor));
    SkinImagesService->SetLanguageName(settings.language);
}

HBRUSH CGuiResources::GetBkBrush() const
{
    return brush->Get();
}

CZELString CGuiResources::Text(int number)
{
    CZELString text;
    CZELLock hold(languageLock);
    if (language) language->GetString(number, text);
    return text;
}

void CGuiResources::ChangeLanguage(const CZELString& name)
{
    CZELLock hold(languageLock);
    if (language) language->ChangeLang(name);
}

CZELString CGuiResources::CurrentLanguage()
{
    CZELLock hold(languageLock);
    return language ? language->GetCurLang() : CZELString(kDefaultLanguage);
}

void CGuiResources::OnSmileyPackLoaded(CSmileyPack*)
{
    CZELLock hold(chatWindowLock);
    if (chatWindow && chatWindow->GetWindow()) PostMessageW(chatWindow->GetWindow(), WM_SMILEY_PACK_LOADED, 0, 0);
}

void CGuiResources::OnOptionChanged(int code)
{
    switch (code) {
    case OPT_SKIN:
        images.UnloadAll();
        images.SetSkin(CZELString(), settings.skinName);
        ColorScheme::LoadPack(settings.skinName, settings.colors);
        brush->Rebuild(images);
        PublishToService();
        break;
    case OPT_SMILEY_PACK:
        if (chatWindow) chatWindow->RelayoutLogs();
        LoadSmileyPack();
        break;
    case OPT_SMILEY_SCALE:
        SetSmileyScaling(settings.scaleSmile);
        // Only the pictures' size changed: the logs keep their smilies and are laid out again.
        if (chatWindow) chatWindow->RelayoutLogsKeepingSmilies();
        break;
    case OPT_LANGUAGE:
        ChangeLanguage(settings.language);
        PublishToService();
        break;
    case OPT_NOTIFICATIONS_ALL:
        for (CZELArray<int>& list : notificationState) list = CZELArray<int>();
        break;
    case OPT_NOTIFICATIONS_FIRST:
        notificationState[0] = CZELArray<int>();
        break;
    default:
        break;
    }
}

CZELString GuiText(int number)
{
    if (CGuiResources* resources = Current.load()) return resources->Text(number);
    CZELString text;
    EnglishText(number, text);
    return text;
}

HBRUSH GuiBackgroundBrush()
{
    CGuiResources* resources = Current.load();
    return resources ? resources->GetBkBrush() : nullptr;
}

CSkinImageSet* GuiImages()
{
    CGuiResources* resources = Current.load();
    return resources ? &resources->Images() : nullptr;
}

CNotifier* GuiNotifier()
{
    CGuiResources* resources = Current.load();
    return resources ? &resources->Notifier() : nullptr;
}
