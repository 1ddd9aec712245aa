// The catalogs of po/ compiled into the program (generated at build time), so that
// a program run from the build folder, or a Windows .exe on its own, speaks every
// language the source has.
#pragma once

#include <cstddef>

namespace hc12 {

struct BuiltInCatalog {
    const char* language;
    const unsigned char* data;  // the .mo file's bytes
    size_t size;
};

extern const BuiltInCatalog kBuiltInCatalogs[];
extern const size_t kBuiltInCatalogCount;

}  // namespace hc12
