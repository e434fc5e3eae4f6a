#include "framework/Log.h"

#include <cstdio>
#include <mutex>
#include <vector>

#include "framework/Handles.h"
#include "framework/Sync.h"

namespace {

// Program-wide by nature: every room logs, and a line must not need the
// object that owns the run. Guarded by its own lock, never held while
// anything else is waited for.
struct LogSink {
    CCriticalSection lock;
    std::wstring path;
    std::size_t capBytes = Log::kDefaultCapBytes;
};

LogSink& Sink()
{
    static LogSink sink;
    return sink;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr,
                            nullptr);
    return utf8;
}

// Keeps the newer half of the file, from the first whole line on.
void DropOlderHalf(HANDLE file, LONGLONG size)
{
    const LONGLONG keep = size / 2;
    LARGE_INTEGER from{};
    from.QuadPart = size - keep;
    std::vector<char> tail(static_cast<std::size_t>(keep));
    DWORD read = 0;
    if (!SetFilePointerEx(file, from, nullptr, FILE_BEGIN) ||
        !ReadFile(file, tail.data(), static_cast<DWORD>(tail.size()), &read, nullptr))
        return;
    std::size_t start = 0;
    while (start < read && tail[start] != '\n')
        ++start;
    start = start < read ? start + 1 : 0;
    LARGE_INTEGER zero{};
    DWORD written = 0;
    SetFilePointerEx(file, zero, nullptr, FILE_BEGIN);
    WriteFile(file, tail.data() + start, static_cast<DWORD>(read - start), &written, nullptr);
    SetEndOfFile(file);
}

void AppendToFile(const std::wstring& path, std::size_t capBytes, const std::string& line)
{
    // Another Covelin started with /log (a command to the running one) may
    // be writing its line: it is done within moments.
    UniqueHandle file;
    for (int attempt = 0; attempt < 20; ++attempt) {
        file.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_SHARING_VIOLATION)
            break;
        Sleep(5);
    }
    if (!file)
        return; // nowhere to say so but the debugger output, which has the line already
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) && static_cast<std::size_t>(size.QuadPart) + line.size() > capBytes)
        DropOlderHalf(file.get(), size.QuadPart);
    LARGE_INTEGER end{};
    DWORD written = 0;
    if (SetFilePointerEx(file.get(), end, nullptr, FILE_END))
        WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

} // namespace

namespace Log {

void SetFile(const std::wstring& path, std::size_t capBytes)
{
    LogSink& sink = Sink();
    std::lock_guard<CCriticalSection> guard(sink.lock);
    sink.path = path;
    sink.capBytes = capBytes;
}

std::wstring File()
{
    LogSink& sink = Sink();
    std::lock_guard<CCriticalSection> guard(sink.lock);
    return sink.path;
}

void Line(const std::wstring& text)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[64] = {};
    swprintf(stamp, 64, L"%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond, now.wMilliseconds, GetCurrentThreadId());
    // The debugger output gets the line as it stands: a debugger prints its
    // own time and process.
    OutputDebugStringW((text + L"\n").c_str());

    LogSink& sink = Sink();
    std::lock_guard<CCriticalSection> guard(sink.lock);
    if (!sink.path.empty())
        AppendToFile(sink.path, sink.capBytes, ToUtf8(std::wstring(stamp) + text + L"\r\n"));
}

void Failure(const std::wstring& what, DWORD error)
{
    wchar_t code[32] = {};
    swprintf(code, 32, L" (%lu, 0x%08lX)", error, error);
    Line(what + L": " + ErrorText(error) + code);
}

std::wstring ErrorText(DWORD error)
{
    UniqueLocal<wchar_t*> buffer;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
    std::wstring text = length > 0 && buffer ? std::wstring(buffer.get(), length) : L"unknown error";
    while (!text.empty() &&
           (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return text;
}

} // namespace Log
