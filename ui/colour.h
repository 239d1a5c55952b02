#pragma once
// Colours as the core names them: plain RGB values, or one of the desktop's own colours,
// which only the widgets can resolve.

#include <cstdint>

namespace rzl {

struct Colour {
    enum class System : std::uint8_t { None, Menu, Light3D, WindowText };
    std::uint8_t r = 0, g = 0, b = 0;
    System system = System::None;

    static constexpr Colour rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return {r, g, b, System::None}; }
    static constexpr Colour menu() { return {0, 0, 0, System::Menu}; }
    static constexpr Colour light3D() { return {0, 0, 0, System::Light3D}; }
    friend constexpr bool operator==(const Colour&, const Colour&) = default;
};

namespace colours {
inline constexpr Colour kBlack = Colour::rgb(0, 0, 0);
inline constexpr Colour kRed = Colour::rgb(255, 0, 0);
inline constexpr Colour kNavy = Colour::rgb(0, 0, 128);
inline constexpr Colour kBlue = Colour::rgb(0, 0, 255);
inline constexpr Colour kPurple = Colour::rgb(128, 0, 128);
inline constexpr Colour kLocation = Colour::rgb(64, 132, 118);
inline constexpr Colour kDimmedTitle = Colour::rgb(160, 160, 164);
inline constexpr Colour kRssiAfterReset = Colour::rgb(255, 64, 129);
inline constexpr Colour kOutputOn = Colour::rgb(255, 0, 100);
inline constexpr Colour kInputActive = Colour::rgb(39, 255, 37);
}  // namespace colours

struct ShapeColours {
    Colour fill = Colour::menu();
    Colour outline = Colour::light3D();
    friend bool operator==(const ShapeColours&, const ShapeColours&) = default;
};

}  // namespace rzl
