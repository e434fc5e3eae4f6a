#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

#include "choices/FileList.h"
#include "choices/HideSets.h"
#include "framework/Profile.h"
#include "support/Fuzz.h"
#include "support/ScratchDir.h"
#include "support/ScratchRegistry.h"
#include "system/OwnProcess.h"

namespace {

// The chosen files and our own path, as the application object holds them.
CPathSet hideFileSet;
std::wstring ownExecutablePath;

} // namespace

using testsupport::GetRawValue;
using testsupport::RawValueExists;
using testsupport::ScratchDir;
using testsupport::ScratchRegKey;
using testsupport::SetRawText;
using testsupport::SetRawValue;
using testsupport::TextBytes;
using testsupport::WriteBytes;

namespace {

// The profile points at a scratch company key for each test and is turned
// off again afterwards.
class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override { ProfileSetKey(scratch.Company().c_str(), L"Covelin"); }
    void TearDown() override { ProfileSetKey(nullptr); }

    std::wstring SectionPath(const wchar_t* section) const { return scratch.Path() + L"\\Covelin\\" + section; }

    ScratchRegKey scratch;
};

} // namespace

TEST_F(ProfileTest, KeyPathAndApplicationName)
{
    EXPECT_EQ(ProfileKeyPath(), scratch.Path() + L"\\Covelin");
    ProfileSetKey(L"Tessary");
    // Without a name of its own the application is the executable's base name.
    EXPECT_EQ(ProfileApplicationName(), L"test_choices");
    EXPECT_EQ(ProfileKeyPath(), L"Software\\Tessary\\test_choices");
    ProfileSetKey(nullptr);
    EXPECT_EQ(ProfileKeyPath(), L"");
    EXPECT_FALSE(ProfileWriteString(L"Files", L"file_0", L"x"));
    EXPECT_EQ(ProfileReadString(L"Files", L"file_0", L"dflt"), L"dflt");
}

TEST_F(ProfileTest, WritesTextReadsItBackAndDeletes)
{
    EXPECT_EQ(ProfileReadString(L"Files", L"file_0", L"dflt"), L"dflt");
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CURRENT_USER, SectionPath(L"Files"))); // reading creates nothing

    ASSERT_TRUE(ProfileWriteString(L"Files", L"file_0", L"C:\\A.EXE"));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(GetRawValue(HKEY_CURRENT_USER, SectionPath(L"Files"), L"file_0", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, TextBytes(L"C:\\A.EXE")); // with its terminating zero
    EXPECT_EQ(ProfileReadString(L"Files", L"file_0"), L"C:\\A.EXE");

    // No value: the entry goes; deleting what is not there fails.
    EXPECT_TRUE(ProfileWriteString(L"Files", L"file_0", nullptr));
    EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, SectionPath(L"Files"), L"file_0"));
    EXPECT_FALSE(ProfileWriteString(L"Files", L"file_0", nullptr));
    EXPECT_FALSE(ProfileWriteString(L"Other", L"file_0", nullptr));

    // No entry: the whole section goes.
    ASSERT_TRUE(ProfileWriteString(L"Files", L"file_1", L"y"));
    EXPECT_TRUE(ProfileWriteString(L"Files", nullptr, nullptr));
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CURRENT_USER, SectionPath(L"Files")));
}

TEST_F(ProfileTest, ReadsAreBoundedAndTextOnly)
{
    const std::wstring section = SectionPath(L"Files");
    // No terminating zero, and an odd byte count.
    ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, section, L"bare", REG_SZ, L"C:\\B", 8));
    EXPECT_EQ(ProfileReadString(L"Files", L"bare"), L"C:\\B");
    const BYTE odd[5] = {'A', 0, 'B', 0, 'C'};
    ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, section, L"odd", REG_SZ, odd, 5));
    EXPECT_EQ(ProfileReadString(L"Files", L"odd"), L"ABC");
    // Text ends at its first zero.
    ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, section, L"inner", REG_SZ, L"AB\0CD", 12));
    EXPECT_EQ(ProfileReadString(L"Files", L"inner"), L"AB");

    const DWORD number = 7;
    ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, section, L"number", REG_DWORD, &number, 4));
    EXPECT_EQ(ProfileReadString(L"Files", L"number", L"dflt"), L"dflt");
    std::vector<wchar_t> huge(size_t{256} * 1024, L'x');
    ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, section, L"huge", REG_SZ, huge.data(), DWORD(huge.size() * 2)));
    EXPECT_EQ(ProfileReadString(L"Files", L"huge", L"dflt"), L"dflt");
}

