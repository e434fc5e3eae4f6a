#pragma once
// Driving real dialogs from a test: a script of steps that runs inside the
// dialog's own modal loop, and a watcher thread that answers the
// application's message boxes. Header-only, so that the framework tests use
// it too.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/Dialog.h"

namespace uitest {

// Runs steps one per timer tick (10 ms) inside the modal loop of a dialog,
// so that whatever a step posts is processed by that loop (pre-translation,
// dialog manager) before the next step. A step that waits returns false
// until its condition holds. The whole script has a deadline: when it
// passes, the test fails and the dialog is ended.
class ModalDriver {
public:
    static constexpr INT_PTR kTimedOut = -2;
    static constexpr INT_PTR kScriptEnded = -3;

    explicit ModalDriver(DWORD deadlineMs = 15000) : deadlineMs_(deadlineMs) {}

    ModalDriver& Do(std::function<void()> action, std::string what = "step")
    {
        steps_.push_back({[action] {
                              action();
                              return true;
                          },
                          std::move(what)});
        return *this;
    }

    ModalDriver& WaitFor(std::function<bool()> condition, std::string what)
    {
        steps_.push_back({std::move(condition), std::move(what)});
        return *this;
    }

    // Runs the dialog modally with the script; returns DoModal's result.
    // When the script runs out while the dialog is still open, the dialog is
    // ended with kScriptEnded.
    INT_PTR Run(CDialog& dialog)
    {
        return RunWith(dialog, [&dialog] { return dialog.DoModal(); });
    }

    // Same, with `runModal` starting the dialog's modal loop.
    INT_PTR RunWith(CDialog& dialog, const std::function<INT_PTR()>& runModal)
    {
        dialog_ = &dialog;
        Current() = this;
        start_ = ::GetTickCount();
        timer_ = ::SetTimer(nullptr, 0, 10, &ModalDriver::Tick);
        INT_PTR result = runModal();
        ::KillTimer(nullptr, timer_);
        Current() = nullptr;
        EXPECT_EQ(next_, steps_.size()) << "the dialog ended before the script; next step: "
                                        << (next_ < steps_.size() ? steps_[next_].what : std::string());
        return result;
    }

    bool TimedOut() const { return timedOut_; }

private:
    struct Step {
        std::function<bool()> run;
        std::string what;
    };

    static ModalDriver*& Current()
    {
        static ModalDriver* driver = nullptr;
        return driver;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (ModalDriver* driver = Current())
            driver->OnTick();
    }

    void OnTick()
    {
        // A step may sit in a nested loop (a message box) that dispatches
        // our timer again: the step is still running.
        if (busy_ || dialog_ == nullptr || dialog_->m_hWnd == nullptr || ended_)
            return;
        busy_ = true;
        if (::GetTickCount() - start_ > deadlineMs_) {
            timedOut_ = true;
            ADD_FAILURE() << "deadline passed waiting for: "
                          << (next_ < steps_.size() ? steps_[next_].what : std::string("the dialog to end"));
            ended_ = true;
            dialog_->EndDialog(static_cast<int>(kTimedOut));
        } else if (next_ < steps_.size()) {
            if (steps_[next_].run())
                ++next_;
        } else if (dialog_->IsModal()) {
            ended_ = true;
            dialog_->EndDialog(static_cast<int>(kScriptEnded));
        }
        busy_ = false;
    }

    DWORD deadlineMs_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    CDialog* dialog_ = nullptr;
    UINT_PTR timer_ = 0;
    DWORD start_ = 0;
    bool busy_ = false;
    bool ended_ = false;
    bool timedOut_ = false;
};

// One message box the watcher answered.
struct SeenMessageBox {
    std::wstring text;
    bool yesNo = false; // it had Yes and No buttons
    HWND owner = nullptr;
};

// Answers every message box of this process captioned "Covelin" with
// `answer` (IDOK, IDYES, IDNO), keeping what it saw.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(int answer = IDOK) : answer_(answer), thread_([this] { Run(); }) {}
    ~MessageBoxAnswerer()
    {
        stop_ = true;
        thread_.join();
    }
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    std::vector<SeenMessageBox> Seen()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_.size();
    }

private:
    struct Search {
        MessageBoxAnswerer* self;
        std::vector<HWND> found;
    };

    static BOOL CALLBACK Collect(HWND window, LPARAM param)
    {
        auto* search = reinterpret_cast<Search*>(param);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(window))
            return TRUE;
        wchar_t className[64] = {}, title[64] = {};
        ::GetClassNameW(window, className, 64);
        // Never a sent message: the test thread may be waiting for us.
        ::InternalGetWindowText(window, title, 64);
        if (std::wstring(className) == L"#32770" && std::wstring(title) == L"Covelin" &&
            ::GetDlgItem(window, 0xFFFF) != nullptr)
            search->found.push_back(window);
        return TRUE;
    }

    void Run()
    {
        while (!stop_) {
            Search search{this, {}};
            ::EnumWindows(&MessageBoxAnswerer::Collect, reinterpret_cast<LPARAM>(&search));
            for (HWND box : search.found) {
                // Marked on the box itself: a later box may get the handle
                // value of one already answered.
                if (::GetPropW(box, kAnsweredMark) != nullptr)
                    continue;
                ::SetPropW(box, kAnsweredMark, reinterpret_cast<HANDLE>(1));
                SeenMessageBox seen;
                wchar_t text[512] = {};
                ::InternalGetWindowText(::GetDlgItem(box, 0xFFFF), text, 512);
                seen.text = text;
                seen.yesNo = ::GetDlgItem(box, IDYES) != nullptr && ::GetDlgItem(box, IDNO) != nullptr;
                seen.owner = ::GetWindow(box, GW_OWNER);
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    seen_.push_back(seen);
                }
                ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(box, answer_)));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    static constexpr wchar_t kAnsweredMark[] = L"uitest.answered";

    int answer_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<SeenMessageBox> seen_;
    std::thread thread_;
};

// Posts a left click at the centre of a rectangle given in the window's
// client coordinates, as the mouse would deliver it.
inline void PostClick(HWND window, const RECT& rect)
{
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(window, WM_LBUTTONUP, 0, at);
}

// A window's rectangle in its parent's client coordinates.
inline RECT RectInParent(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace uitest
