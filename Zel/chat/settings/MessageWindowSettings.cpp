#include "Zel/chat/settings/MessageWindowSettings.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/core/settings/ValueRecordList.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

int Clamp(int value, int low, int high) { return std::min(std::max(value, low), high); }

int Flag(int value) { return value ? 1 : 0; }

const wchar_t* EnglishReply(int number)
{
    switch (number) {
    case 163: return L"Hi";
    case 164: return L"How are you?";
    case 165: return L"Bye";
    }
    return L"";
}

}  // namespace

LOGFONTW MessageWindowSettings::DefaultFont(int height, int weight)
{
    LOGFONTW font;
    memset(&font, 0, sizeof font);
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfCharSet = 1;
    wcscpy(font.lfFaceName, L"Tahoma");
    return font;
}

MessageWindowSettings::MessageWindowSettings(CSettingsStore* store, TextSource texts)
    : headFont(nullptr), subheadFont(nullptr), textFont(nullptr), linkFont(nullptr), editFont(nullptr),
      store(store), texts(texts)
{
    Load();
}

MessageWindowSettings::~MessageWindowSettings()
{
    DeleteFonts();
    Save();
}

void MessageWindowSettings::DeleteFonts()
{
    HFONT* handles[] = {&headFont, &subheadFont, &textFont, &linkFont, &editFont};
    for (HFONT* handle : handles) {
        if (*handle) DeleteObject(*handle);
        *handle = nullptr;
    }
}

CZELString MessageWindowSettings::Text(int number) const
{
    if (texts) {
        CZELString text = texts(number);
        if (!text.IsEmpty()) return text;
    }
    return CZELString(EnglishReply(number));
}

void MessageWindowSettings::ResetReplies()
{
    replies = CZELArray<CZELString>();
    for (int number = 163; number <= 165; ++number) replies.Add(Text(number));
}

void MessageWindowSettings::SetDefaults()
{
    showNames = 1;
    showTime = 0;
    messageFromNewLine = 0;
    yourName = L"I";
    headLogFont = DefaultFont(12, 700);
    subheadLogFont = DefaultFont(12, 400);
    textLogFont = DefaultFont(14, 400);
    maxLines = 3;
    showSendButton = 1;
    sendOnEnter = 1;
    typingNotify = 1;
    editLogFont = textLogFont;
    smiliesPerMessage = 10;
    compactSmileyDialog = 1;
    showBar = 1;
    barSmileyButton = 1;
    barSendButton = 0;
    sendRepliesAtOnce = 0;
    repliesInContextMenu = 1;
    ResetReplies();
    caretLeftRight = 1;
    caretUpDown = 1;
    volumeForScroll = 1;
    leftSoftKey = SoftKeyMinimize;
    rightSoftKey = SoftKeyMenu;
}

void MessageWindowSettings::ReadFont(const wchar_t* key, LOGFONTW& font, const LOGFONTW& fallback)
{
    font = fallback;
    int size = 0;
    // Only a whole record is taken: a short blob would leave the rest of the font undefined.
    if (!store->GetValueSize(GUID_GUI, key, &size) || size != int(sizeof(LOGFONTW))) return;
    LOGFONTW stored;
    unsigned length = sizeof stored;
    if (!store->GetBlob(GUID_GUI, key, &stored, &length) || length != sizeof stored) return;
    stored.lfFaceName[LF_FACESIZE - 1] = 0;
    font = stored;
}

void MessageWindowSettings::ReadReplies()
{
    replies = CZELArray<CZELString>();
    int size = 0;
    if (!store->GetValueSize(GUID_GUI, L"MWReplies", &size) || size <= 0) {
        ResetReplies();
        return;
    }
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    unsigned length = unsigned(size);
    ValueRecordList list;
    if (!store->GetBlob(GUID_GUI, L"MWReplies", bytes.data(), &length) || list.Parse(bytes.data(), length) == 0) {
        ResetReplies();
        return;
    }
    for (int i = 0; i < list.GetCount(); ++i) replies.Add(list.Get(i)->ReadString(false));
}