namespace {

// Files that exist, in a scratch directory, and an empty hideFileSet.
class FileListTest : public ProfileTest {
protected:
    void SetUp() override
    {
        ProfileTest::SetUp();
        hideFileSet.RemoveAll();
        savedOwnPath = ownExecutablePath;
    }
    void TearDown() override
    {
        hideFileSet.RemoveAll();
        ownExecutablePath = savedOwnPath;
        ProfileTest::TearDown();
    }

    std::wstring MakeFile(const std::wstring& name)
    {
        std::wstring path = dir.File(name);
        EXPECT_TRUE(WriteBytes(path, "MZ"));
        return path;
    }
    void Store(int index, const std::wstring& text)
    {
        ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, SectionPath(L"Files"), L"file_" + std::to_wstring(index), text));
    }
    bool Stored(int index, std::wstring* text = nullptr)
    {
        DWORD type = 0;
        std::vector<BYTE> data;
        if (!GetRawValue(HKEY_CURRENT_USER, SectionPath(L"Files"), L"file_" + std::to_wstring(index), &type, &data))
            return false;
        if (text)
            *text = std::wstring(reinterpret_cast<const wchar_t*>(data.data()));
        return true;
    }
    std::vector<std::wstring> Set() const
    {
        std::vector<std::wstring> items;
        for (int i = 0; i < hideFileSet.GetSize(); ++i)
            items.push_back(*hideFileSet[i]);
        return items;
    }

    ScratchDir dir;
    std::wstring savedOwnPath;
};

std::wstring Upper(std::wstring text)
{
    CharUpperBuffW(text.data(), DWORD(text.size()));
    return text;
}

} // namespace

TEST_F(FileListTest, ThreePathsRoundTripInOrderAndUpperCase)
{
    const std::wstring a = MakeFile(L"alpha.exe"), b = MakeFile(L"Beta.Exe"), c = MakeFile(L"gamma.EXE");
    hideFileSet.AddPath(a);
    hideFileSet.AddPath(b);
    hideFileSet.AddPath(c);
    EXPECT_EQ(SaveFileList(hideFileSet), 3);
    std::wstring text;
    ASSERT_TRUE(Stored(0, &text));
    EXPECT_EQ(text, Upper(a));
    ASSERT_TRUE(Stored(1, &text));
    EXPECT_EQ(text, Upper(b));
    ASSERT_TRUE(Stored(2, &text));
    EXPECT_EQ(text, Upper(c));
    EXPECT_FALSE(Stored(3));

    // A path stored in mixed case comes back upper-cased.
    Store(1, b);
    EXPECT_EQ(LoadFileList(hideFileSet, ownExecutablePath), 3);
    EXPECT_EQ(Set(), (std::vector<std::wstring>{Upper(a), Upper(b), Upper(c)}));
}

TEST_F(FileListTest, GapsAndEmptyValuesEndTheList)
{
    const std::wstring a = MakeFile(L"a.exe"), c = MakeFile(L"c.exe");
    Store(0, a);
    Store(2, c); // no file_1
    EXPECT_EQ(LoadFileList(hideFileSet, ownExecutablePath), 1);
    EXPECT_EQ(Set(), (std::vector<std::wstring>{Upper(a)}));

    // An empty list deletes file_0 and stops at the gap: file_2 stays.
    hideFileSet.RemoveAll();
    EXPECT_EQ(SaveFileList(hideFileSet), 0);
    EXPECT_FALSE(Stored(0));
    EXPECT_TRUE(Stored(2));

    Store(0, a);
    Store(1, L"");
    EXPECT_EQ(LoadFileList(hideFileSet, ownExecutablePath), 1);
    EXPECT_EQ(Set().size(), 1u);

    // A missing section is an empty list; loading frees what was there.
    ASSERT_TRUE(ProfileWriteString(L"Files", nullptr, nullptr));
    EXPECT_EQ(LoadFileList(hideFileSet, ownExecutablePath), 0);
    EXPECT_TRUE(Set().empty());
}

TEST_F(FileListTest, MissingPathIsDroppedAndGoneAfterTheNextSave)
{
    const std::wstring kept = MakeFile(L"kept.exe");
    Store(0, dir.File(L"gone.exe"));
    Store(1, kept);
    Store(2, dir.Path()); // a directory counts as something that exists
    EXPECT_EQ(LoadFileList(hideFileSet, ownExecutablePath), 3);
    EXPECT_EQ(Set(), (std::vector<std::wstring>{Upper(kept), Upper(dir.Path())}));
    std::wstring text;
    ASSERT_TRUE(Stored(0, &text)); // still there until the save
    EXPECT_EQ(text, dir.File(L"gone.exe"));

    EXPECT_EQ(SaveFileList(hideFileSet), 2);
    ASSERT_TRUE(Stored(0, &text));
    EXPECT_EQ(text, Upper(kept));
    ASSERT_TRUE(Stored(1, &text));
    EXPECT_EQ(text, Upper(dir.Path()));
    EXPECT_FALSE(Stored(2));
}

