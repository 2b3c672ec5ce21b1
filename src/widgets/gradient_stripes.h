#pragma once
// A horizontal colour gradient as the vertical stripes that paint it: one
// stripe per step of the largest component difference, so no two
// neighbouring stripes differ by more than one in any component.
#include <vector>

#include "widgets/hls_colour.h"

namespace zt::widgets {

struct Stripe {
  int left;   // first column
  int right;  // one past the last column
  Colour colour;
};

// The stripes that cover [left, right) from `from` at the left towards `to`
// at the right, left to right, none empty. Equal colours give one stripe;
// an empty range gives none.
std::vector<Stripe> GradientStripes(int left, int right, Colour from, Colour to);

}  // namespace zt::widgets
