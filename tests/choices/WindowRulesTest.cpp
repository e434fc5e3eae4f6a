#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "choices/Wildcard.h"
#include "choices/WindowRules.h"
#include "framework/Profile.h"
#include "support/ScratchRegistry.h"

using testsupport::GetRawValue;
using testsupport::RawValueExists;
using testsupport::ScratchRegKey;
using testsupport::SetRawText;
using testsupport::SetRawValue;

TEST(Wildcard, MatchesTheWholeTextLetterCaseAside)
{
    const std::wstring longTitle = std::wstring(100000, L'a') + L"b";
    struct Case {
        std::wstring pattern;
        std::wstring text;
        bool matches;
    };
    const Case cases[] = {
        {L"", L"", true},
        {L"", L"Notepad", false},
        {L"*", L"", true},
        {L"*", L"any title at all", true},
        {L"?", L"", false},
        {L"?", L"x", true},
        {L"?", L"xy", false},
        {L"N?tepad", L"Notepad", true},
        {L"**a**", L"bab", true},
        {L"a***", L"a", true},
        {L"*a*b", L"ab a", false}, // must end in b
        {L"*a*b*c", L"xaxbxbxc", true},
        {L"Notepad", L"Untitled - Notepad", false}, // the whole title, not a part
        {L"*NOTEPAD", L"Untitled - notepad", true},
        {L"\u00c4rger*", L"\u00e4rger im b\u00fcro", true}, // letters beyond ASCII fold too
        {L"What?", L"What?", true},                         // a title with wildcard characters in it
        {L"a*b", L"a*b", true},
        {L"abc", L"a*c", false}, // a star in the title is only a star
        {L"[1] *", L"[1] report", true},
        {L"*a*a*a*b", longTitle, true},
        {L"*a*c", longTitle, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WildcardMatch(c.pattern, c.text), c.matches)
            << "'" << std::string(c.pattern.begin(), c.pattern.end()) << "' against a text of " << c.text.size();
}

TEST(Wildcard, RulesParseOnlyTheirTwoForms)
{
    struct Case {
        std::wstring text;
        bool valid;
        RuleField field;
        std::wstring pattern;
    };
    const Case cases[] = {
        {L"title=*Notepad", true, RuleField::Title, L"*Notepad"},
        {L"class=Cv?Plain", true, RuleField::Class, L"Cv?Plain"},
        {L"title=a=b", true, RuleField::Title, L"a=b"},
        {L"title=", false, {}, {}},
        {L"Title=x", false, {}, {}}, // the field names are written as shown
        {L"name=x", false, {}, {}},
        {L"*Notepad", false, {}, {}},
    };
    for (const Case& c : cases) {
        WindowRule rule;
        ASSERT_EQ(ParseRule(c.text, rule), c.valid) << std::string(c.text.begin(), c.text.end());
        if (c.valid) {
            EXPECT_EQ(rule.field, c.field);
            EXPECT_EQ(rule.pattern, c.pattern);
            EXPECT_EQ(FormatRule(rule), c.text);
        }
    }
}

namespace {

class RuleStore : public ::testing::Test {
protected:
    void SetUp() override { ProfileSetKey(scratch_.Company().c_str(), L"Covelin"); }
    void TearDown() override { ProfileSetKey(nullptr); }

    std::wstring Section() const { return scratch_.Path() + L"\\Covelin\\Rules"; }
    void Put(const wchar_t* name, const std::wstring& text)
    {
        ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, Section(), name, text));
    }
    std::wstring Text(const wchar_t* name) const { return ProfileReadString(L"Rules", name, L"<missing>"); }

    ScratchRegKey scratch_;
};

} // namespace

TEST_F(RuleStore, RoundTripStopsAtAGapAndKeepsWhatItCannotRead)
{
    Put(L"rule_0", L"title=*Notepad");
    Put(L"rule_1", L"hide everything");
    const DWORD number = 7;
    ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, Section(), L"rule_2", REG_DWORD, &number, sizeof(number)));
    Put(L"rule_3", L"class=Cv?Plain");
    Put(L"rule_4", L"title=*NOTEPAD"); // the same rule, letter case aside
    Put(L"rule_6", L"title=after the gap");

    CRuleList list;
    EXPECT_EQ(LoadRuleList(list), 5);
    EXPECT_EQ(list.rules, (std::vector<WindowRule>{{RuleField::Title, L"*Notepad"}, {RuleField::Class, L"Cv?Plain"}}));
    ASSERT_EQ(list.unreadable.size(), 2u);
    EXPECT_TRUE(list.AnyMatches(L"Untitled - notepad", L"Edit"));
    EXPECT_TRUE(list.AnyMatches(L"", L"CvHPlain"));
    EXPECT_FALSE(list.AnyMatches(L"Notepad help", L"CvPlain"));

    list.rules.erase(list.rules.begin());
    list.rules.push_back({RuleField::Title, L"new"});
    // Deleted up to the gap, then written without gaps: the rules, then the
    // values it could not read, as they were.
    EXPECT_EQ(SaveRuleList(list), 4);
    EXPECT_EQ(Text(L"rule_0"), L"class=Cv?Plain");
    EXPECT_EQ(Text(L"rule_1"), L"title=new");
    EXPECT_EQ(Text(L"rule_2"), L"hide everything");
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(GetRawValue(HKEY_CURRENT_USER, Section(), L"rule_3", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, (std::vector<BYTE>{7, 0, 0, 0}));
    EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, Section(), L"rule_4"));
    EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, Section(), L"rule_5"));
    EXPECT_EQ(Text(L"rule_6"), L"title=after the gap") << "values after a gap are left alone";

    // An empty list deletes what it wrote; without a section nothing is read.
    EXPECT_EQ(SaveRuleList(CRuleList{}), 0);
    EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, Section(), L"rule_0"));
    EXPECT_EQ(LoadRuleList(list), 0);
    EXPECT_TRUE(list.rules.empty() && list.unreadable.empty());
}
