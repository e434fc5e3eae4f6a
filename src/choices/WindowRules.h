#pragma once
#include <string>
#include <vector>

// The user's title and class rules: a window whose title (or class name)
// matches a rule's wildcard pattern as a whole is hidden with the chosen
// windows. Kept in the profile section "Rules" as "rule_0", "rule_1", ...
// numbered without gaps, each "title=<pattern>" or "class=<pattern>".
inline constexpr wchar_t kRuleListSection[] = L"Rules";

enum class RuleField { Title, Class };

struct WindowRule {
    RuleField field = RuleField::Title;
    std::wstring pattern; // never empty

    bool operator==(const WindowRule& other) const { return field == other.field && pattern == other.pattern; }
    // Whether a window of this title and class name matches.
    bool Matches(const wchar_t* title, const wchar_t* className) const;
};

// "title=<pattern>" or "class=<pattern>".
std::wstring FormatRule(const WindowRule& rule);
// The rule a stored value holds; false for any other form (an unknown
// field, no '=', an empty pattern).
bool ParseRule(const std::wstring& text, WindowRule& rule);

// A stored value kept as it was read: its registry type and its bytes.
struct KeptRuleValue {
    unsigned long type = 0;
    std::vector<unsigned char> data;
};

// The rules, plus the stored values that are not rules: those are kept as
// they were read (text or not) and written back after the rules, so that a
// value this version cannot read is never lost from the key.
struct CRuleList {
    std::vector<WindowRule> rules;
    std::vector<KeptRuleValue> unreadable;

    // Whether any rule matches a window of this title and class name.
    bool AnyMatches(const wchar_t* title, const wchar_t* className) const;
    // Index of the rule equal to `rule` (pattern letter case aside), or -1.
    int Find(const WindowRule& rule) const;
};

// Empties `list` and refills it from the profile, up to the first value
// that is missing or empty text; a value that is not a rule (of another
// form, or not text at all) is logged and kept aside. Returns how many
// values were read.
int LoadRuleList(CRuleList& list);
// Deletes "rule_0" onwards up to the first value that is not there, then
// writes the rules and after them the unreadable values. Returns how many
// values were written.
int SaveRuleList(const CRuleList& list);
