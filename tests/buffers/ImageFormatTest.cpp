// S-record and Intel HEX readers and writers, and what the page makes of them.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>

#include "AddressedImage.h"
#include "ImageFormat.h"

namespace hc12 {
namespace {

std::vector<ImageByte> Bytes(uint32_t address, std::vector<uint8_t> values) {
    std::vector<ImageByte> out;
    for (uint8_t v : values)
        out.push_back({address++, v});
    return out;
}

std::vector<ImageByte> Concat(std::initializer_list<std::vector<ImageByte>> parts) {
    std::vector<ImageByte> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(ImageFormat, ReadsTheFormatsAsToolsWriteThem) {
    // The textbook examples, one with CRLF, lower case and blank lines.
    const std::string srec =
        "S00F000068656C6C6F202020202000003C\r\n"
        "S11F00007C0802A6900100049421FFF07C6C1B787C8C23783C6000003863000026\r\n"
        "\r\n"
        "s11f001c4bffffe5398000007d83637880010014382100107c0803a64e800020e9\r\n"
        "S111003848656C6C6F20776F726C642E0A0042\r\n"
        "S5030003F9\r\n"
        "S9030000FC\r\n";
    AddressedImage image;
    ImageError error;
    ASSERT_TRUE(ParseSRecords(srec, &image, &error)) << ImageErrorText(error);
    EXPECT_EQ(image.header, std::string("hello     \0\0", 12));
    ASSERT_EQ(image.bytes.size(), 70u);
    EXPECT_EQ(image.first(), 0u);
    EXPECT_EQ(image.bytes[0x38], (ImageByte{0x38, 'H'}));
    EXPECT_EQ(image.last(), 0x45u);

    const std::string hex =
        ":10010000214601360121470136007EFE09D2190140\n"
        ":100110002146017E17C20001FF5F16002148011928\n"
        ":10012000194E79234623965778239EDA3F01B2CAA7\n"
        ":100130003F0156702B5E712B722B732146013421C7\n"
        ":00000001FF";  // no line end after the last record
    ASSERT_TRUE(ParseIntelHex(hex, &image, &error)) << ImageErrorText(error);
    ASSERT_EQ(image.bytes.size(), 64u);
    EXPECT_EQ(image.bytes[0], (ImageByte{0x100, 0x21}));
    EXPECT_EQ(image.last(), 0x13Fu);
}

TEST(ImageFormat, MixedRecordsBasesAndRepeatedEqualBytes) {
    // S1, S2 and S3 in one file, out of order, one byte given twice alike; no end
    // record, as srec_cat writes them.
    const std::string srec =
        "S20501000003F6\n"
        "S105FFFE0102FA\n"
        "S10400FF02FA\n"
        "S10400FF02FA\n"
        "S30600000010AA3F\n";
    AddressedImage image;
    ImageError error;
    ASSERT_TRUE(ParseSRecords(srec, &image, &error)) << ImageErrorText(error);
    EXPECT_EQ(image.bytes, Concat({Bytes(0x10, {0xAA}), Bytes(0xFF, {0x02}),
                                   Bytes(0xFFFE, {0x01, 0x02, 0x03})}));

    // Intel HEX: a linear base, then a segment base (offsets wrap in the segment),
    // start addresses ignored.
    const std::string hex =
        ":020000040001F9\n"
        ":0100100003EC\n"
        ":020000021000EC\n"
        ":02FFFF00AABB9B\n"
        ":0400000300000000F9\n"
        ":04000005000000F007\n"
        ":00000001FF\n";
    ASSERT_TRUE(ParseIntelHex(hex, &image, &error)) << ImageErrorText(error);
    EXPECT_EQ(image.bytes,
              Concat({Bytes(0x10000, {0xBB}), Bytes(0x10010, {0x03}), Bytes(0x1FFFF, {0xAA})}));
}

TEST(ImageFormat, EveryFaultNamesItsLine) {
    struct Case {
        bool srec;
        const char* text;
        size_t line;
        ImageFault fault;
    };
    const Case cases[] = {
        {true, "S0030000FC\nS105FFFE0102FB\nS9030000FC\n", 2, ImageFault::BadChecksum},
        {true, "S105FFFE0102FA\nS105FFFE01\nS9030000FC\n", 2, ImageFault::BadLength},
        {true, "S105FFFE0102F\n", 1, ImageFault::BadLength},
        {true, "S105FFFE0102FA\nS105FFFG0102FA\n", 2, ImageFault::BadDigit},
        {true, "S105FFFE0102FA\n:0100000003FC\n", 2, ImageFault::NotARecord},
        {true,
         "\x7F"
         "ELF\n",
         1, ImageFault::NotARecord},
        {true, "S4030000FC\n", 1, ImageFault::UnknownType},
        {true, "S10400FF02FA\nS5030002FA\nS9030000FC\n", 2, ImageFault::BadCount},
        {true, "S10400FF02FA\n\nS10400FF03F9\nS9030000FC\n", 3, ImageFault::Conflict},
        {true, "S9030000FC\nS10400FF02FA\n", 2, ImageFault::AfterEnd},
        {true, "S903000000FC\n", 1, ImageFault::BadLength},
        {false, ":0100000003FC\n:0100000003FD\n:00000001FF\n", 2, ImageFault::BadChecksum},
        {false, ":0100000003FC\n:02000000\n", 2, ImageFault::BadLength},
        {false, ":0100000003FC\n0100000003FC\n", 2, ImageFault::NotARecord},
        {false, ":0100000600F9\n", 1, ImageFault::UnknownType},
        {false, ":0100000103FB\n", 1, ImageFault::BadLength},
        {false, ":01000004FFFC\n", 1, ImageFault::BadLength},
        {false, ":0100000003FC\n:0100000004FB\n:00000001FF\n", 2, ImageFault::Conflict},
        {false, ":0100000003FC\n", 1, ImageFault::NoEnd},
        {false, ":00000001FF\n:0100000003FC\n", 2, ImageFault::AfterEnd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        AddressedImage image;
        image.header = "kept";
        ImageError error;
        EXPECT_FALSE(c.srec ? ParseSRecords(c.text, &image, &error)
                            : ParseIntelHex(c.text, &image, &error));
        EXPECT_EQ(error.line, c.line);
        EXPECT_EQ(int(error.fault), int(c.fault)) << ImageErrorText(error);
        EXPECT_EQ(image.header, "kept") << "a failed read leaves the image alone";
    }
    ImageError conflict{3, ImageFault::Conflict, 0xFF};
    EXPECT_EQ(ImageErrorText(conflict),
              "Niepoprawny plik, linia 3: adres 00FF ma już inną wartość");
    EXPECT_EQ(ImageErrorText({12, ImageFault::BadChecksum, 0}),
              "Niepoprawny plik, linia 12: zła suma kontrolna");
}

TEST(ImageFormat, WritersKeepGapsAndWidenOnlyPastFFFF) {
    AddressedImage image;
    image.bytes = Concat({Bytes(0xFFFE, {1, 2}), Bytes(0x10000, {3})});
    // One run across FFFF is one S2 record; a gap splits records.
    EXPECT_EQ(WriteSRecords(image, "a.s19"),
              "S0080000612E7331398B\n"
              "S20700FFFE010203F5\n"
              "S5030001FB\n"
              "S9030000FC\n");
    image.bytes = Concat({Bytes(0xFFFE, {1, 2}), Bytes(0x10001, {3})});
    EXPECT_EQ(WriteSRecords(image, "a.s19"),
              "S0080000612E7331398B\n"
              "S105FFFE0102FA\n"
              "S20501000103F5\n"
              "S5030002FA\n"
              "S9030000FC\n");
    EXPECT_EQ(WriteIntelHex(image),
              ":02FFFE000102FE\n"
              ":020000040001F9\n"
              ":0100010003FB\n"
              ":00000001FF\n");
    // Nothing to write: the frame of the file only.
    EXPECT_EQ(WriteIntelHex({}), ":00000001FF\n");
}

TEST(ImageFormat, RandomImagesComeBackThroughBothFormats) {
    std::mt19937 random(12345);
    for (int round = 0; round < 20; ++round) {
        AddressedImage image;
        uint32_t address = random() % 0x100;
        const uint32_t end = round % 2 ? 0x20400 : 0x1000;
        while (address < end) {
            const uint32_t run = 1 + random() % 40;
            for (uint32_t i = 0; i < run; ++i)
                image.bytes.push_back({address++, uint8_t(random())});
            address += random() % 3 == 0 ? 0 : random() % 300;  // some runs touch
        }
        AddressedImage back;
        ImageError error;
        const std::string srec = WriteSRecords(image, "x.s19");
        ASSERT_TRUE(ParseSRecords(srec, &back, &error)) << ImageErrorText(error);
        EXPECT_EQ(back.bytes, image.bytes);
        EXPECT_EQ(back.header, "x.s19");
        EXPECT_EQ(srec.find("S2") != std::string::npos, image.last() > 0xFFFF);
        ASSERT_TRUE(ParseIntelHex(WriteIntelHex(image), &back, &error)) << ImageErrorText(error);
        EXPECT_EQ(back.bytes, image.bytes);
    }
}

// Records in any order, addresses given many times over, against a plain map: the
// same bytes, and with values that disagree the line of the first record that
// gives an address a second value. Enough records that what came out of order is
// folded in several times before the end.
TEST(ImageFormat, RecordsInAnyOrderGiveEachAddressOnceOrNameTheFirstConflict) {
    std::mt19937 random(2024);
    const auto record = [](uint32_t address, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> body{uint8_t(data.size() + 3), uint8_t(address >> 8),
                                  uint8_t(address)};
        body.insert(body.end(), data.begin(), data.end());
        uint32_t sum = 0;
        char digits[4];
        std::string line = "S1";
        for (uint8_t b : body) {
            sum += b;
            std::snprintf(digits, sizeof digits, "%02X", b);
            line += digits;
        }
        std::snprintf(digits, sizeof digits, "%02X", ~sum & 0xFF);
        return line + digits + "\n";
    };
    for (const bool conflicts : {false, true}) {
        SCOPED_TRACE(conflicts ? "conflicts" : "agreeing");
        std::string text;
        std::map<uint32_t, uint8_t> given;
        size_t firstConflict = 0;
        for (size_t line = 1; line <= 30000; ++line) {
            // Rising at first, then all over a range the first part covers too.
            const uint32_t address = line <= 2000 ? uint32_t(line) * 4 : random() % 12000;
            std::vector<uint8_t> data(1 + random() % 4);
            for (uint32_t i = 0; i < data.size(); ++i)
                data[i] = uint8_t((address + i) * 7);
            if (conflicts && line % 7919 == 0)
                data[0] ^= 0x5A;
            for (uint32_t i = 0; i < data.size(); ++i) {
                const auto [it, fresh] = given.emplace(address + i, data[i]);
                if (!fresh && it->second != data[i] && firstConflict == 0)
                    firstConflict = line;
            }
            text += record(address, data);
        }
        AddressedImage image;
        ImageError error;
        const bool ok = ParseSRecords(text, &image, &error);
        if (firstConflict != 0) {
            ASSERT_FALSE(ok);
            EXPECT_EQ(int(error.fault), int(ImageFault::Conflict));
            EXPECT_EQ(error.line, firstConflict);
            continue;
        }
        ASSERT_TRUE(ok) << ImageErrorText(error);
        std::vector<ImageByte> expected;
        for (const auto& [address, value] : given)
            expected.push_back({address, value});
        EXPECT_EQ(image.bytes, expected);
    }
}

TEST(ImageFormat, PagesWindowsAndNames) {
    PageModel page(40);
    page.set_start(0x0C00);
    page.set_count(20);
    page.SetCellByte(0, 0x11);
    page.SetCellByte(19, 0x22);
    page.SetCellByte(20, 0x33);  // beyond the count
    EXPECT_EQ(PageImage(page).bytes, Concat({Bytes(0x0C00, {0x11}), Bytes(0x0C13, {0x22})}));

    AddressedImage image;
    image.bytes = Concat({Bytes(0x0C01, {1}), Bytes(0x0C10, {2})});
    EXPECT_TRUE(FitsWindow(image, 0x0C00, 17));
    EXPECT_TRUE(FitsWindow(image, 0x0C01, 16));
    EXPECT_FALSE(FitsWindow(image, 0x0C00, 16));
    EXPECT_FALSE(FitsWindow(image, 0x0C02, 100));
    uint32_t start = 0, count = 0;
    ASSERT_TRUE(WindowFor(image, &start, &count));
    EXPECT_EQ(start, 0x0C00u);  // even
    EXPECT_EQ(count, 17u);
    image.bytes = Bytes(0x10000, {1});
    EXPECT_FALSE(WindowFor(image, &start, &count)) << "no start field holds 10000";

    const std::pair<const char*, ImageFormat> names[] = {
        {"a.s19", ImageFormat::SRecord},          {"A.S28", ImageFormat::SRecord},
        {"x.s37", ImageFormat::SRecord},          {"x.srec", ImageFormat::SRecord},
        {"x.MOT", ImageFormat::SRecord},          {"x.hex", ImageFormat::IntelHex},
        {"dir.s19/x.Ihx", ImageFormat::IntelHex}, {"x.bin", ImageFormat::Raw},
        {"dir.hex/image", ImageFormat::Raw},      {"hex", ImageFormat::Raw},
    };
    for (auto [name, format] : names)
        EXPECT_EQ(int(FormatFromFileName(name)), int(format)) << name;
    EXPECT_EQ(FormatFromOption("ihex"), ImageFormat::IntelHex);
    EXPECT_EQ(FormatFromOption("hex"), std::nullopt);
}

}  // namespace
}  // namespace hc12
