#include "ZELCommon/ZELFile.h"
#include "ZELCommon/ZELFileSystem.h"

#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using TestSupport::TempFolder;

// A fresh folder for each test, removed afterwards.
class FileTest : public ::testing::Test {
protected:
    std::wstring PathOf(const wchar_t* name) const { return folder.path + name; }

    void MakeFile(const wchar_t* name, const std::string& content) const
    {
        ASSERT_TRUE(TestSupport::WriteWholeFile(PathOf(name), content));
    }

    // The whole content, or "<missing>".
    std::string ContentOf(const wchar_t* name) const
    {
        std::string content;
        return TestSupport::ReadWholeFile(PathOf(name), content) ? content : "<missing>";
    }

    bool Exists(const wchar_t* name) const { return TestSupport::FileExists(PathOf(name)); }

    CZELString Str(const wchar_t* name) const { return CZELString(PathOf(name).c_str()); }

    TempFolder folder{L"ZELFileTest-"};
};

const unsigned char* Bytes(const char* text)
{
    return reinterpret_cast<const unsigned char*>(text);
}

std::string ReadAll(CZELFile& file, int chunk = 3)
{
    std::string content;
    unsigned char buffer[64];
    for (int got; (got = file.Read(buffer, chunk)) > 0;) content.append(reinterpret_cast<char*>(buffer), size_t(got));
    return content;
}

}  // namespace

using ZELFile = FileTest;
using ZELFileSystem = FileTest;

// ---- CZELFile ----

TEST_F(ZELFile, ConstructingTouchesNoFile)
{
    {
        CZELFile file(Str(L"new.bin"), CZELFile::ModeWrite);
    }
    EXPECT_FALSE(Exists(L"new.bin"));
}

TEST_F(ZELFile, CreateWritesANewFileThatOpenReadsBack)
{
    {
        CZELFile file(Str(L"a.bin"), CZELFile::ModeWrite);
        ASSERT_TRUE(file.Create());
        EXPECT_TRUE(file.Write(Bytes("hello, "), 7));
        EXPECT_TRUE(file.Write(Bytes("world"), 5));
        EXPECT_EQ(12u, file.Size());
    }  // the destructor closes
    CZELFile file(Str(L"a.bin"), CZELFile::ModeRead);
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(12u, file.Size());
    EXPECT_EQ("hello, world", ReadAll(file));
}

TEST_F(ZELFile, CreateOnAnExistingFileFailsAndLeavesIt)
{
    MakeFile(L"a.bin", "keep me");
    CZELFile file(Str(L"a.bin"), CZELFile::ModeWrite);
    EXPECT_FALSE(file.Create());
    EXPECT_FALSE(file.Write(Bytes("x"), 1));
    file.Close();
    EXPECT_EQ("keep me", ContentOf(L"a.bin"));
}

TEST_F(ZELFile, ReplaceEmptiesAnExistingFileOrCreatesOne)
{
    MakeFile(L"a.bin", "old content");
    {
        CZELFile file(Str(L"a.bin"), CZELFile::ModeWrite);
        ASSERT_TRUE(file.Replace());
        EXPECT_EQ(0u, file.Size());
    }
    EXPECT_EQ("", ContentOf(L"a.bin"));
    {
        CZELFile file(Str(L"b.bin"), CZELFile::ModeWrite);
        ASSERT_TRUE(file.Replace());
        EXPECT_TRUE(file.Write(Bytes("new"), 3));
    }
    EXPECT_EQ("new", ContentOf(L"b.bin"));
}

TEST_F(ZELFile, OpenNeedsAnExistingFile)
{
    CZELFile file(Str(L"missing.bin"), CZELFile::ModeWrite);
    EXPECT_FALSE(file.Open());
    EXPECT_FALSE(Exists(L"missing.bin"));
}

