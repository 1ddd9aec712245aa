// Where the small controls on the main toolbar go. The positions follow from the
// toolbar's tool width (anchor X = 11 * tool width - 180, each control at a fixed
// offset from X, labels just left of their fields); where a control is larger than
// the room it was given, the controls after it move right, and a control that would
// leave the toolbar's width starts a new row. No toolkit here, so the arithmetic is
// testable without a display.
#pragma once

#include <array>

namespace hc12 {

struct LayoutSize {
    int width = 0;
    int height = 0;
};

struct LayoutRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int right() const { return x + width; }
    int bottom() const { return y + height; }
};

// The controls in toolbar order.
enum ToolbarSlot : int {
    kFillValueSlot,   // FillValueField
    kFillButtonSlot,  // "Wypełnij"
    kStartLabelSlot,  // "Poczatek:"
    kStartFieldSlot,  // StartField
    kHexSuffixSlot,   // "H"
    kCountLabelSlot,  // "Ile:"
    kCountFieldSlot,  // CountField
    kModelSlot,       // ModelCombo
    kQuartzSlot,      // QuartzCombo
    kToolbarSlotCount
};

struct ToolbarLayoutInput {
    int toolWidth = 0;
    int freeLeft = 0;   // first x not taken by the tools
    int rightEdge = 0;  // last usable x + 1
    int top = 0;        // y of the first row
    // Screen pixels per layout pixel: the offsets and gaps were drawn at 96 DPI.
    double scale = 1.0;
    std::array<LayoutSize, kToolbarSlotCount> sizes{};
};

struct ToolbarLayoutResult {
    int anchorX = 0;
    int rows = 0;
    int height = 0;  // of all rows together
    std::array<LayoutRect, kToolbarSlotCount> rects{};
};

inline int ToolbarAnchorX(int toolWidth, double scale = 1.0) {
    return 11 * toolWidth - int(180 * scale + 0.5);
}

ToolbarLayoutResult LayOutToolbar(const ToolbarLayoutInput& input);

}  // namespace hc12
