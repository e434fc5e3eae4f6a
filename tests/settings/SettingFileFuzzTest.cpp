// "setting.dat" as anything may have left it: files of every size from 0 to
// 1,100 bytes and ten thousand random records through Load, and what the
// program then makes of the record: the hotkeys' texts and whether they can
// fire, the tray image and its name. A load never writes the file.
#include <gtest/gtest.h>

#include <cstring>

#include "settings/SettingFile.h"
#include "support/Fuzz.h"
#include "support/ScratchDir.h"

using testsupport::FuzzSource;
using testsupport::ReadBytes;
using testsupport::ScratchDir;
using testsupport::WriteBytes;

namespace {

constexpr UINT kTrayImageFirst = 139;
constexpr UINT kTrayNameFirst = 1000;

std::string Bytes(const SettingData& data)
{
    return std::string(reinterpret_cast<const char*>(&data), sizeof data);
}

// Puts a record into the existing 540-byte file: cheaper than making the
// file anew, which counts when it is done ten thousand times.
bool OverwriteRecord(const std::wstring& path, const std::string& record)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == record.size();
}

// The keyboard as a test sets it: exactly the keys of `down` are held.
HotkeyChord heldKeys{};
SHORT WINAPI HeldKeyState(int code)
{
    return (heldKeys.keys[code & 0xFF] & 0x80) ? static_cast<SHORT>(0x8000) : 0;
}

// Only bit 7 of each byte: what a chord means, without the bits it carries.
HotkeyChord Members(const HotkeyChord& chord)
{
    HotkeyChord members{};
    for (int code = 0; code < 256; ++code)
        members.keys[code] = chord.keys[code] & HotkeyChord::kMember;
    return members;
}

// What the program shows and polls for one chord it has loaded.
void CheckChordAsShownAndPolled(const HotkeyChord& chord)
{
    const std::wstring text = RenderText(chord);
    EXPECT_EQ(text, RenderText(Members(chord))) << "bits other than bit 7 change the text";
    std::wstring name;
    size_t named = 0;
    size_t nameLengths = 0;
    for (unsigned code = 0; code < 256; ++code) {
        if (chord.Has(code) && KeyName(code, name)) {
            ++named;
            nameLengths += name.size();
        }
    }
    EXPECT_EQ(text.size(), named == 0 ? 0 : nameLengths + named - 1) << "every named key once, joined by '+'";

    heldKeys = Members(chord);
    EXPECT_EQ(ChordIsDown(chord, HeldKeyState), chord.IsEmpty() ? 0 : 1);
    heldKeys = HotkeyChord{};
    EXPECT_EQ(ChordIsDown(chord, HeldKeyState), 0) << "a chord fired with no key held";
    for (unsigned code = 0; code < 256 && !chord.IsEmpty(); ++code) {
        if (chord.Has(code)) {
            heldKeys = Members(chord);
            heldKeys.keys[code] = 0;
            EXPECT_EQ(ChordIsDown(chord, HeldKeyState), 0) << "fired without key " << code;
            break;
        }
    }
}

} // namespace

TEST(SettingFileFuzz, EverySizeUpTo1100BytesLoadsOnlyAt540AndTheLoadNeverWrites)
{
    FuzzSource random(540);
    SCOPED_TRACE(random.Describe());
    ScratchDir dir;
    SettingFile file(dir.File(L"setting.dat"));
    const SettingData defaults = MakeDefaultSettings();
    for (size_t size = 0; size <= 1100; ++size) {
        const std::string stored = random.Bytes(size);
        ASSERT_TRUE(WriteBytes(file.Path(), stored));
        const bool loaded = file.Load(defaults);
        std::string after;
        ASSERT_TRUE(ReadBytes(file.Path(), &after));
        EXPECT_TRUE(after == stored) << size << " bytes rewritten by the load";
        if (size != sizeof(SettingData)) {
            EXPECT_FALSE(loaded) << size;
            EXPECT_TRUE(Bytes(*file.Data()) == Bytes(defaults)) << size << " bytes: not the defaults";
            continue;
        }
        EXPECT_TRUE(loaded);
        EXPECT_TRUE(Bytes(*file.Data()).substr(4) == stored.substr(4));
    }
}

TEST(SettingFileFuzz, TenThousandRandomRecordsLoadWithHotkeysAndTrayImageTheProgramCanUse)
{
    FuzzSource random(10000);
    SCOPED_TRACE(random.Describe());
    ScratchDir dir;
    SettingFile file(dir.File(L"setting.dat"));
    const HINSTANCE module = GetModuleHandleW(nullptr);
    ASSERT_TRUE(WriteBytes(file.Path(), std::string(sizeof(SettingData), '\0')));
    for (int i = 0; i < 10000; ++i) {
        const std::string stored = testsupport::RandomSettingRecord(random);
        ASSERT_TRUE(OverwriteRecord(file.Path(), stored));
        ASSERT_TRUE(file.Load(MakeDefaultSettings())) << "record " << i;
        const SettingData& data = *file.Data();
        int32_t storedTray = 0;
        std::memcpy(&storedTray, stored.data(), 4);
        const bool trayInRange = storedTray >= 0 && storedTray < kTrayImageCount;
        ASSERT_EQ(data.trayIcon, trayInRange ? storedTray : 0) << "record " << i;
        ASSERT_TRUE(Bytes(data).substr(4) == stored.substr(4)) << "record " << i;

        // The tray shows image 139 + index with string 1000 + index as its name.
        wchar_t name[32] = {};
        EXPECT_GT(LoadStringW(module, kTrayNameFirst + static_cast<UINT>(data.trayIcon), name, 32), 0);
        if (i < kTrayImageCount * 8) {
            HANDLE image = LoadImageW(module, MAKEINTRESOURCEW(kTrayImageFirst + data.trayIcon), IMAGE_ICON, 16, 16, 0);
            EXPECT_NE(image, nullptr);
            DestroyIcon(static_cast<HICON>(image));
        }
        CheckChordAsShownAndPolled(data.showDialogChord);
        CheckChordAsShownAndPolled(data.toggleChord);
        if (::testing::Test::HasFailure())
            FAIL() << "record " << i << " failed";
    }
}
