#pragma once
#include <windows.h>

// A critical section: re-entrant on one thread, never copied. Lock/Unlock
// as the program's code calls them; lock/unlock/try_lock so that
// std::lock_guard and std::unique_lock work as well.
class CCriticalSection {
public:
    CCriticalSection() { InitializeCriticalSection(&section_); }
    ~CCriticalSection() { DeleteCriticalSection(&section_); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    bool Lock()
    {
        EnterCriticalSection(&section_);
        return true;
    }
    bool Unlock()
    {
        LeaveCriticalSection(&section_);
        return true;
    }

    void lock() { EnterCriticalSection(&section_); }
    void unlock() { LeaveCriticalSection(&section_); }
    bool try_lock() { return TryEnterCriticalSection(&section_) != FALSE; }

    operator CRITICAL_SECTION*() { return &section_; }

private:
    CRITICAL_SECTION section_;
};
