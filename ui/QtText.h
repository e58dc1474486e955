// Our UTF-8 strings and the string table's texts as Qt text, for every window.
#pragma once

#include <QString>
#include <string>

#include "messages/Strings.h"

namespace pm {

inline QString Q(const std::string& s) { return QString::fromStdString(s); }
inline QString Text(int id) { return Q(LoadString(id)); }

}  // namespace pm
