#include "Zel/chat/MessageWindowSettingsDialog.h"

#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/prefs/PreferencesPage.h"
#include "Zel/prefs/SkinnedDialog.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/helpers/ControlHelpers.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

MessageWindowSettingsRunner runner = nullptr;
void* runnerContext = nullptr;

// Letter case matters: a name changed only in case is a change the user wants to see.
bool SameText(const CZELString& a, const CZELString& b)
{
    if (a.GetLength() != b.GetLength()) return false;
    return a.GetLength() == 0 || std::wmemcmp(a.GetBuffer(), b.GetBuffer(), size_t(a.GetLength())) == 0;
}

class MessageWindowSettingsPage : public SkinnedPage {
public:
    MessageWindowSettingsPage(int index, MessageWindowSettings& settings, MessageWindowSettingsObserver* observer,
                              int templateId, int title)
        : index(index), settings(settings), observer(observer), templateId(templateId), title(title)
    {
    }

    CZELString GetTitle() override { return GuiText(title); }
    CZELArray<int> GetIcons() override { return CZELArray<int>(); }
    ZELTabDlg::PanResource GetResource() override { return {PreferencesModule(), templateId}; }

protected:
    int DoDataExchange(int save) override
    {
        if (!save) {
            Load();
            return 1;
        }
        Store();
        if (changed && observer) observer->OnSettingsPageChanged(index);
        changed = false;
        return 1;
    }

    virtual void Load() = 0;
    virtual void Store() = 0;

