#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "RawImageFile.h"

namespace hc12::cli {
namespace {

namespace fs = std::filesystem;

class RawImageFile : public ::testing::Test {
  protected:
    void SetUp() override {
        // One folder per test and process: ctest runs tests in parallel processes.
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) /
               ("hc12cli_raw_" + std::to_string(getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    size_t Entries() const {
        return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }
    fs::path dir_;
};

TEST_F(RawImageFile, SavingReplacesTheWholeFileAndLeavesNoTemporary) {
    const std::string path = (dir_ / "image.bin").string();
    std::string error;
    const std::vector<uint8_t> longer(300, 0xAB), shorter = {0x00, 0x0A, 0x0D, 0xFF, 0x1A};
    ASSERT_TRUE(SaveRawImage(path, longer, &error)) << error;
    ASSERT_TRUE(SaveRawImage(path, shorter, &error)) << error;
    std::vector<uint8_t> back;
    ASSERT_TRUE(ReadRawImage(path, &back, &error)) << error;
    EXPECT_EQ(back, shorter);  // raw bytes, nothing translated, nothing of the old file left
    EXPECT_EQ(Entries(), 1u);

    ASSERT_TRUE(SaveRawImage(path, {}, &error)) << error;
    EXPECT_EQ(fs::file_size(path), 0u);
}

TEST_F(RawImageFile, FailuresLeaveEverythingAsItWas) {
    std::string error;
    std::vector<uint8_t> bytes = {1, 2, 3};
    EXPECT_FALSE(SaveRawImage((dir_ / "missing" / "x.bin").string(), bytes, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(dir_ / "missing"));

    fs::create_directory(dir_ / "folder");
    error.clear();
    EXPECT_FALSE(SaveRawImage((dir_ / "folder").string(), bytes, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
    EXPECT_EQ(Entries(), 1u);

    for (const fs::path& unreadable : {dir_ / "folder", dir_ / "absent.bin"}) {
        SCOPED_TRACE(unreadable.string());
        error.clear();
        std::vector<uint8_t> kept = {9};
        EXPECT_FALSE(ReadRawImage(unreadable.string(), &kept, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(kept, std::vector<uint8_t>{9});
    }
}

}  // namespace
}  // namespace hc12::cli
