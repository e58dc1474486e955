// An image assembled from the udf/ encoders, read by peers' tools.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "UdfHandImage.h"

namespace pm::test {
namespace {

namespace fs = std::filesystem;

std::string Capture(const std::string& command, int& status) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    status = pclose(p);
    return out;
}

class UdfInterop : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("udfinterop-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        CFileEntry* sub = m_hand.Add(nullptr, "sub", true);
        m_hand.Add(nullptr, "a.txt", false, "hello");
        m_hand.Add(nullptr, "empty", false, "");
        m_hand.Add(sub, "深い.txt", false, std::string(5000, 'z'));
        std::vector<uint8_t> image = m_hand.Build();
        m_image = (m_dir / "hand.img").string();
        std::ofstream(m_image, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    }
    void TearDown() override { fs::remove_all(m_dir); }
    static bool Have(const char* tool) {
        int status = 0;
        Capture(std::string("command -v ") + tool, status);
        return status == 0;
    }
    UdfHandImage m_hand;
    fs::path m_dir;
    std::string m_image;
};

TEST_F(UdfInterop, UdfinfoAcceptsTheVolume) {
    if (!Have("udfinfo")) GTEST_SKIP() << "udfinfo is not installed";
    int status = 0;
    std::string out = Capture("udfinfo '" + m_image + "'", status);
    ASSERT_EQ(status, 0) << out;
    for (const char* line : {"label=HANDMADE", "impid=*parumero test", "numfiles=3", "numdirs=2", "udfrev=1.02",
                             "integrity=closed", "accesstype=readonly", "start=271, blocks=1, type=ANCHOR"})
        EXPECT_NE(out.find(line), std::string::npos) << line << " missing in:\n" << out;
}

TEST_F(UdfInterop, SevenZipExtractsTheFiles) {
    if (!Have("7z")) GTEST_SKIP() << "7z is not installed";
    int status = 0;
    std::string out = Capture("7z x -y -o'" + (m_dir / "out").string() + "' '" + m_image + "'", status);
    ASSERT_EQ(status, 0) << out;
    auto read = [&](const char* p) {
        std::ifstream in(m_dir / "out" / fs::u8path(p), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    EXPECT_EQ(read("a.txt"), "hello");
    EXPECT_EQ(read("sub/深い.txt"), std::string(5000, 'z'));
    EXPECT_TRUE(fs::exists(m_dir / "out" / "empty"));
    EXPECT_EQ(fs::file_size(m_dir / "out" / "empty"), 0u);
}

}  // namespace
}  // namespace pm::test
