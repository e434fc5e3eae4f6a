#include "choices/WindowRules.h"

#include <windows.h>

#include "choices/Wildcard.h"
#include "framework/Log.h"
#include "framework/Profile.h"

namespace {

constexpr wchar_t kTitlePrefix[] = L"title=";
constexpr wchar_t kClassPrefix[] = L"class=";

std::wstring RuleValueName(int index)
{
    return L"rule_" + std::to_wstring(index);
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix, size_t length)
{
    return text.compare(0, length, prefix) == 0;
}

} // namespace

bool WindowRule::Matches(const wchar_t* title, const wchar_t* className) const
{
    const wchar_t* text = field == RuleField::Title ? title : className;
    return WildcardMatch(pattern, text != nullptr ? text : L"");
}

std::wstring FormatRule(const WindowRule& rule)
{
    return (rule.field == RuleField::Title ? kTitlePrefix : kClassPrefix) + rule.pattern;
}

bool ParseRule(const std::wstring& text, WindowRule& rule)
{
    constexpr size_t kPrefixLength = 6; // both prefixes
    WindowRule parsed;
    if (StartsWith(text, kTitlePrefix, kPrefixLength))
        parsed.field = RuleField::Title;
    else if (StartsWith(text, kClassPrefix, kPrefixLength))
        parsed.field = RuleField::Class;
    else
        return false;
    parsed.pattern = text.substr(kPrefixLength);
    if (parsed.pattern.empty())
        return false;
    rule = parsed;
    return true;
}

bool CRuleList::AnyMatches(const wchar_t* title, const wchar_t* className) const
{
    for (const WindowRule& rule : rules)
        if (rule.Matches(title, className))
            return true;
    return false;
}

int CRuleList::Find(const WindowRule& rule) const
{
    for (size_t i = 0; i < rules.size(); ++i) {
        // Patterns match without regard to case, so two that differ only in
        // case are the same rule.
        if (rules[i].field == rule.field &&
            CompareStringOrdinal(rules[i].pattern.c_str(), -1, rule.pattern.c_str(), -1, TRUE) == CSTR_EQUAL)
            return static_cast<int>(i);
    }
    return -1;
}

namespace {

// The value `name` of the rules' key as stored; false when it is missing.
bool ReadStoredValue(const std::wstring& name, KeptRuleValue& value)
{
    const std::wstring key = ProfileKeyPath();
    if (key.empty())
        return false;
    const std::wstring path = key + L"\\" + kRuleListSection;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(opened, name.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.type = type;
        value.data.assign(size, 0);
        if (size > 0)
            status = RegQueryValueExW(opened, name.c_str(), nullptr, &type, value.data.data(), &size);
        value.data.resize(size);
    }
    RegCloseKey(opened);
    return status == ERROR_SUCCESS;
}

// The text of a REG_SZ value up to its first zero; false for another type.
bool TextOf(const KeptRuleValue& value, std::wstring& text)
{
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ)
        return false;
    const auto* units = reinterpret_cast<const wchar_t*>(value.data.data());
    const size_t count = value.data.size() / sizeof(wchar_t);
    size_t length = 0;
    while (length < count && units[length] != L'\0')
        ++length;
    text.assign(units, length);
    return true;
}

bool WriteStoredValue(const std::wstring& name, const KeptRuleValue& value)
{
    const std::wstring path = ProfileKeyPath() + L"\\" + kRuleListSection;
    return RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

} // namespace

int LoadRuleList(CRuleList& list)
{
    list.rules.clear();
    list.unreadable.clear();
    int read = 0;
    for (int i = 0;; ++i) {
        const std::wstring name = RuleValueName(i);
        KeptRuleValue value;
        if (!ReadStoredValue(name, value))
            break;
        std::wstring text;
        const bool isText = TextOf(value, text);
        if (isText && text.empty())
            break;
        ++read;
        WindowRule rule;
        if (!isText || !ParseRule(text, rule)) {
            Log::Line(L"The rule " + name + (isText ? L" = '" + text + L"'" : std::wstring(L" (not text)")) +
                      L" is neither title=... nor class=...; it is kept but not used");
            list.unreadable.push_back(value);
        } else if (list.Find(rule) < 0) {
            list.rules.push_back(rule);
        }
    }
    return read;
}

int SaveRuleList(const CRuleList& list)
{
    // As the file list: the old values go up to the first one missing;
    // values after a gap were never part of the list and are left alone.
    for (int i = 0;; ++i)
        if (!ProfileWriteString(kRuleListSection, RuleValueName(i).c_str(), nullptr))
            break;

    int written = 0;
    for (const WindowRule& rule : list.rules) {
        if (rule.pattern.empty())
            continue;
        const std::wstring value = FormatRule(rule);
        if (ProfileWriteString(kRuleListSection, RuleValueName(written).c_str(), value.c_str()))
            ++written;
        else
            Log::Failure(L"Saving the rules: " + RuleValueName(written) + L" = " + value);
    }
    for (const KeptRuleValue& value : list.unreadable) {
        if (WriteStoredValue(RuleValueName(written), value))
            ++written;
        else
            Log::Failure(L"Saving the rules: " + RuleValueName(written) + L" as it was read");
    }
    return written;
}
