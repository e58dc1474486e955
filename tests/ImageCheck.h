// Helpers for tests that build whole images: a request with fixed volume
// information, a byte hash for pinning golden images, an image written into
// memory, and one check that reads an image with our ISO 9660/Joliet and UDF
// readers and compares its files with the source.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "layout/ImageBuilder.h"
#include "reader/IsoReader.h"
#include "reader/UdfReader.h"
#include "settings/VolumeInfo.h"

namespace pm::test {

// A request of `kind` for `folder` with fixed volume information, dated in
// JST (+9:00): what the golden images are made of.
inline BuildRequest GoldenRequest(const std::string& folder, FileSystemType kind) {
    BuildRequest r;
    r.sourceFolder = folder;
    r.kind = kind;
    VolumeInfo& v = r.volume;
    v.OS = "LINUX";
    v.Publisher = "PARUMERO TEST";
    v.Application = "PARUMERO";
    v.Modification = VolumeDate{2010, 6, 0, 1, 12, 30, 45, 0};
    v.ImplID = "parumero test";
    ApplyBuildInputs(v, "GOLDEN", VolumeDate{2010, 5, 0, 31}, VolumeDate{0, 0, 0, 0, 23, 59, 58, 0});
    r.timeZoneOffset = 540;
    return r;
}

// A builder whose request a test changes between layouts of one tree.
struct TestBuilder : ImageBuilder {
    using ImageBuilder::ImageBuilder;
    BuildRequest& MutableRequest() { return m_request; }
};

// 64-bit FNV-1a, as 16 hex digits: enough to notice any changed byte.
inline std::string HashBytes(const std::vector<uint8_t>& bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", (unsigned long long)h);
    return out;
}

// Lays the request out and writes its image into memory; the builder keeps
// the plan.
inline std::vector<uint8_t> WriteToMemory(ImageBuilder& b) {
    std::vector<uint8_t> image;
    EXPECT_TRUE(b.Layout());
    b.SetSectorCallback([](int, void* out, const uint8_t* data, uint32_t n) {
        auto& bytes = *static_cast<std::vector<uint8_t>*>(out);
        bytes.insert(bytes.end(), data, data + n);
        return 1;
    }, &image);
    EXPECT_TRUE(b.WriteImage());
    b.SetSectorCallback(nullptr, nullptr);
    return image;
}

// Reads the image as its kind requires; every hierarchy must be sound and
// hold exactly `files` (path below the root -> content), nothing more, and
// each file's ISO 9660 and Joliet records must share its extent.
inline void ExpectImageHolds(const std::vector<uint8_t>& image, FileSystemType kind,
                             const std::map<std::string, std::string>& files) {
    auto text = [](const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); };
    MemorySource source(image);
    if (kind != FileSystemType::Udf) {
        IsoReader iso(source);
        EXPECT_TRUE(iso.Problems().empty()) << iso.ProblemText();
        std::map<std::string, std::string> joliet;
        std::multiset<std::pair<uint32_t, uint64_t>> extents[2];  // of the ISO 9660 files, of the Joliet files
        for (int j : {0, 1})
            for (const IsoTreeEntry& e : j ? iso.JolietTree() : iso.IsoTree())
                if (!e.isDir) extents[j].insert({e.extent, e.size});
        for (const IsoTreeEntry& e : iso.JolietTree())
            if (!e.isDir) joliet[e.path] = text(iso.ReadFile(e));
        EXPECT_EQ(joliet, files);
        EXPECT_EQ(extents[0], extents[1]);
    }
    if (kind != FileSystemType::Joliet) {
        UdfReader udf(source);
        EXPECT_TRUE(udf.Read()) << udf.ProblemText();
        std::map<std::string, std::string> got;
        for (const UdfNode& n : udf.Nodes())
            if (!n.isDir) got[n.path.substr(1)] = text(udf.ReadFile(n.path).value_or(std::vector<uint8_t>()));
        EXPECT_EQ(got, files);
    }
}

inline void ExpectImageHolds(const std::string& image, FileSystemType kind,
                             const std::map<std::string, std::string>& files) {
    ExpectImageHolds(std::vector<uint8_t>(image.begin(), image.end()), kind, files);
}

}  // namespace pm::test
