// A smiley pack folder loaded: "_define.ini" read, its lines paired with the GIF files in order,
// every picture decoded; and the default pack the build puts beside the program.
#include "Zel/chat/smiley/SmileyPackLoad.h"
#include "Zel/chat/tests/DefaultSmileyPack.h"
#include "Zel/chat/tests/GifTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace GifTest;

namespace {

const std::vector<Rgb> kColours = {{255, 255, 255}, {255, 0, 0}, {0, 0, 255}, {0, 255, 0}};

// A one-pixel GIF of the given colour index.
Bytes Dot(int index)
{
    return GifBuilder().Header(1, 1, kColours).Image(0, 0, 1, 1, {(unsigned char)index}, 2).Trailer().bytes;
}

class SmileyPackTest : public ::testing::Test {
protected:
    SmileyPackTest() : folder(L"SmileyPack") {}

    void Write(const std::wstring& name, const std::string& bytes)
    {
        ASSERT_TRUE(TestSupport::WriteWholeFile(folder.path + name, bytes));
    }
    void Write(const std::wstring& name, const Bytes& bytes) { ASSERT_TRUE(TestSupport::WriteWholeFile(folder.path + name, bytes)); }

    bool Load(const std::vector<std::wstring>& gifFiles)
    {
        CZELArray<CZELString> files;
        for (const auto& name : gifFiles) files.Add(CZELString(name.c_str()));
        return LoadSmileyPictures(folder.Path(), files, pictures);
    }

    // Each smiley as "file: code code ..." with the colour its single pixel shows.
    std::vector<std::string> Smilies() const
    {
        std::vector<std::string> out;
        for (const auto& picture : pictures) {
            std::wstring path(picture->path.GetBuffer());
            std::string line(path.begin() + long(folder.path.size()), path.end());
            line += ":";
            for (const CZELString& code : picture->codes) line += " " + std::string(code.GetBuffer(), code.GetBuffer() + code.GetLength());
            if (!picture->frames.empty()) line += " #" + std::to_string(picture->frames[0].pixels[0]);
            out.push_back(line);
        }
        return out;
    }

