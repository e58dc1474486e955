// The checks and defaults of the start button and of a chosen folder, shared
// by the dialog and the command line.
#pragma once

#include <cstdint>
#include <string>

#include "layout/BuildRequest.h"
#include "settings/VolumeInfo.h"

namespace pm {

class Platform;

// The longest volume label, in UTF-16 units.
constexpr int kMaxLabelUnits = 15;

// Label, date and time a chosen folder suggests: the folder's title (its name
// without the part from the last "."), cut to 15 UTF-16 units, and its
// last-write time. False when the folder cannot be found.
bool FolderDefaults(Platform& platform, const std::string& folder, std::string& label, VolumeDate& date,
                    VolumeDate& time);

// First `units` UTF-16 units of the text, never splitting a surrogate pair.
std::string CutToUnits(const std::string& text, int units);
bool LabelFits(const std::string& label);

// Appends ".iso" unless the path ends in ".iso", ".img" or ".bin" (any case).
std::string NormaliseImagePath(const std::string& path);

// The folder part of an image path, with its trailing "/" ("" when none).
std::string ImageFolder(const std::string& path);
// The typed image path ends in "/" or names a folder (as typed, or with the
// extension the start button would append): no image file can be made of it.
bool ImagePathNamesFolder(Platform& platform, const std::string& typed);
// What a request takes from the system rather than the user, read by the
// front end before the work starts: the standard time offset, the seed of the
// UDF volume set identifier (SOURCE_DATE_EPOCH when set, so images can be
// reproduced, otherwise the clock) and the number of readers ahead
// (PARUMERO_READERS, 1 to 64, when set to a number).
void ApplySystemInputs(BuildRequest& request, Platform& platform);
// SOURCE_DATE_EPOCH is set but no number of seconds (decimal, at most
// 2^32 - 1 here): builds go on as without it, and the front end says so.
bool EpochIgnored();

// "YYYY-MM-DD HH:MM:SS" (or "YYYY-MM-DD") into date and time; false when it
// does not parse or a member is out of range.
bool ParseDateTime(const std::string& text, VolumeDate& date, VolumeDate& time);

// The line both front ends show after an image's size: the smallest usual
// medium that holds `sectors` 2048-byte sectors ("CD 700 MB に収まります。",
// then DVD, DVD DL, BD, BD DL), or that none does.
std::string FitsOnText(uint64_t sectors);

}  // namespace pm
