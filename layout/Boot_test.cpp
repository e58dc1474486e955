// Boot entries through whole builds: every check that stops a build before
// the image file is touched, and sound entries of every kind read back by the
// catalog reader and by --verify's comparison, which must notice a boot
// information table or a boot image that is not as built.
#include <gtest/gtest.h>

#include <functional>

#include "FakePlatform.h"
#include "ImageCheck.h"
#include "iso9660/IsoTestSupport.h"
#include "job/BuildRunner.h"
#include "messages/Strings.h"
#include "reader/BootCatalogReader.h"
#include "reader/UdfReader.h"
#include "reader/Verify.h"

namespace pm {
namespace {

// A FAT boot sector: signature and a parameter block a firmware accepts.
std::string FatImage(size_t bytes) {
    std::string s(bytes, '\0');
    s[11] = 0, s[12] = 2, s[13] = 1, s[14] = 1, s[16] = 2;
    s[510] = char(0x55), s[511] = char(0xAA);
    return s;
}

void Arrange(FakePlatform& f) {
    f.AddFile("/src/readme.txt", "bootable");
    f.AddFile("/src/isolinux/isolinux.bin", FatImage(5000));
    f.AddFile("/src/efi/efiboot.img", FatImage(8192));
    f.AddFile("/boot/bootx64.efi", "MZ" + std::string(600, 'x'));
    f.AddFile("/boot/tiny.bin", std::string(40, 'x'));
    f.AddFile("/boot/empty.bin", "");
    f.AddFile("/boot/efi.img", FatImage(5000));
    f.AddFile("/boot/text.img", std::string(1024, 't'));
    f.AddFile("/boot/big.bin", "").size = 40u << 20;
}

BuildRequest Request(FileSystemType kind, std::vector<BootRequest> boot, const char* catalog = "isolinux/boot.cat") {
    BuildRequest r = test::GoldenRequest("/src", kind);
    r.imagePath = "/out/x.iso";
    r.boot = std::move(boot);
    r.bootCatalog = catalog;
    return r;
}

TEST(Boot, ChecksBeforeWriting) {
    const BootRequest tooMany{0, "/boot/tiny.bin", 0, false};
    const struct {
        std::vector<BootRequest> boot;
        const char* report;
        const char* catalog = "";
    } cases[] = {
        {{{0, "/boot/none.bin", 0, false}}, "/boot/none.bin\nBoot image not found."},
        {{{0, "/src/isolinux", 0, false}}, "/src/isolinux\nBoot image not found."},
        {{{0xEF, "/boot/empty.bin", 0, false}}, "/boot/empty.bin\nThe boot image is empty."},
        {{{0xEF, "/boot/bootx64.efi", 0, false}},
         "/boot/bootx64.efi\nThe UEFI boot image is an EFI program (a PE file): give an image of a FAT file system that "
         "holds it as \\EFI\\BOOT\\BOOTX64.EFI."},
        {{{0xEF, "/boot/text.img", 0, false}}, "/boot/text.img\nThe UEFI boot image is not a FAT file system."},
        {{{0, "/boot/tiny.bin", 0, true}}, "/boot/tiny.bin\nA boot information table needs a boot image of at least 64 bytes."},
        {{{0, "/boot/tiny.bin", 5, false}}, "/boot/tiny.bin\nThe load size of 5 sectors goes beyond the end of the boot image."},
        {{{0, "/boot/big.bin", 0, false}},
         "/boot/big.bin\nThe boot image is too large: a BIOS loads at most 65,535 sectors of 512 bytes. Give a load size."},
        {std::vector<BootRequest>(63, tooMany), "Too many boot entries for the boot catalog (63)."},
        {{tooMany}, "nowhere/boot.cat\nThe folder for the boot catalog is not in the source.", "nowhere/boot.cat"},
        {{tooMany}, "readme.txt\nThe source already holds an entry of the boot catalog's name.", "readme.txt"},
        // Every fault in the one report.
        {{{0, "/boot/none.bin", 0, false}, {0xEF, "/boot/empty.bin", 0, false}},
         "/boot/none.bin\nBoot image not found.\n/boot/empty.bin\nThe boot image is empty."},
    };
    SetLanguage(Language::English);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        FakePlatform f;
        Arrange(f);
        BuildRunner runner(f, nullptr);
        BuildReport report = runner.Run(Request(FileSystemType::UdfBridge, c.boot, c.catalog));
        EXPECT_EQ(std::tuple(report.outcome, report.failures.JoinedText(), f.outputs.count("/out/x.iso")),
                  std::tuple(BuildReport::Outcome::Failed, std::string(c.report), size_t(0)));
    }
    SetLanguage(Language::Japanese);
}

// Both entries, one shared with the tree and one of its own, in every kind:
// the catalog reads back as asked, --verify finds the image identical, and
// each fault planted in a copy of the image is found.
TEST(Boot, EveryKindReadsBackAndVerifies) {
    test::TzScope tz{"JST-9"};
    // A UEFI image of 32 MiB is recorded with load size 0 ("to the end").
    const std::vector<BootRequest> boot = {{0, "/src/isolinux/isolinux.bin", 4, true},
                                           {0xEF, "/boot/efi.img", 0, false},
                                           {0xEF, "/src/efi/efiboot.img", 0, false},
                                           {0xEF, "/boot/bigefi.img", 0, false}};
    for (FileSystemType kind : {FileSystemType::Joliet, FileSystemType::UdfBridge, FileSystemType::Udf}) {
        SCOPED_TRACE(int(kind));
        FakePlatform f;
        Arrange(f);
        f.AddFile("/boot/bigefi.img", FatImage(512)).size = 32u << 20;
        BuildRunner runner(f, nullptr);
        BuildReport report = runner.Run(Request(kind, boot));
        ASSERT_EQ(report.outcome, BuildReport::Outcome::Finished) << report.failures.JoinedText();
        const std::string image = f.outputs["/out/x.iso"];
        const std::vector<uint8_t> bytes(image.begin(), image.end());
        MemorySource source(bytes);
        BootCatalogRead read = ReadBootCatalog(source);
        std::vector<std::pair<BootPlatform, int>> entries;
        for (const ReadBootEntry& e : read.entries) entries.emplace_back(e.entry.platform, e.entry.loadSectors);
        // 5000 bytes: three 2048-byte sectors.
        EXPECT_EQ(entries, (std::vector<std::pair<BootPlatform, int>>{
                               {BootPlatform::Bios, 4}, {BootPlatform::Uefi, 12}, {BootPlatform::Uefi, 16}, {BootPlatform::Uefi, 0}}));
        ASSERT_TRUE(read.present && read.problems.empty() && read.entries.size() == 4);
        if (kind != FileSystemType::Joliet) {  // the named catalog is in the ISO 9660 and Joliet trees only
            UdfReader udf(source);
            EXPECT_TRUE(udf.Read() && udf.Find("/isolinux/isolinux.bin") && !udf.Find("/isolinux/boot.cat"));
        }

        auto verify = [&](const std::vector<uint8_t>& b) {
            JobMessages m;
            ImageBuilder builder(f, Request(kind, boot), m);
            EXPECT_TRUE(builder.Layout());
            MemorySource s(b);
            VerifyResult r = VerifyImage(builder, s);
            std::string all;
            for (const auto& p : r.problems) all += p + "|";
            for (const auto& d : r.differences) all += d + "|";
            return all;
        };
        EXPECT_EQ(verify(bytes), "");
        const size_t loader = size_t(read.entries[0].entry.imageSector) * SectorSize;
        const size_t catalog = size_t(read.catalogSector) * SectorSize;
        const struct {
            size_t at;
            const char* found;
        } faults[] = {
            {loader + 20, "boot entry 1 (/src/isolinux/isolinux.bin): boot information table is not as built|"},
            {size_t(read.entries[1].entry.imageSector) * SectorSize + 510,
             "boot entry 2 (/boot/efi.img): differs from the boot image at byte 510|"},
            {catalog + 4, "boot catalog: validation entry checksum does not sum to 0|"},
            {catalog + 96 + 6, "boot entry 2 (/boot/efi.img): load size"},
        };
        for (const auto& fault : faults) {
            SCOPED_TRACE(fault.found);
            std::vector<uint8_t> broken = bytes;
            broken[fault.at] ^= 0x40;
            EXPECT_NE(verify(broken).find(fault.found), std::string::npos) << verify(broken);
        }
    }
}

}  // namespace
}  // namespace pm
