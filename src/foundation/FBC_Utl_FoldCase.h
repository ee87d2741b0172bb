#pragma once
// Text folded for searches that ignore letter case: Unicode full case
// folding of UTF-8 ("Straße" and "STRASSE" fold alike), bytes that are not
// UTF-8 replaced by U+FFFD. Keeps no state; any thread.
#include <string>

namespace ComVantoVantoQZ64RADPlug {

std::string FBC_Utl_FoldCase(const std::string& utf8);

}  // namespace ComVantoVantoQZ64RADPlug
