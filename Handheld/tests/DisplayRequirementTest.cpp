#include "DisplayRequirement.h"

using DisplayTestSupport::ActionFor;
using DisplayTestSupport::IsCIValue;
using DisplayTestSupport::WindowTestAction;

TEST(DisplayRequirement, ReadsTheCIVariable)
{
    struct Case {
        const wchar_t* value;
        bool ci;
    } cases[] = {
        {nullptr, false}, {L"", false},   {L"false", false}, {L"FALSE", false}, {L"0", false},
        {L"true", true},  {L"True", true}, {L"1", true},      {L"yes", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? c.value : L"(unset)");
        EXPECT_EQ(IsCIValue(c.value), c.ci);
    }
}

// A skipped test counts as passed, so under CI a missing display must fail the run.
TEST(DisplayRequirement, FailsWithoutDisplayOnlyUnderCI)
{
    EXPECT_EQ(ActionFor(true, true), WindowTestAction::Run);
    EXPECT_EQ(ActionFor(true, false), WindowTestAction::Run);
    EXPECT_EQ(ActionFor(false, true), WindowTestAction::Fail);
    EXPECT_EQ(ActionFor(false, false), WindowTestAction::Skip);
}
