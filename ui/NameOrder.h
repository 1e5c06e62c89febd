#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace voldrane::ui {

// Both dialogs' lists are sorted by name as entries are inserted, like a list view with the
// ascending sort style: without regard to case first, then by exact text so the order is
// stable. Later edits of an entry's text do not move it.
//
// Texts are UTF-8 (a byte that is not counts as U+FFFD) compared as UTF-16 units, as the list
// views of both toolkits compare them. Case is folded by Unicode's simple folding for Latin,
// Greek, Cyrillic, Armenian and the fullwidth Latin letters; other letters compare as they are.
bool NameLess(std::string_view a, std::string_view b);

// The row at which `text` goes in among `rows` (in list order), after every entry that does
// not sort behind it.
int SortedRow(const std::vector<std::string>& rows, std::string_view text);

}  // namespace voldrane::ui
