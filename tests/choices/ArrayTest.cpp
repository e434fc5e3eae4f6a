#include <gtest/gtest.h>

#include "catalogue/ProcessCatalogue.h"
#include "catalogue/WindowCatalogue.h"
#include "choices/HideSets.h"
#include "framework/EnArray.h"

namespace {

TEST(EnArray, FindGivesTheLowestIndexOfEqualElementsOrMinusOne)
{
    CEnArray<unsigned long> ids;
    EXPECT_EQ(ids.Find(7), -1);
    ids.Add(3);
    ids.Add(7);
    ids.Add(7);
    EXPECT_EQ(ids.Find(7), 1);
    EXPECT_EQ(ids.Find(3), 0);
    EXPECT_EQ(ids.Find(4), -1);

    // Arrays of pointers compare the pointers, not the strings.
    std::wstring a = L"X", b = L"X";
    CEnArray<std::wstring*> strings;
    strings.Add(&a);
    EXPECT_EQ(strings.Find(&b), -1);
    EXPECT_EQ(strings.Find(&a), 0);
}

TEST(EnArray, RemoveAtKeepsToTheArrayAndInsertAtGrowsIt)
{
    CEnArray<int> numbers;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(numbers.Add(i), i);
    numbers.RemoveAt(-1, 2);
    numbers.RemoveAt(5, 1);
    numbers.RemoveAt(1, 0);
    EXPECT_EQ(numbers.GetSize(), 5);
    numbers.RemoveAt(3, 100); // the run is cut at the end
    ASSERT_EQ(numbers.GetSize(), 3);
    numbers.RemoveAt(0);
    EXPECT_EQ(numbers[0], 1);
    EXPECT_EQ(numbers[1], 2);

    numbers.InsertAt(4, 9); // past the end: default elements fill the gap
    ASSERT_EQ(numbers.GetSize(), 5);
    EXPECT_EQ(numbers[2], 0);
    EXPECT_EQ(numbers[4], 9);
    numbers.InsertAt(0, numbers[4], 2); // an element of the array itself
    EXPECT_EQ(numbers[0], 9);
    EXPECT_EQ(numbers[1], 9);
    EXPECT_EQ(numbers.GetSize(), 7);

    EXPECT_THROW(numbers.GetAt(7), CInvalidArgException);
    EXPECT_THROW(numbers[-1], CInvalidArgException);
}

TEST(PathSet, OwnsUpperCasedCopiesAndFindsPathsWhateverTheirCase)
{
    CPathSet set;
    set.AddPath(L"c:\\Tools\\Viewer.exe");
    set.AddPath(L"D:\\other.EXE");
    ASSERT_EQ(set.GetSize(), 2);
    EXPECT_EQ(*set[0], L"C:\\TOOLS\\VIEWER.EXE");
    EXPECT_EQ(set.FindPath(L"C:\\tools\\viewer.exe"), 0);
    EXPECT_EQ(set.FindPath(L"d:\\OTHER.exe"), 1);
    EXPECT_EQ(set.FindPath(L"D:\\other"), -1);

    set.RemoveAt(5); // out of range: nothing happens
    set.RemoveAt(0, 0);
    EXPECT_EQ(set.GetSize(), 2);
    set.RemoveAt(0);
    ASSERT_EQ(set.GetSize(), 1);
    EXPECT_EQ(set.FindPath(L"d:\\other.exe"), 0);
    set.RemoveAll();
    EXPECT_TRUE(set.IsEmpty());
}

TEST(OwningArrays, RemoveAtFollowsTheBoundsRules)
{
    CCvWndArray windows;
    for (int i = 0; i < 4; ++i)
        windows.Add(std::make_unique<CCvWnd>(nullptr));
    CCvWnd* last = windows[3];
    windows.RemoveAt(-1, 1);
    windows.RemoveAt(4, 1);
    windows.RemoveAt(0, -2);
    EXPECT_EQ(windows.GetSize(), 4);
    windows.RemoveAt(1, 2);
    ASSERT_EQ(windows.GetSize(), 2);
    EXPECT_EQ(windows[1], last);
    windows.RemoveAt(1, 1000);
    EXPECT_EQ(windows.GetSize(), 1);

    CProcessArray processes;
    processes.Add(std::make_unique<CProcess>(1));
    processes.Add(std::make_unique<CProcess>(2, L"C:\\a\\b.exe"));
    processes.RemoveAt(0);
    ASSERT_EQ(processes.GetSize(), 1);
    EXPECT_EQ(processes[0]->GetProcessId(), 2u);
    EXPECT_STREQ(processes[0]->GetName(), L"b.exe");
}

} // namespace
