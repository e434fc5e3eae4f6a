#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "settings/Registry.h"
#include "support/Fuzz.h"
#include "support/ScratchRegistry.h"

using testsupport::FuzzSource;
using testsupport::GetRawValue;
using testsupport::OddRegistryValues;
using testsupport::RawValueExists;
using testsupport::RegValueGuard;
using testsupport::ScratchRegKey;
using testsupport::SetRawText;
using testsupport::SetRawValue;
using testsupport::StoredValue;
using testsupport::TextBytes;

namespace {

// A scratch key opened through the code under test.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        key = OpenRegKey(kRegRootCurrentUser, scratch.Path().c_str());
        ASSERT_NE(key, nullptr);
    }
    void TearDown() override
    {
        if (key) {
            EXPECT_TRUE(CloseRegKey(key));
        }
    }

    DWORD StoredType(const wchar_t* name)
    {
        DWORD type = 0;
        std::vector<BYTE> data;
        EXPECT_TRUE(GetRawValue(HKEY_CURRENT_USER, scratch.Path(), name, &type, &data));
        return type;
    }
    std::vector<BYTE> StoredData(const wchar_t* name)
    {
        DWORD type = 0;
        std::vector<BYTE> data;
        GetRawValue(HKEY_CURRENT_USER, scratch.Path(), name, &type, &data);
        return data;
    }

    ScratchRegKey scratch;
    HKEY key = nullptr;
};

std::vector<BYTE> DwordBytes(DWORD value)
{
    std::vector<BYTE> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

} // namespace

TEST(RegistryOpen, OnlyTheFiveRootsAndExistingKeys)
{
    ScratchRegKey scratch;
    EXPECT_EQ(OpenRegKey(5, scratch.Path().c_str()), nullptr);
    EXPECT_EQ(OpenRegKey(-1, scratch.Path().c_str()), nullptr);
    EXPECT_EQ(OpenRegKey(kRegRootCurrentUser, nullptr), nullptr);
    EXPECT_EQ(OpenRegKey(kRegRootCurrentUser, L""), nullptr);

    // Opening never creates.
    std::wstring missing = scratch.Path() + L"\\Missing";
    EXPECT_EQ(OpenRegKey(kRegRootCurrentUser, missing.c_str()), nullptr);
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CURRENT_USER, missing));

    HKEY software = OpenRegKey(3, L"Software");
    ASSERT_NE(software, nullptr);
    EXPECT_TRUE(CloseRegKey(software));
    EXPECT_FALSE(CloseRegKey(nullptr));
}

TEST_F(RegistryTest, ReadsKindAndSizeThenExactlyThatMuch)
{
    const std::wstring text = L"C:\\APP.EXE";
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, scratch.Path(), L"Text", text));

    int kind = 99;
    DWORD size = 0;
    ASSERT_TRUE(ReadRegValue(key, L"Text", kind, nullptr, size));
    EXPECT_EQ(kind, kRegKindText);
    EXPECT_EQ(size, (text.size() + 1) * 2);

    std::vector<wchar_t> buffer(text.size() + 1, L'#');
    ASSERT_TRUE(ReadRegValue(key, L"Text", kind, buffer.data(), size));
    EXPECT_EQ(std::wstring(buffer.data()), text);

    // One byte more or less than stored: nothing is read, and the data form
    // leaves kind and size as the caller gave them.
    for (DWORD wrong : {size - 1, size + 1}) {
        std::vector<BYTE> sentinel(size + 8, 0xCD);
        int askKind = kRegKindText;
        DWORD askSize = wrong;
        EXPECT_FALSE(ReadRegValue(key, L"Text", askKind, sentinel.data(), askSize)) << wrong;
        EXPECT_EQ(askSize, wrong);
        EXPECT_EQ(askKind, kRegKindText);
        EXPECT_EQ(sentinel, std::vector<BYTE>(size + 8, 0xCD)) << wrong;
    }

    // The right size but another kind.
    std::vector<BYTE> sentinel(size, 0xCD);
    int number = kRegKindNumber;
    EXPECT_FALSE(ReadRegValue(key, L"Text", number, sentinel.data(), size));
    EXPECT_EQ(sentinel, std::vector<BYTE>(size, 0xCD));

    EXPECT_FALSE(ReadRegValue(key, L"Absent", kind, nullptr, size));
    EXPECT_FALSE(ReadRegValue(nullptr, L"Text", kind, nullptr, size));
    EXPECT_FALSE(ReadRegValue(key, nullptr, kind, nullptr, size));
}

