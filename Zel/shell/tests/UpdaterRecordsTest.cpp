// The updater's records in the settings store and the package file: when a check is due, when a
// download is complete, where a download resumes, and the package file's digest.
#include "Zel/core/CoreGuids.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/shell/updater/PackageDigest.h"
#include "Zel/shell/updater/UpdateRecords.h"
#include "ZELCommon/ZELFile.h"
#include "ZELCommon/ZELTime.h"
#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

class UpdaterRecords : public ::testing::Test {
protected:
    UpdaterRecords()
        : folder(L"zel-records-"), store(nullptr, folder.File(L"settings.zel")), records(&store, folder.File(L"zelpda.cab"))
    {
    }

    void SetInt(const wchar_t* key, int value) { store.SetInt(ZEL_GUID_NULL, CZELString(key), &value); }
    bool GetInt(const wchar_t* key, int& value) { return store.GetInt(ZEL_GUID_NULL, CZELString(key), &value) == 1; }
    void WriteCab(size_t size) { folder.Write(L"zelpda.cab", std::string(size, 'p')); }
    bool CabExists() { return TestSupport::FileExists(folder.path + L"zelpda.cab"); }

    TestSupport::TempFolder folder;
    CSettingsStore store;
    CUpdateRecords records;
};

}  // namespace

TEST_F(UpdaterRecords, CheckIsDueOnceTheLastAnswerIsFromBeforeToday)
{
    EXPECT_TRUE(records.IsUpdateCheckDue());  // never checked
    CZELTime now;
    unsigned midnight = CZELTime(unsigned(now.Year()), unsigned(now.Month() - 1), unsigned(now.Day()), 0, 0, 0).GetUnixTime();
    records.MarkChecked(midnight);
    EXPECT_FALSE(records.IsUpdateCheckDue());
    records.MarkChecked(now.GetUnixTime());
    EXPECT_FALSE(records.IsUpdateCheckDue());
    records.MarkChecked(midnight - 1);
    EXPECT_TRUE(records.IsUpdateCheckDue());
    CUpdateRecords noStore(nullptr, folder.File(L"zelpda.cab"));
    EXPECT_FALSE(noStore.IsUpdateCheckDue());
}

TEST_F(UpdaterRecords, DownloadIsCompleteWhenTheFileHasTheRecordedSize)
{
    struct Case {
        int recordedBuild;  // -1: absent
        int recordedSize;
        int fileSize;  // -1: no file
        unsigned build;
        bool complete;
    } cases[] = {
        {2141, 100, 100, 2141, true},  {2142, 100, 100, 2141, true},  {2141, 100, 100, 2142, false},
        {2141, 100, 99, 2141, false},  {2141, 100, 101, 2141, false}, {2141, 100, -1, 2141, false},
        {-1, 100, 100, 2141, false},   {2141, -1, 100, 2141, false},  {0, 0, 0, 2141, false},
    };
    for (const Case& c : cases) {
        TestSupport::TempFolder place(L"zel-complete-");
        CSettingsStore settings(nullptr, place.File(L"settings.zel"));
        CUpdateRecords these(&settings, place.File(L"zelpda.cab"));
        if (c.recordedBuild >= 0) settings.SetInt(ZEL_GUID_NULL, CZELString(L"NewVersionNumber"), &c.recordedBuild);
        if (c.recordedSize >= 0) settings.SetInt(ZEL_GUID_NULL, CZELString(L"NewcabSize"), &c.recordedSize);
        if (c.fileSize >= 0) place.Write(L"zelpda.cab", std::string(size_t(c.fileSize), 'p'));
        EXPECT_EQ(these.IsDownloadComplete(c.build), c.complete)
            << c.recordedBuild << " " << c.recordedSize << " " << c.fileSize << " " << c.build;
    }
}

TEST_F(UpdaterRecords, ResumeOffsetFollowsThePartialFile)
{
    struct Case {
        int recordedBuild;
        int recordedSize;
        int fileSize;  // -1: no file
        long long offset;
        unsigned expected;
        bool fileStays;
    } cases[] = {
        {2141, 1000, 400, 400, 1000, true},    // resumes
        {2141, 1000, 0, 0, 1000, true},        // an empty file: from the start
        {2141, 1000, 1000, -1, 0, true},       // whole already
        {2141, 1000, 1001, 0, 0, false},       // longer than the package: deleted
        {2140, 1000, 400, 0, 0, true},         // another build's bytes
        {2142, 1000, 400, 0, 0, true},
        {2141, 1000, -1, 0, 0, false},         // no file
        {0, 0, 400, 0, 0, true},               // nothing recorded
    };
    for (const Case& c : cases) {
        TestSupport::TempFolder place(L"zel-resume-");
        CSettingsStore settings(nullptr, place.File(L"settings.zel"));
        CUpdateRecords these(&settings, place.File(L"zelpda.cab"));
        settings.SetInt(ZEL_GUID_NULL, CZELString(L"NewVersionNumber"), &c.recordedBuild);
        settings.SetInt(ZEL_GUID_NULL, CZELString(L"NewcabSize"), &c.recordedSize);
        if (c.fileSize >= 0) place.Write(L"zelpda.cab", std::string(size_t(c.fileSize), 'p'));
        unsigned expected = 0;
        EXPECT_EQ(these.GetResumeOffset(2141, expected), c.offset) << c.recordedBuild << " " << c.fileSize;
        if (c.offset > 0) {
            EXPECT_EQ(expected, c.expected);
        }
        EXPECT_EQ(TestSupport::FileExists(place.path + L"zelpda.cab"), c.fileStays) << c.recordedBuild << " " << c.fileSize;
    }
}

