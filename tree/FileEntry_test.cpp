#include "tree/FileEntry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "FakePlatform.h"
#include "TempDir.h"
#include "tree/ExceptList.h"
#include "tree/Text.h"

namespace pm {
namespace {

std::vector<std::string> ChildNames(const CFileEntry& n) {
    std::vector<std::string> out;
    for (const auto& c : n.m_children) out.push_back(c->m_strName);
    return out;
}

// Every node's path, depth first, children in their order.
std::vector<std::string> AllPaths(const CFileEntry& root) {
    std::vector<std::string> out;
    std::function<void(const CFileEntry&)> walk = [&](const CFileEntry& n) {
        out.push_back(n.Path());
        for (const auto& c : n.m_children) walk(*c);
    };
    walk(root);
    return out;
}

TEST(Scan, FillsNodesFromTheListing) {
    FakePlatform fake;
    fake.AddFolder("/src").mtime = 1000;
    fake.AddFile("/src/big.bin", "");  // listed before ".git": the scan sorts
    fake.AddFolder("/src/.git/.deep/.hid");
    fake.AddFile("/src/日本語の名前.txt", "x").shortName = "日本語~1.TXT";
    CFileEntry root;
    const ScanContext ctx{.platform = &fake, .hideDotFiles = true};
    ASSERT_EQ(root.Scan("/src//", ctx), 3);  // the greatest depth reached
    EXPECT_EQ(root.Path() + " " + root.m_strName + " " + std::to_string(root.m_time), "/src src 1000");
    ASSERT_EQ(ChildNames(root), (std::vector<std::string>{".git", "big.bin", "日本語の名前.txt"}));

    // Without an alias the short name is the name itself. Sizes, times, name
    // lengths and links are read back from every image the writer, reader and
    // command-line tests make.
    const CFileEntry &big = *root.m_children[1], &named = *root.m_children[2];
    EXPECT_EQ(big.Path() + " " + big.m_strShortName + " " + named.m_strShortName, "/src/big.bin big.bin " + Utf8ToCp932("日本語~1.TXT"));

    const CFileEntry* hid = root.m_children[0]->m_children[0]->m_children[0].get();
    EXPECT_EQ(std::tuple(hid->Path(), hid->m_bHidden, hid->m_bDirectory, hid->m_nDepth), std::tuple("/src/.git/.deep/.hid", true, true, 3));

    // A missing folder leaves the node as it was; a file gets no children;
    // below the file system's root, paths take one slash.
    const int missing = root.Scan("/nothing", ctx);
    EXPECT_EQ(std::pair(missing, root.m_children.size()), std::pair(-1, size_t(3)));
    const int file = root.Scan("/src/big.bin", ctx);
    EXPECT_EQ(std::tuple(file, root.m_children.size(), root.m_bDirectory), std::tuple(0, size_t(0), false));
    ASSERT_EQ(root.Scan("/", ctx), 4);
    EXPECT_EQ(root.Path() + " " + root.m_children[0]->Path(), "/ /src");
}

// Names, not aliases or paths, are excluded, at every depth but the root; a
// folder that cannot be listed stays, empty.
TEST(Scan, ExclusionsAtEveryDepthButNeverTheRoot) {
    FakePlatform fake;
    for (const char* f : {"Thumbs.db", "keep/THUMBS.DB", "keep/deeper/thumbs.db", "keep/deeper/ok", ".svn/inner/ok",
                          "keep/ thumbs.db", "only/thumbs.db"})
        fake.AddFile(std::string("/src/") + f, "");
    fake.AddFile("/src/Long File Name.txt", "").shortName = "LONGFI~1.TXT";
    fake.AddFolder("/src/locked").unlistable = true;
    ExceptList except;
    except.SetEntries({"thumbs.db", ".svn", "src", "keep/deeper", "LONGFI~1.TXT"});
    CFileEntry root;
    ASSERT_GE(root.Scan("/src", ScanContext{&fake, &except}), 0);
    EXPECT_EQ(AllPaths(root), (std::vector<std::string>{"/src", "/src/keep", "/src/keep/ thumbs.db", "/src/keep/deeper",
                                                         "/src/keep/deeper/ok", "/src/locked", "/src/Long File Name.txt",
                                                         "/src/only"}));
}

// Special files, dangling links and links back onto their own branch are
// left out and listed (a folder link is kept, empty); a link elsewhere is
// entered; the image itself is never taken in; code page 932 names are read
// as such, and names that are neither are kept, marked for the name check.
TEST(Scan, RealTreeReportsWhatItLeavesOutAndDecodesNames) {
    TempDir t;
    const std::string raw = "bad\xff\xfename.txt";
    for (const std::string& name : {std::string(".hidden"), std::string("sub/deep.txt"), raw, std::string("\x93\xfa\x96\x7b\x8c\xea.txt")})
        t.Write("src/" + name, name);
    ASSERT_EQ(::mkfifo((t / "src/fifo").c_str(), 0600), 0);
    for (auto [link, target] : {std::pair{"dangling", "nowhere"}, {"sub/loop", ".."}, {"sub/self", "."}, {"again", "sub"}})
        ASSERT_EQ(::symlink(target, (t / "src/" + link).c_str()), 0);
    struct stat image;
    ASSERT_EQ(::stat(t.Write("src/out.iso", "").c_str(), &image), 0);
    auto platform = MakePosixPlatform(false);
    CFileEntry root;
    ScanReport report;
    const ScanContext ctx{.platform = platform.get(), .skipIdentity = true, .skipDevice = image.st_dev, .skipInode = image.st_ino,
                          .report = &report};
    ASSERT_GE(root.Scan(t / "src/", ctx), 0);
    ASSERT_EQ(ChildNames(root), (std::vector<std::string>{".hidden", "again", "bad\uFFFD\uFFFDname.txt", "sub", "日本語.txt"}));
    EXPECT_FALSE(root.m_children[0]->m_bHidden);
    std::set<std::string> skipped;  // in the file system's listing order
    for (const SkippedEntry& e : report.skipped) skipped.insert(e.path.substr(t.Path().size()) + "=" + std::to_string(e.why));
    EXPECT_EQ(skipped, (std::set<std::string>{"/src/dangling=0", "/src/fifo=1", "/src/sub/loop=2", "/src/sub/self=2",
                                              "/src/again/loop=2", "/src/again/self=2"}));
    EXPECT_TRUE(report.unreadable.empty());
    const CFileEntry& bad = *root.m_children[2];
    EXPECT_TRUE(bad.m_bUndecodable && !root.m_children[4]->m_bUndecodable);
    EXPECT_EQ(bad.Path(), t / "src/" + raw);  // the path stays as listed, to be opened
    for (const CFileEntry* sub : {root.m_children[1].get(), root.m_children[3].get()}) {
        ASSERT_EQ(ChildNames(*sub), (std::vector<std::string>{"deep.txt", "loop", "self"}));
        for (size_t i : {1, 2}) EXPECT_TRUE(sub->m_children[i]->m_bDirectory && sub->m_children[i]->m_children.empty()) << i;
    }
}

// A chain of folders deeper than any stack holds frames for is freed
// without recursion.
TEST(Scan, FreesAVeryDeepTree) {
    DirEntry folder;
    folder.name = "d";
    folder.directory = true;
    auto root = std::make_unique<CFileEntry>();
    for (CFileEntry* n = root.get(); n->m_nDepth < 200000;) n = n->AddChild(folder, "");
    root.reset();
}

// Locale order with case only a later difference, the same whatever the
// listing's. The layout's lists (depth first, then the path) are pinned by
// the layout's folder numbering test.
TEST(EntryOrder, LocaleOrderWhateverTheListingOrder) {
    std::vector<std::string> names = {"C", "b", "B", "a", "Ab", "ａ", "10", "9", "Z"};
    for (int pass = 0; pass < 2; ++pass, std::reverse(names.begin(), names.end())) {
        FakePlatform fake;
        for (const std::string& name : names) fake.AddFile("/s/" + name, "");
        CFileEntry root;
        ASSERT_GE(root.Scan("/s", ScanContext{&fake}), 0);
        ASSERT_EQ(ChildNames(root), (std::vector<std::string>{"10", "9", "a", "ａ", "Ab", "b", "B", "C", "Z"}));
    }
}

}  // namespace
}  // namespace pm
