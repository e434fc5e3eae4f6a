#include "choices/Wildcard.h"

#include <windows.h>

#include <string>

namespace {

// Upper-cased the way the system folds file names, so that the result does
// not depend on the user's locale.
std::wstring Folded(std::wstring_view text)
{
    std::wstring folded(text);
    if (!folded.empty())
        CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

} // namespace

bool WildcardMatch(std::wstring_view patternIn, std::wstring_view textIn)
{
    const std::wstring pattern = Folded(patternIn);
    const std::wstring text = Folded(textIn);
    constexpr size_t kNoStar = std::wstring::npos;
    size_t p = 0;
    size_t t = 0;
    // The last `*` met, and where in the text its run began: on a mismatch
    // the run grows by one and the rest of the pattern is tried again. Only
    // the last star needs retrying, which keeps this free of recursion.
    size_t star = kNoStar;
    size_t starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            starText = t;
        } else if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (star != kNoStar) {
            p = star + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}
