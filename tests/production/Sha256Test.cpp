// SHA-256 against the standard's examples, across block boundaries, and against
// sha256sum on a file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Sha256.h"

namespace hc12::production {
namespace {

TEST(Sha256, KnownVectors) {
    struct Case {
        std::string input;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
         "mnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.substr(0, 20));
        EXPECT_EQ(Sha256Hex(c.input), c.digest);
    }
}

// Lengths around the 55/56/64-byte edges of the padding, fed in uneven pieces.
TEST(Sha256, PiecesGiveTheSameDigestAsTheWhole) {
    for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
        std::vector<uint8_t> data(length);
        for (size_t i = 0; i < length; ++i)
            data[i] = uint8_t(i * 31 + 7);
        Sha256 pieces;
        for (size_t at = 0; at < length;) {
            const size_t n = std::min<size_t>(1 + at % 13, length - at);
            pieces.Update(data.data() + at, n);
            at += n;
        }
        const auto digest = pieces.Finish();
        const std::string whole = Sha256Hex(data);
        std::string hex;
        for (uint8_t b : digest) {
            char two[3];
            std::snprintf(two, sizeof two, "%02x", b);
            hex += two;
        }
        EXPECT_EQ(hex, whole) << length;
    }
}

TEST(Sha256, AgreesWithSha256sum) {
    if (std::system("command -v sha256sum >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "sha256sum is not installed";
    const auto path = std::filesystem::path(::testing::TempDir()) /
                      ("hc12_sha_" + std::to_string(getpid()) + ".bin");
    std::vector<uint8_t> data(70001);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t((i * 2654435761u) >> 13);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    FILE* pipe = popen(("sha256sum '" + path.string() + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[128] = {};
    ASSERT_NE(fgets(line, sizeof line, pipe), nullptr);
    pclose(pipe);
    std::filesystem::remove(path);
    EXPECT_EQ(std::string(line).substr(0, 64), Sha256Hex(data));
}

}  // namespace
}  // namespace hc12::production
