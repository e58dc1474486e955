// Every public header compiles on its own.
#include "job/JobMessages.h"
#include "job/Strings.h"
#include "layout/ImageBuilder.h"
#include "platform/Platform.h"
#include "platform/Time.h"
#include "settings/VolumeInfo.h"
#include "tree/ExceptList.h"
#include "tree/FileEntry.h"
#include "tree/PathUtil.h"
#include "tree/Text.h"
#include "tree/WideString.h"

#include <gtest/gtest.h>

TEST(Headers, LayoutDefaults) {
    pm::ImageLayout l;
    EXPECT_EQ(l.m_dwUdfPartitionStart, 257u);
    EXPECT_EQ(l.m_dwSectorSize, 2048u);
}
