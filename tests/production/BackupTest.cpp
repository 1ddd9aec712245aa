// Backups: S-records that read back as the bytes saved, a new name each time and
// never a file replaced, and folders that cannot take them refused.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "AddressedImage.h"
#include "Backup.h"
#include "ImageFile.h"
#include "ProductionTestFiles.h"

namespace hc12::production {
namespace {

class Backups : public TempFolder {};

TEST_F(Backups, ReadBackAsSavedAndNeverReplaceAFile) {
    std::vector<uint8_t> bytes(1024);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 13 + 5);
    std::vector<std::filesystem::path> saved(3);
    for (auto& path : saved) {
        std::string error;
        ASSERT_TRUE(SaveBackup(dir_, "sn1000", 0x0C00, bytes, &path, &error)) << error;
    }
    // Within one second the name is the same: the later ones take -2, -3.
    EXPECT_NE(saved[0], saved[1]);
    EXPECT_NE(saved[1], saved[2]);
    EXPECT_EQ(saved[0].filename().string().rfind("sn1000-", 0), 0u);
    EXPECT_EQ(saved[0].extension(), ".s19");
    for (const auto& path : saved) {
        AddressedImage image;
        std::string reason;
        ImageError recordError;
        ASSERT_EQ(ReadAddressedImage(path, ImageFormat::SRecord, &image, &reason, &recordError),
                  ImageReadResult::Ok)
            << reason;
        ASSERT_EQ(image.bytes.size(), bytes.size());
        EXPECT_EQ(image.first(), 0x0C00u);
        for (size_t i = 0; i < bytes.size(); ++i)
            ASSERT_EQ(image.bytes[i].value, bytes[i]) << i;
    }
    // Nothing else is left in the folder (no temporary files).
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 3);
}

TEST_F(Backups, FoldersThatCannotTakeThemAreRefused) {
    std::string error;
    EXPECT_TRUE(CheckBackupFolder(dir_, &error)) << error;
    EXPECT_FALSE(CheckBackupFolder(File("missing"), &error));
    Append(File("plain"), "x");
    EXPECT_FALSE(CheckBackupFolder(File("plain"), &error));
    std::filesystem::path saved;
    EXPECT_FALSE(SaveBackup(File("missing"), "x", 0, {1, 2}, &saved, &error));
    if (geteuid() != 0) {  // root writes anywhere
        std::filesystem::create_directory(File("locked"));
        chmod(File("locked").c_str(), 0500);
        EXPECT_FALSE(CheckBackupFolder(File("locked"), &error));
        EXPECT_FALSE(SaveBackup(File("locked"), "x", 0, {1, 2}, &saved, &error));
    }
}

TEST(SafeFileNamePart, PortsBecomeNamesWithoutSlashes) {
    const std::pair<const char*, const char*> cases[] = {
        {"/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0",
         "usb-FTDI_FT232R_A50285BI-if00-port0"},
        {"/dev/ttyUSB0", "ttyUSB0"},
        {"rfc2217://10.0.0.5:2001", "10.0.0.5_2001"},
        {"rfc2217://[::1]:2001", "___1__2001"},
        {"COM3", "COM3"},
        {"virtual:model=MC9S12DT128,quartz=16", "virtual_model_MC9S12DT128_quartz_16"},
        {"/tmp/../x", "_tmp_.._x"},
        {"..", "_."},
    };
    for (const auto& [port, name] : cases)
        EXPECT_EQ(SafeFileNamePart(port), name) << port;
}

}  // namespace
}  // namespace hc12::production
