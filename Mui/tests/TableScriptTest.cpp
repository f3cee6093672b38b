// The build's table generator, run on small tables as the build runs it: a good table becomes an
// array of the texts' code page 1251 bytes; a bad one stops the build with a message that names the
// table's line, and leaves no array behind for the compiler to take.
#include "ZELCommon/tests/UnixHost.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct TableRun {
    std::string folder;
    bool started = false;
    bool finished = false;
    int status = -1;
    std::string messages;
    std::string array;      // the generated file, empty when there is none
    bool arrayLeft = false;
    std::string failure;    // why the run could not be made
};

// Writes the table in a run folder of its own (with a stale array beside it, as an earlier build
// leaves one) and starts the generator on it; Finish waits for its status. Runs may overlap.
TableRun Start(const std::string& name, const std::string& table)
{
    TableRun run;
    std::string base = MUI_TEST_RUN_DIR;
    CreateDirectoryW(TestSupport::DosPath(base).c_str(), nullptr);
    run.folder = base + "/" + name + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryW(TestSupport::DosPath(run.folder).c_str(), nullptr);
    DeleteFileW(TestSupport::DosPath(run.folder + "/status").c_str());
    if (!TestSupport::WriteTextFile(run.folder + "/table.txt", table) ||
        !TestSupport::WriteTextFile(run.folder + "/array.inc", "stale")) {
        run.failure = "cannot write in " + run.folder;
        return run;
    }
    run.started = TestSupport::StartUnixScript(MUI_TABLE_SCRIPT, {MUI_PYTHON, run.folder}, run.failure);
    return run;
}

void Finish(TableRun& run)
{
    if (!run.started) return;
    const std::string status = run.folder + "/status";
    for (int i = 0; i < 3000 && !TestSupport::FileExists(status); ++i) Sleep(20);  // 60 s
    if (!TestSupport::FileExists(status)) {
        run.failure = "no status from the generator within 60 s";
        return;
    }
    run.finished = true;
    run.status = std::atoi(TestSupport::ReadTextFile(status).c_str());
    run.messages = TestSupport::ReadTextFile(run.folder + "/messages");
    run.arrayLeft = TestSupport::FileExists(run.folder + "/array.inc");
    if (run.arrayLeft) run.array = TestSupport::ReadTextFile(run.folder + "/array.inc");
}

TableRun Generate(const std::string& name, const std::string& table)
{
    TableRun run = Start(name, table);
    Finish(run);
    return run;
}

// The bytes of each string literal in the generated array, read as a C++ compiler reads them; any
// escape other than the generator's own (three-digit octal, \" \\ \?) fails the test.
std::vector<std::string> Literals(const std::string& array)
{
    std::vector<std::string> texts;
    size_t at = array.find("kTexts");
    while ((at = array.find('"', at)) != std::string::npos) {
        std::string bytes;
        for (++at; at < array.size() && array[at] != '"'; ++at) {
            if (array[at] != '\\') {
                bytes += array[at];
                continue;
            }
            char next = at + 1 < array.size() ? array[at + 1] : 0;
            if (next >= '0' && next <= '7') {
                EXPECT_LE(at + 3, array.size());
                bytes += char(std::stoi(array.substr(at + 1, 3), nullptr, 8));
                at += 3;
            } else {
                EXPECT_TRUE(next == '"' || next == '\\' || next == '?') << "escape \\" << next;
                bytes += next;
                ++at;
            }
        }
        texts.push_back(bytes);
        ++at;
    }
    return texts;
}

}  // namespace

TEST(LanguageTables, AGoodTableBecomesTheTextsInCodePage1251)
{
    // Comments and empty lines between texts; blanks at both ends kept; every escape; quotes and
    // question marks that C would read otherwise; letters from both ends of the code page.
    TableRun run = Generate("good",
                       "# A comment, then the texts.\n"
                       "0\tНе в сети\n"
                       "\n"
                       "# Another.\n"
                       "1\t Total: \\r\\n\\t\\\\ \n"
                       "2\tЁё «Занят»? \"a\" яА\n"
                       "3\t%d\n");
    ASSERT_TRUE(run.finished) << run.failure;
    EXPECT_EQ(run.status, 0) << run.messages;
    EXPECT_EQ(run.messages, "");
    for (char c : run.array) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7f)) << "not ASCII: " << int(c);
    EXPECT_EQ(Literals(run.array), (std::vector<std::string>{
                                       "\xcd\xe5 \xe2 \xf1\xe5\xf2\xe8",
                                       " Total: \r\n\t\\ ",
                                       "\xa8\xb8 \xab\xc7\xe0\xed\xff\xf2\xbb? \"a\" \xff\xc0",
                                       "%d",
                                   }));
    // A table that ends without a line end loses nothing either.
    TableRun unterminated = Generate("unterminated", "0\ta \n1\tb ");
    ASSERT_TRUE(unterminated.finished) << unterminated.failure;
    EXPECT_EQ(unterminated.status, 0) << unterminated.messages;
    EXPECT_EQ(Literals(unterminated.array), (std::vector<std::string>{"a ", "b "}));
}

TEST(LanguageTables, ABadTableIsRefusedNamingTheLine)
{
    struct Case {
        const char* name;
        const char* table;
        const char* place;  // file and line the message names
        const char* says;   // and what it says is wrong there
    };
    const Case cases[] = {
        {"check-mark", "0\tok\n# c\n1\tГотово \xe2\x9c\x93\n", "table.txt:3:10:", "U+2713"},
        {"cjk", "0\t\xe4\xb8\xad\xe6\x96\x87\n", "table.txt:1:3:", "U+4E2D"},
        {"emoji", "0\ta\n1\t\xf0\x9f\x98\x80\n", "table.txt:2:3:", "U+1F600"},
        {"gap", "0\ta\n1\tb\n3\td\n", "table.txt:3:", "2 missing"},
        {"not-from-zero", "1\ta\n", "table.txt:1:", "0 missing"},
        {"repeat", "0\ta\n1\tb\n1\tc\n", "table.txt:3:", "text 1 again (first on line 2)"},
        {"back-to-start", "0\ta\n1\tb\n0\tc\n", "table.txt:3:", "text 0 again"},
        {"unknown-escape", "0\ta\n1\tline\\x\n", "table.txt:2:7:", "unknown escape '\\x'"},
        {"lone-backslash", "0\ta\\\n", "table.txt:1:4:", "lone '\\'"},
        {"raw-cr", "0\ta\r\n", "table.txt:1:4:", "U+000D"},
        {"raw-tab", "0\ta\tb\n", "table.txt:1:4:", "U+0009"},
        {"no-tab", "0\ta\n1 b\n", "table.txt:2:", "a text's number, a tab"},
        {"no-number", "0\ta\n\tb\n", "table.txt:2:", "a text's number, a tab"},
        {"not-utf8", "0\ta\n1\t\xcd\xe5\n", "table.txt:2:", "not UTF-8"},
        {"empty", "# nothing but a comment\n", "table.txt:", "no texts"},
    };
    std::vector<TableRun> runs;
    for (const Case& c : cases) runs.push_back(Start(c.name, c.table));
    for (size_t i = 0; i < runs.size(); ++i) {
        const Case& c = cases[i];
        TableRun& run = runs[i];
        SCOPED_TRACE(c.name);
        Finish(run);
        ASSERT_TRUE(run.finished) << run.failure;
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.messages.find(c.place), std::string::npos) << run.messages;
        EXPECT_NE(run.messages.find(c.says), std::string::npos) << run.messages;
        EXPECT_FALSE(run.arrayLeft) << run.array;
    }
}
