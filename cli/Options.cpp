#include "cli/Options.h"

#include <algorithm>

#include "job/BuildInputs.h"
#include "messages/Strings.h"

namespace pm::cli {
namespace {

bool KindFromName(const std::string& name, FileSystemType& kind) {
    if (name == "joliet") kind = FileSystemType::Joliet;
    else if (name == "bridge") kind = FileSystemType::UdfBridge;
    else if (name == "udf") kind = FileSystemType::Udf;
    else return false;
    return true;
}

bool DateFits(const std::string& text) {
    VolumeDate date, time;
    return ParseDateTime(text, date, time);
}

int AddBootEntry(Options& o, uint8_t platform, const std::string& image) {
    o.boot.push_back(BootRequest{platform, image, 0, false});
    return 0;
}

// 1 to 65535: the catalog's field has 16 bits, and 0 would mean "the whole image".
int TakeLoadSize(Options& o, const std::string& v) {
    if (o.boot.empty()) return kMsgBootOptionNeedsEntry;
    unsigned long n = 0;
    if (v.empty() || v.size() > 5 || v.find_first_not_of("0123456789") != std::string::npos ||
        (n = std::stoul(v)) < 1 || n > 0xFFFF)
        return kMsgBootLoadSizeForm;
    o.boot.back().loadSectors = uint32_t(n);
    return 0;
}

// One row per option. `take` stores the option in the options and answers 0,
// or the number of the text that refuses its value ("%s": the value).
struct OptionSpec {
    const char* name;
    const char* shortName;  // null when there is none
    bool takesValue;
    int (*take)(Options& o, const std::string& value);
};

const OptionSpec kOptions[] = {
    {"--kind", nullptr, true, [](Options& o, const std::string& v) { return KindFromName(v, o.kind) ? 0 : kMsgUnknownKind; }},
    {"--label", nullptr, true, [](Options& o, const std::string& v) { return o.label = v, 0; }},
    {"--date", nullptr, true, [](Options& o, const std::string& v) { return DateFits(v) ? (o.date = v, 0) : kMsgDateForm; }},
    {"--settings", nullptr, true, [](Options& o, const std::string& v) { return o.settingsFile = v, 0; }},
    {"--except", nullptr, true, [](Options& o, const std::string& v) { return o.exceptFile = v, 0; }},
    {"--no-short-names", nullptr, false, [](Options& o, const std::string&) { return o.shortNames = false, 0; }},
    {"--hide-dot-files", nullptr, false, [](Options& o, const std::string&) { return o.hideDotFiles = true, 0; }},
    {"--reflink", nullptr, false, [](Options& o, const std::string&) { return o.reflink = true, 0; }},
    {"--posix", nullptr, false, [](Options& o, const std::string&) { return o.posix = true, 0; }},
    {"--verify", nullptr, false, [](Options& o, const std::string&) { return o.verify = true, 0; }},
    {"--verify-after", nullptr, false, [](Options& o, const std::string&) { return o.verifyAfter = true, 0; }},
    {"--names", nullptr, false, [](Options& o, const std::string&) { return o.names = true, 0; }},
    {"--size", nullptr, false, [](Options& o, const std::string&) { return o.size = true, 0; }},
    {"--check", nullptr, false, [](Options& o, const std::string&) { return o.check = true, 0; }},
    {"--boot-bios", nullptr, true, [](Options& o, const std::string& v) { return AddBootEntry(o, 0x00, v); }},
    {"--boot-uefi", nullptr, true, [](Options& o, const std::string& v) { return AddBootEntry(o, 0xEF, v); }},
    {"--boot-load-size", nullptr, true, TakeLoadSize},
    {"--boot-from", nullptr, true, [](Options& o, const std::string& v) { return o.bootFrom = v, 0; }},
    {"--boot-windows", nullptr, false, [](Options& o, const std::string&) { return o.bootWindows = true, 0; }},
    {"--boot-catalog", nullptr, true, [](Options& o, const std::string& v) { return o.bootCatalog = v, 0; }},
    {"--boot-info-table", nullptr, false, [](Options& o, const std::string&) {
         return o.boot.empty() ? int(kMsgBootOptionNeedsEntry) : (o.boot.back().infoTable = true, 0);
     }},
    {"--quiet", nullptr, false, [](Options& o, const std::string&) { return o.quiet = true, 0; }},
    {"--help", "-h", false, [](Options& o, const std::string&) { return o.help = true, 0; }},
    {"--version", "-V", false, [](Options& o, const std::string&) { return o.version = true, 0; }},
};

const OptionSpec* FindOption(const std::string& name) {
    for (const OptionSpec& spec : kOptions)
        if (name == spec.name || (spec.shortName && name == spec.shortName)) return &spec;
    return nullptr;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& out, std::string& error) {
    int positional = 0;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // "-" alone is an IMAGE (standard output), not an option.
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (positional == 0) out.source = arg;
            else if (positional == 1) out.image = arg;
            ++positional;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, equals);
        const OptionSpec* spec = FindOption(name);
        if (!spec) {
            error = FormatString(kMsgUnknownOption, name);
            return false;
        }
        std::string value;
        if (equals != std::string::npos) {
            if (!spec->takesValue) {
                error = FormatString(kMsgOptionTakesNoValue, name);
                return false;
            }
            value = arg.substr(equals + 1);
        } else if (spec->takesValue) {
            if (i + 1 >= argc) {
                error = FormatString(kMsgOptionNeedsValue, name);
                return false;
            }
            value = argv[++i];
        }
        if (int refusal = spec->take(out, value)) {
            error = FormatString(refusal, refusal == kMsgBootOptionNeedsEntry ? name : value);
            return false;
        }
        if (out.help || out.version) return true;
    }
    if (int(out.size) + int(out.verify) + int(out.names) > 1 || (out.verifyAfter && (out.size || out.verify || out.names))) {
        error = LoadString(kMsgOneModeAtATime);
        return false;
    }
    const bool sourceOnly = out.size || out.names;
    if (positional != (sourceOnly ? 1 : 2)) {
        error = LoadString(out.size ? kMsgSizeTakesOneSource : out.names ? kMsgNamesTakesOneSource : kMsgSourceAndImageNeeded);
        return false;
    }
    if (!out.bootCatalog.empty() && out.boot.empty() && out.bootFrom.empty() && !out.bootWindows) {
        error = FormatString(kMsgBootOptionNeedsEntry, "--boot-catalog");
        return false;
    }
    if (out.check && !out.size) {
        error = LoadString(kMsgCheckNeedsSize);
        return false;
    }
    // A label that cannot be written is a usage error like the others:
    // too long, or with control characters, which Joliet forbids.
    if (out.label && !LabelFits(*out.label)) {
        error = FormatNumbered(kMsgTooManyCharacters, std::to_string(kMaxLabelUnits));
        return false;
    }
    if (out.label && std::any_of(out.label->begin(), out.label->end(), [](char c) { return (unsigned char)c < 0x20 || c == 0x7F; })) {
        error = LoadString(kMsgLabelControlCharacters);
        return false;
    }
    return true;
}

std::string HelpText() { return LoadString(kTextCliUsage) + "\n" + LoadString(kTextCliOptions); }

}  // namespace pm::cli