TEST_F(RegistryTest, KindsOfStoredTypes)
{
    const BYTE bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    struct Case {
        const wchar_t* name;
        DWORD type;
        DWORD size;
        int kind;
    } cases[] = {
        {L"Dword", REG_DWORD, 4, kRegKindNumber},    {L"Sz", REG_SZ, 4, kRegKindText},
        {L"Expand", REG_EXPAND_SZ, 4, kRegKindText}, {L"None", REG_NONE, 2, kRegKindOther},
        {L"Binary", REG_BINARY, 3, kRegKindOther},   {L"Multi", REG_MULTI_SZ, 6, kRegKindOther},
        {L"Qword", REG_QWORD, 8, kRegKindOther},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, scratch.Path(), c.name, c.type, bytes, c.size));
        int kind = 99;
        DWORD size = 0;
        ASSERT_TRUE(ReadRegValue(key, c.name, kind, nullptr, size)) << c.type;
        EXPECT_EQ(kind, c.kind) << c.type;
        EXPECT_EQ(size, c.size) << c.type;
    }
}

TEST_F(RegistryTest, WritesCreateOrOverwriteOnlyTheSameKind)
{
    const std::vector<BYTE> first = TextBytes(L"first");
    const std::vector<BYTE> second = TextBytes(L"second value");
    const std::vector<BYTE> number = DwordBytes(42);

    // Created with the type of its kind.
    ASSERT_TRUE(WriteRegValue(key, L"Text", kRegKindText, first.data(), DWORD(first.size())));
    EXPECT_EQ(StoredType(L"Text"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(StoredData(L"Text"), first);
    ASSERT_TRUE(WriteRegValue(key, L"Number", kRegKindNumber, number.data(), 4));
    EXPECT_EQ(StoredType(L"Number"), static_cast<DWORD>(REG_DWORD));

    // Same kind: overwritten, whatever the new size.
    ASSERT_TRUE(WriteRegValue(key, L"Text", kRegKindText, second.data(), DWORD(second.size())));
    EXPECT_EQ(StoredData(L"Text"), second);

    // Another kind: left as it is.
    EXPECT_FALSE(WriteRegValue(key, L"Number", kRegKindText, first.data(), DWORD(first.size())));
    EXPECT_EQ(StoredType(L"Number"), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(StoredData(L"Number"), number);
    EXPECT_FALSE(OverwriteRegValue(key, L"Number", kRegKindText, first.data(), DWORD(first.size())));
    EXPECT_EQ(StoredData(L"Number"), number);

    // Overwrite never creates.
    EXPECT_FALSE(OverwriteRegValue(key, L"New", kRegKindText, first.data(), DWORD(first.size())));
    EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, scratch.Path(), L"New"));

    // Kinds other than number and text are never written, nor are empty or
    // missing arguments.
    const BYTE binary[3] = {1, 2, 3};
    ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, scratch.Path(), L"Binary", REG_BINARY, binary, 3));
    EXPECT_FALSE(WriteRegValue(key, L"Binary", kRegKindOther, binary, 3));
    EXPECT_EQ(StoredType(L"Binary"), static_cast<DWORD>(REG_BINARY));
    EXPECT_FALSE(WriteRegValue(key, L"Other", kRegKindOther, binary, 3));
    EXPECT_FALSE(WriteRegValue(key, L"Empty", kRegKindText, first.data(), 0));
    EXPECT_FALSE(WriteRegValue(key, L"Null", kRegKindText, nullptr, 4));
    EXPECT_FALSE(WriteRegValue(key, nullptr, kRegKindText, first.data(), DWORD(first.size())));
    EXPECT_FALSE(WriteRegValue(nullptr, L"Text", kRegKindText, first.data(), DWORD(first.size())));
    EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, scratch.Path(), L"Other"));
    EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, scratch.Path(), L"Empty"));
}

TEST_F(RegistryTest, ExpandableTextIsOverwrittenAsPlainText)
{
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, scratch.Path(), L"Path", L"%SystemRoot%\\x.exe", REG_EXPAND_SZ));
    const std::vector<BYTE> text = TextBytes(L"C:\\X.EXE");
    ASSERT_TRUE(WriteRegValue(key, L"Path", kRegKindText, text.data(), DWORD(text.size())));
    EXPECT_EQ(StoredType(L"Path"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(StoredData(L"Path"), text);
}

TEST_F(RegistryTest, DeleteSucceedsWhetherOrNotTheValueExists)
{
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, scratch.Path(), L"Gone", L"x"));
    EXPECT_TRUE(DeleteRegValue(key, L"Gone"));
    EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, scratch.Path(), L"Gone"));
    EXPECT_TRUE(DeleteRegValue(key, L"Gone"));
    EXPECT_FALSE(DeleteRegValue(nullptr, L"Gone"));
    EXPECT_FALSE(DeleteRegValue(key, nullptr));
}

