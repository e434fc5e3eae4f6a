#include "framework/Log.h"
#include "framework/FileSystem.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "support/ScratchDir.h"

namespace {

// The lines of the log file at `path`, for the duration of the object.
struct LogFile {
    LogFile(const std::wstring& path, std::size_t cap) : path(path) { Log::SetFile(path, cap); }
    ~LogFile() { Log::SetFile(L""); }
    std::vector<std::string> Lines() const
    {
        std::string bytes;
        testsupport::ReadBytes(path, &bytes);
        std::istringstream in(bytes);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    std::wstring path;
};

} // namespace

TEST(Log, NoFileUnlessOneIsNamed)
{
    testsupport::ScratchDir dir;
    wchar_t previous[MAX_PATH] = {}, exe[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.Path().c_str()));
    Log::Failure(L"to the debugger only", ERROR_ACCESS_DENIED);
    SetCurrentDirectoryW(previous);
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(dir.File(L"*.*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
        EXPECT_EQ(found.cFileName[0], L'.');
    FindClose(search);
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring besideExe = DirectoryOf(exe) + L"Covelin.log";
    EXPECT_EQ(GetFileAttributesW(besideExe.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Past the cap the older half goes, cut at a line's end: what is left starts
// with a whole line, runs on without a gap and ends with the newest.
TEST(Log, PastTheCapTheNewerHalfIsKeptFromAWholeLine)
{
    testsupport::ScratchDir dir;
    const LogFile log(dir.File(L"Covelin.log"), 4096);
    for (int i = 0; i < 200; ++i)
        Log::Line(L"line " + std::to_wstring(i) + L" " + std::wstring(static_cast<size_t>(i % 7) * 5, L'x'));
    std::size_t size = 0;
    int next = -1;
    for (const std::string& line : log.Lines()) {
        size += line.size() + 1;
        const size_t at = line.find("] line ");
        ASSERT_TRUE(at != std::string::npos && line[4] == '-' && line.back() == '\r') << line;
        const int number = std::stoi(line.substr(at + 7));
        EXPECT_TRUE(next < 0 ? number > 100 : number == next) << line;
        EXPECT_EQ(line.size() - line.find(' ', at + 7) - 2, static_cast<size_t>(number % 7 * 5)) << line;
        next = number + 1;
    }
    EXPECT_EQ(next, 200);
    EXPECT_GE(size, 1024u);
    EXPECT_LE(size, 4096u);
}

TEST(Log, LinesFromTwoThreadsStayWhole)
{
    testsupport::ScratchDir dir;
    const LogFile log(dir.File(L"Covelin.log"), Log::kDefaultCapBytes);
    const auto writer = [](wchar_t letter) {
        for (int i = 0; i < 300; ++i)
            Log::Failure(std::wstring(40, letter), ERROR_FILE_NOT_FOUND);
    };
    std::thread a(writer, L'a'), b(writer, L'b');
    a.join();
    b.join();
    int count[2] = {};
    for (const std::string& line : log.Lines()) {
        const char letter = line[line.find("] ") + 2];
        EXPECT_NE(line.find("] " + std::string(40, letter) + ": "), std::string::npos) << line;
        EXPECT_NE(line.find(" (2, 0x00000002)\r"), std::string::npos) << line;
        ++count[letter == 'b'];
    }
    EXPECT_EQ(count[0], 300);
    EXPECT_EQ(count[1], 300);
}
