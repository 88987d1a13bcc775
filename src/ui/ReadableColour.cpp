#include "ui/ReadableColour.h"

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

double luminance(const QColor& colour) {
    const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

constexpr double kReadable = 4.5;

} // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor ReadableOn(const QColor& wanted, const QColor& background) {
    const QColor towards = luminance(background) < 0.18 ? QColor(Qt::white) : QColor(Qt::black);
    QColor colour = wanted;
    for (int step = 1; step <= 10 && ContrastRatio(colour, background) < kReadable; ++step) {
        const double t = step / 10.0;
        colour = QColor::fromRgbF(float(wanted.redF() + (towards.redF() - wanted.redF()) * t),
                                  float(wanted.greenF() + (towards.greenF() - wanted.greenF()) * t),
                                  float(wanted.blueF() + (towards.blueF() - wanted.blueF()) * t));
    }
    return colour;
}

} // namespace qm
