#include "settings/HotkeyChord.h"

bool HotkeyChord::IsEmpty() const
{
    for (BYTE key : keys)
        if (key & kMember)
            return false;
    return true;
}

int ChordIsDown(const HotkeyChord& chord, KeyStateSource keyState)
{
    bool anyKey = false;
    for (int code = 0; code < 256; ++code) {
        if (!(chord.keys[code] & HotkeyChord::kMember))
            continue;
        anyKey = true;
        if (!(static_cast<unsigned short>(keyState(code)) & 0x8000))
            return 0;
    }
    return anyKey ? 1 : 0;
}

namespace {

struct NamedKey {
    unsigned char code;
    const wchar_t* name;
};

// Keys whose names are not derived from their codes.
constexpr NamedKey kNamedKeys[] = {
    {1, L"LBUTTON"},   {2, L"RBUTTON"},     {3, L"CANCEL"},  {4, L"MBUTTON"},     {5, L"XBUTTON1"},
    {6, L"XBUTTON2"},  {8, L"BACK"},        {9, L"TAB"},     {12, L"CLEAR"},      {13, L"RETURN"},
    {16, L"SHIFT"},    {17, L"CTRL"},       {18, L"ALT"},    {19, L"PAUSE"},      {20, L"CAPITAL"},
    {21, L"KANA"},     {23, L"JUNJA"},      {24, L"FINAL"},  {25, L"KANJI"},      {27, L"ESC"},
    {28, L"CONVERT"},  {29, L"NONCONVERT"}, {30, L"ACCEPT"}, {31, L"MODECHANGE"}, {32, L"SPACE"},
    {33, L"PRIOR"},    {34, L"NEXT"},       {35, L"END"},    {36, L"HOME"},       {37, L"LEFT"},
    {38, L"UP"},       {39, L"RIGHT"},      {40, L"DOWN"},   {41, L"SELECT"},     {42, L"PRINT"},
    {43, L"EXECUTE"},  {44, L"SNAPSHOT"},   {45, L"INSERT"}, {46, L"DELETE"},     {47, L"HELP"},
    {91, L"LWIN"},     {92, L"RWIN"},       {93, L"APPS"},   {95, L"SLEEP"},      {106, L"NUM*"},
    {107, L"NUM+"},    {108, L"SEPARATOR"}, {109, L"NUM-"},  {110, L"NUM."},      {111, L"NUM/"},
    {144, L"NUMLOCK"}, {145, L"SCROLL"},    {186, L";"},     {187, L"="},         {188, L","},
    {189, L"-"},       {190, L"."},         {191, L"/"},     {192, L"`"},         {219, L"["},
    {220, L"\\"},      {221, L"]"},         {222, L"'"},
};

} // namespace

bool KeyName(unsigned code, std::wstring& out)
{
    if (code >= '0' && code <= '9') {
        out.assign(1, static_cast<wchar_t>(code));
        return true;
    }
    if (code >= 'A' && code <= 'Z') {
        out.assign(1, static_cast<wchar_t>(code));
        return true;
    }
    if (code >= 96 && code <= 105) {
        out = L"NUM" + std::to_wstring(code - 96);
        return true;
    }
    if (code >= 112 && code <= 135) {
        out = L"F" + std::to_wstring(code - 111);
        return true;
    }
    for (const NamedKey& key : kNamedKeys) {
        if (key.code == code) {
            out = key.name;
            return true;
        }
    }
    return false;
}

std::wstring RenderText(const HotkeyChord& chord)
{
    std::wstring text;
    std::wstring name;
    for (unsigned code = 0; code < 256; ++code) {
        if ((chord.keys[code] & HotkeyChord::kMember) && KeyName(code, name)) {
            text += name;
            text += L'+';
        }
    }
    // Only the separator added last goes: "NUM+" keeps its own plus sign.
    if (!text.empty() && text.back() == L'+')
        text.pop_back();
    return text;
}
