#include "framework/Thread.h"

#include <process.h>

namespace {

unsigned __stdcall ThreadEntry(void* arg)
{
    auto* thread = static_cast<CWinThread*>(arg);
    // Everything is read before the procedure runs: without auto-delete the
    // owner may delete the object as soon as the procedure has signalled
    // its end (a done flag), before this function returns.
    const bool autoDelete = thread->m_bAutoDelete != FALSE;
    UINT code = thread->m_pfnThreadProc(thread->m_pThreadParams);
    if (autoDelete)
        delete thread;
    return code;
}

} // namespace

CWinThread::~CWinThread()
{
    if (m_hThread)
        CloseHandle(m_hThread);
}

BOOL CWinThread::PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return m_nThreadID != 0 && ::PostThreadMessageW(m_nThreadID, message, wParam, lParam);
}

DWORD CWinThread::ResumeThread()
{
    return m_hThread ? ::ResumeThread(m_hThread) : static_cast<DWORD>(-1);
}

DWORD CWinThread::SuspendThread()
{
    return m_hThread ? ::SuspendThread(m_hThread) : static_cast<DWORD>(-1);
}

BOOL CWinThread::SetThreadPriority(int priority)
{
    return m_hThread && ::SetThreadPriority(m_hThread, priority);
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize, DWORD createFlags,
                           LPSECURITY_ATTRIBUTES security)
{
    if (!proc)
        return nullptr;
    auto* thread = new CWinThread(proc, param);
    // Always start suspended: the handle and id must be stored before the
    // procedure can run (and, with auto-delete, delete the object).
    unsigned id = 0;
    auto handle =
        reinterpret_cast<HANDLE>(_beginthreadex(security, stackSize, ThreadEntry, thread, CREATE_SUSPENDED, &id));
    if (!handle) {
        delete thread;
        return nullptr;
    }
    thread->m_hThread = handle;
    thread->m_nThreadID = id;
    if (priority != THREAD_PRIORITY_NORMAL)
        ::SetThreadPriority(handle, priority);
    if (!(createFlags & CREATE_SUSPENDED))
        ::ResumeThread(handle);
    return thread;
}
