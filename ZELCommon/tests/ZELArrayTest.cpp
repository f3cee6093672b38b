#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Text(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

// Counts live objects, so leaks and double destruction show.
struct Counted {
    static int live;
    int value;
    Counted() : value(0) { ++live; }
    Counted(int v) : value(v) { ++live; }
    Counted(const Counted& other) : value(other.value) { ++live; }
    Counted& operator=(const Counted& other) = default;
    ~Counted() { --live; }
};
int Counted::live = 0;

template <typename T> std::vector<T> Contents(const CZELArray<T>& array)
{
    std::vector<T> out;
    for (int i = 0; i < array.GetCount(); ++i) out.push_back(array[i]);
    return out;
}

}  // namespace

TEST(ZELArrayTest, DefaultArrayGrowsByTen)
{
    CZELArray<int> array;
    EXPECT_EQ(0, array.GetCount());
    EXPECT_EQ(0, array.GetCapacity());

    EXPECT_EQ(0, array.Add(100));
    EXPECT_EQ(10, array.GetCapacity());
    for (int i = 1; i < 10; ++i) EXPECT_EQ(i, array.Add(100 + i));
    EXPECT_EQ(10, array.GetCapacity());

    EXPECT_EQ(10, array.Add(110));
    EXPECT_EQ(20, array.GetCapacity());
    EXPECT_EQ(11, array.GetCount());
    for (int i = 0; i < 11; ++i) EXPECT_EQ(100 + i, array[i]);
}

