#include "ui/RuleSection.h"

#include <mutex>

#include "framework/Dpi.h"
#include "framework/WinApp.h"
#include "ui/ListPage.h"
#include "ui/Texts.h"
#include "ui/res/resource.h"

void CWindowTexts::ReadIfOld()
{
    const ULONGLONG now = GetTickCount64();
    if (readAt_ != 0 && now - readAt_ < kLifeMs)
        return;
    readAt_ = now;
    std::vector<HWND> windows;
    {
        // Records live only while the lock is held; the texts are read after.
        std::lock_guard<CCriticalSection> lock(catalogues_.windowLock);
        windows.reserve(static_cast<size_t>(catalogues_.windowCatalogue.GetSize()));
        for (int i = 0; i < catalogues_.windowCatalogue.GetSize(); ++i)
            if (CCvWnd* record = catalogues_.windowCatalogue[i])
                windows.push_back(record->GetHandle());
    }
    texts_.clear();
    texts_.reserve(windows.size());
    for (HWND window : windows) {
        // As the hide reads them: no message to the window's program.
        wchar_t title[CCvWnd::kTitleSize] = {};
        wchar_t className[CCvWnd::kTitleSize] = {};
        if (!InternalGetWindowText(window, title, CCvWnd::kTitleSize) && !IsWindow(window))
            continue;
        GetClassNameW(window, className, CCvWnd::kTitleSize);
        texts_.emplace_back(title, className);
    }
}

int CWindowTexts::CountMatches(const WindowRule& rule)
{
    if (rule.pattern.empty())
        return 0;
    ReadIfOld();
    int count = 0;
    for (const auto& [title, className] : texts_)
        count += rule.Matches(title.c_str(), className.c_str()) ? 1 : 0;
    return count;
}

CRuleSection::CRuleSection(Catalogues& catalogues, CRuleList& ruleList) : rules_(ruleList), texts_(catalogues)
{
}

void CRuleSection::Bind(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_RULE_LIST, ruleList);
    DDX_Control(pDX, IDC_RULE_FIELD, fieldBox);
    DDX_Control(pDX, IDC_RULE_PATTERN, patternEdit);
    DDX_Control(pDX, IDC_RULE_MATCHES, matchCount);
}

void CRuleSection::SetUp(UINT dpi)
{
    ruleList.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    ruleList.InsertColumn(0, kColumnRuleField, LVCFMT_LEFT, ScaleForDpi(60, dpi));
    ruleList.InsertColumn(1, kColumnRulePattern, LVCFMT_LEFT, ScaleForDpi(290, dpi));
    for (size_t i = 0; i < rules_.rules.size(); ++i)
        InsertRow(static_cast<int>(i), rules_.rules[i]);
    fieldBox.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kRuleFieldTitle));
    fieldBox.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kRuleFieldClass));
    fieldBox.SendMessage(CB_SETCURSEL, 0, 0);
    patternEdit.SetLimitText(CCvWnd::kTitleSize - 1);
    UpdateMatchCount();
}

void CRuleSection::Rescale(UINT previousDpi, UINT dpi)
{
    RescaleColumns(ruleList, previousDpi, dpi);
}

void CRuleSection::InsertRow(int row, const WindowRule& rule)
{
    const int inserted =
        ruleList.InsertItem(row, rule.field == RuleField::Title ? kRuleFieldTitle : kRuleFieldClass, -1);
    if (inserted >= 0)
        ruleList.SetItemText(inserted, 1, rule.pattern.c_str());
}

WindowRule CRuleSection::RuleInField() const
{
    WindowRule rule;
    rule.field = fieldBox.SendMessage(CB_GETCURSEL, 0, 0) == 1 ? RuleField::Class : RuleField::Title;
    rule.pattern = patternEdit.GetWindowText();
    return rule;
}

void CRuleSection::SetPattern(RuleField field, const std::wstring& pattern)
{
    fieldBox.SendMessage(CB_SETCURSEL, field == RuleField::Class ? 1 : 0, 0);
    patternEdit.SetWindowText(pattern);
    UpdateMatchCount();
}

void CRuleSection::UpdateMatchCount()
{
    const WindowRule rule = RuleInField();
    if (rule.pattern.empty()) {
        matchCount.SetWindowText(L"");
        return;
    }
    const int count = texts_.CountMatches(rule);
    wchar_t text[64] = {};
    swprintf(text, 64, count == 1 ? kRuleMatchesOne : kRuleMatchesMany, count);
    matchCount.SetWindowText(text);
}

bool CRuleSection::AddRule()
{
    const WindowRule rule = RuleInField();
    if (rule.pattern.empty()) {
        AfxMessageBox(kMsgRulePatternEmpty, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (rules_.Find(rule) >= 0) {
        AfxMessageBox(kMsgRuleAlreadyListed, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    rules_.rules.push_back(rule);
    InsertRow(ruleList.GetItemCount(), rule);
    return true;
}

void CRuleSection::DeleteRule()
{
    const int row = ruleList.GetFirstSelectedItem();
    if (row < 0 || row >= static_cast<int>(rules_.rules.size()))
        return;
    rules_.rules.erase(rules_.rules.begin() + row);
    ruleList.DeleteItem(row);
    SelectRowAfterRemoval(ruleList, row);
}

void CRuleSection::ClearRules()
{
    rules_.rules.clear();
    ruleList.DeleteAllItems();
}

bool CRuleSection::OnCommand(WPARAM wParam)
{
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (code == BN_CLICKED && id == IDC_ADD_RULE)
        AddRule();
    else if (code == BN_CLICKED && id == IDC_DELETE_RULE)
        DeleteRule();
    else if (code == BN_CLICKED && id == IDC_CLEAR_RULES)
        ClearRules();
    else if ((code == EN_CHANGE && id == IDC_RULE_PATTERN) || (code == CBN_SELCHANGE && id == IDC_RULE_FIELD))
        UpdateMatchCount();
    else
        return false;
    return true;
}

bool CRuleSection::OnNotify(const NMHDR& header)
{
    if (static_cast<int>(header.idFrom) != IDC_RULE_LIST)
        return false;
    if (header.code == LVN_ITEMCHANGED) {
        // A rule selected shows in the field, with its count of matches.
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        const bool selected = (change.uNewState & LVIS_SELECTED) != 0 && (change.uOldState & LVIS_SELECTED) == 0;
        if (selected && change.iItem >= 0 && change.iItem < static_cast<int>(rules_.rules.size())) {
            const WindowRule& rule = rules_.rules[static_cast<size_t>(change.iItem)];
            SetPattern(rule.field, rule.pattern);
        }
        return true;
    }
    if (header.code == NM_DBLCLK) {
        DeleteRule();
        return true;
    }
    return false;
}
