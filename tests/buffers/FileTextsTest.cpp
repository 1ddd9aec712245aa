#include <gtest/gtest.h>

#include "FileTexts.h"

namespace hc12 {
namespace {

TEST(FileTexts, LoadedStatus) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "Wczytano 0  bajtów."},     {1, "Wczytano 1  bajt."},
        {2, "Wczytano 2  bajty."},      {3, "Wczytano 3  bajty."},
        {4, "Wczytano 4  bajtów."},     {100, "Wczytano 100  bajtów."},
        {512, "Wczytano 512  bajtów."}, {1023, "Wczytano 1023  bajtów."},
        {1024, "Wczytano 1  KB"},       {1034, "Wczytano 1.00  KB"},
        {1536, "Wczytano 1.5  KB"},     {2000, "Wczytano 1.95  KB"},
        {65536, "Wczytano 64  KB"},     {1048576, "Wczytano 1024  KB"},
    };
    for (auto [length, text] : cases)
        EXPECT_EQ(LoadedStatusText(length), text) << length;
}

TEST(FileTexts, Questions) {
    EXPECT_TRUE(LoadQuestions(512, 512).empty());
    EXPECT_TRUE(LoadQuestions(70000, 100000).empty());
    EXPECT_EQ(LoadQuestions(600, 512), std::vector<std::string>{kLargerThanPageText});
    EXPECT_EQ(LoadQuestions(70000, 512),
              (std::vector<std::string>{kLargerThanPageText, kVeryLargeText}));
    EXPECT_EQ(std::string(kVeryLargeText),
              "Plik jest bardzo duży i wczytywanie moze zajac duzo czasu.Czy kontynuować?");
}

}  // namespace
}  // namespace hc12
