// Catalogs for the tests, compiled by the real msgfmt from a PO text.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace hc12::testing {

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The header of a test catalog in `language` with a plural rule.
inline std::string PoHeader(const std::string& language,
                            const std::string& plural = "nplurals=2; plural=(n != 1);") {
    return "msgid \"\"\nmsgstr \"\"\n"
           "\"Project-Id-Version: hc12prog test\\n\"\n"
           "\"PO-Revision-Date: 2026-01-01 00:00+0000\\n\"\n"
           "\"Last-Translator: test\\n\"\n"
           "\"Language-Team: test\\n\"\n"
           "\"Language: " +
           language +
           "\\n\"\n"
           "\"MIME-Version: 1.0\\n\"\n"
           "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
           "\"Content-Transfer-Encoding: 8bit\\n\"\n"
           "\"Plural-Forms: " +
           plural + "\\n\"\n\n";
}

// `po` compiled to .mo bytes; `endianness` "little" or "big".
inline std::string CompileCatalog(const std::string& po, const std::string& endianness = "little") {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("hc12_po_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path source = dir / "test.po", compiled = dir / "test.mo";
    std::ofstream(source, std::ios::binary) << po;
    const std::string command = std::string("'") + HC12_MSGFMT +
                                "' --check --endianness=" + endianness + " -o '" +
                                compiled.string() + "' '" + source.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << po;
    std::string bytes = ReadBytes(compiled);
    std::filesystem::remove_all(dir);
    return bytes;
}

}  // namespace hc12::testing
