#include "app/InstanceChannel.h"

#include <cstring>
#include <vector>

#include "engine/WindowMessages.h"
#include "framework/Handles.h"
#include "framework/Log.h"
#include "framework/Thread.h"

namespace {

constexpr DWORD kMessageMagic = 0x314C5643; // "CVL1"
constexpr DWORD kPipeBufferSize = 32;
constexpr DWORD kPipeDefaultTimeoutMs = 1000;
constexpr DWORD kStopWaitMs = 2000;
constexpr wchar_t kWindowClass[] = L"CovelinInstanceChannel";

// A command, and the answer to it, exactly as they travel.
struct CommandMessage {
    DWORD magic;
    DWORD command;
};
struct AnswerMessage {
    DWORD magic;
    DWORD reply;
    DWORD processId; // the instance's; a client cannot always ask the system for it
};

bool IsKnownCommand(DWORD command)
{
    return command >= static_cast<DWORD>(InstanceCommand::Toggle) &&
           command <= static_cast<DWORD>(InstanceCommand::Exit);
}

DWORD RemainingMs(ULONGLONG deadline)
{
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Completes an overlapped operation on `file` that was just started (its
// call returned `started`, its error is `startError`): waits until it is
// done, `timeoutMs` has passed or `stopEvent` (may be null) is set; in the
// last two cases it is cancelled, and its end awaited, so that `io` is free.
bool FinishIo(HANDLE file, OVERLAPPED& io, BOOL started, DWORD startError, HANDLE stopEvent, DWORD timeoutMs,
              DWORD* bytes, DWORD* error)
{
    *bytes = 0;
    if (!started && startError != ERROR_IO_PENDING) {
        if (error)
            *error = startError;
        return false;
    }
    const HANDLE waits[] = {io.hEvent, stopEvent};
    if (WaitForMultipleObjects(stopEvent ? 2 : 1, waits, FALSE, timeoutMs) != WAIT_OBJECT_0)
        CancelIoEx(file, &io);
    const BOOL done = GetOverlappedResult(file, &io, bytes, TRUE);
    if (error)
        *error = done ? ERROR_SUCCESS : GetLastError();
    return done != FALSE;
}

// The pipe's security: one entry, which lets the current user read and
// write. No other account can open it, whatever session it runs in.
class CurrentUserOnly {
public:
    CurrentUserOnly()
    {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return;
        UniqueHandle tokenOwner(token);
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        user_.resize(size);
        if (size == 0 || !GetTokenInformation(token, TokenUser, user_.data(), size, &size))
            return;
        const PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
        const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
        acl_.resize(aclSize);
        auto* acl = reinterpret_cast<ACL*>(acl_.data());
        if (!InitializeAcl(acl, aclSize, ACL_REVISION) ||
            !AddAccessAllowedAce(acl, ACL_REVISION, FILE_GENERIC_READ | FILE_GENERIC_WRITE, sid) ||
            !InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE))
            return;
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = &descriptor_;
        attributes_.bInheritHandle = FALSE;
        ready_ = true;
    }
    // Null (the system's default, which lets other accounts only read) when
    // the descriptor could not be built.
    SECURITY_ATTRIBUTES* Attributes() { return ready_ ? &attributes_ : nullptr; }

private:
    std::vector<BYTE> user_;
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool ready_ = false;
};

} // namespace

std::wstring InstancePipeName()
{
    std::wstring name = L"\\\\.\\pipe\\Covelin";
    DWORD session = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &session))
        name += L"-" + std::to_wstring(session);
    return name;
}

InstanceClaim ClaimInstancePipe(const std::wstring& name, HANDLE* pipe)
{
    *pipe = nullptr;
    CurrentUserOnly security;
    const HANDLE created =
        CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
                         PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                         kPipeBufferSize, kPipeBufferSize, kPipeDefaultTimeoutMs, security.Attributes());
    if (created != INVALID_HANDLE_VALUE) {
        *pipe = created;
        return InstanceClaim::Claimed;
    }
    // A first instance of a name that exists: Windows says "access denied",
    // Wine "pipe busy".
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY)
        return InstanceClaim::HeldByAnother;
    Log::Failure(L"Creating the instance pipe " + name, error);
    return InstanceClaim::Failed;
}

// ---- the server ----------------------------------------------------------------------

