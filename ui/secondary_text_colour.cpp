#include "ui/secondary_text_colour.h"

#include <algorithm>
#include <cmath>

namespace {

/// The steps between the secondary and the primary colour that are tried.
constexpr int kBlendSteps = 64;

double linearChannel(double value) {
  return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double relativeLuminance(const QColor& colour) {
  return 0.2126 * linearChannel(colour.redF()) + 0.7152 * linearChannel(colour.greenF()) +
         0.0722 * linearChannel(colour.blueF());
}

/// `from` moved the fraction `amount` of the way to `to`, opaque.
QColor blend(const QColor& from, const QColor& to, double amount) {
  auto channel = [amount](double a, double b) { return a + (b - a) * amount; };
  return QColor::fromRgbF(channel(from.redF(), to.redF()), channel(from.greenF(), to.greenF()),
                          channel(from.blueF(), to.blueF()));
}

}  // namespace

double contrastRatio(const QColor& first, const QColor& second) {
  const double a = relativeLuminance(first), b = relativeLuminance(second);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor legibleSecondaryColour(const QColor& secondary, const QColor& primary,
                              const QColor& background, double minimumRatio) {
  const QColor drawn = blend(background, secondary, secondary.alphaF());
  for (int step = 0; step <= kBlendSteps; ++step) {
    const QColor candidate = blend(drawn, primary, static_cast<double>(step) / kBlendSteps);
    if (contrastRatio(candidate, background) >= minimumRatio) return candidate;
  }
  return primary;
}
