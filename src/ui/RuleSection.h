#pragma once
// The rules' half of the Executable Files page: the list of title and class
// rules, the pattern field with its choice of title or class, Add, Delete
// and Clear, and the line that says how many windows the pattern in the
// field matches now.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "catalogue/Catalogues.h"
#include "choices/WindowRules.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/ListCtrl.h"

// The title and class name of every catalogued window, read at most once
// a second: counting what a pattern matches then costs no question to
// other programs, however fast the user types.
class CWindowTexts {
public:
    static constexpr ULONGLONG kLifeMs = 1000;

    explicit CWindowTexts(Catalogues& catalogues) : catalogues_(catalogues) {}
    // How many windows `rule` matches, on texts at most kLifeMs old.
    int CountMatches(const WindowRule& rule);
    // The next count reads the windows again.
    void Forget() { readAt_ = 0; }

private:
    void ReadIfOld();

    Catalogues& catalogues_;
    std::vector<std::pair<std::wstring, std::wstring>> texts_; // title, class
    ULONGLONG readAt_ = 0;
};

class CRuleSection {
public:
    // The section edits `ruleList` and counts `catalogues`' windows; both
    // outlive it.
    CRuleSection(Catalogues& catalogues, CRuleList& ruleList);

    // From the page's DoDataExchange: binds the controls.
    void Bind(CDataExchange* pDX);
    // Fills the list and the field choice.
    void SetUp(UINT dpi);
    void Rescale(UINT previousDpi, UINT dpi);
    // The page's WM_COMMAND and WM_NOTIFY; true when the section took it.
    bool OnCommand(WPARAM wParam);
    bool OnNotify(const NMHDR& header);

    // Adds the rule in the field (refused, with a message, when the pattern
    // is empty or the rule is listed already); false when refused.
    bool AddRule();
    // Removes the selected rule, if any.
    void DeleteRule();
    void ClearRules();
    // Puts `pattern` and its field into the edit controls (as typing would).
    void SetPattern(RuleField field, const std::wstring& pattern);
    // The rule the controls show now.
    WindowRule RuleInField() const;
    // Shows how many windows the rule in the field matches.
    void UpdateMatchCount();

    CListCtrl ruleList;
    CWnd fieldBox; // a drop-down list: "Title", "Class"
    CEdit patternEdit;
    CStatic matchCount;

private:
    void InsertRow(int row, const WindowRule& rule);

    CRuleList& rules_;
    CWindowTexts texts_;
};
