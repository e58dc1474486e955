// Command line of parumero-cli.
#pragma once

#include <optional>
#include <string>

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
    std::optional<std::string> label;  // --label
    std::optional<std::string> date;   // --date "YYYY-MM-DD HH:MM:SS"
    bool quiet = false;
    std::string source;
    std::string image;
};

// Parses argv; on a usage error returns false with the reason in `error`.
bool ParseOptions(int argc, char** argv, Options& out, std::string& error);

extern const char* const kUsage;

}  // namespace pm::cli
