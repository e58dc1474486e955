// parumero-cli: the size preview and the image build from the command line.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/TerminalProgress.h"
#include "job/BuildInputs.h"
#include "job/BuildRunner.h"
#include "cli/Options.h"
#include "messages/JobMessages.h"
#include "messages/Strings.h"
#include "layout/ImageBuilder.h"
#include "iso9660/Fields.h"
#include "layout/NameMap.h"
#include "platform/Platform.h"
#include "reader/BootCatalogReader.h"
#include "reader/Verify.h"
#include "settings/Locations.h"
#include "settings/VolumeInfo.h"
#include "tree/PathUtil.h"
#include "tree/Text.h"
#include "Version.h"

namespace pm::cli {
namespace {

// A typed source path with trailing separators names the same folder.
std::string TrimSeparators(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

// Whatever went to stdout must have arrived: a full disk or a closed pipe
// behind `--size > file` is a failure, not a success.
int CheckedStdout(int status) {
    std::cout.flush();
    if (std::cout && std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::cerr << "parumero-cli: " << LoadString(kMsgStdoutWriteFailed) << '\n';
    return 1;
}

void ShowQueued(JobMessages& messages) {
    messages.ShowAll([](const std::string& text) { std::cerr << text << '\n'; });
}

// The boot entries of --boot-from's image go first; false (said why) when
// it has none that can be read.
bool TakeBootFrom(const Options& o, BuildRequest& request) {
    if (o.bootFrom.empty()) return true;
    FileSource file;
    std::string why;
    std::vector<BootRequest> old;
    if (file.Open(o.bootFrom, why)) old = BootRequestsFromImage(file, o.bootFrom, why);
    if (old.empty()) std::cerr << "parumero-cli: " << EscapeInvalidUtf8(o.bootFrom) << ": " << why << '\n';
    request.boot.insert(request.boot.begin(), old.begin(), old.end());
    return !old.empty();
}

// The request of a `--size`, `--names` or `--verify` run: the volume
// information the command line loaded (exclusions, dot-file rule), the kind,
// and the image that a build into it would leave out.
BuildRequest ScanRequest(Platform& platform, const VolumeInfo& volume, const Options& o, const std::string& image) {
    BuildRequest request;
    request.sourceFolder = TrimSeparators(o.source);
    request.kind = o.kind;
    request.volume = volume;
    request.imagePath = image;
    request.boot = o.boot;
    // A Windows setup folder boots BIOS machines from 8 sectors of
    // etfsboot.com and UEFI machines from the FAT image efisys.bin.
    if (o.bootWindows) {
        const std::string s = TrimSeparators(o.source);
        request.boot.insert(request.boot.begin(), {BootRequest{0, s + "/boot/etfsboot.com", 8, false},
                                                   BootRequest{0xEF, s + "/efi/microsoft/boot/efisys.bin", 0, false}});
    }
    TakeBootFrom(o, request);
    request.bootCatalog = o.bootCatalog;
    ApplySystemInputs(request, platform);
    return request;
}

// A settings or list file: one the user named must be read; the ones found
// beside the program or in the configuration folder may be missing (or be no
// regular file, which counts as missing). Anything else stops with exit 2.
bool FileReadAsIntended(const std::string& path, SmallFileStatus status, int cause, bool named) {
    int why = 0;
    switch (status) {
    case SmallFileStatus::Ok: return true;
    case SmallFileStatus::Missing: why = named ? CauseTextId(kCauseFileNotFound) : 0; break;
    case SmallFileStatus::NotRegular: why = named ? kCauseTextNotRegular : 0; break;
    case SmallFileStatus::TooLarge: why = kCauseTextTooLarge; break;
    case SmallFileStatus::Unreadable: why = CauseTextId(cause); break;
    }
    if (why == 0) return true;
    std::cerr << EscapeInvalidUtf8(path) << '\n' << LoadString(kMsgCannotReadSettings) << '\n' << LoadString(why) << '\n';
    return false;
}

// Entries the image will not hold although the source has them, then the
// links back to a parent folder (kept as empty folders) and the links the
// Joliet tree leaves out.
void ListSkipped(const ScanReport& report) {
    bool any = false;
    for (const SkippedEntry& s : report.skipped) {
        if (s.why == SkippedEntry::LinkToAncestor || s.why == SkippedEntry::NotInJoliet) continue;
        std::cout << EscapeInvalidUtf8(s.path) << ' ' << LoadString(s.why == SkippedEntry::DanglingLink ? kTextDanglingLink : kTextSpecialFile) << '\n';
        any = true;
    }
    if (any) std::cout << LoadString(kMsgSkippedListed) << '\n';
    for (const SkippedEntry& s : report.skipped)
        if (s.why == SkippedEntry::LinkToAncestor || s.why == SkippedEntry::NotInJoliet)
            std::cout << EscapeInvalidUtf8(s.path) << ' '
                      << LoadString(s.why == SkippedEntry::NotInJoliet ? kTextNotInJoliet : kTextLinkToAncestor) << '\n';
}

// Entries whose modification time lies later than ISO 9660 and Joliet
// records hold (they get the latest second those hold).
void ListClampedDates(const ImageBuilder& builder, FileSystemType kind) {
    if (kind == FileSystemType::Udf) return;
    for (const auto* list : {&builder.m_directories, &builder.m_files})
        for (const CFileEntry* e : *list)
            if (DirectoryDateClamped(e->m_time)) std::cout << EscapeInvalidUtf8(e->Path()) << ' ' << LoadString(kTextDateClamped) << '\n';
}

// Names that differ from another of their folder only in letter case, each
// with the name it meets, then what readers make of them.
void ListCaseTwins(const ImageBuilder& builder, FileSystemType kind) {
    const std::vector<CaseTwin> twins = CaseTwins(builder);
    if (twins.empty()) return;
    for (const CaseTwin& t : twins)
        std::cout << EscapeInvalidUtf8(t.other->Path()) << ' ' << FormatString(kTextCaseTwinOf, t.first->m_strName) << '\n';
    std::cout << LoadString(kMsgCaseTwinsListed) << ' ' << CaseTwinReaders(kind) << '\n';
}

int RunSize(Platform& platform, const VolumeInfo& volume, const Options& o) {
    JobMessages messages;
    ImageBuilder builder(platform, ScanRequest(platform, volume, o, std::string()), messages);
    if (!builder.Layout()) {
        messages.AddText(kStatusSizeFailed);
        ShowQueued(messages);
        return 1;
    }
    std::string sectors = std::to_string(builder.m_nTotalSectors);
    std::string bytes = std::to_string(builder.GetImageBytes());
    GroupDigits(sectors);
    GroupDigits(bytes);
    std::cout << FormatString(kStatusImageSize, sectors, bytes) << '\n';
    std::cout << FitsOnText(builder.m_nTotalSectors) << '\n';
    if (!o.check) return 0;
    ListSkipped(builder.GetScanReport());
    ListCaseTwins(builder, o.kind);
    ListClampedDates(builder, o.kind);
    if (builder.CheckNames() > 0) {
        ShowQueued(messages);
        return 1;
    }
    return 0;
}

// Prints every difference and a summary; 0 when the image holds the source.
// The source is scanned as a build into IMAGE would take it: the same
// exclusions, and the image itself left out when it lies inside the source.
int Verify(Platform& platform, BuildRequest request, bool quiet = false) {
    const std::string image = request.imagePath;
    FileSource file;
    std::string why;
    if (!file.Open(image, why)) {
        std::cerr << "parumero-cli: " << FormatNumbered(kVerifyCannotRead, image, why) << '\n';
        return 1;
    }
    JobMessages messages;
    ImageBuilder builder(platform, std::move(request), messages);
    if (!builder.Layout()) {
        ShowQueued(messages);
        return 1;
    }
    VerifyResult r = VerifyImage(builder, file);
    if (r.sourceUnreadable) {  // as a build refuses it: every cause on stderr
        ShowQueued(messages);
        return 1;
    }
    if (!r.unreadable.empty()) {
        std::cerr << "parumero-cli: " << FormatNumbered(kVerifyCannotRead, image, r.unreadable) << '\n';
        return 1;
    }
    for (const std::string& p : r.problems) std::cout << image << ": " << p << '\n';
    for (const std::string& d : r.differences) std::cout << d << '\n';
    std::string bytes = std::to_string(r.bytes);
    GroupDigits(bytes);
    size_t n = r.problems.size() + r.differences.size();
    if (quiet && n == 0 && r.Identical()) return 0;  // --quiet --verify-after: nothing on success
    auto count = [](uint64_t k, int one, int many) { return FormatNumbered(k == 1 ? one : many, std::to_string(k)); };
    const std::string compared = FormatNumbered(kVerifyCompared, count(r.folders, kVerifyOneFolder, kVerifyFolders),
                                                count(r.files, kVerifyOneFile, kVerifyFiles), bytes);
    std::cout << (n ? FormatNumbered(n == 1 ? kVerifyOneDifference : kVerifyDifferences, std::to_string(n), compared)
                    : FormatNumbered(kVerifyIdentical, compared))
              << '\n';
    return r.Identical() ? 0 : 1;
}

int RunNames(Platform& platform, const VolumeInfo& volume, const Options& o) {
    JobMessages messages;
    ImageBuilder builder(platform, ScanRequest(platform, volume, o, std::string()), messages);
    if (!builder.Layout()) {
        ShowQueued(messages);
        return 1;
    }
    bool fits = true;
    for (const NameRow& r : NameMap(builder)) {
        // A tab or newline in a name would break the line: escaped, as --verify shows it.
        std::cout << EscapeControls(r.path) << '\t' << EscapeControls(r.iso) << '\t' << EscapeControls(r.joliet) << '\t'
                  << EscapeControls(r.udf) << '\t' << (r.hidden ? '1' : '0') << '\t' << EscapeControls(r.reason);
        // With --posix, a seventh column: the Rock Ridge name where it differs.
        if (builder.m_root.Posix()) std::cout << '\t' << EscapeControls(r.rockRidge);
        std::cout << '\n';
        fits = fits && r.fits;
    }
    return fits ? 0 : 1;
}

// Plays the start button and the outcome box of the dialog.
int RunBuild(Platform& platform, const VolumeInfo& loaded, const Options& o) {
    const std::string source = TrimSeparators(o.source);
    DirEntry folder;
    if (!platform.LookupEntry(source, folder) || !folder.directory) {
        std::cerr << FormatString(kMsgFolderNotFound, source) << '\n';
        return 1;
    }
    if (o.image.empty()) {
        std::cerr << LoadString(kMsgNoImageName) << '\n';
        return 1;
    }
    // "-": the image goes down standard output as it is written; no lock, no
    // extension, no folder to make.
    const bool toStdout = o.image == kStandardOutputImage;
    if (toStdout && isatty(STDOUT_FILENO)) {
        std::cerr << "parumero-cli: " << LoadString(kMsgStdoutIsTerminal) << '\n';
        return 2;
    }
    if (!toStdout && ImagePathNamesFolder(platform, o.image)) {
        std::cerr << FormatString(kMsgImageIsFolder, EscapeInvalidUtf8(o.image)) << '\n';
        return 1;
    }
    // Behind "-" the path only names the image in reports.
    const std::string image = toStdout ? LoadString(kTextStandardOutput) : NormaliseImagePath(o.image);

    std::string label;
    VolumeDate date, time;
    FolderDefaults(platform, source, label, date, time);
    if (o.label) label = *o.label;  // checked by the parser
    if (o.date) ParseDateTime(*o.date, date, time);  // checked by the parser
    const std::string folderOfImage = toStdout ? std::string() : ImageFolder(image);
    if (!folderOfImage.empty()) CreateFolderPath(platform, folderOfImage);

    BuildRequest request = ScanRequest(platform, loaded, o, image);
    request.sourceFolder = source;
    request.standardOutput = toStdout;
    const std::string settings = o.settingsFile.empty() ? SettingsFilePath(platform) : o.settingsFile;
    int cause = 0;
    std::vector<std::string> outOfRange;
    SmallFileStatus status = LoadVolumeInfo(request.volume, settings, &cause, &outOfRange);
    if (!FileReadAsIntended(settings, status, cause, !o.settingsFile.empty())) return 2;
    for (const std::string& text : outOfRange) std::cerr << "parumero-cli: " << text << '\n';
    if (o.hideDotFiles) request.volume.HideDotFiles = true;
    if (o.reflink) request.volume.Reflink = true;
    if (o.posix) request.volume.PosixAttributes = true;
    ApplyBuildInputs(request.volume, label, date, time);

    if (EpochIgnored())
        std::cerr << "parumero-cli: " << FormatString(kMsgEpochNotANumber, std::getenv("SOURCE_DATE_EPOCH")) << '\n';
    InstallStopHandlers();
    TerminalProgress progress(stderr, !o.quiet && isatty(STDERR_FILENO));
    BuildRunner runner(platform, &progress);
    runner.SetCancelFlag(&g_stopFlag);
    BuildReport report = runner.Run(request);
    progress.Finish();
    if (report.outcome == BuildReport::Outcome::Failed) report.failures.AddText(kMsgImageFailed);
    if (report.failures.HasMessages()) {
        ShowQueued(report.failures);
        return 1;
    }
    if (report.outcome == BuildReport::Outcome::Stopped) {
        // A stopped build must never look like a finished one to a script.
        std::cerr << LoadString(kMsgStopping) << '\n';
        return 130;
    }
    if (!o.quiet)
        for (const std::string& line : OutcomeLines(report, o.kind)) std::cerr << line << '\n';
    // Behind "-" stdout carries the image: nothing else may go there.
    if (!o.quiet) (toStdout ? std::cerr : std::cout) << LoadString(kMsgImageFinished) << '\n';
    // Only a regular file can be read back; a device or pipe is left alone.
    struct stat st {};
    if (o.verifyAfter && !toStdout && ::stat(image.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return CheckedStdout(Verify(platform, std::move(request), o.quiet));
    return CheckedStdout(0);
}

}  // namespace
}  // namespace pm::cli

int main(int argc, char** argv) {
    using namespace pm;
    SetLanguage(LanguageFromEnvironment());
    // A closed pipe on stdout shows as a failed write, reported, not as a
    // silent death.
    std::signal(SIGPIPE, SIG_IGN);
    cli::Options o;
    std::string error;
    if (argc < 2) {
        std::cerr << LoadString(kTextCliUsage) << LoadString(kMsgSeeHelp) << '\n';
        return 2;
    }
    if (!cli::ParseOptions(argc, argv, o, error)) {
        std::cerr << "parumero-cli: " << error << '\n' << LoadString(kMsgSeeHelp) << '\n';
        return 2;
    }
    if (o.help || o.version) {
        std::cout << (o.help ? cli::HelpText() : "parumero-cli " PARUMERO_VERSION "\n");
        return cli::CheckedStdout(0);
    }
    auto platform = MakePosixPlatform(o.shortNames);
    std::string exceptPath = o.exceptFile.empty() ? ExceptListPath(*platform) : o.exceptFile;
    // The command line's own record: the exclusions and the dot-file rule
    // every request of this run starts from.
    VolumeInfo volume;
    int cause = 0;
    SmallFileStatus status = volume.ExceptList.Load(exceptPath, &cause);
    if (!cli::FileReadAsIntended(exceptPath, status, cause, !o.exceptFile.empty())) return 2;
    if (o.hideDotFiles) volume.HideDotFiles = true;
    if (o.reflink) volume.Reflink = true;
    if (o.posix) volume.PosixAttributes = true;
    BuildRequest probe;
    if (!cli::TakeBootFrom(o, probe)) return 1;
    if (o.size) return cli::CheckedStdout(cli::RunSize(*platform, volume, o));
    if (o.names) return cli::CheckedStdout(cli::RunNames(*platform, volume, o));
    if (o.verify) return cli::CheckedStdout(cli::Verify(*platform, cli::ScanRequest(*platform, volume, o, o.image)));
    return cli::RunBuild(*platform, volume, o);
}
