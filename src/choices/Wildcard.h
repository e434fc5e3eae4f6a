#pragma once
#include <string_view>

// Whether `text` as a whole matches `pattern`: `*` stands for any run of
// characters (none too), `?` for exactly one, every other character for
// itself with letter case aside. An empty pattern matches only an empty
// text. Linear in memory and never recursive, whatever the lengths.
bool WildcardMatch(std::wstring_view pattern, std::wstring_view text);
