#pragma once
// Colour arithmetic in the HLS space, from which the flat menus derive all
// their shades of the system's button-face and highlight colours.
//
// Colours are COLORREF values: red in bits 0..7, green 8..15, blue 16..23.
// An HLS value packs hue in bits 0..7 (0..255 for 0..360 degrees), luminance
// in bits 8..15 and saturation in bits 16..23, each 0..255. The arithmetic is
// single-precision and truncating, so shades come out the same on every
// build.
#include <cstdint>

namespace zt::widgets {

using Colour = std::uint32_t;  // 0x00BBGGRR
using Hls = std::uint32_t;     // 0x00SSLLHH

constexpr Colour MakeColour(int r, int g, int b) {
  return static_cast<Colour>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int Red(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int Green(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int Blue(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }

constexpr Hls MakeHls(int h, int l, int s) {
  return static_cast<Hls>((h & 0xFF) | ((l & 0xFF) << 8) | ((s & 0xFF) << 16));
}
constexpr int Hue(Hls v) { return static_cast<int>(v & 0xFF); }
constexpr int Luminance(Hls v) { return static_cast<int>((v >> 8) & 0xFF); }
constexpr int Saturation(Hls v) { return static_cast<int>((v >> 16) & 0xFF); }

Hls RgbToHls(Colour rgb);
Colour HlsToRgb(Hls hls);

// Moves luminance and saturation by a percentage each: a positive one goes
// that share of the way towards 255, a negative one that share towards 0.
// AdjustColour(face, 20, 0) is "face lightened by 20". A grey stays grey.
Colour AdjustColour(Colour rgb, int luminance_percent, int saturation_percent);

}  // namespace zt::widgets
