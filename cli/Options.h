// Command line of parumero-cli.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "layout/ImageBuilder.h"

namespace pm::cli {

struct Options {
    bool size = false;        // --size: preview only
    bool check = false;       // --check: also run the name check
    bool verify = false;      // --verify: compare IMAGE with SOURCE
    bool verifyAfter = false; // --verify-after: verify a finished build
    bool names = false;       // --names: print the name map
    FileSystemType kind = FileSystemType::Joliet;
    std::string exceptFile;   // --except
    std::string settingsFile; // --settings
    bool shortNames = true;   // --no-short-names turns them off
    bool hideDotFiles = false;  // --hide-dot-files
    bool reflink = false;       // --reflink
    bool posix = false;         // --posix
    std::optional<std::string> label;  // --label
    std::optional<std::string> date;   // --date "YYYY-MM-DD HH:MM:SS", checked
    // --boot-bios, --boot-uefi: one entry each, in catalog order;
    // --boot-load-size and --boot-info-table change the entry just before.
    std::vector<BootRequest> boot;
    std::string bootCatalog;
    std::string bootFrom;      // --boot-from: the boot entries of an older image, before the others
    bool bootWindows = false;  // --boot-windows: the entries of a Windows setup folder  // --boot-catalog: where the trees list the catalog
    bool quiet = false;
    bool help = false;        // -h, --help
    bool version = false;     // -V, --version
    std::string source;
    std::string image;        // "-": standard output
};

// IMAGE that means standard output.
inline constexpr char kStandardOutputImage[] = "-";

// Parses argv. On a usage error returns false with the reason, in the current
// language, in `error`. --help and --version end the parsing: nothing after
// them is looked at.
bool ParseOptions(int argc, char** argv, Options& out, std::string& error);

// The usage lines and every option, for --help.
std::string HelpText();

}  // namespace pm::cli
