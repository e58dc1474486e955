#include "cli/Options.h"

#include <cstring>

namespace pm::cli {

const char* const kUsage =
    "usage: parumero-cli [--kind joliet|bridge|udf] [--label TEXT] [--date \"YYYY-MM-DD HH:MM:SS\"]\n"
    "                    [--settings FILE] [--except FILE] [--no-short-names] [--quiet] SOURCE IMAGE\n"
    "       parumero-cli --size [--check] [--kind joliet|bridge|udf] [--except FILE] [--no-short-names] SOURCE\n"
    "       parumero-cli --verify [--kind joliet|bridge|udf] [--except FILE] [--no-short-names] SOURCE IMAGE\n"
    "       parumero-cli --names [--kind joliet|bridge|udf] [--except FILE] [--no-short-names] SOURCE\n"
    "--verify-after (with a build) verifies the image when it is finished, as --verify does.\n";

bool ParseOptions(int argc, char** argv, Options& out, std::string& error) {
    int positional = 0;
    auto takePositional = [&](const std::string& a) {
        if (positional == 0) out.source = a;
        else if (positional == 1) out.image = a;
        ++positional;
    };
    bool optionsEnded = false;
    auto value = [&](int& i, const char* name, std::string& dest) {
        if (i + 1 >= argc) {
            error = std::string(name) + " needs a value";
            return false;
        }
        dest = argv[++i];
        return true;
    };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string v;
        if (optionsEnded) takePositional(a);
        else if (a == "--size") out.size = true;
        else if (a == "--check") out.check = true;
        else if (a == "--verify") out.verify = true;
        else if (a == "--verify-after") out.verifyAfter = true;
        else if (a == "--names") out.names = true;
        else if (a == "--no-short-names") out.shortNames = false;
        else if (a == "--quiet") out.quiet = true;
        else if (a == "--kind") {
            if (!value(i, "--kind", v)) return false;
            if (v == "joliet") out.kind = FileSystemType::Joliet;
            else if (v == "bridge") out.kind = FileSystemType::UdfBridge;
            else if (v == "udf") out.kind = FileSystemType::Udf;
            else {
                error = "unknown kind: " + v + " (joliet, bridge or udf)";
                return false;
            }
        } else if (a == "--except") {
            if (!value(i, "--except", out.exceptFile)) return false;
        } else if (a == "--settings") {
            if (!value(i, "--settings", out.settingsFile)) return false;
        } else if (a == "--label") {
            if (!value(i, "--label", v)) return false;
            out.label = v;
        } else if (a == "--date") {
            if (!value(i, "--date", v)) return false;
            out.date = v;
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option: " + a;
            return false;
        } else {
            takePositional(a);
        }
    }
    if (int(out.size) + int(out.verify) + int(out.names) > 1 || (out.verifyAfter && (out.size || out.verify || out.names))) {
        error = "--size, --verify, --names and --verify-after go one at a time";
        return false;
    }
    bool sourceOnly = out.size || out.names;
    if (positional != (sourceOnly ? 1 : 2)) {
        error = out.size ? "--size takes one SOURCE" : out.names ? "--names takes one SOURCE" : "SOURCE and IMAGE are needed";
        return false;
    }
    if (out.check && !out.size) {
        error = "--check goes with --size";
        return false;
    }
    return true;
}

}  // namespace pm::cli
