#include "widgets/gradient_stripes.h"

#include <algorithm>
#include <cstdlib>

namespace zt::widgets {
namespace {

int Step(int a, int b, int i, int steps) {
  return static_cast<int>(a + static_cast<double>(i) * (b - a) / steps);
}

}  // namespace

std::vector<Stripe> GradientStripes(int left, int right, Colour from, Colour to) {
  std::vector<Stripe> stripes;
  if (right <= left) return stripes;
  if (from == to) {
    stripes.push_back({left, right, from});
    return stripes;
  }
  const int steps = std::max({std::abs(Red(to) - Red(from)), std::abs(Green(to) - Green(from)),
                              std::abs(Blue(to) - Blue(from))});
  auto colour_at = [&](int i) {
    return MakeColour(Step(Red(from), Red(to), i, steps), Step(Green(from), Green(to), i, steps),
                      Step(Blue(from), Blue(to), i, steps));
  };
  const double width = static_cast<double>(right - left) / steps;
  int end = left;
  for (int i = 0; i < steps; ++i) {
    const int x0 = left + static_cast<int>(width * i);
    const int x1 = left + static_cast<int>(width * (i + 1));
    if (x1 <= x0) continue;
    stripes.push_back({x0, x1, colour_at(i)});
    end = x1;
  }
  if (end < right) stripes.push_back({end, right, colour_at(steps)});
  return stripes;
}

}  // namespace zt::widgets
