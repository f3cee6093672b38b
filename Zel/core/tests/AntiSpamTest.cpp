#include "ContactListTestSupport.h"

#include "Zel/core/contactlist/AntiSpam.h"

using namespace ContactListTest;

namespace {

const wchar_t kQuestion[] = L"What is the name of the golden resin?";
const wchar_t kConfirm[] = L"Thanks!";

// One message of the dialogue: what the sender writes, whether it is delivered, and what the
// filter sends back (empty: nothing).
struct Step {
    const wchar_t* text;
    int delivered;
    const wchar_t* reply;
};

}  // namespace

class AntiSpamTest : public ContactListFixture {
protected:
    void SetUp() override
    {
        ContactListFixture::SetUp();
        list->SetAntispamQuestion(CZELString(kQuestion));
        list->SetAntispamAnswer(CZELString(L"Amber"));
        list->SetAntispamConfirm(CZELString(kConfirm));
        CreateAccount(AccountA);
    }

    int Send(int sender, const wchar_t* text)
    {
        MessageRecord message;
        message.contactId = sender;
        message.text = CZELString(text);
        return list->FilterIncomingMessage(sender, message);
    }
};

TEST_F(AntiSpamTest, TheDialogueWithAStranger)
{
    struct Case {
        const char* name;
        bool enabled;
        std::vector<Step> steps;
    } cases[] = {
        {"a right answer lets the next message through",
         true,
         {{L"hi, buy my stuff", 0, kQuestion}, {L"Amber", 0, kConfirm}, {L"so, about my stuff", 1, L""},
          // Only the next one: a sender still not in the list is asked again.
          {L"and more", 0, kQuestion}}},
        {"the answer is compared without regard to letter case",
         true,
         {{L"hello", 0, kQuestion}, {L"aMBER", 0, kConfirm}, {L"hello again", 1, L""}}},
        {"a wrong answer blocks every later message",
         true,
         {{L"hello", 0, kQuestion}, {L"amber!", 0, L""}, {L"Amber", 0, L""}, {L"please", 0, L""}}},
        {"an answer with a space is wrong", true, {{L"hello", 0, kQuestion}, {L"amber ", 0, L""}, {L"x", 0, L""}}},
        {"the first message is never taken for an answer", true, {{L"Amber", 0, kQuestion}, {L"Amber", 0, kConfirm}}},
        {"switched off, everything is delivered",
         false,
         {{L"hello", 1, L""}, {L"Amber", 1, L""}, {L"wrong", 1, L""}, {L"again", 1, L""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        list->SetAntispamEnable(c.enabled);
        // Each case talks with a sender of its own.
        int sender = list->FindOrAddContact(AccountA, Str(L"sender " + std::wstring(c.name, c.name + 8)));
        size_t before = accounts.Sent().size();
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            SCOPED_TRACE("message " + std::to_string(i));
            EXPECT_EQ(Send(sender, step.text), step.delivered);
            std::vector<SentMessage> sent = accounts.Sent();
            if (*step.reply) {
                ASSERT_EQ(sent.size(), before + 1);
                const SentMessage& reply = sent.back();
                EXPECT_EQ(reply.text, step.reply);
                EXPECT_EQ(reply.account, AccountA);
                EXPECT_EQ(reply.contactId, sender);
                EXPECT_EQ(reply.flags, 0);
                // Silent: the question and the thanks show in no chat and no history.
                EXPECT_TRUE(reply.silent);
            } else {
                EXPECT_EQ(sent.size(), before);
            }
            before = sent.size();
        }
    }
}

TEST_F(AntiSpamTest, EachSenderIsQuestionedOnHisOwn)
{
    int first = list->FindOrAddContact(AccountA, CZELString(L"first"));
    int second = list->FindOrAddContact(AccountA, CZELString(L"second"));
    EXPECT_EQ(Send(first, L"hi"), 0);
    EXPECT_EQ(Send(second, L"hi"), 0);
    EXPECT_EQ(Send(first, L"wrong"), 0);
    EXPECT_EQ(Send(second, L"amber"), 0);
    EXPECT_EQ(Send(second, L"now"), 1);
    EXPECT_EQ(Send(first, L"amber"), 0);
    std::vector<SentMessage> sent = accounts.Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].contactId, first);
    EXPECT_EQ(sent[1].contactId, second);
    EXPECT_EQ(sent[2].contactId, second);
    EXPECT_EQ(sent[2].text, kConfirm);
}

