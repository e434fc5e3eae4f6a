#pragma once
#include <windows.h>

#include <string>

namespace testsupport {

// Starts this test program again, running only the tests `filter` names
// (disabled ones included), with environment variable `variable` set to
// `value` for the child alone. Its output goes where ours goes. Waits at
// most `timeoutMs` (then ends it) and returns its exit code, or -1 when it
// did not start or did not end in time; both of those also fail the test.
int RunTestChild(const std::string& filter, const wchar_t* variable, const std::wstring& value,
                 DWORD timeoutMs = 60000);

} // namespace testsupport
