// The colour of secondary text (the body and the log): the palette's own
// secondary colour where it is legible, otherwise moved towards the primary
// text colour just far enough to reach the contrast that body text needs
// (4.5:1, WCAG AA). Fusion's secondary text reaches only 3.9:1 on its window.
// Pure functions of their arguments; safe from any thread.
#pragma once

#include <QColor>

/// The lowest contrast ratio against the background that secondary text keeps.
inline constexpr double kLegibleContrast = 4.5;

/// The WCAG contrast ratio of two opaque colours, from 1 to 21.
double contrastRatio(const QColor& first, const QColor& second);

/// `secondary` as drawn over `background` (transparency resolved), moved
/// towards `primary` until it reaches `minimumRatio` against `background`;
/// `primary` itself when even that falls short.
QColor legibleSecondaryColour(const QColor& secondary, const QColor& primary,
                              const QColor& background, double minimumRatio = kLegibleContrast);
