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

// What a layout makes of the I/O panel.
struct LayoutLook {
    const char* moduleText;
    const char* inputText;
    const char* outputText;
    std::uint8_t usableInputs;   // bit k: DIk caption label enabled
    std::uint8_t usableOutputs;  // bit k: DOk button enabled
    bool dimDoTitle;
    bool dimDiTitle;
    bool counterImage;
};

LayoutLook lookOf(PanelLayout layout) {
    switch (layout) {
    case PanelLayout::A:
        return {"4DI + 3DO Module", "4 Digital Input", "3 Relay Output", 0x0F, 0x07, false, false, true};
    case PanelLayout::B:
        return {"4DI + 2DO Module", "4 Digital Input", "2 AC SSR Output", 0x0F, 0x03, false, false, true};
    case PanelLayout::C:
        return {"4DI + 2DO Module", "4 Digital Input", "2 DC SSR Output", 0x0F, 0x03, false, false, true};
    case PanelLayout::D:
        return {"8DI Module", "8 Digital Input", "No Relay Output", 0xFF, 0x00, true, false, true};
    case PanelLayout::E:
        break;
    }
    return {"8DO Module", "No Digital Input", "6 Relay Output", 0x00, 0x3F, false, true, false};
}

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

void ApplyModelLayout(Context& ctx, std::uint8_t code) {
    const ModelEntry entry = ModelCatalogue::Lookup(code);
    if (!entry.layout) return;
    const LayoutLook look = lookOf(*entry.layout);
    MainView& main = ctx.screen.main;

    main.label4.hint = QString::fromUtf8(look.moduleText);
    main.groupBox1Hint = QString::fromUtf8(look.inputText);
    main.groupBox2Hint = QString::fromUtf8(look.outputText);
    for (int k = 0; k < 8; ++k) main.diLabelEnabled[k] = (look.usableInputs >> k) & 1;
    for (int k = 0; k < 6; ++k) main.doButtons[k].enabled = (look.usableOutputs >> k) & 1;
    main.label13.font = look.dimDoTitle ? colours::kDimmedTitle : colours::kBlack;
    main.label14.font = look.dimDiTitle ? colours::kDimmedTitle : colours::kBlack;
    main.image1Enabled = true;
    main.image3Enabled = true;
    main.image4Enabled = look.counterImage;
}

QString ApplyModel(Context& ctx, std::uint8_t code) {
    // A code outside the catalogue names the unknown device and clears the family flag;
    // masks are only ever replaced, never cleared.
    const ModelEntry entry = ModelCatalogue::Lookup(code);
    if (code >= 176 && code <= 180) ApplyModelLayout(ctx, code);
    if (entry.doMask) ctx.session.doMask = *entry.doMask;
    if (entry.diMask) ctx.session.diMask = *entry.diMask;
    ctx.session.controllerFamily = entry.controllerFamily;
    return entry.displayName;
}

}  // namespace rzl
