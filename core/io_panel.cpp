#include "core/io_panel.h"

#include <array>

#include "core/context.h"

namespace rzl {

namespace {

constexpr ShapeColours kOutputOn{colours::kOutputOn, colours::kOutputOn};
constexpr ShapeColours kInputActive{colours::kInputActive, colours::kInputActive};
constexpr ShapeColours kOff{Colour::menu(), Colour::light3D()};

// "DO0 Off" .. "DO5 On", made once and shared: the panel is redrawn on every state reply.
const QString& doCaption(int output, bool on) {
    static const auto captions = [] {
        std::array<std::array<QString, 2>, 6> made;
        for (int k = 0; k < 6; ++k) {
            made[k][0] = QStringLiteral("DO%1 Off").arg(k);
            made[k][1] = QStringLiteral("DO%1 On").arg(k);
        }
        return made;
    }();
    return captions[output][on ? 1 : 0];
}

}  // namespace

void UpdateIoPanel(Context& ctx) {
    DeviceSession& s = ctx.session;
    MainView& main = ctx.screen.main;

    // The masked values are what stays: bits the model lacks never show as set.
    s.doState &= s.doMask;
    for (int k = 0; k < 6; ++k) {
        const bool on = (s.doState >> k) & 1;
        main.doBars[k] = on ? kOutputOn : kOff;
        main.doButtons[k].caption = doCaption(k, on);
    }
    s.diState &= s.diMask;
    for (int k = 0; k < 8; ++k) main.diShapes[k] = ((s.diState >> k) & 1) ? kInputActive : kOff;
    ctx.screen.changed();
}

void ResetIoPanel(Context& ctx) {
    MainView& main = ctx.screen.main;
    for (ButtonView& button : main.doButtons) button.enabled = false;
    main.diLabelEnabled.fill(false);
    main.image1Enabled = false;
    main.image3Enabled = false;
    main.image4Enabled = false;
    main.label12.caption = QStringLiteral("RSSI:");

    ctx.session.doState = 0;
    ctx.session.diState = 0;
    UpdateIoPanel(ctx);

    main.label4.caption.clear();
    main.label5.caption.clear();
    main.label12.font = colours::kRssiAfterReset;
    ctx.screen.changed();
}

}  // namespace rzl
