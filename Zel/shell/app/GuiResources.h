// CGuiResources: the user interface's shared resources: the skin's background brush (made from the
// picture set), the program's language controller with the built-in English texts, the alert
// player, the notifier, the smiley pack and the notification state. The application creates it
// once its window stands and every window reaches it through the application; it also follows the
// preferences' option changes (skin, smiley pack, language, notification state).
//
// The picture set itself belongs to the application, because the skin image service, which hands
// pictures to the plug-ins, is made before this object and goes after it.
//
// Texts are read on the user-interface thread and on the queue "GUI" thread; the controller is
// switched on the user-interface thread. One lock keeps a language module from being unloaded
// while a text is read from it.
#pragma once

#include "Zel/chat/SmileyPack.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <memory>

namespace MUI {
class CZELWMMUI_Controller;
}
class CSkinImageSet;
class GlobalSettings;
class SkinBackgroundBrush;
class CAlertPlayer;
class CNotifier;
class INotifierCallbacks;
class CChatDlg;

// Preference option codes.
enum OptionCode {
    OPT_TRAY_ICON = 0,
    OPT_CL_MODE = 4,
    OPT_CL_ONLY_ONLINE = 5,
    OPT_CL_COLUMNS = 6,
    OPT_CL_FONT = 8,
    OPT_SKIN = 16,
    OPT_COLORS = 17,
    OPT_SMILEY_PACK = 18,
    OPT_SMILEY_SCALE = 19,
    OPT_LANGUAGE = 20,
    OPT_NOTIFICATIONS_ALL = 21,
    OPT_NOTIFICATIONS_FIRST = 23,
};

// What the preferences call after a change: one operation.
class IOptionObserver {
public:
    virtual void OnOptionChanged(int code) = 0;

protected:
    ~IOptionObserver() {}
};

class CGuiResources : public SmileyPackObserver, public IOptionObserver {
public:
    // The message to the chat window that its recent-smilies strip is to be refilled.
    enum { WM_SMILEY_PACK_LOADED = WM_USER + 104 };

    // owner: the main window, which the alert player's windows belong to and the notifier asks about.
    CGuiResources(GlobalSettings& settings, CSkinImageSet& images, INotifierCallbacks* notifierCallbacks,
                  HWND owner = nullptr);
    ~CGuiResources();
    CGuiResources(const CGuiResources&) = delete;
    CGuiResources& operator=(const CGuiResources&) = delete;

    // On the loader thread: only posts the message to the chat window.
    void OnSmileyPackLoaded(CSmileyPack* pack) override;
    void OnOptionChanged(int code) override;

    void SetChatWindow(CChatDlg* window);

    // Text number in the current language (English where the module has none); empty for a number
    // outside the table.
    CZELString Text(int number);
    // Switches the controller; a missing module or export keeps the language in force.
    void ChangeLanguage(const CZELString& language);
    CZELString CurrentLanguage();

    CSkinImageSet& Images() { return images; }
    HBRUSH GetBkBrush() const;
    CAlertPlayer& Alerts() { return *alertPlayer; }
    CNotifier& Notifier() { return *notifier; }
    CSmileyPack& Smilies() { return *smileyPack; }
    // The three integer lists of the notification state.
    CZELArray<int>& NotificationList(int index) { return notificationState[index < 0 ? 0 : index > 2 ? 2 : index]; }

private:
    // Tells the skin image service what the plug-ins are to draw with.
    void PublishToService();
    void LoadSmileyPack();

    GlobalSettings& settings;
    CSkinImageSet& images;
    std::unique_ptr<SkinBackgroundBrush> brush;
    CZELCriticalSection languageLock;
    std::unique_ptr<MUI::CZELWMMUI_Controller> language;
    std::unique_ptr<CAlertPlayer> alertPlayer;
    std::unique_ptr<CNotifier> notifier;
    std::unique_ptr<CSmileyPack> smileyPack;
    CZELArray<int> notificationState[3];
    CZELCriticalSection chatWindowLock;  // the loader thread reads chatWindow
    CChatDlg* chatWindow;
};

// The program's text of that number: the current resources' language, or the built-in English
// while there are none.
CZELString GuiText(int number);
// The skin's background brush, null while there are no resources.
HBRUSH GuiBackgroundBrush();
// The skin's pictures, null while there are no resources.
CSkinImageSet* GuiImages();
// The notifier, null while there are no resources.
CNotifier* GuiNotifier();
