// Helpers for tests that build whole images: a fixed volume information
// record, a byte hash for pinning golden images, and one check that reads an
// image with our ISO 9660/Joliet and UDF readers and compares its files with
// the source.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "layout/ImageBuilder.h"
#include "reader/IsoReader.h"
#include "reader/UdfReader.h"
#include "settings/VolumeInfo.h"

namespace pm::test {

// Replaces the process-wide VolumeInfo with fixed values for one scope.
class FixedVolumeInfo {
public:
    FixedVolumeInfo() : m_saved(TheVolumeInfo()) {
        VolumeInfo& v = TheVolumeInfo();
        v = VolumeInfo();
        v.OS = "LINUX";
        v.Publisher = "PARUMERO TEST";
        v.Application = "PARUMERO";
        v.Modification = VolumeDate{2010, 6, 0, 1, 12, 30, 45, 0};
        v.ImplID = "parumero test";
        VolumeDate date{2010, 5, 0, 31, 0, 0, 0, 0}, time{0, 0, 0, 0, 23, 59, 58, 0};
        ApplyBuildInputs(v, "GOLDEN", date, time);
    }
    ~FixedVolumeInfo() { TheVolumeInfo() = m_saved; }

private:
    VolumeInfo m_saved;
};

// 64-bit FNV-1a, as 16 hex digits: enough to notice any changed byte.
inline std::string HashBytes(const uint8_t* p, size_t n) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", (unsigned long long)h);
    return out;
}
inline std::string HashBytes(const std::string& s) {
    return HashBytes(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}
inline std::string HashBytes(const std::vector<uint8_t>& v) { return HashBytes(v.data(), v.size()); }

// Reads the image as its kind requires; every hierarchy must be sound and
// hold exactly `files` (path below the root -> content), nothing more.
inline void ExpectImageHolds(const std::vector<uint8_t>& image, FileSystemType kind,
                             const std::map<std::string, std::string>& files) {
    auto bytes = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    MemorySource source(image);
    if (kind != FileSystemType::Udf) {
        IsoReader iso(source);
        EXPECT_TRUE(iso.Problems().empty()) << iso.ProblemText();
        size_t isoFiles = 0, jolietFiles = 0;
        for (const IsoTreeEntry& e : iso.IsoTree()) isoFiles += !e.isDir;
        for (const IsoTreeEntry& e : iso.JolietTree()) jolietFiles += !e.isDir;
        EXPECT_EQ(isoFiles, files.size());
        EXPECT_EQ(jolietFiles, files.size());
        for (const auto& [path, content] : files) {
            const IsoTreeEntry* j = iso.Find(iso.JolietTree(), path);
            ASSERT_NE(j, nullptr) << path << " missing in Joliet";
            EXPECT_EQ(iso.ReadFile(*j), bytes(content)) << path;
            // The ISO 9660 hierarchy describes the same extent.
            bool same = false;
            for (const IsoTreeEntry& e : iso.IsoTree()) same |= !e.isDir && e.extent == j->extent && e.size == j->size;
            EXPECT_TRUE(same) << path << " has no ISO 9660 record of the same extent";
        }
    }
    if (kind != FileSystemType::Joliet) {
        UdfReader udf(source);
        EXPECT_TRUE(udf.Read()) << udf.ProblemText();
        size_t udfFiles = 0;
        for (const UdfNode& n : udf.Nodes()) udfFiles += !n.isDir;
        EXPECT_EQ(udfFiles, files.size());
        for (const auto& [path, content] : files) {
            auto got = udf.ReadFile("/" + path);
            ASSERT_TRUE(got.has_value()) << path << " missing in UDF";
            EXPECT_EQ(*got, bytes(content)) << path;
        }
    }
}

inline void ExpectImageHolds(const std::string& image, FileSystemType kind,
                             const std::map<std::string, std::string>& files) {
    ExpectImageHolds(std::vector<uint8_t>(image.begin(), image.end()), kind, files);
}

}  // namespace pm::test