TEST_F(UpdaterRecords, ClearDeletesThePackageAndZeroesBothRecords)
{
    records.Record(2141, 500);
    WriteCab(500);
    EXPECT_EQ(records.RecordedBuild(), 2141u);
    EXPECT_TRUE(records.IsDownloadComplete(2141));
    records.Clear();
    int build = -1, size = -1;
    EXPECT_TRUE(GetInt(L"NewVersionNumber", build));
    EXPECT_TRUE(GetInt(L"NewcabSize", size));
    EXPECT_EQ(build, 0);
    EXPECT_EQ(size, 0);
    EXPECT_FALSE(CabExists());
}

TEST_F(UpdaterRecords, FileDigestMatchesOnlyTheSameBytes)
{
    std::string package(300000, '\0');
    for (size_t i = 0; i < package.size(); ++i) package[i] = char(i * 7 + i / 251);
    folder.Write(L"zelpda.cab", package);
    PackageDigest expected, fromFile;
    ASSERT_TRUE(Sha256(package.data(), package.size(), expected));
    ASSERT_TRUE(FileSha256(folder.File(L"zelpda.cab"), fromFile));
    EXPECT_EQ(memcmp(expected, fromFile, sizeof(expected)), 0);
    EXPECT_TRUE(FileMatchesDigest(folder.File(L"zelpda.cab"), expected));

    package[123456] ^= 1;
    folder.Write(L"zelpda.cab", package);
    EXPECT_FALSE(FileMatchesDigest(folder.File(L"zelpda.cab"), expected));
    EXPECT_FALSE(FileMatchesDigest(folder.File(L"missing.cab"), expected));

    // A file that differs is told from one that cannot be read now.
    EXPECT_EQ(CheckFileDigest(folder.File(L"zelpda.cab"), expected), DigestDiffers);
    EXPECT_EQ(CheckFileDigest(folder.File(L"missing.cab"), expected), DigestUnreadable);
    HANDLE writing = CreateFileW((folder.path + L"zelpda.cab").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writing, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CheckFileDigest(folder.File(L"zelpda.cab"), expected), DigestUnreadable);
    CloseHandle(writing);
}

TEST_F(UpdaterRecords, ADigestFedInPiecesIsTheDigestOfTheWhole)
{
    std::string package(200000, '\0');
    for (size_t i = 0; i < package.size(); ++i) package[i] = char(i * 13 + i / 509);
    PackageDigest whole;
    ASSERT_TRUE(Sha256(package.data(), package.size(), whole));

    for (size_t piece : {size_t(1), size_t(63), size_t(64), size_t(1000), size_t(65536), size_t(199999)}) {
        SCOPED_TRACE(piece);
        CPackageHasher hasher;
        for (size_t at = 0; at < package.size(); at += piece)
            hasher.Add(package.data() + at, std::min(piece, package.size() - at));
        PackageDigest fed;
        ASSERT_TRUE(hasher.Finish(fed));
        EXPECT_EQ(memcmp(fed, whole, sizeof(fed)), 0);
        EXPECT_FALSE(hasher.Finish(fed));  // once only
    }

    // A file's first bytes, then the rest fed from memory, as a resumed download hashes them.
    folder.Write(L"zelpda.cab", package.substr(0, 70001));
    CZELFile kept(folder.File(L"zelpda.cab"), CZELFile::ModeRead);
    ASSERT_TRUE(kept.Open());
    CPackageHasher resumed;
    ASSERT_TRUE(resumed.AddFileBytes(kept, 70001));
    resumed.Add(package.data() + 70001, package.size() - 70001);
    PackageDigest fed;
    ASSERT_TRUE(resumed.Finish(fed));
    EXPECT_EQ(memcmp(fed, whole, sizeof(fed)), 0);

    // A file shorter than the bytes it should hold is not hashed as if it held them.
    ASSERT_TRUE(kept.SeekTo(0));
    CPackageHasher shortFile;
    EXPECT_FALSE(shortFile.AddFileBytes(kept, 70002));
}
