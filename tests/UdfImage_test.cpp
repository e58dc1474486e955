// Whole images from the layout and the writer, checked by the UDF reader.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "layout/ImageBuilder.h"
#include "platform/Platform.h"
#include "settings/VolumeInfo.h"
#include "writer/ImageWriter.h"
#include "UdfReader.h"

namespace pm::test {
namespace {

namespace fs = std::filesystem;

int Collect(int, void* context, const uint8_t* data, uint32_t length) {
    auto* image = static_cast<std::vector<uint8_t>*>(context);
    image->insert(image->end(), data, data + length);
    return 1;
}

TEST(UdfImage, LayoutAndWriterAgreeWithTheReader) {
    fs::path dir = fs::temp_directory_path() / ("udfimage-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "sub" / "深い");
    fs::create_directories(dir / "many");
    auto write = [&](const fs::path& p, const std::string& data) { std::ofstream(dir / p, std::ios::binary) << data; };
    write("a.txt", "hello");
    write("empty", "");
    write("sub/深い/日本語.txt", std::string(4097, 'q'));
    for (int i = 0; i < 45; ++i) write(fs::path("many") / ("file" + std::to_string(100 + i)), std::to_string(i));

    VolumeInfo info;
    info.Label = "E2E";
    info.UdfLabel.Assign(info.Label);
    info.UdfVolSet.Assign(info.Label);
    info.ImplID = "parumero";
    info.Creation = VolumeDate{2021, 6, 0, 15, 10, 20, 30, 0};
    auto platform = MakePosixPlatform();
    for (FileSystemType kind : {FileSystemType::Udf, FileSystemType::UdfBridge}) {
        ImageBuilder b(*platform);
        ASSERT_TRUE(b.Layout(dir.string(), kind));
        std::vector<uint8_t> image;
        b.SetSectorCallback(Collect, &image);
        ASSERT_TRUE(ImageWriter(b, info).Run());
        ASSERT_EQ(image.size(), b.GetImageBytes());

        UdfReader r(image);
        ASSERT_TRUE(r.Read()) << int(kind) << "\n" << r.ProblemText();
        EXPECT_EQ(r.Nodes().size(), 1u + 3 + 2 + 1 + 45);  // root, top level, sub/..., many/...
        EXPECT_EQ(r.Facts().partitionLength, b.m_dwUdfPartitionLength);
        EXPECT_EQ(r.Facts().nextUniqueId, b.m_dwUdfNextUniqueId);
        EXPECT_EQ(r.ReadFile("/a.txt"), std::vector<uint8_t>({'h', 'e', 'l', 'l', 'o'}));
        EXPECT_EQ(r.ReadFile("/sub/深い/日本語.txt"), std::vector<uint8_t>(4097, 'q'));
        EXPECT_EQ(r.ReadFile("/many/file144"), std::vector<uint8_t>({'4', '4'}));
        EXPECT_EQ(r.ReadFile("/empty"), std::vector<uint8_t>());
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace pm::test
