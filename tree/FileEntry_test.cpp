#include "tree/FileEntry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

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
    fake.listOrder = FakePlatform::ListOrder::Reverse;
    fake.AddFolder("/src").mtime = 1000;
    fake.AddSizedFile("/src/big.bin", 5ull << 30).mtime = 2000;
    fake.AddFolder("/src/.git/.deep/.hid");
    fake.AddFile("/src/日本語の名前.txt", "x").shortName = "日本語~1.TXT";
    CFileEntry root;
    ScanContext ctx{&fake};
    ctx.hideDotFiles = true;
    ASSERT_GE(root.Scan("/src//", ctx), 0);
    EXPECT_EQ(root.Path() + " " + root.m_strName + " " + std::to_string(root.m_time), "/src src 1000");
    EXPECT_TRUE(root.m_bDirectory && !root.m_pParent);
    EXPECT_EQ(ChildNames(root), (std::vector<std::string>{".git", "big.bin", "日本語の名前.txt"}));

    const CFileEntry& big = *root.m_children[1];
    EXPECT_EQ(big.Path() + " " + big.m_strShortName, "/src/big.bin big.bin");  // no alias: the name itself
    // Sizes of the three names' files, time, name lengths, depth, links.
    EXPECT_EQ((std::vector<int64_t>{int64_t(big.m_nIsoSize), int64_t(big.m_nJolietSize), int64_t(big.m_nUdfSize), big.m_time,
                                    big.JolietUnits(), big.UdfIdentifierBytes(), big.m_nDepth, big.m_wLinkCount}),
              (std::vector<int64_t>{5ll << 30, 5ll << 30, 5ll << 30, 2000, 7, 15, 1, 1}));
    EXPECT_EQ(big.m_pParent, &root);
    EXPECT_EQ(root.m_children[2]->m_strShortName, Utf8ToCp932("日本語~1.TXT"));

    const CFileEntry* hid = root.m_children[0]->m_children[0]->m_children[0].get();
    EXPECT_EQ(hid->Path(), "/src/.git/.deep/.hid");
    EXPECT_TRUE(hid->m_bHidden && hid->m_bDirectory);
    EXPECT_EQ(hid->m_nDepth, 3);

    // A missing folder leaves the node as it was; a file gets no children.
    EXPECT_EQ(root.Scan("/nothing", ctx), -1);
    EXPECT_EQ(root.m_children.size(), 3u);
    EXPECT_EQ(root.Scan("/src/big.bin", ctx), 0);
    EXPECT_TRUE(root.m_children.empty());
    EXPECT_FALSE(root.m_bDirectory);
}

TEST(Scan, RootFolderAndShortNames) {
    FakePlatform fake(true);
    fake.AddFile("/Long File Name.txt", "");
    ExceptList except;  // the alias is not the name: it excludes nothing
    except.SetEntries({"LONGFI~1.TXT"});
    CFileEntry root;
    ASSERT_GE(root.Scan("/", ScanContext{&fake, &except}), 0);
    EXPECT_EQ(root.Path(), "/");
    ASSERT_EQ(root.m_children.size(), 1u);
    const CFileEntry& f = *root.m_children[0];
    EXPECT_EQ(f.Path() + "|" + f.m_strName + "|" + f.m_strShortName, "/Long File Name.txt|Long File Name.txt|LONGFI~1.TXT");
}

TEST(Scan, ExclusionsAtEveryDepthButNeverTheRoot) {
    FakePlatform fake;
    fake.AddFile("/src/Thumbs.db", "");
    fake.AddFile("/src/keep/THUMBS.DB", "");
    fake.AddFile("/src/keep/deeper/thumbs.db", "");
    fake.AddFile("/src/keep/deeper/ok", "");
    fake.AddFile("/src/.svn/inner/ok", "");
    fake.AddFile("/src/keep/ thumbs.db", "");
    fake.AddFile("/src/only/thumbs.db", "");
    ExceptList except;
    except.SetEntries({"thumbs.db", ".svn", "src", "keep/deeper"});
    CFileEntry root;
    ASSERT_GE(root.Scan("/src", ScanContext{&fake, &except}), 0);
    EXPECT_EQ(AllPaths(root), (std::vector<std::string>{
                                  "/src", "/src/keep", "/src/keep/ thumbs.db", "/src/keep/deeper",
                                  "/src/keep/deeper/ok", "/src/only"}));
}

TEST(Scan, GuardsAgainstLoopsUnlistableFoldersAndTheImageItself) {
    FakePlatform fake;
    fake.AddFile("/src/a/b/f", "");
    fake.AddLink("/src/a/b/up", "/src/a");       // back onto its own branch
    fake.AddLink("/src/a/b/self", "/src/a/b");
    fake.AddLink("/src/again", "/src/a/b");      // elsewhere: entered, up to b again
    fake.AddFolder("/src/locked").unlistable = true;
    FakeNode& image = fake.AddFile("/src/out.iso", "");
    CFileEntry root;
    ScanContext ctx{&fake};
    ctx.skipIdentity = true;
    ctx.skipDevice = image.device;
    ctx.skipInode = image.inode;
    ASSERT_GE(root.Scan("/src", ctx), 0);
    EXPECT_EQ(AllPaths(root), (std::vector<std::string>{
                                  "/src", "/src/a", "/src/a/b", "/src/a/b/f", "/src/a/b/self",
                                  "/src/a/b/up", "/src/again", "/src/again/f", "/src/again/self",
                                  "/src/again/up", "/src/again/up/b", "/src/locked"}));
    EXPECT_TRUE(root.m_children[0]->m_children[0]->m_children[2]->m_bDirectory);
}