TEST_F(ZELFile, AFailedOpenLeavesNoFileToUse)
{
    // After the failure the object holds no file: nothing reads, writes, seeks or closes a handle.
    CZELFile file(Str(L"missing.bin"), CZELFile::ModeRead);
    ASSERT_FALSE(file.Open());
    unsigned char buffer[4];
    EXPECT_EQ(0, file.Read(buffer, 4));
    EXPECT_FALSE(file.Write(Bytes("x"), 1));
    EXPECT_FALSE(file.Write(Bytes(""), 0));
    EXPECT_FALSE(file.Seek(CZELFile::SeekBegin, 0));
    EXPECT_EQ(0u, file.Size());
    file.Close();
    file.Close();
}

TEST_F(ZELFile, AnEmptyPathOpensNothing)
{
    CZELFile file(CZELString(), CZELFile::ModeWrite);
    EXPECT_FALSE(file.Open());
    EXPECT_FALSE(file.Create());
    EXPECT_FALSE(file.Replace());
    EXPECT_FALSE(file.Write(Bytes("x"), 1));
}

TEST_F(ZELFile, WriteOfNothingOnAnOpenFileSucceeds)
{
    CZELFile file(Str(L"a.bin"), CZELFile::ModeWrite);
    ASSERT_TRUE(file.Create());
    EXPECT_TRUE(file.Write(Bytes(""), 0));
    EXPECT_TRUE(file.Write(nullptr, 0));
    EXPECT_EQ(0u, file.Size());
}

TEST_F(ZELFile, BadArgumentsAreRefused)
{
    MakeFile(L"a.bin", "abc");
    CZELFile reader(Str(L"a.bin"), CZELFile::ModeRead);
    ASSERT_TRUE(reader.Open());
    unsigned char buffer[4] = {0, 0, 0, 0};
    EXPECT_EQ(0, reader.Read(nullptr, 3));
    EXPECT_EQ(0, reader.Read(buffer, -1));
    EXPECT_EQ(0, reader.Read(buffer, 0));
    EXPECT_EQ(3, reader.Read(buffer, 4));  // nothing was consumed before
    reader.Close();

    CZELFile writer(Str(L"b.bin"), CZELFile::ModeWrite);
    ASSERT_TRUE(writer.Create());
    EXPECT_FALSE(writer.Write(nullptr, 3));
    EXPECT_FALSE(writer.Write(Bytes("abc"), -1));
    EXPECT_EQ(0u, writer.Size());
}

TEST_F(ZELFile, ReadStopsAtTheEnd)
{
    MakeFile(L"a.bin", "0123456789");
    CZELFile file(Str(L"a.bin"), CZELFile::ModeRead);
    ASSERT_TRUE(file.Open());
    unsigned char buffer[32];
    EXPECT_EQ(4, file.Read(buffer, 4));
    EXPECT_EQ(6, file.Read(buffer, 32));  // only what remains
    EXPECT_EQ(0, memcmp(buffer, "456789", 6));
    EXPECT_EQ(0, file.Read(buffer, 32));
    EXPECT_EQ(0, file.Read(buffer, 1));
}

TEST_F(ZELFile, ModeDecidesTheAccess)
{
    MakeFile(L"a.bin", "abc");
    unsigned char buffer[4];
    {
        CZELFile reader(Str(L"a.bin"), CZELFile::ModeRead);
        ASSERT_TRUE(reader.Open());
        EXPECT_FALSE(reader.Write(Bytes("x"), 1));
    }
    {
        CZELFile writer(Str(L"a.bin"), CZELFile::ModeWrite);
        ASSERT_TRUE(writer.Open());
        EXPECT_EQ(0, writer.Read(buffer, 3));
    }
    {
        // Any mode but write reads.
        CZELFile other(Str(L"a.bin"), CZELFile::Mode(7));
        ASSERT_TRUE(other.Open());
        EXPECT_EQ(3, other.Read(buffer, 3));
        EXPECT_FALSE(other.Write(Bytes("x"), 1));
    }
    EXPECT_EQ("abc", ContentOf(L"a.bin"));
}

