#include <gtest/gtest.h>

#include <windows.h>

#include <unknwn.h>

#include <algorithm>

#include "framework/Handles.h"
#include "support/ScratchRegistry.h"

namespace {

bool IsOpen(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent()
{
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

TEST(UniqueHandleTest, NullAndInvalidAreEmptyAndNeverClosed)
{
    UniqueHandle none;
    UniqueHandle failedOpen(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(none);
    EXPECT_FALSE(failedOpen);
    EXPECT_EQ(failedOpen.get(), INVALID_HANDLE_VALUE); // the caller's value stays readable
    failedOpen.reset();
    EXPECT_EQ(failedOpen.get(), nullptr);
}

TEST(UniqueHandleTest, MovesHandOwnershipOverAndCloseWhatWasHeld)
{
    HANDLE first = NewEvent();
    HANDLE second = NewEvent();
    {
        UniqueHandle a(first);
        UniqueHandle b(std::move(a));
        EXPECT_FALSE(a); // NOLINT(bugprone-use-after-move): the moved-from owner is the point
        EXPECT_EQ(b.get(), first);

        UniqueHandle c(second);
        c = std::move(b); // `second` goes, `first` moves on
        EXPECT_FALSE(IsOpen(second));
        EXPECT_TRUE(IsOpen(first));
    }
    EXPECT_FALSE(IsOpen(first));
}

TEST(UniqueHandleTest, ResetReleaseAndPut)
{
    HANDLE event = NewEvent();
    UniqueHandle owner(event);
    owner.reset(event); // holding the same handle again must not close it
    EXPECT_TRUE(IsOpen(event));

    HANDLE given = owner.release();
    EXPECT_FALSE(owner);
    EXPECT_TRUE(IsOpen(given));

    owner.reset(given);
    HANDLE* slot = owner.put();
    EXPECT_FALSE(IsOpen(given));
    EXPECT_EQ(*slot, nullptr);
    *slot = NewEvent();
    EXPECT_TRUE(owner);
}

TEST(ComPtrTest, ReleasesItsOneReference)
{
    struct Counted : IUnknown {
        ULONG refs = 1;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
        ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    } object;
    object.AddRef(); // ours, so the count never reaches zero
    {
        ComPtr<Counted> a(&object);
        ComPtr<Counted> b(std::move(a));
        EXPECT_FALSE(a); // NOLINT(bugprone-use-after-move): the moved-from owner is the point
        EXPECT_EQ(object.refs, 2u);
        b.reset(&object); // the same pointer: nothing released
        EXPECT_EQ(object.refs, 2u);
    }
    EXPECT_EQ(object.refs, 1u);
}

TEST(RegKeyTest, ValuesRoundTripAndWrongTypesAreRefused)
{
    testsupport::ScratchRegKey scratch;
    const std::wstring path = scratch.Path() + L"\\Deeper\\Still";
    RegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, path.c_str(), KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key);
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);

    EXPECT_EQ(key.WriteString(L"text", L"C:\\Tools\\a.exe"), ERROR_SUCCESS);
    EXPECT_EQ(key.WriteDword(L"number", 1984), ERROR_SUCCESS);
    std::wstring text;
    DWORD number = 0;
    EXPECT_EQ(key.ReadString(L"text", text), ERROR_SUCCESS);
    EXPECT_EQ(text, L"C:\\Tools\\a.exe");
    EXPECT_EQ(key.ReadDword(L"number", number), ERROR_SUCCESS);
    EXPECT_EQ(number, 1984u);
    EXPECT_EQ(key.ReadString(L"number", text), ERROR_INVALID_DATA);
    EXPECT_EQ(key.ReadDword(L"text", number), ERROR_INVALID_DATA);
    EXPECT_EQ(key.ReadString(L"text", text, 4), ERROR_INVALID_DATA); // over the caller's limit

    // Text stored without its terminating zero still reads whole.
    const wchar_t bare[] = {L'a', L'b', L'c'};
    ASSERT_EQ(key.WriteRaw(L"bare", REG_SZ, bare, sizeof bare), ERROR_SUCCESS);
    EXPECT_EQ(key.ReadString(L"bare", text), ERROR_SUCCESS);
    EXPECT_EQ(text, L"abc");

    std::vector<std::wstring> names = key.ValueNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"bare", L"number", L"text"}));
    EXPECT_EQ(key.DeleteValue(L"text"), ERROR_SUCCESS);
    EXPECT_EQ(key.DeleteValue(L"text"), ERROR_FILE_NOT_FOUND);

    RegKey moved(std::move(key));
    EXPECT_FALSE(key); // NOLINT(bugprone-use-after-move): the moved-from owner is the point
    EXPECT_EQ(key.WriteDword(L"number", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(moved.ValueNames().size(), 2u);
}

} // namespace
