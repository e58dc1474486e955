// Keeps the screen saver away while a build runs, through the desktop's
// org.freedesktop.ScreenSaver service. Where there is no session bus or no
// such service, nothing happens and nothing is reported: a build never
// depends on it.
#pragma once

#include <cstdint>

namespace pm {

// A cookie for UnInhibitScreenSaver; 0 when nothing was inhibited. Safe to
// call from the worker thread.
uint32_t InhibitScreenSaver();
void UnInhibitScreenSaver(uint32_t cookie);

}  // namespace pm
