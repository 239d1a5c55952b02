// Model codes: names, masks, family, and what each I/O module layout makes of the panel.

#include <gtest/gtest.h>

#include "protocol/model_catalogue.h"
#include "tests/support/test_program.h"

namespace rzl::test {
namespace {

struct EntryCase {
    int code;
    const char* name;
    int doMask;  // -1: no mask
    int diMask;
    bool family;
    std::optional<PanelLayout> layout;
};

TEST(ModelCatalogueTest, LookupTable) {
    const EntryCase cases[] = {
        {120, "Panel 7.8\", 1872 x 1404", -1, -1, false, {}},
        {19, "Panel 13.3\", 1600 x 1200", -1, -1, false, {}},
        {20, "Panel 14\", 300 x 1440", -1, -1, false, {}},
        {151, "Panel 9.7\", 1200 x 825", -1, -1, false, {}},
        {96, "Panel 6.0\", 1448 x 1072", -1, -1, false, {}},
        {97, "Panel 6.0\" + TP, 1024 x 758", -1, -1, false, {}},
        {56, "Panel 3.84\", 600 x 600", -1, -1, true, {}},
        {240, "Mirel Controller", -1, -1, true, {}},
        {176, "rZL-K110 Tiny I/O Controller", 0x07, 0x0F, true, PanelLayout::A},
        {179, "rZL-K120A Tiny I/O Controller", 0x03, 0x0F, true, PanelLayout::B},
        {180, "rZL-K120D Tiny I/O Controller", 0x03, 0x0F, true, PanelLayout::C},
        {177, "rZL-K130 Tiny I/O Controller", 0x00, 0xFF, true, PanelLayout::D},
        {178, "rZL-K140 Tiny I/O Controller", 0x3F, 0x00, true, PanelLayout::E},
        {188, "HVT-21 Controller", 0x1F, 0x00, true, {}},
        {208, "DRQ-500 Controller", 0x1F, 0x00, true, {}},
        {0, "Unknow Device??", -1, -1, false, {}},
        {57, "Unknow Device??", -1, -1, false, {}},
        {181, "Unknow Device??", -1, -1, false, {}},
        {255, "Unknow Device??", -1, -1, false, {}},
    };
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(c.code);
        const ModelEntry e = ModelCatalogue::Lookup(static_cast<std::uint8_t>(c.code));
        EXPECT_EQ(e.displayName, QString::fromUtf8(c.name));
        const auto mask = [](int m) { return m < 0 ? std::nullopt : std::optional<std::uint8_t>(m); };
        EXPECT_EQ(e.doMask, mask(c.doMask));
        EXPECT_EQ(e.diMask, mask(c.diMask));
        EXPECT_EQ(e.controllerFamily, c.family);
        EXPECT_EQ(e.layout, c.layout);
    }
}

struct LayoutCase {
    int code;
    const char* moduleText;
    const char* inputText;
    const char* outputText;
    std::uint8_t inputs;   // enabled DI caption labels, bit k = DIk
    std::uint8_t outputs;  // enabled DO buttons, bit k = DOk
    Colour doTitle;
    Colour diTitle;
    bool counterImage;
};

TEST(ModelCatalogueTest, LayoutsOfTheIoModules) {
    const Colour grey = colours::kDimmedTitle, black = colours::kBlack;
    const LayoutCase cases[] = {
        {176, "4DI + 3DO Module", "4 Digital Input", "3 Relay Output", 0x0F, 0x07, black, black, true},
        {179, "4DI + 2DO Module", "4 Digital Input", "2 AC SSR Output", 0x0F, 0x03, black, black, true},
        {180, "4DI + 2DO Module", "4 Digital Input", "2 DC SSR Output", 0x0F, 0x03, black, black, true},
        {177, "8DI Module", "8 Digital Input", "No Relay Output", 0xFF, 0x00, grey, black, true},
        {178, "8DO Module", "No Digital Input", "6 Relay Output", 0x00, 0x3F, black, grey, false},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.code);
        TestProgram t;  // starts with the no-module look: everything disabled
        const QString name = ApplyModel(t.ctx, static_cast<std::uint8_t>(c.code));
        const MainView& m = t.screen.main;
        EXPECT_EQ(name, ModelCatalogue::Lookup(static_cast<std::uint8_t>(c.code)).displayName);
        EXPECT_EQ(m.label4.hint, c.moduleText);
        EXPECT_EQ(m.groupBox1Hint, c.inputText);
        EXPECT_EQ(m.groupBox2Hint, c.outputText);
        for (int k = 0; k < 8; ++k) EXPECT_EQ(m.diLabelEnabled[k], bool(c.inputs >> k & 1)) << "DI" << k;
        for (int k = 0; k < 6; ++k) EXPECT_EQ(m.doButtons[k].enabled, bool(c.outputs >> k & 1)) << "DO" << k;
        EXPECT_EQ(m.label13.font, c.doTitle);
        EXPECT_EQ(m.label14.font, c.diTitle);
        EXPECT_TRUE(m.image1Enabled);
        EXPECT_TRUE(m.image3Enabled);
        EXPECT_EQ(m.image4Enabled, c.counterImage);
    }
}

TEST(ModelCatalogueTest, ModelsWithoutLayoutLeaveThePanelAlone) {
    TestProgram t;
    DeviceSession& s = t.ctx.session;
    const MainView& m = t.screen.main;

    // A display panel on a fresh window: named, family set, but nothing becomes usable.
    EXPECT_EQ(ApplyModel(t.ctx, 56), "Panel 3.84\", 600 x 600");
    EXPECT_TRUE(s.controllerFamily);
    EXPECT_FALSE(m.image1Enabled);
    EXPECT_FALSE(m.image4Enabled);
    EXPECT_EQ(s.doMask, 0);

    // 188 after 177: the 8-input layout stays, the masks are 188's.
    ApplyModel(t.ctx, 177);
    ApplyModel(t.ctx, 188);
    for (int k = 0; k < 8; ++k) EXPECT_TRUE(m.diLabelEnabled[k]) << k;
    for (int k = 0; k < 6; ++k) EXPECT_FALSE(m.doButtons[k].enabled) << k;
    EXPECT_EQ(s.doMask, 0x1F);
    EXPECT_EQ(s.diMask, 0x00);

    // An unknown code keeps the masks and clears the family.
    ApplyModel(t.ctx, 176);
    EXPECT_EQ(ApplyModel(t.ctx, 57), "Unknow Device??");
    EXPECT_EQ(s.doMask, 0x07);
    EXPECT_EQ(s.diMask, 0x0F);
    EXPECT_FALSE(s.controllerFamily);
}

}  // namespace
}  // namespace rzl::test
