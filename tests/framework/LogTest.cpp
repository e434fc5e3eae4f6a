#include "framework/Log.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "support/ScratchDir.h"

namespace {

struct LogFileGuard {
    explicit LogFileGuard(const std::wstring& path, std::size_t cap) { Log::SetFile(path, cap); }
    ~LogFileGuard() { Log::SetFile(L""); }
};

std::vector<std::string> LinesOf(const std::wstring& path)
{
    std::string bytes;
    testsupport::ReadBytes(path, &bytes);
    std::vector<std::string> lines;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(Log, NoFileUnlessOneIsNamed)
{
    testsupport::ScratchDir dir;
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.Path().c_str()));
    Log::Line(L"to the debugger only");
    Log::Failure(L"a failure, to the debugger only", ERROR_ACCESS_DENIED);
    SetCurrentDirectoryW(previous);
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(dir.File(L"*.*").c_str(), &found);
    int entries = 0;
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
        entries += found.cFileName[0] != L'.';
    FindClose(search);
    EXPECT_EQ(entries, 0);
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring besideExe(exe);
    besideExe.replace(besideExe.find_last_of(L'\\') + 1, std::wstring::npos, L"Covelin.log");
    EXPECT_EQ(GetFileAttributesW(besideExe.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(Log::File().empty());
}

// Past the cap the older half goes, cut at a line's end: what is left
// starts with a whole line and ends with the newest.
TEST(Log, PastTheCapTheNewerHalfIsKeptFromAWholeLine)
{
    testsupport::ScratchDir dir;
    const std::wstring path = dir.File(L"Covelin.log");
    LogFileGuard guard(path, 4096);
    for (int i = 0; i < 200; ++i)
        Log::Line(L"line " + std::to_wstring(i) + L" " + std::wstring(i % 7 * 5, L'x'));
    WIN32_FILE_ATTRIBUTE_DATA size{};
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &size));
    EXPECT_LE(size.nFileSizeLow, 4096u);
    EXPECT_GE(size.nFileSizeLow, 1024u);
    const std::vector<std::string> lines = LinesOf(path);
    ASSERT_GE(lines.size(), 10u);
    // Every line whole: "<date> <time> [<thread>] line <n> x...", numbered on without a gap.
    int expected = -1;
    for (const std::string& line : lines) {
        const size_t at = line.find("] line ");
        ASSERT_TRUE(at != std::string::npos && line[4] == '-' && line.back() == '\r') << line;
        const int number = std::stoi(line.substr(at + 7));
        EXPECT_TRUE(expected < 0 || number == expected) << line;
        EXPECT_EQ(line.size() - line.find(' ', at + 7) - 2, static_cast<size_t>(number % 7 * 5)) << line;
        expected = number + 1;
    }
    EXPECT_EQ(expected, 200);
    EXPECT_GT(std::stoi(lines.front().substr(lines.front().find("] line ") + 7)), 100);
}

TEST(Log, LinesFromTwoThreadsStayWhole)
{
    testsupport::ScratchDir dir;
    const std::wstring path = dir.File(L"Covelin.log");
    LogFileGuard guard(path, Log::kDefaultCapBytes);
    const auto writer = [](wchar_t letter) {
        for (int i = 0; i < 300; ++i)
            Log::Failure(std::wstring(40, letter), ERROR_FILE_NOT_FOUND);
    };
    std::thread a(writer, L'a'), b(writer, L'b');
    a.join();
    b.join();
    int count[2] = {};
    for (const std::string& line : LinesOf(path)) {
        const char letter = line[line.find("] ") + 2];
        ASSERT_NE(line.find("] " + std::string(40, letter) + ": "), std::string::npos) << line;
        EXPECT_NE(line.find(" (2, 0x00000002)\r"), std::string::npos) << line;
        ++count[letter == 'b'];
    }
    EXPECT_EQ(count[0], 300);
    EXPECT_EQ(count[1], 300);
}
