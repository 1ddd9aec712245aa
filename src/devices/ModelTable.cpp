#include "ModelTable.h"

namespace hc12 {

const std::array<ModelRecord, kModelCount>& ModelTable() {
    static const std::array<ModelRecord, kModelCount> table = {{
        {"Model", 0x0000, 512},
        {"HC12B", 0x0D00, 768},
        {"HC812A4", 0xF000, 4096},
        {"HC912Dx128x", 0x0800, 2048},
        {"HC912D60x", 0x0C00, 1024},
        {"HC(9)12D60", 0x0C00, 1024},
        {"MC9S12 Uniwersalna", 0x0800, 2048},
        {"MC9S12DBx", 0x0800, 2048},
        {"MC9S12DT128", 0x0800, 2048},
        {"MC9S12DT128", 0x0800, 2048},
        {"MC9S12H256(1K78X)", 0x0800, 4096},
        {"MC9S12DP512(1L00M)", 0x0800, 4096},
    }};
    return table;
}

bool IsPlaceholderModel(const ModelRecord& model) {
    return model.name.find("Model") != std::string::npos;
}

const ModelRecord* FindModelRecord(std::string_view name) {
    for (const ModelRecord& row : ModelTable())
        if (row.name == name)
            return &row;
    return nullptr;
}

int FindModelIndex(std::string_view name) {
    const ModelRecord* row = FindModelRecord(name);
    return row ? int(row - ModelTable().data()) : -1;
}

bool IsS12Model(const ModelRecord& model) {
    return model.name.find("MC9S12") != std::string::npos;
}

bool IsHc912DModel(const ModelRecord& model) {
    return model.name.find("HC912Dx128x") != std::string::npos ||
           model.name.find("HC912D60x") != std::string::npos;
}

int QuartzMhzForText(std::string_view text) {
    if (text == "16MHz") return 16;
    if (text == "8MHz") return 8;
    if (text == "4MHz") return 4;
    return 0;
}

}  // namespace hc12