namespace {

// The Run value of the private prefix, put back after each test; the
// program's path is set to one with spaces for the duration.
class StartWithWindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ownExecutablePath = L"C:\\PROGRAM FILES\\TESSARY\\COVELIN.EXE";
        testsupport::DeleteRawValue(HKEY_CURRENT_USER, kRunKey, kRunValueName);
    }
    // Our own path as the application object holds it.
    std::wstring ownExecutablePath;

    bool Stored(DWORD* type, std::vector<BYTE>* data)
    {
        return GetRawValue(HKEY_CURRENT_USER, kRunKey, kRunValueName, type, data);
    }

    RegValueGuard guard{HKEY_CURRENT_USER, kRunKey, kRunValueName};
};

} // namespace

TEST_F(StartWithWindowsTest, OnWritesTheQuotedPathOffDeletesIt)
{
    EXPECT_FALSE(IsStartWithWindows());
    EXPECT_TRUE(ApplyStartWithWindows(false, ownExecutablePath)); // absent: succeeds, changes nothing
    EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, kRunKey, kRunValueName));

    EXPECT_TRUE(ApplyStartWithWindows(true, ownExecutablePath));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Stored(&type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    // Quoted, so that Windows cannot take "C:\PROGRAM" for the program.
    EXPECT_EQ(data, TextBytes(L"\"C:\\PROGRAM FILES\\TESSARY\\COVELIN.EXE\""));
    EXPECT_TRUE(IsStartWithWindows());

    EXPECT_TRUE(ApplyStartWithWindows(false, ownExecutablePath));
    EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, kRunKey, kRunValueName));
    EXPECT_FALSE(IsStartWithWindows());
}

TEST_F(StartWithWindowsTest, PresenceAloneDecides)
{
    // An old unquoted value still reads as on, and turning on replaces it.
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, kRunKey, kRunValueName, L"C:\\OLD PLACE\\COVELIN.EXE"));
    EXPECT_TRUE(IsStartWithWindows());
    EXPECT_TRUE(ApplyStartWithWindows(true, ownExecutablePath));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Stored(&type, &data));
    EXPECT_EQ(data, TextBytes(L"\"C:\\PROGRAM FILES\\TESSARY\\COVELIN.EXE\""));

    // Expandable text counts as text: overwritten, and plain text after.
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, kRunKey, kRunValueName, L"%ProgramFiles%\\c.exe", REG_EXPAND_SZ));
    EXPECT_TRUE(ApplyStartWithWindows(true, ownExecutablePath));
    ASSERT_TRUE(Stored(&type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    // A number: on, cannot be turned on again, but off then on writes text.
    const DWORD one = 1;
    ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, kRunKey, kRunValueName, REG_DWORD, &one, 4));
    EXPECT_TRUE(IsStartWithWindows());
    EXPECT_FALSE(ApplyStartWithWindows(true, ownExecutablePath));
    ASSERT_TRUE(Stored(&type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_TRUE(ApplyStartWithWindows(false, ownExecutablePath));
    EXPECT_FALSE(IsStartWithWindows());
    EXPECT_TRUE(ApplyStartWithWindows(true, ownExecutablePath));
    ASSERT_TRUE(Stored(&type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
}

TEST_F(StartWithWindowsTest, NothingIsWrittenWithoutOurOwnPath)
{
    ownExecutablePath.clear();
    EXPECT_FALSE(ApplyStartWithWindows(true, ownExecutablePath));
    EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, kRunKey, kRunValueName));
}

// ---- values as anything may have left them -------------------------------------------

TEST_F(StartWithWindowsTest, AnyValueOfOurNameCountsAsOnIsOnlyReadAndOnlyTextIsReplaced)
{
    FuzzSource random(1300);
    SCOPED_TRACE(random.Describe());
    for (const StoredValue& value : OddRegistryValues(random)) {
        ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, kRunKey, kRunValueName, value.type, value.data.data(),
                                static_cast<DWORD>(value.data.size())));
        // Compared as read back, not as written: Wine gives text stored
        // without its terminating zero back with one.
        StoredValue before{}, after{};
        ASSERT_TRUE(Stored(&before.type, &before.data));
        EXPECT_TRUE(IsStartWithWindows()) << value.Describe();
        ASSERT_TRUE(Stored(&after.type, &after.data));
        EXPECT_TRUE(after == before) << value.Describe() << " changed by reading it";
        // Ticking the box again replaces text with our command and leaves
        // any other kind of value as it is.
        const bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ;
        EXPECT_EQ(ApplyStartWithWindows(true, ownExecutablePath), text) << value.Describe();
        ASSERT_TRUE(Stored(&after.type, &after.data));
        EXPECT_TRUE(text ? after.data == TextBytes(RunCommandFor(ownExecutablePath)) : after == before)
            << value.Describe();
    }

    // A Run key crowded with other programs' values.
    testsupport::RegKeySetAside runKey(HKEY_CURRENT_USER, kRunKey);
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, kRunKey, L"Program " + std::to_wstring(i), L"C:\\P.EXE"));
    EXPECT_FALSE(IsStartWithWindows());
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, kRunKey, kRunValueName, L""));
    EXPECT_TRUE(IsStartWithWindows());
}