TEST_F(ZELFile, OpenForWritingKeepsTheContentAndWritesInPlace)
{
    MakeFile(L"a.bin", "abcdef");
    {
        CZELFile file(Str(L"a.bin"), CZELFile::ModeWrite);
        ASSERT_TRUE(file.Open());
        EXPECT_EQ(6u, file.Size());
        ASSERT_TRUE(file.Seek(CZELFile::SeekEnd, 0));
        EXPECT_TRUE(file.Write(Bytes("gh"), 2));
        ASSERT_TRUE(file.Seek(CZELFile::SeekBegin, 1));
        EXPECT_TRUE(file.Write(Bytes("B"), 1));
        EXPECT_EQ(8u, file.Size());
    }
    EXPECT_EQ("aBcdefgh", ContentOf(L"a.bin"));
}

TEST_F(ZELFile, SeekMovesFromEachOrigin)
{
    MakeFile(L"a.bin", "0123456789");
    struct Case {
        const char* name;
        CZELFile::SeekType type;
        int offset;
        bool ok;
        const char* next;  // what reading two bytes gives afterwards
    } cases[] = {
        {"begin", CZELFile::SeekBegin, 3, true, "34"},
        {"begin zero", CZELFile::SeekBegin, 0, true, "01"},
        {"current forward", CZELFile::SeekCurrent, 2, true, "45"},
        {"current back", CZELFile::SeekCurrent, -2, true, "01"},
        {"current zero", CZELFile::SeekCurrent, 0, true, "23"},
        {"end back", CZELFile::SeekEnd, -3, true, "78"},
        {"end", CZELFile::SeekEnd, 0, true, ""},
        {"past the end", CZELFile::SeekEnd, 5, true, ""},
        {"before the start", CZELFile::SeekBegin, -1, false, "23"},
        {"before the start from here", CZELFile::SeekCurrent, -3, false, "23"},
        {"other types count from the start", CZELFile::SeekType(9), 6, true, "67"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CZELFile file(Str(L"a.bin"), CZELFile::ModeRead);
        ASSERT_TRUE(file.Open());
        unsigned char buffer[2];
        ASSERT_EQ(2, file.Read(buffer, 2));  // start from position 2
        EXPECT_EQ(c.ok, file.Seek(c.type, c.offset));
        int got = file.Read(buffer, 2);
        EXPECT_EQ(std::string(c.next), std::string(reinterpret_cast<char*>(buffer), size_t(got)));
    }
}

TEST_F(ZELFile, AnOpenFileIsNotShared)
{
    MakeFile(L"a.bin", "abc");
    CZELFile first(Str(L"a.bin"), CZELFile::ModeRead);
    CZELFile second(Str(L"a.bin"), CZELFile::ModeRead);
    CZELFile writer(Str(L"a.bin"), CZELFile::ModeWrite);
    ASSERT_TRUE(first.Open());
    EXPECT_FALSE(second.Open());
    EXPECT_FALSE(writer.Replace());
    first.Close();
    EXPECT_TRUE(second.Open());
    second.Close();
    EXPECT_EQ("abc", ContentOf(L"a.bin"));
}

TEST_F(ZELFile, OpeningAgainClosesTheFirstHandle)
{
    MakeFile(L"a.bin", "abc");
    CZELFile file(Str(L"a.bin"), CZELFile::ModeRead);
    ASSERT_TRUE(file.Open());
    ASSERT_TRUE(file.Open());
    file.Close();
    CZELFile other(Str(L"a.bin"), CZELFile::ModeRead);
    EXPECT_TRUE(other.Open());  // no handle was left behind
}

TEST_F(ZELFile, AFailedOpenCanBeFollowedByCreate)
{
    CZELFile file(Str(L"a.bin"), CZELFile::ModeWrite);
    ASSERT_FALSE(file.Open());
    ASSERT_TRUE(file.Create());
    EXPECT_TRUE(file.Write(Bytes("ok"), 2));
    file.Close();
    EXPECT_EQ("ok", ContentOf(L"a.bin"));
}

TEST_F(ZELFile, OpenOrCreateKeepsAnExistingFileOrMakesANewOne)
{
    MakeFile(L"a.bin", "abc");
    {
        CZELFile file(Str(L"a.bin"), CZELFile::ModeReadWrite);
        ASSERT_TRUE(file.OpenOrCreate());
        EXPECT_EQ(3u, file.Size());
        EXPECT_EQ("abc", ReadAll(file));
        EXPECT_TRUE(file.Write(Bytes("de"), 2));  // the same handle reads and writes
        ASSERT_TRUE(file.SeekTo(1));
        EXPECT_EQ("bcde", ReadAll(file));
    }
    EXPECT_EQ("abcde", ContentOf(L"a.bin"));
    {
        CZELFile file(Str(L"new.bin"), CZELFile::ModeReadWrite);
        ASSERT_TRUE(file.OpenOrCreate());
        EXPECT_EQ(0u, file.Size());
        EXPECT_TRUE(file.Write(Bytes("n"), 1));
    }
    EXPECT_EQ("n", ContentOf(L"new.bin"));
    {
        // Not shared either.
        CZELFile first(Str(L"a.bin"), CZELFile::ModeReadWrite);
        CZELFile second(Str(L"a.bin"), CZELFile::ModeReadWrite);
        ASSERT_TRUE(first.OpenOrCreate());
        EXPECT_FALSE(second.OpenOrCreate());
    }
}

TEST_F(ZELFile, TruncateEndsTheFileWhereThePositionIs)
{
    MakeFile(L"a.bin", "0123456789");
    {
        CZELFile file(Str(L"a.bin"), CZELFile::ModeReadWrite);
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.SeekTo(4));
        EXPECT_TRUE(file.Truncate());
        EXPECT_EQ(4u, file.Size());
        EXPECT_TRUE(file.Flush());
    }
    EXPECT_EQ("0123", ContentOf(L"a.bin"));
    {
        // A reader may neither cut nor flush.
        CZELFile reader(Str(L"a.bin"), CZELFile::ModeRead);
        ASSERT_TRUE(reader.Open());
        EXPECT_FALSE(reader.Truncate());
        EXPECT_NE(0u, reader.LastError());
    }
    EXPECT_EQ("0123", ContentOf(L"a.bin"));
    CZELFile closed(Str(L"a.bin"), CZELFile::ModeReadWrite);
    EXPECT_FALSE(closed.Truncate());
    EXPECT_FALSE(closed.Flush());
    EXPECT_FALSE(closed.SeekTo(0));
    unsigned long long size = 7;
    EXPECT_FALSE(closed.GetSize(size));
    EXPECT_EQ(7u, size);
}

