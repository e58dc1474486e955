// parumero-cli: the size preview and the image build from the command line.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "cli/TerminalProgress.h"
#include "job/BuildInputs.h"
#include "job/BuildRunner.h"
#include "cli/Options.h"
#include "job/JobMessages.h"
#include "job/Strings.h"
#include "layout/ImageBuilder.h"
#include "layout/NameMap.h"
#include "platform/Platform.h"
#include "reader/Verify.h"
#include "settings/Locations.h"
#include "settings/VolumeInfo.h"
#include "tree/PathUtil.h"

namespace pm::cli {
namespace {

// A typed source path with trailing separators names the same folder.
std::string TrimSeparators(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

void ShowQueued() {
    TheJobMessages().ShowAll([](const std::string& text) { std::cerr << text << '\n'; });
}

int RunSize(Platform& platform, const Options& o) {
    ImageBuilder builder(platform);
    builder.SetExceptList(&TheVolumeInfo().ExceptList);
    if (!builder.Layout(TrimSeparators(o.source), o.kind)) {
        TheJobMessages().AddText(10052);
        ShowQueued();
        return 1;
    }
    std::string sectors = std::to_string(builder.m_dwTotalSectors);
    std::string bytes = std::to_string(builder.GetImageBytes());
    GroupDigits(sectors);
    GroupDigits(bytes);
    std::cout << FormatString(10053, sectors, bytes) << '\n';
    if (o.check && builder.CheckNames() > 0) {
        ShowQueued();
        return 1;
    }
    return 0;
}

// The scan a build of SOURCE into IMAGE would take: the same exclusions, and
// the image itself left out when it lies inside the source.
bool ScanAsBuild(ImageBuilder& builder, Platform& platform, const std::string& source, const std::string& image,
                 FileSystemType kind) {
    builder.SetExceptList(&TheVolumeInfo().ExceptList);
    DirEntry existing;
    if (!image.empty() && platform.LookupEntry(image, existing) && !existing.directory)
        builder.SkipIdentity(existing.device, existing.inode);
    if (builder.Layout(source, kind)) return true;
    ShowQueued();
    return false;
}

// Prints every difference and a summary; 0 when the image holds the source.
int Verify(Platform& platform, const std::string& source, const std::string& image, FileSystemType kind) {
    FileSource file;
    std::string why;
    if (!file.Open(image, why)) {
        std::cerr << "parumero-cli: " << image << " cannot be read: " << why << '\n';
        return 1;
    }
    ImageBuilder builder(platform);
    if (!ScanAsBuild(builder, platform, source, image, kind)) return 1;
    VerifyResult r = VerifyImage(builder, file, kind);
    if (!r.unreadable.empty()) {
        std::cerr << "parumero-cli: " << image << " cannot be read: " << r.unreadable << '\n';
        return 1;
    }
    for (const std::string& p : r.problems) std::cout << image << ": " << p << '\n';
    for (const std::string& d : r.differences) std::cout << d << '\n';
    std::string bytes = std::to_string(r.bytes);
    GroupDigits(bytes);
    size_t n = r.problems.size() + r.differences.size();
    auto count = [](uint64_t k, const char* one, const char* many) { return std::to_string(k) + (k == 1 ? one : many); };
    std::cout << (n ? count(n, " difference", " differences") : std::string("identical")) << " ("
              << count(r.folders, " folder, ", " folders, ") << count(r.files, " file, ", " files, ") << bytes
              << " bytes compared)\n";
    return r.Identical() ? 0 : 1;
}

int RunNames(Platform& platform, const Options& o) {
    ImageBuilder builder(platform);
    if (!ScanAsBuild(builder, platform, TrimSeparators(o.source), "", o.kind)) return 1;
    bool fits = true;
    for (const NameRow& r : NameMap(builder)) {
        std::cout << r.path << '\t' << r.iso << '\t' << r.joliet << '\t' << r.udf << '\t' << (r.hidden ? '1' : '0') << '\t'
                  << r.reason << '\n';
        fits = fits && r.reason.empty();
    }
    return fits ? 0 : 1;
}

// Plays the start button and the outcome box of the dialog.
int RunBuild(Platform& platform, const Options& o) {
    const std::string source = TrimSeparators(o.source);
    DirEntry folder;
    if (!platform.LookupEntry(source, folder) || !folder.directory) {
        std::cerr << FormatString(10039, source) << '\n';
        return 1;
    }
    if (o.image.empty()) {
        std::cerr << LoadString(10077) << '\n';
        return 1;
    }
    const std::string image = NormaliseImagePath(o.image);

    std::string label;
    VolumeDate date, time;
    FolderDefaults(platform, source, label, date, time);
    if (o.label) {
        label = *o.label;
        if (!LabelFits(label)) {
            std::cerr << FormatNumbered(61716, std::to_string(kMaxLabelUnits)) << '\n';
            return 1;
        }
    }
    if (o.date && !ParseDateTime(*o.date, date, time)) {
        std::cerr << "parumero-cli: --date takes \"YYYY-MM-DD HH:MM:SS\"\n" << kUsage;
        return 2;
    }
    const std::string folderOfImage = ImageFolder(image);
    if (!folderOfImage.empty()) CreateFolderPath(platform, folderOfImage);

    LoadVolumeInfo(TheVolumeInfo(), o.settingsFile.empty() ? SettingsFilePath(platform) : o.settingsFile);
    ApplyBuildInputs(TheVolumeInfo(), label, date, time);

    InstallStopHandlers();
    TerminalProgress progress(stderr, !o.quiet && isatty(STDERR_FILENO));
    BuildRunner runner(platform, &progress);
    bool ok = runner.Run(source, image, o.kind);
    progress.Finish();
    if (!ok) TheJobMessages().AddText(10048);
    if (TheJobMessages().HasMessages()) {
        ShowQueued();
        return 1;
    }
    if (runner.Stopped()) {
        // A stopped build must never look like a finished one to a script.
        std::cerr << LoadString(10042) << '\n';
        return 130;
    }
    std::cout << LoadString(10041) << '\n';
    // Only a regular file can be read back; a device or pipe is left alone.
    struct stat st {};
    if (o.verifyAfter && ::stat(image.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return Verify(platform, source, image, o.kind);
    return 0;
}

}  // namespace
}  // namespace pm::cli

int main(int argc, char** argv) {
    using namespace pm;
    cli::Options o;
    std::string error;
    if (!cli::ParseOptions(argc, argv, o, error)) {
        std::cerr << "parumero-cli: " << error << '\n' << cli::kUsage;
        return 2;
    }
    auto platform = MakePosixPlatform(o.shortNames);
    std::string exceptPath = o.exceptFile.empty() ? ExceptListPath(*platform) : o.exceptFile;
    TheVolumeInfo().ExceptList.Load(exceptPath);
    if (o.size) return cli::RunSize(*platform, o);
    if (o.names) return cli::RunNames(*platform, o);
    if (o.verify) return cli::Verify(*platform, cli::TrimSeparators(o.source), o.image, o.kind);
    return cli::RunBuild(*platform, o);
}
