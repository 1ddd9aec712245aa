#include "ToolbarLayout.h"

#include <algorithm>
#include <vector>

namespace hc12 {
namespace {

constexpr int kGap = 5;       // least room between two neighbours
constexpr int kLabelGap = 2;  // a label ends this far left of its field
constexpr int kRowGap = 2;

// One unit that stays together on a row: an optional label, the control, an
// optional suffix.
struct Group {
    int label = -1;
    int control = 0;
    int suffix = -1;
    int offset = 0;  // wanted x of the control, relative to the anchor
};

}  // namespace

ToolbarLayoutResult LayOutToolbar(const ToolbarLayoutInput& in) {
    ToolbarLayoutResult out;
    out.anchorX = ToolbarAnchorX(in.toolWidth, in.scale);
    const auto& s = in.sizes;
    const auto scaled = [&in](int pixels) { return int(pixels * in.scale + 0.5); };
    const Group groups[] = {
        {-1, kFillValueSlot, -1, scaled(100)},
        // The fill button sits 30 pixels right of the fill value field.
        {-1, kFillButtonSlot, -1, scaled(130)},
        {kStartLabelSlot, kStartFieldSlot, kHexSuffixSlot, scaled(250)},
        {kCountLabelSlot, kCountFieldSlot, -1, scaled(350)},
        {-1, kModelSlot, -1, scaled(410)},
        {-1, kQuartzSlot, -1, scaled(540)},
    };
    const int gap = scaled(kGap), labelGap = scaled(kLabelGap), rowGap = scaled(kRowGap);

    std::vector<std::vector<int>> rows(1);
    int cursor = in.freeLeft;
    for (const Group& g : groups) {
        const int lead = g.label >= 0 ? s[g.label].width + labelGap : 0;
        const int trail = g.suffix >= 0 ? labelGap + s[g.suffix].width : 0;
        // On a wrapped row the offsets from the anchor no longer mean anything: the
        // controls follow each other from the left.
        const bool wrapped = rows.size() > 1;
        int x = wrapped ? cursor + lead : std::max(out.anchorX + g.offset, cursor + lead);
        if (x + s[g.control].width + trail > in.rightEdge && !rows.back().empty()) {
            rows.emplace_back();
            x = in.freeLeft + lead;
        }
        out.rects[g.control] = {x, 0, s[g.control].width, s[g.control].height};
        rows.back().push_back(g.control);
        if (g.label >= 0) {
            out.rects[g.label] = {x - lead, 0, s[g.label].width, s[g.label].height};
            rows.back().push_back(g.label);
        }
        if (g.suffix >= 0) {
            out.rects[g.suffix] = {x + s[g.control].width + labelGap, 0, s[g.suffix].width,
                                   s[g.suffix].height};
            rows.back().push_back(g.suffix);
        }
        cursor = x + s[g.control].width + trail + gap;
    }

    // Every control is centred on its row's height.
    int y = in.top;
    for (const auto& row : rows) {
        int height = 0;
        for (int slot : row)
            height = std::max(height, s[slot].height);
        for (int slot : row)
            out.rects[slot].y = y + (height - s[slot].height) / 2;
        y += height + rowGap;
    }
    out.rows = int(rows.size());
    out.height = y - rowGap - in.top;
    return out;
}

}  // namespace hc12