InstanceChannelServer::~InstanceChannelServer()
{
    Stop();
}

bool InstanceChannelServer::Start(HANDLE pipe, const Handler& handler)
{
    if (listener_ || !pipe || !handler)
        return false;
    pipe_ = pipe;
    handler_ = handler;

    // Message-only: never shown, never enumerated, never catalogued.
    const bool windowMade = window_.Create(kWindowClass, 0, 0, HWND_MESSAGE);
    if (!windowMade)
        Log::Failure(L"Creating the instance channel's window");
    stopEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ioEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    replyEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (windowMade && stopEvent_.get() && ioEvent_.get() && replyEvent_.get() && !listener_.Start([this] { Listen(); }))
        Log::Failure(L"Starting the instance channel's listener");
    if (!listener_) {
        Stop();
        return false;
    }
    return true;
}

void InstanceChannelServer::Stop()
{
    if (abandoned_)
        return;
    if (listener_) {
        SetEvent(stopEvent_.get());
        // Every wait of the listener also waits for the stop event.
        if (!listener_.Wait(kStopWaitMs)) {
            // Still inside the system with our events and window: leave
            // them all to the end of the process rather than free them under it.
            abandoned_ = true;
            return;
        }
        listener_.Close();
    }
    window_.Destroy();
    for (UniqueHandle* event : {&stopEvent_, &ioEvent_, &replyEvent_})
        event->reset();
    pending_ = 0;
}

void InstanceChannelServer::Listen()
{
    // One client at a time; others wait for the pipe to be free again.
    while (WaitForClient()) {
        ServeClient();
        DisconnectNamedPipe(pipe_);
    }
}

bool InstanceChannelServer::Finish(OVERLAPPED& io, BOOL started, DWORD timeoutMs, DWORD* bytes, DWORD* error)
{
    return FinishIo(pipe_, io, started, started ? ERROR_SUCCESS : GetLastError(), stopEvent_.get(), timeoutMs, bytes,
                    error);
}

bool InstanceChannelServer::WaitForClient()
{
    OVERLAPPED io{};
    io.hEvent = ioEvent_.get();
    ResetEvent(ioEvent_.get());
    const BOOL started = ConnectNamedPipe(pipe_, &io);
    const DWORD startError = started ? ERROR_SUCCESS : GetLastError();
    // A client that came before the call (and perhaps went again) is
    // connected already; serving it finds out the rest.
    if (startError == ERROR_PIPE_CONNECTED || startError == ERROR_NO_DATA)
        return WaitForSingleObject(stopEvent_.get(), 0) != WAIT_OBJECT_0;
    DWORD bytes = 0;
    return FinishIo(pipe_, io, started, startError, stopEvent_.get(), INFINITE, &bytes, nullptr) &&
           WaitForSingleObject(stopEvent_.get(), 0) != WAIT_OBJECT_0;
}

void InstanceChannelServer::ServeClient()
{
    OVERLAPPED io{};
    io.hEvent = ioEvent_.get();
    DWORD bytes = 0;
    // One byte more than a command: a longer message does not fit and is
    // refused as a whole.
    char buffer[sizeof(CommandMessage) + 1];
    ResetEvent(ioEvent_.get());
    if (!Finish(io, ReadFile(pipe_, buffer, sizeof buffer, nullptr, &io), kCommandWaitMs, &bytes) ||
        bytes != sizeof(CommandMessage))
        return;
    CommandMessage message{};
    std::memcpy(&message, buffer, sizeof message);
    if (message.magic != kMessageMagic || !IsKnownCommand(message.command))
        return;
    // A client that has gone would never see the answer: nothing is done.
    if (!PeekNamedPipe(pipe_, nullptr, 0, nullptr, nullptr, nullptr))
        return;

    InstanceReply reply = InstanceReply::Done;
    if (!AskHandler(static_cast<InstanceCommand>(message.command), &reply))
        return;
    const AnswerMessage answer{kMessageMagic, static_cast<DWORD>(reply), GetCurrentProcessId()};
    ResetEvent(ioEvent_.get());
    if (!Finish(io, WriteFile(pipe_, &answer, sizeof answer, nullptr, &io), kCommandWaitMs, &bytes))
        return;
    // Disconnecting throws away what the client has not read yet: wait
    // (briefly) for it to close its end once it has the answer.
    ResetEvent(ioEvent_.get());
    Finish(io, ReadFile(pipe_, buffer, sizeof buffer, nullptr, &io), kCommandWaitMs, &bytes);
}