    TestSupport::TempFolder folder;
    std::vector<std::unique_ptr<SmileyPicture>> pictures;
};

TEST_F(SmileyPackTest, LinesBelongToTheFilesInOrder)
{
    Write(L"a.gif", Dot(1));
    Write(L"b.gif", Dot(2));
    Write(L"c.gif", Dot(3));
    struct Case {
        const char* name;
        std::string definition;
        std::vector<std::wstring> files;
        std::vector<std::string> smilies;
    };
    const std::string twenty(20, 'x');
    const Case cases[] = {
        {"two codes, an empty line, a code between commas", "x,y\n\n,z,\n", {L"a.gif", L"b.gif"},
         {"a.gif: x y #16711680", "b.gif: z #255"}},
        {"three lines, two files", "x\ny\nz\n", {L"a.gif", L"b.gif"}, {"a.gif: x #16711680", "b.gif: y #255"}},
        {"one line, two files", "x\n", {L"a.gif", L"b.gif"}, {"a.gif: x #16711680"}},
        {"a line of only long codes keeps its file", twenty + "\ny\nz\n", {L"a.gif", L"b.gif", L"c.gif"},
         {"b.gif: y #255", "c.gif: z #65280"}},
        {"the files in the order given", "x\ny\n", {L"c.gif", L"a.gif"}, {"c.gif: x #65280", "a.gif: y #16711680"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Write(L"_define.ini", c.definition);
        EXPECT_TRUE(Load(c.files));
        EXPECT_EQ(Smilies(), c.smilies);
    }
}

TEST_F(SmileyPackTest, UndecodablePictureKeepsItsCodesWithoutFrames)
{
    DebugLines quiet;
    Write(L"_define.ini", std::string("broken\nmissing\ngood\n"));
    Write(L"a.gif", std::string("not a picture"));
    Write(L"c.gif", Dot(2));
    ASSERT_TRUE(Load({L"a.gif", L"b.gif", L"c.gif"}));
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_TRUE(pictures[0]->frames.empty());
    EXPECT_FALSE(pictures[0]->IsAnimated());
    EXPECT_TRUE(pictures[1]->frames.empty());
    EXPECT_EQ(pictures[2]->FrameCount(), 1);
    EXPECT_EQ(Smilies(), (std::vector<std::string>{"a.gif: broken", "b.gif: missing", "c.gif: good #255"}));
}

TEST_F(SmileyPackTest, PacksThatGiveNothing)
{
    Write(L"a.gif", Dot(1));
    EXPECT_FALSE(Load({L"a.gif"})) << "no definition file";
    Write(L"_define.ini", std::string());
    EXPECT_FALSE(Load({L"a.gif"})) << "an empty definition file";
    Write(L"_define.ini", std::string("x\n"));
    EXPECT_FALSE(Load({})) << "no GIF file";
    EXPECT_TRUE(pictures.empty());
    Write(L"_define.ini", std::string(kSmileyDefinitionMaxBytes + 1, 'x'));
    EXPECT_FALSE(Load({L"a.gif"})) << "a definition file past the limit";

    // Lines that name no picture still end in a complete, empty pack.
    Write(L"_define.ini", std::string(",\n,,\n"));
    EXPECT_TRUE(Load({L"a.gif"}));
    EXPECT_TRUE(pictures.empty());
}

TEST_F(SmileyPackTest, StoppedLoaderGivesNothing)
{
    Write(L"_define.ini", std::string("x\ny\n"));
    Write(L"a.gif", Dot(1));
    Write(L"b.gif", Dot(2));
    CZELArray<CZELString> files;
    files.Add(CZELString(L"a.gif"));
    files.Add(CZELString(L"b.gif"));
    std::atomic<bool> stop{true};
    EXPECT_FALSE(LoadSmileyPictures(folder.Path(), files, pictures, &stop));
    EXPECT_TRUE(pictures.empty());
    stop = false;
    EXPECT_TRUE(LoadSmileyPictures(folder.Path(), files, pictures, &stop));
    EXPECT_EQ(pictures.size(), 2u);
}

// The pack the build copies beside the program, under the name the global settings prefer.
TEST(DefaultSmileyPack, LoadsWithAnimatedTransparentFaces)
{
    CZELString folder = TestSupport::DefaultSmileyPackFolder();
    CZELArray<CZELString> files;
    ASSERT_TRUE(TestSupport::ListDefaultSmileyPack(files)) << "no pack beside the program";

    DebugLines lines;
    std::vector<std::unique_ptr<SmileyPicture>> pictures;
    ASSERT_TRUE(LoadSmileyPictures(folder, files, pictures));
    EXPECT_TRUE(lines.lines.empty());
    ASSERT_EQ(int(pictures.size()), files.GetCount()) << "one line of codes per picture";

    bool smile = false, outsideAscii = false, keyed = false, disposalKeep = false, disposalBackground = false;
    for (const auto& picture : pictures) {
        SCOPED_TRACE(std::string(picture->path.GetBuffer(), picture->path.GetBuffer() + picture->path.GetLength()));
        EXPECT_EQ(picture->width, 19);
        EXPECT_EQ(picture->height, 19);
        EXPECT_GE(picture->FrameCount(), 2);
        EXPECT_LE(picture->FrameCount(), 6);
        EXPECT_FALSE(picture->codes.empty());
        for (const CZELString& code : picture->codes) {
            smile = smile || code == L":-)";
            for (int i = 0; i < code.GetLength(); ++i) outsideAscii = outsideAscii || code.GetBuffer()[i] > 0x7F;
        }
        for (int i = 0; i < picture->FrameCount(); ++i) {
            const SmileyFrame& frame = picture->frames[size_t(i)];
            keyed = keyed || frame.transparentColor != CLR_INVALID;
            if (i + 1 < picture->FrameCount()) {
                disposalKeep = disposalKeep || picture->frames[size_t(i) + 1].baseFrame == i;
                disposalBackground = disposalBackground || picture->frames[size_t(i) + 1].baseFrame < 0;
            }
        }
        // Every frame composes to a face: the corners stay transparent, the middle is drawn.
        std::vector<uint32_t> canvas(19 * 19);
        for (int i = 0; i < picture->FrameCount(); ++i) {
            std::fill(canvas.begin(), canvas.end(), 0xABCDEF);
            EXPECT_GE(ComposeSmileyFrame(*picture, i, canvas.data(), 19, 19), 1);
            EXPECT_EQ(canvas[0], 0xABCDEFu);
            EXPECT_NE(canvas[9 * 19 + 9], 0xABCDEFu);
        }
    }
    EXPECT_TRUE(smile);
    EXPECT_TRUE(outsideAscii);
    EXPECT_TRUE(keyed);
    EXPECT_TRUE(disposalKeep);
    EXPECT_TRUE(disposalBackground);
}

}  // namespace