    void Label(int id, int text)
    {
        CZELString value = GuiText(text);
        SetDlgItemTextW(hwnd, id, value.GetBuffer() ? value.GetBuffer() : L"");
    }
    bool Checked(int id) { return SendMessageW(GetDlgItem(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Check(int id, int on) { SendMessageW(GetDlgItem(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }
    // A check box read back into a field; notifying fields mark the page changed.
    void StoreCheck(int id, int& field, bool notifies)
    {
        const int value = Checked(id) ? 1 : 0;
        if (notifies && value != field) changed = true;
        field = value;
    }
    void SetNumber(int edit, int upDown, int low, int high, int value)
    {
        SendMessageW(GetDlgItem(upDown), UDM_SETRANGE32, WPARAM(low), LPARAM(high));
        SetDlgItemInt(hwnd, edit, UINT(std::min(std::max(value, low), high)), TRUE);
    }
    int Number(int edit, int low, int high, int fallback)
    {
        BOOL ok = FALSE;
        const int value = int(GetDlgItemInt(hwnd, edit, &ok, TRUE));
        return ok ? std::min(std::max(value, low), high) : fallback;
    }
    // The font dialog on a copy; an OK that changed any byte takes effect at once.
    void ChangeFont(LOGFONTW& field)
    {
        LOGFONTW copy = field;
        const auto run = PreferencesDialogs().font;
        if (!run || !run(hwnd, copy)) return;
        if (std::memcmp(&copy, &field, sizeof copy) == 0) return;
        field = copy;
        changed = true;
    }

    int index;
    MessageWindowSettings& settings;
    MessageWindowSettingsObserver* observer;
    bool changed = false;

private:
    int templateId, title;
};

class FormattingPage : public MessageWindowSettingsPage {
public:
    FormattingPage(MessageWindowSettings& s, MessageWindowSettingsObserver* o)
        : MessageWindowSettingsPage(MWFormattingPageIndex, s, o, 147, 54)
    {
    }

protected:
    void Load() override
    {
        Label(1076, 143);
        Label(1106, 144);
        Label(1107, 145);
        Label(1108, 146);
        Label(1019, 147);
        Label(1023, 148);
        Label(1020, 149);
        Label(1161, 150);
        Check(1014, settings.showNames);
        Check(1015, settings.showTime);
        Check(1053, settings.messageFromNewLine);
        SendMessageW(GetDlgItem(1162), EM_SETLIMITTEXT, 255, 0);
        SetDlgItemTextW(hwnd, 1162, settings.yourName.GetBuffer() ? settings.yourName.GetBuffer() : L"");
    }
    void Store() override
    {
        StoreCheck(1014, settings.showNames, true);
        StoreCheck(1015, settings.showTime, true);
        StoreCheck(1053, settings.messageFromNewLine, true);
        CZELString name;
        GetWindowString(GetDlgItem(1162), name);
        if (!SameText(name, settings.yourName)) {
            settings.yourName = name;
            changed = true;
        }
    }
    void OnCommand(WORD notifyCode, WORD id, HWND control) override
    {
        if (notifyCode == BN_CLICKED && id == 1019) ChangeFont(settings.headLogFont);
        else if (notifyCode == BN_CLICKED && id == 1023) ChangeFont(settings.subheadLogFont);
        else if (notifyCode == BN_CLICKED && id == 1020) ChangeFont(settings.textLogFont);
        else MessageWindowSettingsPage::OnCommand(notifyCode, id, control);
    }
};

class EditorPage : public MessageWindowSettingsPage {
public:
    EditorPage(MessageWindowSettings& s, MessageWindowSettingsObserver* o)
        : MessageWindowSettingsPage(MWEditorPageIndex, s, o, 156, 140)
    {
    }

protected:
    void Load() override
    {
        Label(1130, 151);
        Label(1132, 158);
        Label(1135, 152);
        Label(1137, 153);
        Label(1133, 149);
        SetNumber(1128, 1129, MessageWindowSettings::kMinLines, MessageWindowSettings::kMaxLines, settings.maxLines);
        Check(1131, settings.showSendButton);
        Check(1134, settings.sendOnEnter);
        Check(1136, settings.typingNotify);
    }
    void Store() override
    {
        const int lines =
            Number(1128, MessageWindowSettings::kMinLines, MessageWindowSettings::kMaxLines, settings.maxLines);
        if (lines != settings.maxLines) changed = true;
        settings.maxLines = lines;
        StoreCheck(1131, settings.showSendButton, true);
        StoreCheck(1134, settings.sendOnEnter, false);
        StoreCheck(1136, settings.typingNotify, false);
    }
    void OnCommand(WORD notifyCode, WORD id, HWND control) override
    {
        if (notifyCode == BN_CLICKED && id == 1133) ChangeFont(settings.editLogFont);
        else MessageWindowSettingsPage::OnCommand(notifyCode, id, control);
    }
};

class SmiliesPage : public MessageWindowSettingsPage {
public:
    SmiliesPage(MessageWindowSettings& s, MessageWindowSettingsObserver* o)
        : MessageWindowSettingsPage(MWSmiliesPageIndex, s, o, 157, 128)
    {
    }

protected:
    void Load() override
    {
        Label(1072, 154);
        Label(1168, 155);
        Label(1169, 156);
        Label(1135, 157);
        Label(1137, 158);
        Label(1139, 159);
        SetNumber(1045, 1046, 0, MessageWindowSettings::kMaxSmilies, settings.smiliesPerMessage);
        Check(1167, settings.compactSmileyDialog);
        Check(1134, settings.showBar);
        Check(1136, settings.barSendButton);
        Check(1138, settings.barSmileyButton);
        EnableButtons(settings.showBar != 0);
    }
    void Store() override
    {
        const int count = Number(1045, 0, MessageWindowSettings::kMaxSmilies, settings.smiliesPerMessage);
        if (count != settings.smiliesPerMessage) changed = true;
        settings.smiliesPerMessage = count;
        StoreCheck(1167, settings.compactSmileyDialog, false);
        StoreCheck(1134, settings.showBar, true);
        StoreCheck(1136, settings.barSendButton, true);
        StoreCheck(1138, settings.barSmileyButton, true);
    }
    void OnCommand(WORD notifyCode, WORD id, HWND control) override
    {
        if (notifyCode == BN_CLICKED && id == 1134) EnableButtons(Checked(1134));
        else MessageWindowSettingsPage::OnCommand(notifyCode, id, control);
    }

private:
    void EnableButtons(bool on)
    {
        for (int id = 1136; id <= 1139; ++id) EnableWindow(GetDlgItem(id), on ? TRUE : FALSE);
    }
};

class RepliesPage : public MessageWindowSettingsPage {
public:
    RepliesPage(MessageWindowSettings& s, MessageWindowSettingsObserver* o)
        : MessageWindowSettingsPage(MWRepliesPageIndex, s, o, 161, 141)
    {
    }

protected:
    void Load() override
    {
        Label(1154, 161);
        Label(1156, 162);
        Label(1152, 160);
        Check(1153, settings.sendRepliesAtOnce);
        Check(1155, settings.repliesInContextMenu);
        if (settings.replies.GetCount() == 0) return;
        std::wstring text;
        for (int i = 0; i < settings.replies.GetCount(); ++i) {
            if (i > 0) text += L"\r\n";
            if (settings.replies[i].GetBuffer()) text += settings.replies[i].GetBuffer();
        }
        SetDlgItemTextW(hwnd, 1056, text.c_str());
    }
    void Store() override
    {
        StoreCheck(1153, settings.sendRepliesAtOnce, false);
        StoreCheck(1155, settings.repliesInContextMenu, false);
        CZELString text;
        GetWindowString(GetDlgItem(1056), text);
        const wchar_t* all = text.GetBuffer() ? text.GetBuffer() : L"";
        const int length = text.GetLength();
        // One reply a line; blank lines are dropped.
        settings.replies = CZELArray<CZELString>();
        int start = 0;
        for (int i = 0; i <= length; ++i) {
            if (i < length && all[i] != L'\n') continue;
            int end = i;
            if (end > start && all[end - 1] == L'\r') --end;
            if (end > start) settings.replies.Add(CZELString(all + start, end - start));
            start = i + 1;
        }
    }
};

class ControlsPage : public MessageWindowSettingsPage {
public:
    ControlsPage(MessageWindowSettings& s, MessageWindowSettingsObserver* o)
        : MessageWindowSettingsPage(MWControlsPageIndex, s, o, 162, 142)
    {
    }

protected:
    void Load() override
    {
        Label(1159, 166);
        Label(1151, 170);
        Label(1144, 167);
        Label(1148, 168);
        Label(1150, 169);
        Label(1160, 171);
        Label(1140, 172);
        Label(1141, 173);
        Check(1145, settings.volumeForScroll);
        Check(1147, settings.caretLeftRight);
        Check(1149, settings.caretUpDown);
        FillKeys(1032, settings.leftSoftKey);
        FillKeys(1033, settings.rightSoftKey);
    }
    void Store() override
    {
        StoreCheck(1145, settings.volumeForScroll, false);
        StoreCheck(1147, settings.caretLeftRight, false);
        StoreCheck(1149, settings.caretUpDown, false);
        StoreKey(1032, settings.leftSoftKey);
        StoreKey(1033, settings.rightSoftKey);
    }

private:
    void FillKeys(int id, int value)
    {
        static const int texts[] = {127, 128, 246, 251, 137, 248};
        HWND combo = GetDlgItem(id);
        while (SendMessageW(combo, CB_GETCOUNT, 0, 0) > 0) SendMessageW(combo, CB_DELETESTRING, 0, 0);
        for (int text : texts) {
            CZELString caption = GuiText(text);
            SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(caption.GetBuffer() ? caption.GetBuffer() : L""));
        }
        SendMessageW(combo, CB_SETCURSEL, WPARAM(value), 0);
    }
    void StoreKey(int id, int& field)
    {
        const int value = int(SendMessageW(GetDlgItem(id), CB_GETCURSEL, 0, 0));
        if (value < SoftKeySend || value > SoftKeyClose) return;
        if (value != field) changed = true;
        field = value;
    }
};

}  // namespace

MessageWindowSettingsDialog::MessageWindowSettingsDialog(MessageWindowSettings& settings,
                                                         MessageWindowSettingsObserver* observer, int startPage)
    : settings(settings), observer(observer), startPage(startPage)
{
}

void MessageWindowSettingsDialog::BuildPages(SettingsPageList& list)
{
    list.pages.Add(new FormattingPage(settings, observer));
    list.pages.Add(new EditorPage(settings, observer));
    list.pages.Add(new SmiliesPage(settings, observer));
    list.pages.Add(new RepliesPage(settings, observer));
    list.pages.Add(new ControlsPage(settings, observer));
    list.firstPage = startPage >= 0 && startPage < MWPageCount ? startPage : 0;
}

void ShowMessageWindowSettingsDialog(HWND parent, MessageWindowSettings& settings,
                                     MessageWindowSettingsObserver* observer, int page)
{
    MessageWindowSettingsDialog dialog(settings, observer, page);
    if (runner)
        runner(runnerContext, dialog, parent);
    else
        DoModalDialog(&dialog, parent);
}

void SetMessageWindowSettingsRunner(MessageWindowSettingsRunner newRunner, void* context)
{
    runner = newRunner;
    runnerContext = context;
}