bool InstanceChannelServer::AskHandler(InstanceCommand command, InstanceReply* reply)
{
    if (++sequence_ <= 0)
        sequence_ = 1;
    const LONG sequence = sequence_;
    ResetEvent(replyEvent_.get());
    pending_ = sequence;
    if (!PostMessageW(window_.Window(), UM_INSTANCE_COMMAND, static_cast<WPARAM>(command), sequence)) {
        pending_ = 0;
        return false;
    }
    const HANDLE waits[] = {replyEvent_.get(), stopEvent_.get()};
    if (WaitForMultipleObjects(2, waits, FALSE, kHandlerWaitMs) != WAIT_OBJECT_0) {
        LONG expected = sequence;
        if (pending_.compare_exchange_strong(expected, 0))
            return false; // withdrawn: the handler will drop it
        // The handler's thread took it just now and answers at once.
        if (WaitForSingleObject(replyEvent_.get(), kHandlerWaitMs) != WAIT_OBJECT_0)
            return false;
    }
    *reply = static_cast<InstanceReply>(reply_.load());
    return true;
}

void InstanceChannelServer::OnCommandMessage(WPARAM command, LPARAM sequence)
{
    LONG expected = static_cast<LONG>(sequence);
    if (!pending_.compare_exchange_strong(expected, 0))
        return; // withdrawn at the listener's deadline
    reply_ = static_cast<DWORD>(handler_(static_cast<InstanceCommand>(command)));
    SetEvent(replyEvent_.get());
}

LRESULT InstanceChannelServer::CommandWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == UM_INSTANCE_COMMAND) {
        server_.OnCommandMessage(wParam, lParam);
        return 0;
    }
    return CMessageWindow::WindowProc(message, wParam, lParam);
}

// ---- the client ----------------------------------------------------------------------

InstanceAnswer SendInstanceCommand(const std::wstring& name, InstanceCommand command, DWORD timeoutMs)
{
    InstanceAnswer answer;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    UniqueHandle pipe;
    while (!pipe) {
        // Identification only: whoever serves the name cannot act as us.
        const HANDLE opened =
            CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (opened != INVALID_HANDLE_VALUE) {
            pipe.reset(opened);
            break;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            answer.outcome = InstanceAnswer::Outcome::NoInstance;
            return answer;
        }
        // Busy: another client is being served, for a second at most.
        if (error != ERROR_PIPE_BUSY || RemainingMs(deadline) == 0)
            return answer;
        WaitNamedPipeW(name.c_str(), RemainingMs(deadline));
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr);

    // Known before the command goes (not under Wine, which answers 0): the
    // instance may then bring its dialog to the front for us, and the
    // process can be waited on even if it ends at once.
    ULONG processId = 0;
    if (GetNamedPipeServerProcessId(pipe.get(), &processId) && processId != 0) {
        AllowSetForegroundWindow(processId);
        if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId))
            answer.process.reset(process);
    }

    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        return answer;
    OVERLAPPED io{};
    io.hEvent = event.get();
    DWORD bytes = 0;
    const CommandMessage message{kMessageMagic, static_cast<DWORD>(command)};
    BOOL started = WriteFile(pipe.get(), &message, sizeof message, nullptr, &io);
    if (!FinishIo(pipe.get(), io, started, started ? ERROR_SUCCESS : GetLastError(), nullptr, RemainingMs(deadline),
                  &bytes, nullptr) ||
        bytes != sizeof message)
        return answer;

    AnswerMessage reply{};
    ResetEvent(event.get());
    started = ReadFile(pipe.get(), &reply, sizeof reply, nullptr, &io);
    if (!FinishIo(pipe.get(), io, started, started ? ERROR_SUCCESS : GetLastError(), nullptr, RemainingMs(deadline),
                  &bytes, nullptr) ||
        bytes != sizeof reply || reply.magic != kMessageMagic)
        return answer;

    answer.outcome = InstanceAnswer::Outcome::Answered;
    answer.reply = static_cast<InstanceReply>(reply.reply);
    if (!answer.process && reply.processId != 0) {
        if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, reply.processId))
            answer.process.reset(process);
    }
    return answer;
}