TEST_F(FileListTest, HandEditedDuplicatesAndOurOwnExecutableAreNotLoaded)
{
    const std::wstring a = MakeFile(L"twice.exe"), own = MakeFile(L"covelin.exe");
    ownExecutablePath = Upper(own);
    Store(0, a);
    Store(1, Upper(a));
    Store(2, own);
    EXPECT_EQ(LoadFileList(hideFileSet, ownExecutablePath), 3);
    EXPECT_EQ(Set(), (std::vector<std::wstring>{Upper(a)}));
}

// ---- values as anything may have left them -------------------------------------------

TEST_F(FileListTest, ValuesOfEveryTypeAndLengthAreOnlyReadAndEndTheListUnlessTheyAreText)
{
    testsupport::FuzzSource random(2300);
    SCOPED_TRACE(random.Describe());
    const std::wstring file = MakeFile(L"after.exe");
    const std::wstring section = SectionPath(L"Files");
    Store(1, file);
    for (const testsupport::StoredValue& value : testsupport::OddRegistryValues(random)) {
        ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, section, L"file_0", value.type, value.data.data(),
                                DWORD(value.data.size())));
        const auto before = testsupport::KeySnapshot(HKEY_CURRENT_USER, section);
        const int read = LoadFileList(hideFileSet, ownExecutablePath);
        EXPECT_TRUE(testsupport::KeySnapshot(HKEY_CURRENT_USER, section) == before) << value.Describe();
        // Text of up to 64 KB (as the registry gives it back) that names
        // nothing is read and dropped; anything else ends the list at once.
        DWORD type = 0;
        std::vector<BYTE> stored;
        ASSERT_TRUE(GetRawValue(HKEY_CURRENT_USER, section, L"file_0", &type, &stored));
        const bool text = (type == REG_SZ || type == REG_EXPAND_SZ) && stored.size() <= 65536 && !stored.empty() &&
                          (stored[0] != 0 || (stored.size() > 1 && stored[1] != 0));
        EXPECT_EQ(read, text ? 2 : 0) << value.Describe();
        EXPECT_EQ(Set(), text ? std::vector<std::wstring>{Upper(file)} : std::vector<std::wstring>{})
            << value.Describe();
    }
}

TEST_F(FileListTest, AThousandValuesInAnyCaseWithDuplicatesMissingFilesAndGaps)
{
    testsupport::FuzzSource random(2301);
    SCOPED_TRACE(random.Describe());
    std::vector<std::wstring> files;
    for (int i = 0; i < 10; ++i)
        files.push_back(MakeFile(L"program" + std::to_wstring(i) + L".exe"));
    for (int i = 0; i < 1000; ++i) {
        std::wstring path = i >= 10 && i % 7 == 6 ? dir.File(L"missing" + std::to_wstring(i) + L".exe") : files[i % 10];
        for (wchar_t& c : path)
            c = random.OneIn(2) ? static_cast<wchar_t>(towupper(c)) : static_cast<wchar_t>(towlower(c));
        Store(i, path);
    }
    Store(1001, MakeFile(L"beyond the gap.exe"));
    const std::wstring section = SectionPath(L"Files");
    const auto before = testsupport::KeySnapshot(HKEY_CURRENT_USER, section);

    EXPECT_EQ(LoadFileList(hideFileSet, ownExecutablePath), 1000);
    std::vector<std::wstring> expected;
    for (const std::wstring& path : files)
        expected.push_back(Upper(path));
    EXPECT_EQ(Set(), expected);
    EXPECT_TRUE(testsupport::KeySnapshot(HKEY_CURRENT_USER, section) == before);

    // Exit writes the list as loaded, up to the gap; what lies beyond stays.
    EXPECT_EQ(SaveFileList(hideFileSet), 10);
    std::wstring text;
    ASSERT_TRUE(Stored(9, &text));
    EXPECT_EQ(text, expected[9]);
    EXPECT_FALSE(Stored(10));
    EXPECT_FALSE(Stored(999));
    EXPECT_TRUE(Stored(1001));
}
