// 8.3 alternate names, the way a Windows volume reports them, so that the
// ISO 9660 side can hold ordinary long names.
#pragma once

#include <vector>

#include "platform/Platform.h"

namespace pm {

// Fills shortName of every entry of one folder: empty for a name that already
// is a legal 8.3 name, otherwise an upper-case alias BASE~N.EXT that is unique
// in the folder; a folder whose name holds a dot always gets an alias, BASE~N,
// as folder identifiers hold no dot. Entries marked `skipped` get none. Aliases are handed out in name order, so the result does not
// depend on the order of `entries`.
void AssignShortNames(std::vector<DirEntry>& entries);

}  // namespace pm
