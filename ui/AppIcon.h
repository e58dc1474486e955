// The program icon, drawn from its SVG at the sizes window systems ask for.
#pragma once

#include <QIcon>

namespace pm {

// Empty when the executable carries no icon resource.
QIcon ProgramIcon();

}  // namespace pm
