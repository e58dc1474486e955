// Whole images from the layout and the writer through the strict UDF reader:
// tags, CRCs, unique ids, link and integrity counts that outside readers let pass.
#include <gtest/gtest.h>

#include "TempDir.h"
#include "UdfReader.h"
#include "layout/ImageBuilder.h"
#include "platform/Platform.h"
#include "settings/VolumeInfo.h"
#include "writer/ImageWriter.h"

namespace pm::test {
namespace {

TEST(UdfImage, LayoutAndWriterAgreeWithTheReader) {
    TempDir t;
    t.Write("a.txt", "hello");
    t.Write("empty", "");
    t.Write("sub/深い/日本語.txt", std::string(4097, 'q'));
    for (int i = 0; i < 45; ++i) t.Write("many/file" + std::to_string(100 + i), std::to_string(i));
    VolumeInfo info;
    info.Label = "E2E";
    info.UdfLabel.Assign(info.Label);
    info.UdfVolSet.Assign(info.Label);
    info.Creation = VolumeDate{2021, 6, 0, 15, 10, 20, 30, 0};
    auto platform = MakePosixPlatform();
    for (FileSystemType kind : {FileSystemType::Udf, FileSystemType::UdfBridge}) {
        ImageBuilder b(*platform);
        ASSERT_TRUE(b.Layout(t.Path(), kind));
        std::vector<uint8_t> image;
        b.SetSectorCallback([](int, void* out, const uint8_t* data, uint32_t n) {
            static_cast<std::vector<uint8_t>*>(out)->insert(static_cast<std::vector<uint8_t>*>(out)->end(), data, data + n);
            return 1;
        }, &image);
        ASSERT_TRUE(ImageWriter(b, info).Run());
        ASSERT_EQ(image.size(), b.GetImageBytes());
        UdfReader r(image);
        ASSERT_TRUE(r.Read()) << int(kind) << "\n" << r.ProblemText();
        EXPECT_EQ(r.Nodes().size(), 1u + 3 + 2 + 1 + 45);  // root, top level, sub/..., many/...
        EXPECT_EQ(r.Facts().nextUniqueId, b.m_dwUdfNextUniqueId);
        EXPECT_EQ(r.ReadFile("/sub/深い/日本語.txt"), std::vector<uint8_t>(4097, 'q'));
        EXPECT_EQ(r.ReadFile("/many/file144"), std::vector<uint8_t>({'4', '4'}));
        EXPECT_EQ(r.ReadFile("/empty"), std::vector<uint8_t>());
    }
}

}  // namespace
}  // namespace pm::test
