#include "Zel/core/skin/SkinImages.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "ZELCommon/tests/SlotOf.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A picture made in memory, and its bitmap.
CSkinPicture* SmallPicture(HBITMAP& bitmap)
{
    CSkinPicture* picture = new CSkinPicture;
    picture->bitmap = bitmap = CreateBitmap(2, 2, 1, 32, nullptr);
    picture->width = picture->height = 2;
    return picture;
}

bool IsLiveObject(HBITMAP picture)
{
    return GetObjectType(picture) == OBJ_BITMAP;
}

}  // namespace

// Plug-ins call the registry by slot number: its five operations take the first slots, in order.
TEST(SkinImages, OperationsSitInTheFirstSlotsInOrder)
{
    using TestSupport::SlotOf;
    EXPECT_EQ(SlotOf(&ISkinImages::AcquireImage), 0);
    EXPECT_EQ(SlotOf(&ISkinImages::ReleaseImage), 1);
    EXPECT_EQ(SlotOf(&ISkinImages::GetLanguageName), 2);
    EXPECT_EQ(SlotOf(&ISkinImages::GetBkBrush), 3);
    EXPECT_EQ(SlotOf(&ISkinImages::GetTextColor), 4);
    // The object registered is the registry itself, whose table starts with the same five.
    EXPECT_EQ(SlotOf(&CSkinImages::AcquireImage), 0);
    EXPECT_EQ(SlotOf(&CSkinImages::ReleaseImage), 1);
    EXPECT_EQ(SlotOf(&CSkinImages::GetLanguageName), 2);
    EXPECT_EQ(SlotOf(&CSkinImages::GetBkBrush), 3);
    EXPECT_EQ(SlotOf(&CSkinImages::GetTextColor), 4);
}

TEST(SkinImages, RegistersItselfAndForwardsToTheImageSet)
{
    Services::CServicesManager bus;
    CSkinImageSet set;
    {
        CSkinImages images(bus, set);
        EXPECT_EQ(bus.GetService(GUID_SKIN_IMAGES), static_cast<ISkinImages*>(&images));
        EXPECT_EQ(images.AcquireImage(L"ZEL_STONLINE.PNG"), 14);
        EXPECT_EQ(set.GetUseCount(14), 1);
        EXPECT_EQ(images.AcquireImage(L"zel_mw_contact_typing.png"), 49);
        CZELString language;
        EXPECT_EQ(&images.GetLanguageName(language), &language);
        EXPECT_TRUE(language == L"English");
        images.SetLanguageName(L"Russian");
        images.GetLanguageName(language);
        EXPECT_TRUE(language == L"Russian");
    }
    EXPECT_FALSE(bus.HasService(GUID_SKIN_IMAGES));
}

TEST(SkinImages, AddedNamesKeepTheirIndexAndFreeTheirPictureWhenUnused)
{
    CSkinImageSet set;
    int index = set.Acquire(L"wex_proto.png");
    EXPECT_EQ(index, CSkinImageSet::BuiltInCount);
    EXPECT_EQ(set.Acquire(L"WEX_PROTO.png"), index);
    EXPECT_EQ(set.GetUseCount(index), 2);

    HBITMAP picture = nullptr;
    set.SetPicture(index, SmallPicture(picture));
    set.Release(index);
    EXPECT_EQ(set.GetBitmap(index), picture);
    set.Release(index);
    EXPECT_FALSE(set.IsLoaded(index));
    EXPECT_FALSE(IsLiveObject(picture));

    EXPECT_EQ(set.Acquire(L"wex_proto.png"), index);
    EXPECT_TRUE(set.GetName(index) == L"wex_proto.png");
    EXPECT_EQ(set.Acquire(L"jabber_proto.png"), index + 1);
}

TEST(SkinImages, BuiltInPicturesAreNeverFreedByRelease)
{
    CSkinImageSet set;
    HBITMAP picture = nullptr;
    set.SetPicture(13, SmallPicture(picture));
    EXPECT_EQ(set.Acquire(L"zel_stoffline.png"), 13);
    for (int i = 0; i < 5; ++i) set.Release(13);
    EXPECT_EQ(set.GetBitmap(13), picture);
    EXPECT_TRUE(IsLiveObject(picture));
    // Indices never given out change nothing.
    set.Release(-1);
    set.Release(5000);
    EXPECT_EQ(set.GetUseCount(5000), 0);
}

TEST(SkinImages, ConcurrentAcquiresGiveOneIndexPerName)
{
    CSkinImageSet set;
    std::vector<std::thread> threads;
    std::vector<int> seen(8);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&set, &seen, t] {
            for (int i = 0; i < 200; ++i) seen[t] = set.Acquire(L"shared_name.png");
        });
    }
    for (auto& thread : threads) thread.join();
    for (int index : seen) EXPECT_EQ(index, CSkinImageSet::BuiltInCount);
    EXPECT_EQ(set.GetUseCount(CSkinImageSet::BuiltInCount), 1600);
}
