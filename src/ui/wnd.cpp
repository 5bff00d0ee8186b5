// What the layer's windows decide alike on every system.
#include "ui/wnd.h"

#include <algorithm>
#include <cmath>

namespace lumora::ui {

namespace {

constexpr double kReadableContrast = 4.5;

double Luminance(Colour colour)
{
    const auto channel = [](std::uint8_t value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.red) + 0.7152 * channel(colour.green) + 0.0722 * channel(colour.blue);
}

// From colour toward target, steps of sixteen: 0 is colour, 16 is target.
Colour Blend(Colour colour, Colour target, int step)
{
    const auto mix = [step](std::uint8_t from, std::uint8_t to) {
        return static_cast<std::uint8_t>(from + (to - from) * step / 16);
    };
    return {mix(colour.red, target.red), mix(colour.green, target.green), mix(colour.blue, target.blue)};
}

// WCAG's contrast ratio of two colours, 1 to 21.
double Contrast(Colour a, Colour b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace

Colour EmphasisColour(Emphasis emphasis, Colour window)
{
    const bool failure = emphasis == Emphasis::Failure;
    const Colour dark = failure ? Colour{0xA8, 0x00, 0x1C} : Colour{0x7A, 0x43, 0x00};
    const Colour light = failure ? Colour{0xFF, 0x8A, 0x80} : Colour{0xFF, 0xD1, 0x80};
    const Colour chosen = Contrast(dark, window) >= Contrast(light, window) ? dark : light;
    // Black or white, whichever contrasts more, always reaches 4.5 : 1.
    const Colour black{0x00, 0x00, 0x00};
    const Colour white{0xFF, 0xFF, 0xFF};
    const Colour target = Contrast(black, window) >= Contrast(white, window) ? black : white;
    for (int step = 0; step < 16; ++step) {
        const Colour shade = Blend(chosen, target, step);
        if (Contrast(shade, window) >= kReadableContrast) {
            return shade;
        }
    }
    return target;
}

}  // namespace lumora::ui
