// The alerts editor and the entry dialog: vibration masks as 0/1 texts, the enabling rules, OK
// against Cancel, and "Default" from the named pack.
#include "Zel/prefs/AlertsEditor.h"

#include "Zel/prefs/PreferencesPage.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

using TestSupport::Scripted;

namespace {

template <typename Dialog> class Scripting : public Scripted<Dialog> {
public:
    using Scripted<Dialog>::Scripted;
    void OnInitDialog() override
    {
        Scripted<Dialog>::OnInitDialog();
        this->StartScript();
    }
    HWND Item(int id) const { return this->GetDlgItem(id); }
};

std::wstring Text(HWND window)
{
    wchar_t text[64] = L"";
    GetWindowTextW(window, text, 64);
    return text;
}

}  // namespace

TEST(AlertEditors, EntryDialogEditsOnOk)
{
    ZEL_REQUIRE_DISPLAY();
    HWND host = TestSupport::CreateHostWindow(240, 320);
    TestSupport::WindowScope scope(host);
    AlertEntry entry;
    entry.on = true;
    entry.soundOn = false;
    entry.vibra = 5;
    {
        Scripting<AlertEntryDialog> dialog(entry);
        dialog.steps = {[&] {
            EXPECT_EQ(Text(dialog.Item(1185)), L"101");
            EXPECT_TRUE(IsWindowEnabled(dialog.Item(1180)));
            EXPECT_FALSE(IsWindowEnabled(dialog.Item(1019)));
            SendMessageW(dialog.Item(1180), BM_CLICK, 0, 0);
            EXPECT_TRUE(IsWindowEnabled(dialog.Item(1019)));
            SetWindowTextW(dialog.Item(1185), L"0010");
            dialog.OnSoftKey(AlertEntryDialog::SoftKeyRight);
        }};
        EXPECT_EQ(dialog.DoModal(AlertEntryDialog::TemplateId, PreferencesModule(), host), IDCANCEL);
        EXPECT_EQ(entry.vibra, 5u);
        EXPECT_FALSE(entry.soundOn);
    }
    Scripting<AlertEntryDialog> dialog(entry);
    dialog.steps = {[&] {
        SendMessageW(dialog.Item(1180), BM_CLICK, 0, 0);
        SetWindowTextW(dialog.Item(1185), L"0010");
        SendMessageW(dialog.Item(1178), BM_CLICK, 0, 0);
        EXPECT_FALSE(IsWindowEnabled(dialog.Item(1180)));
        EXPECT_FALSE(IsWindowEnabled(dialog.Item(1185)));
        dialog.OnSoftKey(AlertEntryDialog::SoftKeyLeft);
    }};
    EXPECT_EQ(dialog.DoModal(AlertEntryDialog::TemplateId, PreferencesModule(), host), IDOK);
    EXPECT_EQ(entry.vibra, 4u);
    EXPECT_TRUE(entry.soundOn);
    EXPECT_FALSE(entry.on);
}

TEST(AlertEditors, EditorListsTheEventsAndDefaultReloadsThePack)
{
    ZEL_REQUIRE_DISPLAY();
    HWND host = TestSupport::CreateHostWindow(240, 320);
    TestSupport::WindowScope scope(host);
    AlertEntryArray entries;
    for (int i = 0; i < 5; ++i) {
        AlertEntry entry;
        entry.vibra = 0xFF;
        entries.Add(entry);
    }
    AlertEntryArray pack;
    AlertPack::LoadPack(CZELString(L"ZEL PDA alerts"), pack);
    Scripting<AlertsEditor> editor(entries, CZELString(L"ZEL PDA alerts"));
    editor.steps = {[&] {
        HWND list = editor.Item(1177);
        EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 5);
        wchar_t first[64] = L"";
        LVITEMW item = {};
        item.pszText = first;
        item.cchTextMax = 64;
        SendMessageW(list, LVM_GETITEMTEXTW, 0, LPARAM(&item));
        EXPECT_STREQ(first, L"Incoming message");
        editor.RunMenuCommand(AlertsEditor::MenuDefault);
        ASSERT_EQ(editor.Entries().GetCount(), pack.GetCount());
        for (int i = 0; i < pack.GetCount(); ++i) EXPECT_EQ(editor.Entries()[i].vibra, pack[i].vibra);
        editor.RunMenuCommand(AlertsEditor::MenuCancel);
    }};
    EXPECT_EQ(editor.DoModal(AlertsEditor::TemplateId, PreferencesModule(), host), IDCANCEL);
    EXPECT_EQ(entries[0].vibra, 0xFFu);
}
