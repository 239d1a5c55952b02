#pragma once
// Model code to display name, I/O masks, controller family and I/O panel layout.

#include <QString>
#include <cstdint>
#include <optional>

namespace rzl {

class Context;

enum class PanelLayout { A, B, C, D, E };

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

// Applies the layout of codes 176..180 to the main window's record; other codes: nothing.
void ApplyModelLayout(Context& ctx, std::uint8_t code);

// The whole of applying an identification: family, masks, layout; returns the display name.
QString ApplyModel(Context& ctx, std::uint8_t code);

}  // namespace rzl
