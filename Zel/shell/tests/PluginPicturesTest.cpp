// The default skin holds every picture the program's own plug-ins ask for: an account of each of
// Wex, Jabber and Dax publishes its pictures through the program's skin set, and every name it asks
// for is a file of the default skin that loads.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/shell/tests/ProgramFolder.h"

#include <set>
#include <string>

using namespace AppTest;

namespace {

// The names the set holds beyond the program's own, as they stand now.
std::set<std::wstring> AskedNames(CSkinImageSet& images)
{
    std::set<std::wstring> names;
    for (int i = CSkinImageSet::BuiltInCount;; ++i) {
        CZELString name = images.GetName(i);
        if (name.IsEmpty()) break;
        names.insert(std::wstring(name.GetBuffer(), size_t(name.GetLength())));
    }
    return names;
}

}  // namespace

TEST(DefaultSkin, EveryPictureThePlugInsAskForIsThere)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder(L"PluginPicturesTest");
    AppRun run(folder, L"Missing", WithProtocolsFolder(ProgramFolder::Bin() + L"Protos\\"));
    ASSERT_TRUE(run.started);
    CSkinImageSet& images = run.App().Resources()->Images();
    // Every kind of account the three libraries make (Jabber makes several).
    const int protocols = ProtocolsManagerService->GetProtocolCount();
    ASSERT_GE(protocols, 3);
    for (int p = 0; p < protocols; ++p) {
        ProtocolDescription protocol = ProtocolsManagerService->GetProtocol(p);
        ASSERT_NE(ProtocolsManagerService->CreateAccount(protocol.guid), 0u) << p;
    }
    // Their pictures come as they load: until the set stops growing.
    std::set<std::wstring> asked;
    for (int quiet = 0; quiet < 5;) {
        PumpFor(100);
        std::set<std::wstring> seen = AskedNames(images);
        quiet = seen == asked ? quiet + 1 : 0;
        asked = seen;
    }
    // The three libraries' own pictures: Wex's, Jabber's and Dax's status sets at least.
    EXPECT_GE(asked.size(), 3u * 10u);
    const std::wstring skin = ProgramFolder::Bin() + L"Skins\\ZEL PDA skin\\";
    for (int i = CSkinImageSet::BuiltInCount;; ++i) {
        CZELString name = images.GetName(i);
        if (name.IsEmpty()) break;
        SCOPED_TRACE(std::wstring(name.GetBuffer()));
        EXPECT_NE(GetFileAttributesW((skin + name.GetBuffer()).c_str()), INVALID_FILE_ATTRIBUTES);
        images.LoadEntry(i);
        EXPECT_TRUE(images.IsLoaded(i));
        EXPECT_NE(images.GetBitmap(i), nullptr);
    }
}
