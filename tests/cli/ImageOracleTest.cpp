// S-records and Intel HEX checked against tools nobody here wrote: srec_cat
// (srecord) and objcopy (binutils). Files they make from random raw images load
// into the raw image's bytes; files this program writes read back identically
// through srec_cat, which also checks their checksums.
#include <gtest/gtest.h>

#include <unistd.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "ImageFile.h"

namespace hc12 {
namespace {

namespace fs = std::filesystem;

int Sh(const std::string& command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

std::string Q(const fs::path& p) {
    return "'" + p.string() + "'";
}

class ImageOracle : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(Sh("command -v srec_cat >/dev/null && command -v objcopy >/dev/null"), 0)
            << "srec_cat and objcopy are needed: tools/install-deps.sh installs srecord and "
               "binutils";
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) / ("hc12oracle_" + std::to_string(getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A random raw image of `size` bytes in dir_/raw.bin.
    std::string RawImage(size_t size, unsigned seed) {
        std::mt19937 random(seed);
        std::string raw(size, '\0');
        for (char& c : raw)
            c = char(random());
        Put(dir_ / "raw.bin", raw);
        return raw;
    }

    AddressedImage Load(const fs::path& p, ImageFormat format) {
        AddressedImage image;
        std::string reason;
        ImageError error;
        const ImageReadResult result = ReadAddressedImage(p, format, &image, &reason, &error);
        EXPECT_EQ(int(result), int(ImageReadResult::Ok)) << reason << ImageErrorText(error);
        return image;
    }

    fs::path dir_;
};

constexpr uint32_t kBase = 0xFA00;  // 1536 bytes below 10000: the images cross it

TEST_F(ImageOracle, FilesOfTheToolsLoadIntoTheRawImagesBytes) {
    struct Case {
        const char* tool;  // {raw} the raw image, {out} the file made
        ImageFormat format;
        bool gap;  // bytes 100..299 left out
    };
    const Case cases[] = {
        // Mixed S1/S2 records of 7 bytes, no end record.
        {"srec_cat {raw} -binary -offset 0xFA00 -o {out} -Motorola -obs=7", ImageFormat::SRecord,
         false},
        {"srec_cat {raw} -binary -crop 0 100 300 3001 -offset 0xFA00 -o {out} -Motorola "
         "-line-termination=crlf",
         ImageFormat::SRecord, true},
        {"srec_cat {raw} -binary -offset 0xFA00 -o {out} -Motorola -address-length=4",
         ImageFormat::SRecord, false},
        {"srec_cat {raw} -binary -offset 0xFA00 -o {out} -Intel -obs=13", ImageFormat::IntelHex,
         false},
        {"srec_cat {raw} -binary -crop 0 100 300 3001 -offset 0xFA00 -o {out} -Intel "
         "-line-termination=crlf",
         ImageFormat::IntelHex, true},
        {"objcopy -I binary -O srec --change-addresses 0xFA00 --srec-len 13 {raw} {out}",
         ImageFormat::SRecord, false},
        {"objcopy -I binary -O ihex --change-addresses 0xFA00 {raw} {out}", ImageFormat::IntelHex,
         false},
    };
    unsigned seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tool);
        const size_t size = 2001 + seed * 100;  // odd lengths
        const std::string raw = RawImage(size, seed++);
        std::string command = c.tool;
        command.replace(command.find("{raw}"), 5, Q(dir_ / "raw.bin"));
        command.replace(command.find("{out}"), 5, Q(dir_ / "made"));
        ASSERT_EQ(Sh(command), 0);
        if (std::string(c.tool).find("crlf") != std::string::npos) {
            ASSERT_NE(Slurp(dir_ / "made").find("\r\n"), std::string::npos);
        }

        std::vector<ImageByte> expected;
        for (uint32_t i = 0; i < raw.size(); ++i)
            if (!c.gap || i < 100 || i >= 300)
                expected.push_back({kBase + i, uint8_t(raw[i])});
        EXPECT_EQ(Load(dir_ / "made", c.format).bytes, expected);
    }
}

TEST_F(ImageOracle, FilesOfTheProgramReadBackThroughSrecCat) {
    // A sparse image across FFFF, and a dense one to compare as raw bytes.
    std::mt19937 random(7);
    AddressedImage sparse;
    for (uint32_t a = 0xF000; a < 0x10800; a += 1 + (random() % 5 == 0 ? random() % 50 : 0))
        sparse.bytes.push_back({a, uint8_t(random())});
    const std::string raw = RawImage(1500, 3);
    AddressedImage dense;
    for (uint32_t i = 0; i < raw.size(); ++i)
        dense.bytes.push_back({kBase + i, uint8_t(raw[i])});

    for (const AddressedImage* image : {&sparse, &dense}) {
        for (ImageFormat format : {ImageFormat::SRecord, ImageFormat::IntelHex}) {
            const bool srec = format == ImageFormat::SRecord;
            SCOPED_TRACE(srec ? "srec" : "ihex");
            const fs::path ours = dir_ / (srec ? "ours.s19" : "ours.hex");
            const std::vector<uint8_t> text = EncodeAddressedImage(*image, format, "ours.s19");
            Put(ours, std::string(text.begin(), text.end()));
            // srec_cat refuses bad checksums; the other format keeps the gaps.
            const fs::path back = dir_ / (srec ? "back.hex" : "back.s19");
            ASSERT_EQ(Sh("srec_cat " + Q(ours) + (srec ? " -Motorola" : " -Intel") + " -o " +
                         Q(back) + (srec ? " -Intel" : " -Motorola")),
                      0);
            EXPECT_EQ(Load(back, srec ? ImageFormat::IntelHex : ImageFormat::SRecord).bytes,
                      image->bytes);
            if (image == &dense) {
                ASSERT_EQ(Sh("srec_cat " + Q(ours) + (srec ? " -Motorola" : " -Intel") +
                             " -offset -0xFA00 -o " + Q(dir_ / "back.bin") + " -binary"),
                          0);
                EXPECT_EQ(Slurp(dir_ / "back.bin"), raw);
            }
        }
    }
}

TEST_F(ImageOracle, DamagedFilesOfTheToolsGiveTheirErrors) {
    RawImage(200, 11);
    const fs::path made = dir_ / "made.s19";
    ASSERT_EQ(Sh("srec_cat " + Q(dir_ / "raw.bin") + " -binary -offset 0x0C00 -o " + Q(made) +
                 " -Motorola -obs=16"),
              0);
    const std::string text = Slurp(made);
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = text.find('\n', pos);
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    ASSERT_GT(lines.size(), 8u);
    const auto join = [](const std::vector<std::string>& ls) {
        std::string out;
        for (const std::string& l : ls)
            out += l + "\n";
        return out;
    };
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        size_t line;
        ImageFault fault;
    };
    std::vector<std::string> badSum = lines, cut = lines, overlapping = lines;
    badSum[4].back() = badSum[4].back() == '0' ? '1' : '0';
    cut[6].resize(cut[6].size() / 2);
    // A second copy of line 3 with one data byte changed.
    std::string changed = lines[2];
    changed[10] = changed[10] == '0' ? '1' : '0';
    changed.back() = '0';
    changed[changed.size() - 2] = '0';
    {
        unsigned sum = 0;
        for (size_t i = 2; i + 2 < changed.size(); i += 2)
            sum += unsigned(std::stoul(changed.substr(i, 2), nullptr, 16));
        char cs[3];
        std::snprintf(cs, sizeof cs, "%02X", ~sum & 0xFF);
        changed.replace(changed.size() - 2, 2, cs);
    }
    overlapping.insert(overlapping.begin() + 5, changed);
    // Its count record would object first.
    std::erase_if(overlapping, [](const std::string& l) { return l.rfind("S5", 0) == 0; });
    const Case cases[] = {
        {"checksum", badSum, 5, ImageFault::BadChecksum},
        {"truncated", cut, 7, ImageFault::BadLength},
        {"overlap", overlapping, 6, ImageFault::Conflict},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put(dir_ / "bad.s19", join(c.lines));
        AddressedImage image;
        std::string reason;
        ImageError error;
        EXPECT_EQ(int(ReadAddressedImage(dir_ / "bad.s19", ImageFormat::SRecord, &image, &reason,
                                         &error)),
                  int(ImageReadResult::BadRecord));
        EXPECT_EQ(error.line, c.line);
        EXPECT_EQ(int(error.fault), int(c.fault)) << ImageErrorText(error);
    }
    // And srec_cat agrees that the damaged checksum is one.
    Put(dir_ / "bad.s19", join(badSum));
    EXPECT_NE(Sh("srec_cat " + Q(dir_ / "bad.s19") + " -o - -binary >/dev/null 2>&1"), 0);
}

}  // namespace
}  // namespace hc12