TEST(ZELArrayTest, FillConstructor)
{
    struct Case {
        const char* name;
        int n;
        int count;
    };
    const Case cases[] = {{"three", 3, 3}, {"one", 1, 1}, {"zero", 0, 0}, {"negative", -4, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CZELArray<CZELString> array(c.n, CZELString(L"fill"));
        ASSERT_EQ(c.count, array.GetCount());
        EXPECT_EQ(c.count, array.GetCapacity());
        for (int i = 0; i < c.count; ++i) EXPECT_EQ(L"fill", Text(array[i]));

        // An array made empty this way must still grow: the first append needs room.
        EXPECT_EQ(c.count, array.Add(CZELString(L"added")));
        EXPECT_EQ(c.count + 1, array.GetCount());
        EXPECT_GE(array.GetCapacity(), array.GetCount());
        EXPECT_EQ(L"added", Text(array[c.count]));
        for (int i = 0; i < c.count; ++i) EXPECT_EQ(L"fill", Text(array[i]));
    }
}

TEST(ZELArrayTest, EmptyFillConstructorAcceptsManyAppends)
{
    CZELArray<int> array(0, 7);
    for (int i = 0; i < 50; ++i) ASSERT_EQ(i, array.Add(i));
    for (int i = 0; i < 50; ++i) EXPECT_EQ(i, array[i]);
}

TEST(ZELArrayTest, RemoveAt)
{
    struct Case {
        const char* name;
        int index;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"first", 0, {2, 3, 4, 5}},
        {"middle", 2, {1, 2, 4, 5}},
        {"last", 4, {1, 2, 3, 4}},
        {"at count", 5, {1, 2, 3, 4, 5}},
        {"past count", 6, {1, 2, 3, 4, 5}},
        {"far past count", 1000000, {1, 2, 3, 4, 5}},
        {"negative", -1, {1, 2, 3, 4, 5}},
        {"most negative", -2147483647 - 1, {1, 2, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CZELArray<int> array;
        for (int v = 1; v <= 5; ++v) array.Add(v);
        array.RemoveAt(c.index);
        EXPECT_EQ(c.expected, Contents(array));
        EXPECT_EQ(10, array.GetCapacity());  // removing never shrinks
    }

    CZELArray<int> empty;
    empty.RemoveAt(0);
    EXPECT_EQ(0, empty.GetCount());
}

TEST(ZELArrayTest, RemoveAllThenReuse)
{
    CZELArray<CZELString> array;
    array.Add(CZELString(L"a"));
    array.Add(CZELString(L"b"));
    array.RemoveAt(0);
    array.RemoveAt(0);
    EXPECT_EQ(0, array.GetCount());
    EXPECT_EQ(0, array.Add(CZELString(L"c")));
    EXPECT_EQ(L"c", Text(array[0]));
}

TEST(ZELArrayTest, CopyIsDeep)
{
    CZELArray<CZELString> original;
    for (int i = 0; i < 12; ++i) original.Add(CZELString(std::to_wstring(i).c_str()));

    CZELArray<CZELString> copy(original);
    EXPECT_EQ(original.GetCount(), copy.GetCount());
    EXPECT_EQ(original.GetCapacity(), copy.GetCapacity());
    copy[0] = L"changed";
    copy.RemoveAt(1);
    copy.Add(CZELString(L"more"));

    ASSERT_EQ(12, original.GetCount());
    for (int i = 0; i < 12; ++i) EXPECT_EQ(std::to_wstring(i), Text(original[i]));
    EXPECT_EQ(L"changed", Text(copy[0]));
    EXPECT_EQ(L"2", Text(copy[1]));
}

TEST(ZELArrayTest, AssignmentIsDeep)
{
    CZELArray<CZELString> source;
    source.Add(CZELString(L"one"));
    source.Add(CZELString(L"two"));

    CZELArray<CZELString> target(3, CZELString(L"old"));
    target = source;
    ASSERT_EQ(2, target.GetCount());
    EXPECT_EQ(source.GetCapacity(), target.GetCapacity());
    target[1] = L"changed";
    EXPECT_EQ(L"two", Text(source[1]));
    EXPECT_EQ(L"one", Text(target[0]));

    // The copy keeps the source's growth step.
    for (int i = 0; i < 9; ++i) target.Add(CZELString(L"x"));
    EXPECT_EQ(20, target.GetCapacity());

    // Assigning an empty array empties; assigning to itself keeps everything.
    CZELArray<CZELString> empty;
    target = empty;
    EXPECT_EQ(0, target.GetCount());
    EXPECT_EQ(0, target.Add(CZELString(L"again")));

    CZELArray<CZELString>& alias = source;
    source = alias;
    ASSERT_EQ(2, source.GetCount());
    EXPECT_EQ(L"one", Text(source[0]));
    EXPECT_EQ(L"two", Text(source[1]));
}

TEST(ZELArrayTest, CopiesOfEmptyArraysStillGrow)
{
    CZELArray<int> empty;
    CZELArray<int> copy(empty);
    EXPECT_EQ(0, copy.GetCount());
    EXPECT_EQ(0, copy.Add(5));
    EXPECT_EQ(5, copy[0]);

    CZELArray<int> zeroFill(0, 1);
    CZELArray<int> assigned;
    assigned = zeroFill;
    EXPECT_EQ(0, assigned.Add(6));
    EXPECT_EQ(6, assigned[0]);
}

TEST(ZELArrayTest, ElementsAreDestroyedWithTheArray)
{
    ASSERT_EQ(0, Counted::live);
    {
        CZELArray<Counted> array;
        for (int i = 0; i < 25; ++i) array.Add(Counted(i));
        array.RemoveAt(3);
        CZELArray<Counted> copy(array);
        CZELArray<Counted> assigned;
        assigned = copy;
        assigned = array;
        EXPECT_EQ(24, assigned.GetCount());
        EXPECT_EQ(4, assigned[3].value);
    }
    EXPECT_EQ(0, Counted::live);
}

TEST(ZELArrayTest, HundredThousandAppends)
{
    const int n = 100000;
    CZELArray<int> numbers;
    for (int i = 0; i < n; ++i) ASSERT_EQ(i, numbers.Add(i * 3));
    ASSERT_EQ(n, numbers.GetCount());
    EXPECT_GE(numbers.GetCapacity(), n);
    for (int i = 0; i < n; ++i) ASSERT_EQ(i * 3, numbers[i]);

    CZELArray<CZELString> strings;
    for (int i = 0; i < n; ++i) ASSERT_EQ(i, strings.Add(CZELString(std::to_wstring(i).c_str())));
    ASSERT_EQ(n, strings.GetCount());
    for (int i = 0; i < n; i += 997) ASSERT_EQ(std::to_wstring(i), Text(strings[i]));
    EXPECT_EQ(std::to_wstring(n - 1), Text(strings[n - 1]));
}

// Appending one of the array's own elements while the array is full: the element must be copied
// before the old block goes.
TEST(ZELArrayTest, AddOwnElementWhenFull)
{
    CZELArray<CZELString> array;
    for (int i = 0; i < 10; ++i) array.Add(CZELString(std::to_wstring(i).c_str()));
    ASSERT_EQ(array.GetCount(), array.GetCapacity());
    EXPECT_EQ(10, array.Add(array[0]));
    EXPECT_EQ(L"0", Text(array[10]));

    CZELArray<Counted> counted;
    for (int i = 0; i < 10; ++i) counted.Add(Counted(1000 + i));
    counted.Add(counted[9]);
    EXPECT_EQ(1009, counted[10].value);
}
