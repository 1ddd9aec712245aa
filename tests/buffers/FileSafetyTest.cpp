// Reading and replacing image files with real files: FIFOs, devices, links,
// sparse files and names at the length limit.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "InputFile.h"
#include "ReplacingFile.h"

namespace hc12 {
namespace {

namespace fs = std::filesystem;

class FileSafety : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) / ("hc12files_" + std::to_string(getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        // A FIFO that blocks an open would hang the test: end it instead.
        alarm(30);
    }
    void TearDown() override {
        alarm(0);
        fs::remove_all(dir_);
    }

    fs::path Put(const std::string& name, const std::string& text) const {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }
    fs::path Fifo(const std::string& name) const {
        const fs::path p = dir_ / name;
        EXPECT_EQ(mkfifo(p.c_str(), 0600), 0);
        return p;
    }
    static std::string Text(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static size_t Entries(const fs::path& folder) {
        return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }

    fs::path dir_;
};

const std::vector<uint8_t> kImage = {0x00, 0x0A, 0x0D, 0xFF, 0x1A};

TEST_F(FileSafety, OnlyRegularFilesAreRead) {
    fs::create_directory(dir_ / "folder");
    fs::create_symlink("fifo", dir_ / "to-fifo");
    const fs::path refused[] = {Fifo("fifo"), dir_ / "to-fifo", "/dev/zero",
                                "/dev/null",  dir_ / "folder",  dir_ / "missing.bin"};
    for (const fs::path& p : refused) {
        SCOPED_TRACE(p.string());
        std::vector<uint8_t> kept = {9};
        std::string error;
        EXPECT_FALSE(ReadWholeFile(p, 1 << 20, &kept, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(kept, std::vector<uint8_t>{9});
    }
    // A link to a regular file is read through.
    Put("real.bin", "abc");
    fs::create_symlink("real.bin", dir_ / "link.bin");
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(ReadWholeFile(dir_ / "link.bin", 1 << 20, &bytes, &error)) << error;
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'a', 'b', 'c'}));
}

TEST_F(FileSafety, TheSizeIsKnownBeforeReadingAndNothingPastTheLimitIsRead) {
    // A sparse file far beyond the limit: refused from its size, before a read.
    const fs::path sparse = Put("sparse.bin", "");
    fs::resize_file(sparse, 3ull << 30);
    InputFile file;
    std::string error;
    ASSERT_TRUE(file.Open(sparse, &error)) << error;
    EXPECT_EQ(file.size(), 3ull << 30);
    std::vector<uint8_t> bytes = {9};
    EXPECT_FALSE(file.ReadAll(0x7FFFFFFF, &bytes, &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    EXPECT_EQ(bytes, std::vector<uint8_t>{9});

    // Exactly the limit is taken; one byte more is not.
    for (size_t length : {10u, 11u}) {
        error.clear();
        const fs::path p = Put("n.bin", std::string(length, 'x'));
        EXPECT_EQ(ReadWholeFile(p, 10, &bytes, &error), length == 10) << length;
    }
    // A file that grows after it was measured is read up to the limit and no further.
    const fs::path growing = Put("growing.bin", "12345");
    ASSERT_TRUE(file.Open(growing, &error)) << error;
    std::ofstream(growing, std::ios::binary | std::ios::app) << std::string(100, 'y');
    bytes = {9};
    EXPECT_FALSE(file.ReadAll(50, &bytes, &error));
    EXPECT_EQ(bytes, std::vector<uint8_t>{9});
    ASSERT_TRUE(file.Open(growing, &error)) << error;
    std::ofstream(growing, std::ios::binary | std::ios::app) << "z";
    ASSERT_TRUE(file.ReadAll(1000, &bytes, &error)) << error;
    EXPECT_EQ(bytes.size(), 106u);
}

TEST_F(FileSafety, SavingThroughALinkReplacesItsTargetAndKeepsItsMode) {
    const fs::path other = dir_ / "other";
    fs::create_directory(other);
    const fs::path real = other / "real.bin";
    std::ofstream(real, std::ios::binary) << "old contents, longer than the image";
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    // A relative link, an absolute link to that link, and a link in another folder.
    fs::create_symlink("other/real.bin", dir_ / "relative.bin");
    fs::create_symlink(dir_ / "relative.bin", dir_ / "chain.bin");
    for (const char* name : {"relative.bin", "chain.bin"}) {
        SCOPED_TRACE(name);
        std::ofstream(real, std::ios::binary) << "old";
        std::string error;
        ASSERT_TRUE(ReplaceFile(dir_ / name, kImage, &error)) << error;
        EXPECT_TRUE(fs::is_symlink(dir_ / name));
        EXPECT_EQ(Text(real), std::string(kImage.begin(), kImage.end()));
        struct stat st {};
        ASSERT_EQ(stat(real.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_EQ(Entries(dir_), 3u) << "no temporary left beside the link";
        EXPECT_EQ(Entries(other), 1u) << "no temporary left beside the file";
    }
    // A link to a file not there yet creates that file.
    fs::create_symlink("other/new.bin", dir_ / "dangling.bin");
    std::string error;
    ASSERT_TRUE(ReplaceFile(dir_ / "dangling.bin", kImage, &error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir_ / "dangling.bin"));
    EXPECT_EQ(Text(other / "new.bin"), std::string(kImage.begin(), kImage.end()));
}

TEST_F(FileSafety, WhatIsNotARegularFileIsNeverReplaced) {
    // Devices of our own making only: a faulty save must not be able to replace
    // the system's /dev/null, as root.
    std::vector<fs::path> refused = {Fifo("fifo"), dir_ / "to-fifo", dir_ / "loop-a",
                                     dir_ / "folder"};
    fs::create_symlink("fifo", dir_ / "to-fifo");
    fs::create_symlink("loop-b", dir_ / "loop-a");
    fs::create_symlink("loop-a", dir_ / "loop-b");
    fs::create_directory(dir_ / "folder");
    const fs::path null = dir_ / "null";
    if (mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        fs::create_symlink("null", dir_ / "to-null");
        refused.push_back(null);
        refused.push_back(dir_ / "to-null");
    }
    const size_t before = Entries(dir_);
    for (const fs::path& p : refused) {
        SCOPED_TRACE(p.string());
        std::string error;
        EXPECT_FALSE(ReplaceFile(p, kImage, &error));
        EXPECT_FALSE(error.empty());
        fs::path target;
        error.clear();
        EXPECT_FALSE(ResolveSaveTarget(p, &target, &error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(fs::is_fifo(dir_ / "fifo"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "to-fifo"));
    if (fs::exists(null)) {
        EXPECT_TRUE(fs::is_character_file(null));
    }
    EXPECT_EQ(Entries(dir_), before);
}

TEST_F(FileSafety, AFileWeMayNotWriteIsNotReplaced) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write any file";
    const fs::path p = Put("read-only.bin", "old");
    ASSERT_EQ(chmod(p.c_str(), 0444), 0);
    std::string error;
    EXPECT_FALSE(ReplaceFile(p, kImage, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Text(p), "old");
    EXPECT_EQ(Entries(dir_), 1u);
}

TEST_F(FileSafety, ANameAtTheLengthLimitIsSaved) {
    const long nameMax = pathconf(dir_.c_str(), _PC_NAME_MAX);
    const fs::path p = dir_ / std::string(nameMax > 0 && nameMax < 255 ? nameMax - 1 : 254, 'n');
    std::string error;
    ASSERT_TRUE(ReplaceFile(p, kImage, &error)) << error;
    ASSERT_TRUE(ReplaceFile(p, {}, &error)) << error;  // and replaced by an empty image
    EXPECT_EQ(fs::file_size(p), 0u);
    EXPECT_EQ(Entries(dir_), 1u);
}

TEST_F(FileSafety, AFileThatChangedIntoSomethingElseIsNotReplaced) {
    const fs::path p = Put("image.bin", "old");
    ReplacingFile file;
    std::string error;
    ASSERT_TRUE(file.Open(p, &error)) << error;
    ASSERT_TRUE(file.Write(kImage, &error)) << error;
    fs::remove(p);
    ASSERT_EQ(mkfifo(p.c_str(), 0600), 0);
    EXPECT_FALSE(file.Commit(&error));
    EXPECT_TRUE(fs::is_fifo(p));
    EXPECT_EQ(Entries(dir_), 1u);
}

}  // namespace
}  // namespace hc12
