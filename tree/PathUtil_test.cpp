#include "tree/PathUtil.h"

#include <gtest/gtest.h>

#include "FakePlatform.h"

namespace pm {
namespace {

// Digit grouping shows in every count the messages and the progress give
// (the layout, progress and command-line tests compare those texts).

TEST(PathUtil, CreateFolderPath) {
    FakePlatform fake;
    fake.AddFolder("/home/user");
    EXPECT_EQ(CreateFolderPath(fake, "/home/user/"), 0);  // exists: nothing made
    EXPECT_TRUE(fake.createdFolders.empty());

    // What the main dialog passes: the image's folder with its trailing "/".
    CreateFolderPath(fake, "/home/user/x//y/");
    EXPECT_EQ(fake.createdFolders, (std::vector<std::string>{"/home/user/x", "/home/user/x//y"}));
    EXPECT_NE(fake.Find("/home/user/x/y"), nullptr);

    fake.createdFolders.clear();
    EXPECT_NE(CreateFolderPath(fake, "/top"), 0);
    EXPECT_NE(CreateFolderPath(fake, "rel/sub"), 0);  // relative: the current folder exists
    EXPECT_EQ(fake.createdFolders, (std::vector<std::string>{"/top", "rel", "rel/sub"}));
    EXPECT_EQ(CreateFolderPath(fake, ""), 0);

    fake.AddFile("/home/file", "");
    EXPECT_EQ(CreateFolderPath(fake, "/home/file/sub"), 0);  // a file is in the way
}

}  // namespace
}  // namespace pm
