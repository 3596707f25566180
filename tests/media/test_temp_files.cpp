// The private temporary folder and the exclusive files made in it.
#include "media/temp_files.h"

#include "support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kestrova::test {

namespace fs = std::filesystem;
using testutil::ReadFileBytes;
using testutil::TempDir;

namespace {

TEST(TempFolderTest, PrivateFolderGoesWithEverythingInItButWhatLinksPointTo) {
    TempDir parent;
    const std::string outside = parent.File("outside");
    ASSERT_TRUE(testutil::WriteFileBytes(outside, {1, 2, 3}));
    std::string path;
    {
        std::string error;
        std::optional<TempFolder> folder = TempFolder::Create(parent.Path() + "/", &error);
        ASSERT_TRUE(folder) << error;
        path = folder->Path();
        EXPECT_EQ(path.rfind(parent.Path() + "/kestrova-", 0), 0u) << path;
        EXPECT_TRUE(path.ends_with("/"));
        EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_all);
        std::optional<TempFolder> moved = std::move(folder);
        fs::create_directory(path + "sub");
        ASSERT_TRUE(testutil::WriteFileBytes(path + "sub/f", {4}));
        fs::create_symlink(outside, path + "link");
    }
    EXPECT_FALSE(fs::exists(path)) << "removed once, by the object it was moved to";
    EXPECT_EQ(ReadFileBytes(outside), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(TempFolderTest, ExclusiveFilesAreNewOwnerOnlyAndNeverFollowLinks) {
    TempDir dir;
    const std::string victim = dir.File("victim");
    ASSERT_TRUE(testutil::WriteFileBytes(victim, {7}));
    fs::create_symlink(victim, dir.File("link"));
    fs::create_symlink(dir.File("nowhere"), dir.File("dangling"));
    for (const char* taken : {"victim", "link", "dangling"}) {
        EXPECT_FALSE(CreateExclusiveFile(dir.File(taken))) << taken;
    }
    EXPECT_FALSE(fs::exists(dir.File("nowhere")));
    EXPECT_EQ(ReadFileBytes(victim), std::vector<uint8_t>{7});

    TempFilePtr file = CreateExclusiveFile(dir.File("new"));
    ASSERT_TRUE(file);
    EXPECT_GE(std::fputs("abc", file.get()), 0);
    EXPECT_TRUE(CloseWrittenFile(std::move(file)));
    EXPECT_EQ(fs::status(dir.File("new")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::file_size(dir.File("new")), 3u);
}

} // namespace

} // namespace kestrova::test
