#include "protocol/model_catalogue.h"

#include <array>

#include "core/context.h"

namespace rzl {

namespace {

const QString kUnknownDevice = QStringLiteral("Unknow Device??");

struct CatalogueRow {
    std::uint8_t code;
    const char* name;
    int doMask;  // -1: the entry sets no mask
    int diMask;
    bool family;
    std::optional<PanelLayout> layout;
};

constexpr int kNoMask = -1;

const std::array<CatalogueRow, 15> kRows{{
    {120, "Panel 7.8\", 1872 x 1404", kNoMask, kNoMask, false, {}},
    {19, "Panel 13.3\", 1600 x 1200", kNoMask, kNoMask, false, {}},
    {20, "Panel 14\", 300 x 1440", kNoMask, kNoMask, false, {}},
    {151, "Panel 9.7\", 1200 x 825", kNoMask, kNoMask, false, {}},
    {96, "Panel 6.0\", 1448 x 1072", kNoMask, kNoMask, false, {}},
    {97, "Panel 6.0\" + TP, 1024 x 758", kNoMask, kNoMask, false, {}},
    {56, "Panel 3.84\", 600 x 600", kNoMask, kNoMask, true, {}},
    {240, "Mirel Controller", kNoMask, kNoMask, true, {}},
    {176, "rZL-K110 Tiny I/O Controller", 0x07, 0x0F, true, PanelLayout::A},
    {179, "rZL-K120A Tiny I/O Controller", 0x03, 0x0F, true, PanelLayout::B},
    {180, "rZL-K120D Tiny I/O Controller", 0x03, 0x0F, true, PanelLayout::C},
    {177, "rZL-K130 Tiny I/O Controller", 0x00, 0xFF, true, PanelLayout::D},
    {178, "rZL-K140 Tiny I/O Controller", 0x3F, 0x00, true, PanelLayout::E},
    {188, "HVT-21 Controller", 0x1F, 0x00, true, {}},
    {208, "DRQ-500 Controller", 0x1F, 0x00, true, {}},
}};

}  // namespace

ModelEntry ModelCatalogue::Lookup(std::uint8_t code) {
    for (const CatalogueRow& row : kRows) {
        if (row.code != code) continue;
        ModelEntry entry{QString::fromUtf8(row.name)};
        if (row.doMask != kNoMask) entry.doMask = static_cast<std::uint8_t>(row.doMask);
        if (row.diMask != kNoMask) entry.diMask = static_cast<std::uint8_t>(row.diMask);
        entry.controllerFamily = row.family;
        entry.layout = row.layout;
        return entry;
    }
    return {kUnknownDevice};
}

bool OutputUsable(const ModelEntry& entry, int output) {
    return entry.layout && entry.doMask && output >= 0 && output < 8 && ((*entry.doMask >> output) & 1);
}

QString ApplyModel(Context& ctx, std::uint8_t code) {
    // A code outside the catalogue names the unknown device and clears the family flag;
    // masks are only ever replaced, never cleared.
    const ModelEntry entry = ModelCatalogue::Lookup(code);
    if (entry.layout) ctx.display.layout(*entry.layout);
    if (entry.doMask) ctx.session.doMask = *entry.doMask;
    if (entry.diMask) ctx.session.diMask = *entry.diMask;
    ctx.session.controllerFamily = entry.controllerFamily;
    return entry.displayName;
}

}  // namespace rzl
