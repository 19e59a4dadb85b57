#pragma once
// Compares names as a reader sees them: ignoring letter case for every letter, not only ASCII,
// and ignoring the normalisation form (a name written on Windows in NFC finds the file that a
// Mac stored in NFD).

#include <string>
#include <string_view>

namespace velmora::unicode {

// The canonical decomposition (NFD) of a text: every character decomposed, combining marks in
// canonical order.
std::u32string Decompose(std::u32string_view text);

// A key that two names share exactly when they are equal ignoring letter case and normalisation
// form: the decomposition of the simple case folding of the name's decomposition. Bytes that are
// not UTF-8 stay distinct from every character and from each other.
std::u32string NameMatchKey(std::string_view utf8Name);

bool SameNameIgnoringCaseAndForm(std::string_view a, std::string_view b);

}  // namespace velmora::unicode
