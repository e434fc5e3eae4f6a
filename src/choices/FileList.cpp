#include "choices/FileList.h"

#include <string>

#include "choices/HideSets.h"
#include "framework/FileSystem.h"
#include "framework/Log.h"
#include "framework/Profile.h"
#include "system/OwnProcess.h"

namespace {

std::wstring FileValueName(int index)
{
    return L"file_" + std::to_wstring(index);
}

} // namespace

int LoadFileList(CPathSet& hideFileSet, const std::wstring& ownExecutablePath)
{
    hideFileSet.RemoveAll();
    int read = 0;
    for (int i = 0;; ++i) {
        std::wstring path = ProfileReadString(kFileListSection, FileValueName(i).c_str(), L"");
        if (path.empty())
            break;
        ++read;
        // A file that has gone since the last run is dropped here; its value
        // disappears from the registry at the next save.
        if (!PathExists(path, false))
            continue;
        // The list never holds a path twice nor our own executable; values
        // edited by hand must not break that.
        if (hideFileSet.FindPath(path) >= 0)
            continue;
        if (IsOwnExecutablePath(path, ownExecutablePath))
            continue;
        hideFileSet.AddPath(path);
    }
    return read;
}

int SaveFileList(const CPathSet& hideFileSet)
{
    // The old values go first, up to the first one that is not there; values
    // after a gap were never part of the list and are left alone.
    for (int i = 0;; ++i)
        if (!ProfileWriteString(kFileListSection, FileValueName(i).c_str(), nullptr))
            break;

    int written = 0;
    for (int i = 0; i < hideFileSet.GetSize(); ++i) {
        const std::wstring* path = hideFileSet[i];
        // An empty value would end the list for the next load.
        if (path == nullptr || path->empty())
            continue;
        if (ProfileWriteString(kFileListSection, FileValueName(written).c_str(), path->c_str()))
            ++written;
        else
            Log::Failure(L"Saving the file list: " + FileValueName(written) + L" = " + *path);
    }
    return written;
}