TEST_F(AntiSpamTest, TheReplyIsSentWithTheLockLeft)
{
    std::atomic<int> blocked{0};
    CContactListData* probed = list.get();
    accounts.onWait = [&] {
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread probe([probed, done] {
            probed->IsTempContact(1);
            *done = true;
        });
        for (int i = 0; i < 2000 && !*done; ++i) Sleep(1);
        if (*done) {
            probe.join();
        } else {
            ++blocked;
            probe.detach();
        }
    };
    int sender = list->FindOrAddContact(AccountA, CZELString(L"stranger"));
    Send(sender, L"hi");
    Send(sender, L"amber");
    accounts.onWait = nullptr;
    EXPECT_EQ(accounts.Sent().size(), 2u);
    EXPECT_EQ(blocked, 0);
}

TEST_F(AntiSpamTest, SettingsLiveInTheContactListSectionWithTheirDefaults)
{
    // Fresh store: both switches are on when absent, the texts empty.
    Services::CServicesManager bare;
    CSettingsStore fresh(&bare, Str(folder.path + L"other.zel"));
    CContactListData other(bare, &accounts);
    EXPECT_TRUE(other.GetAntispamEnable());
    EXPECT_TRUE(other.GetAntispamMsgsFromNIL());
    EXPECT_EQ(Text(other.GetAntispamQuestion()), L"");
    EXPECT_EQ(Text(other.GetAntispamAnswer()), L"");
    EXPECT_EQ(Text(other.GetAntispamConfirm()), L"");

    other.SetAntispamEnable(false);
    other.SetAntispamMsgsFromNIL(false);
    other.SetAntispamAnswer(CZELString(L"Pine"));
    EXPECT_FALSE(other.GetAntispamEnable());
    EXPECT_FALSE(other.GetAntispamMsgsFromNIL());
    // The interface slot reads the same setting.
    EXPECT_FALSE(static_cast<IContactListData&>(other).GetAntispamMsgsFromNIL());
    char byte = 7;
    EXPECT_EQ(fresh.GetByte(GUID_CONTACT_LIST_DATA, CZELString(L"AntispamEnable"), &byte), 1);
    EXPECT_EQ(byte, 0);
    EXPECT_EQ(fresh.GetByte(GUID_CONTACT_LIST_DATA, CZELString(L"AntispamMsgsFromNIL"), &byte), 1);
    EXPECT_EQ(byte, 0);
    CZELString answer;
    EXPECT_EQ(fresh.GetString(GUID_CONTACT_LIST_DATA, CZELString(L"AntispamAnswer"), answer), 1);
    EXPECT_EQ(Text(answer), L"Pine");
    other.SetAntispamEnable(true);
    EXPECT_TRUE(other.GetAntispamEnable());
}

TEST_F(AntiSpamTest, DefaultsFillOnlyTheEmptyTexts)
{
    struct Case {
        const char* name;
        const wchar_t* question;
        const wchar_t* answer;
        const wchar_t* confirm;
    } cases[] = {
        {"all empty", L"", L"", L""},
        {"a question of the user's own", L"Capital of France?", L"", L""},
        {"all set", L"Q", L"A", L"C"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        list->SetAntispamQuestion(CZELString(c.question));
        list->SetAntispamAnswer(CZELString(c.answer));
        list->SetAntispamConfirm(CZELString(c.confirm));
        ApplyAntispamDefaults(*list);
        EXPECT_EQ(Text(list->GetAntispamQuestion()), *c.question ? c.question : DefaultAntispamQuestion);
        EXPECT_EQ(Text(list->GetAntispamAnswer()), *c.answer ? c.answer : L"Amber");
        EXPECT_EQ(Text(list->GetAntispamConfirm()),
                  *c.confirm ? c.confirm : L"Thank you. Now you can send messages directly to my contact list.");
    }
    // The default question asks for the default answer, in English.
    std::wstring question = DefaultAntispamQuestion;
    EXPECT_NE(question.find(L"English"), std::wstring::npos);
    EXPECT_NE(question.find(L"resin"), std::wstring::npos);
}

TEST_F(AntiSpamTest, TheDefaultDialogueWorksEndToEnd)
{
    list->SetAntispamQuestion(CZELString());
    list->SetAntispamAnswer(CZELString());
    list->SetAntispamConfirm(CZELString());
    ApplyAntispamDefaults(*list);
    int sender = list->FindOrAddContact(AccountA, CZELString(L"stranger"));
    EXPECT_EQ(Send(sender, L"hello"), 0);
    EXPECT_EQ(Send(sender, L"amber"), 0);
    EXPECT_EQ(Send(sender, L"hello again"), 1);
    std::vector<SentMessage> sent = accounts.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].text, DefaultAntispamQuestion);
    EXPECT_EQ(sent[1].text, DefaultAntispamConfirm);
}
