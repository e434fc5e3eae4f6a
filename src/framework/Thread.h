#pragma once
#include <windows.h>

// The procedure of a worker thread: takes the parameter given to
// AfxBeginThread, returns the thread's exit code.
typedef UINT (*AFX_THREADPROC)(LPVOID);

// A worker thread. The object belongs to whoever started the thread: it is
// never deleted behind the owner's back (unless the owner sets
// m_bAutoDelete before the thread runs, i.e. with CREATE_SUSPENDED), so a
// pointer to it stays good after the thread has ended. Deleting the object
// closes the thread handle; it does not stop the thread.
class CWinThread {
public:
    CWinThread(AFX_THREADPROC proc, LPVOID param) : m_pfnThreadProc(proc), m_pThreadParams(param) {}
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // Posts a message to the thread's queue. Fails (0) until the thread has
    // made its queue, e.g. by a first PeekMessage.
    BOOL PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam);

    DWORD ResumeThread();
    DWORD SuspendThread();
    BOOL SetThreadPriority(int priority);

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = FALSE;

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

// Starts `proc(param)` on a new thread. Returns null if the thread cannot
// be created. With CREATE_SUSPENDED in `createFlags` the thread waits for
// ResumeThread.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL, UINT stackSize = 0,
                           DWORD createFlags = 0, LPSECURITY_ATTRIBUTES security = nullptr);
