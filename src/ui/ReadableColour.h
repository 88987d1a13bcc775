#pragma once

#include <QColor>

namespace qm {

// How far apart two colours are for the eye (WCAG contrast ratio, 1 to 21).
double ContrastRatio(const QColor& a, const QColor& b);

// `wanted` as the window's design has it (the blue of a link, of a waiting check), moved towards
// white on a dark background or black on a light one just far enough to be read (4.5:1): a
// dark theme keeps the hue without making the text vanish.
QColor ReadableOn(const QColor& wanted, const QColor& background);

} // namespace qm
