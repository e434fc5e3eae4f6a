#include "hiding/RuleHiding.h"

#include "catalogue/Catalogues.h"
#include "hiding/ShowBatch.h"

bool WindowMatchesRules(const std::vector<WindowRule>& rules, HWND window)
{
    if (rules.empty())
        return false;
    // Reads the title without sending a message to the window: a program
    // that does not answer must not stop a hide. The text is what the
    // system holds for the window, which is what its caption shows.
    wchar_t title[CCvWnd::kTitleSize] = {};
    InternalGetWindowText(window, title, CCvWnd::kTitleSize);
    wchar_t className[CCvWnd::kTitleSize] = {};
    GetClassNameW(window, className, CCvWnd::kTitleSize);
    for (const WindowRule& rule : rules)
        if (rule.Matches(title, className))
            return true;
    return false;
}

int HideRuleWindows(const EngineTargets& targets, HiddenWindows& hidden)
{
    const CCvWndArray* catalogue = targets.catalogues ? &targets.catalogues->windowCatalogue : nullptr;
    if (targets.rules.empty() || catalogue == nullptr)
        return 0;
    ShowBatch batch(SW_HIDE);
    int count = 0;
    for (int i = 0; i < catalogue->GetSize(); ++i) {
        HWND window = (*catalogue)[i]->GetHandle();
        if (targets.IsTopWindow(window) || window == nullptr || !IsWindow(window))
            continue;
        if (!WindowMatchesRules(targets.rules, window))
            continue;
        // Journalled before it goes, as every window we hide.
        hidden.Push(window);
        batch.Issue(window);
        ++count;
    }
    if (count == 0)
        return 0;
    hidden.hiddenJournal.Save();
    const std::vector<HWND> late = batch.Settle();
    hidden.unsettled.insert(hidden.unsettled.end(), late.begin(), late.end());
    return count;
}