// Special files, dangling links and links back up are left out and listed;
// code page 932 names are read as such, names that are neither refused.
TEST(Scan, RealTreeReportsWhatItLeavesOutAndDecodesNames) {
    TempDir t;
    t.Write("src/.hidden", "h");
    t.Write("src/sub/deep.txt", "d");
    std::string raw = "bad\xff\xfename.txt";
    t.Write("src/" + raw, "raw bytes");
    t.Write("src/\x93\xfa\x96\x7b\x8c\xea.txt", "sjis");
    ASSERT_EQ(::mkfifo((t / "src/fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("nowhere", (t / "src/dangling").c_str()), 0);
    ASSERT_EQ(::symlink("..", (t / "src/sub/loop").c_str()), 0);
    auto platform = MakePosixPlatform(false);
    CFileEntry root;
    ScanReport report;
    ScanContext ctx{platform.get()};
    ctx.report = &report;
    ASSERT_GE(root.Scan(t / "src/", ctx), 0);
    EXPECT_EQ(ChildNames(root), (std::vector<std::string>{".hidden", "bad\uFFFD\uFFFDname.txt", "sub", "日本語.txt"}));
    EXPECT_FALSE(root.m_children[0]->m_bHidden);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(root.m_children[3]->JolietIdentifier().Data()), 12),
              std::string("\x65\xe5\x67\x2c\x8a\x9e\0.\0t\0x", 12));
    std::set<std::string> skipped;  // in the file system's listing order
    for (const SkippedEntry& e : report.skipped) skipped.insert(e.path.substr(t.Path().size()) + "=" + std::to_string(e.why));
    EXPECT_EQ(skipped, (std::set<std::string>{"/src/dangling=0", "/src/fifo=1", "/src/sub/loop=2"}));
    EXPECT_TRUE(report.unreadable.empty());
    const CFileEntry& bad = *root.m_children[1];
    EXPECT_TRUE(bad.m_bUndecodable && !root.m_children[3]->m_bUndecodable);
    EXPECT_EQ(bad.Path(), t / "src/" + raw);
    FileError err;
    auto in = platform->OpenRead(bad.Path(), err);
    ASSERT_NE(in, nullptr);
    char buf[16];
    EXPECT_EQ(in->Read(buf, sizeof buf, err), 9);
    // sub/loop leads back to src: kept as an empty folder.
    const CFileEntry& sub = *root.m_children[2];
    EXPECT_EQ(ChildNames(sub), (std::vector<std::string>{"deep.txt", "loop"}));
    EXPECT_TRUE(sub.m_children[1]->m_bDirectory);
    EXPECT_TRUE(sub.m_children[1]->m_children.empty());
}

TEST(Scan, DeepAndWideTrees) {
    FakePlatform fake;
    std::string path = "/src";
    for (int i = 0; i < 1000; ++i) path += "/d";
    fake.AddFile(path + "/leaf", "");
    CFileEntry deep;
    EXPECT_EQ(deep.Scan("/src", ScanContext{&fake}), 1000);
    const CFileEntry* n = &deep;
    while (!n->m_children.empty()) n = n->m_children[0].get();
    EXPECT_EQ(n->m_nDepth, 1001);
    deep.DeleteChildren();
    EXPECT_TRUE(deep.m_children.empty());
}

TEST(EntryOrder, LocaleOrderCaseOnlyAsALaterDifferenceAlwaysTheSame) {
    FakePlatform fake;
    for (const char* name : {"C", "b", "B", "a", "ａ", "10", "9"}) fake.AddFile(std::string("/s/") + name, "");
    fake.AddFile("/s/Z/x", "");
    std::vector<std::string> first;
    for (auto order : {FakePlatform::ListOrder::Insertion, FakePlatform::ListOrder::Reverse}) {
        fake.listOrder = order;
        CFileEntry root;
        ASSERT_GE(root.Scan("/s", ScanContext{&fake}), 0);
        std::vector<std::string> names = ChildNames(root);
        auto pos = [&](const std::string& s) { return std::find(names.begin(), names.end(), s) - names.begin(); };
        EXPECT_LT(pos("a"), pos("B"));
        EXPECT_LT(pos("B"), pos("C"));
        EXPECT_EQ(std::abs(pos("b") - pos("B")), 1);
        if (first.empty()) first = names;
        EXPECT_EQ(names, first);

        // The layout's lists: depth first, then the path.
        ASSERT_EQ(root.m_children.back()->m_strName, "Z");
        std::vector<CFileEntry*> all{root.m_children.back()->m_children[0].get()};
        for (auto& c : root.m_children) all.push_back(c.get());
        all.push_back(&root);
        SortEntries(all);
        EXPECT_EQ(all.front(), &root);
        EXPECT_EQ(all.back()->Path(), "/s/Z/x");
    }
}

}  // namespace
}  // namespace pm