void MessageWindowSettings::Load()
{
    SetDefaults();
    if (!store) return;
    auto byte = [&](const wchar_t* key, int& field) {
        char value = 0;
        if (store->GetByte(GUID_GUI, key, &value)) field = Flag(value);
    };
    auto number = [&](const wchar_t* key, int& field) {
        int value = 0;
        if (store->GetInt(GUID_GUI, key, &value)) field = value;
    };
    byte(L"MWShowNames", showNames);
    byte(L"MWShowTime", showTime);
    byte(L"MWMsgFromNewl", messageFromNewLine);
    CZELString name;
    if (store->GetString(GUID_GUI, L"MWYourName", name)) yourName = name;
    ReadFont(L"MWHeadFont", headLogFont, DefaultFont(12, 700));
    ReadFont(L"MWHead2Font", subheadLogFont, DefaultFont(12, 400));
    ReadFont(L"MWTextFont", textLogFont, DefaultFont(14, 400));
    number(L"MWMaxLine", maxLines);
    maxLines = Clamp(maxLines, kMinLines, kMaxLines);
    byte(L"MWShowSB", showSendButton);
    byte(L"MWSendOnEnter", sendOnEnter);
    byte(L"MWTypingNotify", typingNotify);
    ReadFont(L"MWEditFont", editLogFont, DefaultFont(14, 400));
    number(L"MWSmiliesNum", smiliesPerMessage);
    smiliesPerMessage = Clamp(smiliesPerMessage, 0, kMaxSmilies);
    byte(L"MWDlgCompactMode", compactSmileyDialog);
    byte(L"MWShowTB", showBar);
    byte(L"MWShowTBSmaily", barSmileyButton);
    byte(L"MWShowTBSend", barSendButton);
    byte(L"MWSendRepliesImmediately", sendRepliesAtOnce);
    byte(L"MWRepliesInContextMenu", repliesInContextMenu);
    ReadReplies();
    byte(L"MWCaretLeftRight", caretLeftRight);
    byte(L"MWCaretUpDown", caretUpDown);
    byte(L"MWVolumeForScroll", volumeForScroll);
    // Soft keys are kept as stored: an unknown action leaves its key doing nothing.
    char key = 0;
    if (store->GetByte(GUID_GUI, L"MWLeftSK", &key)) leftSoftKey = (unsigned char)key;
    if (store->GetByte(GUID_GUI, L"MWRightSK", &key)) rightSoftKey = (unsigned char)key;
}

void MessageWindowSettings::Save()
{
    if (!store) return;
    auto byte = [&](const wchar_t* key, int field) {
        char value = char(field);
        store->SetByte(GUID_GUI, key, &value);
    };
    auto number = [&](const wchar_t* key, int field) { store->SetInt(GUID_GUI, key, &field); };
    auto font = [&](const wchar_t* key, const LOGFONTW& value) {
        int length = int(sizeof value);
        store->SetBlob(GUID_GUI, key, &value, &length);
    };
    byte(L"MWShowNames", showNames);
    byte(L"MWShowTime", showTime);
    byte(L"MWMsgFromNewl", messageFromNewLine);
    store->SetString(GUID_GUI, L"MWYourName", yourName);
    font(L"MWHeadFont", headLogFont);
    font(L"MWHead2Font", subheadLogFont);
    font(L"MWTextFont", textLogFont);
    number(L"MWMaxLine", maxLines);
    byte(L"MWShowSB", showSendButton);
    byte(L"MWSendOnEnter", sendOnEnter);
    byte(L"MWTypingNotify", typingNotify);
    font(L"MWEditFont", editLogFont);
    number(L"MWSmiliesNum", smiliesPerMessage);
    byte(L"MWDlgCompactMode", compactSmileyDialog);
    byte(L"MWShowTB", showBar);
    byte(L"MWShowTBSmaily", barSmileyButton);
    byte(L"MWShowTBSend", barSendButton);
    byte(L"MWSendRepliesImmediately", sendRepliesAtOnce);
    byte(L"MWRepliesInContextMenu", repliesInContextMenu);
    ValueRecordList list;
    for (int i = 0; i < replies.GetCount(); ++i) {
        ValueRecord record((CZELString()));
        record.WriteString(replies[i], false);
        list.Add(std::move(record));
    }
    std::vector<unsigned char> bytes(size_t(list.GetSize()) + 1);
    int length = int(list.Serialise(bytes.data(), unsigned(bytes.size())));
    store->SetBlob(GUID_GUI, L"MWReplies", bytes.data(), &length);
    byte(L"MWCaretLeftRight", caretLeftRight);
    byte(L"MWCaretUpDown", caretUpDown);
    byte(L"MWVolumeForScroll", volumeForScroll);
    byte(L"MWLeftSK", leftSoftKey);
    byte(L"MWRightSK", rightSoftKey);
}
