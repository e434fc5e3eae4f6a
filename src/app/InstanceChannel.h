#pragma once
// The pipe through which a later start of Covelin reaches the instance that
// runs in the same logon session. Creating the pipe's first instance is also
// the single-instance test: whoever creates it is the instance, in one step,
// so two starts at the same moment cannot both pass.
//
// A command is one small fixed message; the instance answers each with one
// fixed message and drops anything else. Only the current user can connect
// (the pipe's security descriptor), never from another machine.
#include <windows.h>

#include <functional>

#include <atomic>
#include <memory>
#include <string>

#include "framework/Handles.h"
#include "framework/MessageWindow.h"
#include "framework/Thread.h"

// What a later start may ask of the running instance.
enum class InstanceCommand : DWORD { Toggle = 1, Show = 2, Exit = 3 };
// What the instance answers.
enum class InstanceReply : DWORD { Done = 0, NotArmed = 3 };

// "\\.\pipe\Covelin-<session id>": one name per logon session, so that two
// users signed in on one machine (or on a terminal server) each run their own.
std::wstring InstancePipeName();

enum class InstanceClaim { Claimed, HeldByAnother, Failed };
// Creates the first (and only) instance of the pipe `name` for the current
// user, into `pipe`. HeldByAnother when something already has that name;
// Failed when the pipe cannot be made for any other reason.
InstanceClaim ClaimInstancePipe(const std::wstring& name, HANDLE* pipe);

// Serves the commands that arrive on the pipe. A listener thread reads them,
// with a deadline on every step, so a client that says nothing, says too
// much or goes away never holds anything up; each well-formed command is
// carried out by the handler on the thread that called Start, through a
// window of that thread, and its answer goes back to the client.
class InstanceChannelServer {
public:
    using Handler = std::function<InstanceReply(InstanceCommand command)>;

    // How long a connected client has to send its command.
    static constexpr DWORD kCommandWaitMs = 1000;
    // How long the listener waits for the handler's thread to carry it out.
    static constexpr DWORD kHandlerWaitMs = 3000;

    InstanceChannelServer() = default;
    ~InstanceChannelServer();
    InstanceChannelServer(const InstanceChannelServer&) = delete;
    InstanceChannelServer& operator=(const InstanceChannelServer&) = delete;

    // Listens on `pipe`, the server end from ClaimInstancePipe; the caller
    // keeps it open until after Stop. The calling thread must keep pumping
    // messages for commands to be carried out.
    bool Start(HANDLE pipe, const Handler& handler);
    // Ends the listener and destroys the window; on the thread that called
    // Start. Nothing is handled afterwards.
    void Stop();

private:
    // The window through which the listener hands commands to the thread
    // that called Start.
    class CommandWindow : public CMessageWindow {
    public:
        explicit CommandWindow(InstanceChannelServer& server) : server_(server) {}

    protected:
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    private:
        InstanceChannelServer& server_;
    };

    void Listen();
    bool WaitForClient();
    void ServeClient();
    // Completes one overlapped operation, or cancels it at the deadline or
    // on Stop. True when it succeeded.
    bool Finish(OVERLAPPED& io, BOOL started, DWORD timeoutMs, DWORD* bytes, DWORD* error = nullptr);
    bool AskHandler(InstanceCommand command, InstanceReply* reply);
    void OnCommandMessage(WPARAM command, LPARAM sequence);

    HANDLE pipe_ = nullptr;
    Handler handler_;
    CommandWindow window_{*this};
    CWinThread listener_;
    UniqueHandle stopEvent_;
    UniqueHandle ioEvent_;
    UniqueHandle replyEvent_;
    // The sequence number of the command the handler's thread may still
    // carry out, 0 for none. Whichever side takes it out first (the handler
    // to carry it out, the listener to withdraw it at its deadline) decides,
    // so a command is carried out only when its client can get the answer.
    std::atomic<LONG> pending_{0};
    std::atomic<DWORD> reply_{0};
    LONG sequence_ = 0;      // the listener's own
    bool abandoned_ = false; // the listener did not end when stopped
};

// The client side: connects (waiting while another client is being served),
// sends `command` and waits for the answer, all within `timeoutMs`.
struct InstanceAnswer {
    enum class Outcome { Answered, NoInstance, NoAnswer };
    Outcome outcome = Outcome::NoAnswer;
    InstanceReply reply = InstanceReply::Done;
    // The instance's process, opened to wait on, when it could be opened.
    UniqueHandle process;
};
InstanceAnswer SendInstanceCommand(const std::wstring& name, InstanceCommand command, DWORD timeoutMs);