TEST_F(ZELFile, FilesOf4GBAndMoreHaveTheirWholeSize)
{
    const unsigned long long big = 5ull << 30;  // sparse: no disk is used
    CZELFile file(Str(L"big.bin"), CZELFile::ModeReadWrite);
    ASSERT_TRUE(file.Create());
    ASSERT_TRUE(file.SeekTo(big));
    ASSERT_TRUE(file.Truncate());
    unsigned long long size = 0;
    EXPECT_TRUE(file.GetSize(size));
    EXPECT_EQ(big, size);
    EXPECT_EQ(0xFFFFFFFFu, file.Size());
    ASSERT_TRUE(file.SeekTo(big - 2));
    EXPECT_TRUE(file.Write(Bytes("zz"), 2));
    ASSERT_TRUE(file.SeekTo(big - 3));
    unsigned char buffer[8];
    ASSERT_EQ(3, file.Read(buffer, 8));
    EXPECT_EQ(0, memcmp(buffer, "\0zz", 3));
    EXPECT_FALSE(file.SeekTo(~0ull));
}

TEST_F(ZELFile, LastErrorKeepsThePlatformsReason)
{
    MakeFile(L"a.bin", "abc");
    CZELFile holder(Str(L"held.bin"), CZELFile::ModeWrite);
    ASSERT_TRUE(holder.Create());
    unsigned char buffer[8];
    struct Case {
        const char* name;
        const wchar_t* file;
        CZELFile::Mode mode;
        std::function<bool(CZELFile&)> step;
        DWORD error;  // 0: the step succeeds
    } cases[] = {
        {"a missing file", L"missing.bin", CZELFile::ModeRead, [](CZELFile& f) { return f.Open(); },
         ERROR_FILE_NOT_FOUND},
        {"an existing file", L"a.bin", CZELFile::ModeRead, [](CZELFile& f) { return f.Open(); }, 0},
        {"a file someone holds", L"held.bin", CZELFile::ModeRead, [](CZELFile& f) { return f.Open(); },
         ERROR_SHARING_VIOLATION},
        {"reading to the end", L"a.bin", CZELFile::ModeRead,
         [&](CZELFile& f) { return f.Open() && f.Read(buffer, 8) == 3 && f.Read(buffer, 8) == 0; }, 0},
        {"a read that fails", L"a.bin", CZELFile::ModeWrite,
         [&](CZELFile& f) { return f.Open() && f.Read(buffer, 8) > 0; }, ERROR_ACCESS_DENIED},
        {"a success after a failure", L"a.bin", CZELFile::ModeRead,
         [](CZELFile& f) { return !f.Create() && f.Open(); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CZELFile file(Str(c.file), c.mode);
        EXPECT_EQ(c.error == 0, c.step(file));
        EXPECT_EQ(c.error, file.LastError());
    }
}

// ---- CZELFileSystem ----

TEST_F(ZELFileSystem, DeleteFileRemovesAFileAndIgnoresTheRest)
{
    MakeFile(L"a.bin", "x");
    CZELFileSystem::DeleteFileW(Str(L"a.bin"));
    EXPECT_FALSE(Exists(L"a.bin"));
    CZELFileSystem::DeleteFileW(Str(L"a.bin"));  // already gone
    CZELFileSystem::DeleteFileW(CZELString());
}

TEST_F(ZELFileSystem, ListsSubFoldersFilesOrBothByFlags)
{
    ASSERT_TRUE(CreateDirectoryW(PathOf(L"Wex").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(PathOf(L"Dax").c_str(), nullptr));
    MakeFile(L"one.txt", "1");
    MakeFile(L"two.ini", "2");
    MakeFile(L"Wex\\inside.dll", "3");
    MakeFile(L"three", "");

    struct Case {
        const char* name;
        unsigned flags;
        std::vector<std::wstring> expected;  // sorted
    } cases[] = {
        {"nothing", 0, {}},
        {"sub-folders", 1, {L"Dax", L"Wex"}},
        {"files", 2, {L"one.txt", L"three", L"two.ini"}},
        {"both", 3, {L"Dax", L"Wex", L"one.txt", L"three", L"two.ini"}},
        {"other bits are ignored", 4, {}},
        {"bit 0 among others", 0xFFFFFFF1, {L"Dax", L"Wex"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CZELArray<CZELString> out;
        EXPECT_TRUE(CZELFileSystem::GetDirectoryFiles(folder.Path(), c.flags, out));
        std::vector<std::wstring> names;
        for (int i = 0; i < out.GetCount(); ++i) names.push_back(out[i].GetBuffer());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(c.expected, names);
    }
}

TEST_F(ZELFileSystem, AppendsAfterWhatTheListHolds)
{
    MakeFile(L"a.txt", "");
    CZELArray<CZELString> out;
    out.Add(L"earlier");
    EXPECT_TRUE(CZELFileSystem::GetDirectoryFiles(folder.Path(), 3, out));
    ASSERT_EQ(2, out.GetCount());
    EXPECT_TRUE(out[0] == L"earlier");
    EXPECT_TRUE(out[1] == L"a.txt");
}

TEST_F(ZELFileSystem, EmptyMissingOrBlankFoldersListNothing)
{
    ASSERT_TRUE(CreateDirectoryW(PathOf(L"empty").c_str(), nullptr));
    struct Case {
        const char* name;
        CZELString folder;
    } cases[] = {
        {"empty folder", CZELString(PathOf(L"empty\\").c_str())},
        {"missing folder", CZELString(PathOf(L"missing\\").c_str())},
        {"no folder", CZELString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CZELArray<CZELString> out;
        EXPECT_TRUE(CZELFileSystem::GetDirectoryFiles(c.folder, 3, out));
        EXPECT_EQ(0, out.GetCount());
    }
}
