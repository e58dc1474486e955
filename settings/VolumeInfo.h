// The volume information that the descriptors carry, its settings file and
// the inputs a build copies into it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tree/ExceptList.h"
#include "tree/WideString.h"

namespace pm {

struct VolumeDate {
    uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
    uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
    bool operator==(const VolumeDate&) const = default;
};

bool IsDateUnset(const VolumeDate& d);

// The dialogs keep a date picker and a time picker; the record one date.
// Join takes year, month and day of `date` and the clock of `time`.
VolumeDate JoinDateTime(const VolumeDate& date, const VolumeDate& time);
void SplitDateTime(const VolumeDate& both, VolumeDate& date, VolumeDate& time);

class VolumeInfo {
public:
    virtual ~VolumeInfo() = default;

    std::string Label;
    std::string OS;
    std::string VolSetID;
    uint16_t VolSetSize = 1;
    uint16_t VolNumber = 1;
    std::string Publisher;
    std::string Prepare;
    std::string Application;
    std::string Copyright;
    std::string Abstract;
    std::string Biblographic;
    VolumeDate Creation;
    VolumeDate Modification;
    VolumeDate Expiration;
    VolumeDate Effective;
    std::string ImplID;
    Cs0String UdfLabel;
    Cs0String UdfVolSet;
    ::pm::ExceptList ExceptList;
    // Names beginning with "." get the hidden attribute, as on systems where
    // that is what hidden means; off, nothing is hidden that the source file
    // system does not mark so. Key "HideDotFiles" of section "Options".
    bool HideDotFiles = false;
    // Every file's data starts on a 4 KiB boundary of the image (a zero
    // sector where needed), so that on a file system that shares blocks
    // (btrfs, XFS) the image's file data can share the source's blocks
    // instead of copying them. Key "Reflink" of section "Options".
    bool Reflink = false;
    // Keeps the Linux attributes (modes, owners, times, symbolic and hard
    // links): Rock Ridge in the ISO 9660 tree, the UDF file entries' own
    // fields in the UDF tree. Key "PosixAttributes" of section "Options".
    bool PosixAttributes = false;
};

// The process-wide record.
VolumeInfo& TheVolumeInfo();

// Settings file (section "VolumeInfo"). Texts are UTF-8 inside; a file that is
// not valid UTF-8 is read as code page 932.
// A file that is not read leaves the defaults; the status says why.
// Values out of range (a set size or volume number outside 1 to 65535 or not
// a number, a volume number above the set size, a date that is no calendar
// date) are not taken: the default stands, and `outOfRange`, when given, gets
// one message for each, naming the key and the value.
SmallFileStatus LoadVolumeInfo(VolumeInfo& info, const std::string& settingsPath, int* cause = nullptr,
                               std::vector<std::string>* outOfRange = nullptr);
// A date the descriptors can hold: unset, a year of 1 to 9999 alone, or a
// calendar date of those years, with a time of day (seconds 0 to 59).
bool IsValidVolumeDate(const VolumeDate& d);
// False when the file could not be written, with the cause (a FileErrorCause) in
// `cause`; a file that is there but cannot be read is not replaced.
bool SaveVolumeInfo(const VolumeInfo& info, const std::string& settingsPath, int* cause = nullptr);
// The desktop program's boot entries, section "Boot" of the settings file. The
// command line does not read them: an image there is bootable only when its
// own options say so, whatever the window last chose.
struct BootChoices {
    std::string BiosImage;      // "BiosImage"; empty: no BIOS entry
    uint16_t BiosLoadSize = 0;  // "BiosLoadSize", 512-byte sectors; 0: the whole image
    bool BiosInfoTable = false; // "BiosInfoTable"
    std::string UefiImage;      // "UefiImage"; empty: no UEFI entry
    std::string Catalog;        // "Catalog", where the trees list the catalog; empty: nowhere
    bool operator==(const BootChoices&) const = default;
};

// A file not read leaves the defaults; a load size that is no number of 0 to
// 65535 is not taken, with its message in `outOfRange` as for the volume keys.
void LoadBootChoices(BootChoices& boot, const std::string& settingsPath, std::vector<std::string>* outOfRange = nullptr);
// Writes section "Boot" alone; false, with the cause, as SaveVolumeInfo.
bool SaveBootChoices(const BootChoices& boot, const std::string& settingsPath, int* cause = nullptr);

void ApplyBuildInputs(VolumeInfo& info, const std::string& label, const VolumeDate& date, const VolumeDate& time);

}  // namespace pm
