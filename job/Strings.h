// The string table: every text a user sees, addressed by its number. Shared
// by the core and both front ends.
#pragma once

#include <string>

namespace pm {

// UTF-8 text of string `id`; empty for an unknown number.
const std::string& LoadString(int id);
// printf-style "%s" substitution, in order.
std::string FormatString(int id, const std::string& a);
std::string FormatString(int id, const std::string& a, const std::string& b);
// "%1" / "%2" substitution (the dialog validation texts).
std::string FormatNumbered(int id, const std::string& p1, const std::string& p2 = std::string());

}  // namespace pm
