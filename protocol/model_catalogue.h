#pragma once
// Model code to display name, I/O masks, controller family and I/O panel layout.

#include <QString>
#include <cstdint>
#include <optional>

#include "core/display.h"

namespace rzl {

class Context;

struct ModelEntry {
    QString displayName;
    std::optional<std::uint8_t> doMask;
    std::optional<std::uint8_t> diMask;
    bool controllerFamily = false;
    std::optional<PanelLayout> layout;
};

namespace ModelCatalogue {
ModelEntry Lookup(std::uint8_t code);  // unknown codes get "Unknow Device??"
}

// Whether output DO`output` of the model can be switched: the I/O modules with a panel layout
// have the outputs of their DO mask; other models none.
bool OutputUsable(const ModelEntry& entry, int output);

// The whole of applying an identification: family, masks, the layout of codes 176..180 (to the
// display); returns the display name.
QString ApplyModel(Context& ctx, std::uint8_t code);

}  // namespace rzl
