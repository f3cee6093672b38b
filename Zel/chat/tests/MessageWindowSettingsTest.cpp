#include "Zel/chat/settings/MessageWindowSettings.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/settings/SettingsStore.h"
#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct MessageWindowSettingsTest : ::testing::Test {
    TestSupport::TempFolder temp{L"ZelMwSettings"};
    CZELString Path() const { return temp.Path() + L"\\settings.zel"; }
};

TEST_F(MessageWindowSettingsTest, FirstStartGivesTheDefaults)
{
    CSettingsStore store(nullptr, Path());
    MessageWindowSettings s(&store);
    EXPECT_EQ(1, s.showNames);
    EXPECT_EQ(0, s.showTime);
    EXPECT_EQ(3, s.maxLines);
    EXPECT_EQ(1, s.showBar);
    EXPECT_EQ(1, s.barSmileyButton);
    EXPECT_EQ(0, s.barSendButton);
    EXPECT_EQ(10, s.smiliesPerMessage);
    EXPECT_EQ(SoftKeyMinimize, s.leftSoftKey);
    EXPECT_EQ(SoftKeyMenu, s.rightSoftKey);
    EXPECT_TRUE(s.yourName == L"I");
    ASSERT_EQ(3, s.replies.GetCount());
    EXPECT_TRUE(s.replies[1] == L"How are you?");
    EXPECT_EQ(700, s.headLogFont.lfWeight);
    EXPECT_EQ(14, s.textLogFont.lfHeight);
    EXPECT_STREQ(L"Tahoma", s.editLogFont.lfFaceName);

    MessageWindowSettings none(nullptr);  // no store: defaults, and nothing to write
    EXPECT_EQ(3, none.maxLines);
}

TEST_F(MessageWindowSettingsTest, ValuesSurviveASaveAndLoad)
{
    {
        CSettingsStore store(nullptr, Path());
        MessageWindowSettings s(&store);
        s.showTime = 1;
        s.yourName = L"Me myself";
        s.maxLines = 5;
        s.smiliesPerMessage = 42;
        s.rightSoftKey = SoftKeyClose;
        s.textLogFont.lfHeight = -20;
        wcscpy(s.textLogFont.lfFaceName, L"Courier");
        s.replies = CZELArray<CZELString>();
        s.replies.Add(CZELString(L"OK"));
        s.replies.Add(CZELString(L"Later, friend"));
    }  // stored with the record, written with the store
    CSettingsStore store(nullptr, Path());
    MessageWindowSettings s(&store);
    EXPECT_EQ(1, s.showTime);
    EXPECT_TRUE(s.yourName == L"Me myself");
    EXPECT_EQ(5, s.maxLines);
    EXPECT_EQ(42, s.smiliesPerMessage);
    EXPECT_EQ(SoftKeyClose, s.rightSoftKey);
    EXPECT_EQ(-20, s.textLogFont.lfHeight);
    EXPECT_STREQ(L"Courier", s.textLogFont.lfFaceName);
    ASSERT_EQ(2, s.replies.GetCount());
    EXPECT_TRUE(s.replies[1] == L"Later, friend");
}

TEST_F(MessageWindowSettingsTest, StoredValuesAreBounded)
{
    CSettingsStore store(nullptr, Path());
    struct Case {
        int stored;
        int maxLines;
        int smilies;
    } cases[] = {{0, 1, 0}, {-7, 1, 0}, {6, 5, 6}, {1000, 5, 99}, {3, 3, 3}};
    for (const Case& c : cases) {
        store.SetInt(GUID_GUI, L"MWMaxLine", &c.stored);
        store.SetInt(GUID_GUI, L"MWSmiliesNum", &c.stored);
        MessageWindowSettings loaded(&store);
        EXPECT_EQ(c.maxLines, loaded.maxLines) << c.stored;
        EXPECT_EQ(c.smilies, loaded.smiliesPerMessage) << c.stored;
        loaded.DeleteFonts();
    }
}

TEST_F(MessageWindowSettingsTest, DamagedFontsGiveTheDefaultAndFaceNamesEnd)
{
    CSettingsStore store(nullptr, Path());
    unsigned char shortBlob[40];
    memset(shortBlob, 0x41, sizeof shortBlob);
    int length = sizeof shortBlob;
    store.SetBlob(GUID_GUI, L"MWHeadFont", shortBlob, &length);
    unsigned char longBlob[100];
    memset(longBlob, 0x41, sizeof longBlob);
    length = sizeof longBlob;
    store.SetBlob(GUID_GUI, L"MWHead2Font", longBlob, &length);
    LOGFONTW unterminated;
    memset(&unterminated, 0, sizeof unterminated);
    unterminated.lfHeight = 9;
    for (wchar_t& c : unterminated.lfFaceName) c = L'Z';
    length = sizeof unterminated;
    store.SetBlob(GUID_GUI, L"MWTextFont", &unterminated, &length);
    const wchar_t* garbage = L"\x01";
    store.SetBlob(GUID_GUI, L"MWReplies", garbage, &(length = 2));

    MessageWindowSettings s(&store);
    EXPECT_EQ(12, s.headLogFont.lfHeight);
    EXPECT_EQ(700, s.headLogFont.lfWeight);
    EXPECT_STREQ(L"Tahoma", s.subheadLogFont.lfFaceName);
    EXPECT_EQ(9, s.textLogFont.lfHeight);
    EXPECT_EQ(size_t(LF_FACESIZE - 1), wcslen(s.textLogFont.lfFaceName));
    EXPECT_EQ(3, s.replies.GetCount());  // unreadable replies: the defaults
    s.DeleteFonts();
}

TEST_F(MessageWindowSettingsTest, RepliesFollowTheLanguage)
{
    MessageWindowSettings s(nullptr, [](int number) { return CZELString(number == 163 ? L"Privet" : L""); });
    ASSERT_EQ(3, s.replies.GetCount());
    EXPECT_TRUE(s.replies[0] == L"Privet");
    EXPECT_TRUE(s.replies[2] == L"Bye");  // a text the language lacks stays English
}

}  // namespace
