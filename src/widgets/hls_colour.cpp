#include "widgets/hls_colour.h"

#include <algorithm>

namespace zt::widgets {
namespace {

std::uint8_t ToByte(float v) { return static_cast<std::uint8_t>(static_cast<int>(v)); }

// One component of HLS to RGB: the hue brought into 0..360 picks the ramp.
float HueToComponent(float m1, float m2, float hue) {
  if (hue > 360.0f)
    hue -= 360.0f;
  else if (hue < 0.0f)
    hue += 360.0f;
  if (hue < 60.0f) return m1 + (m2 - m1) * hue / 60.0f;
  if (hue < 180.0f) return m2;
  if (hue < 240.0f) return m1 + (m2 - m1) * (240.0f - hue) / 60.0f;
  return m1;
}

int Shift(int value, int percent) {
  if (percent > 0) return value + (255 - value) * percent / 100;
  if (percent < 0) return value * (percent + 100) / 100;
  return value;
}

}  // namespace

Hls RgbToHls(Colour rgb) {
  const int r = Red(rgb), g = Green(rgb), b = Blue(rgb);
  const int max = std::max({r, g, b});
  const int min = std::min({r, g, b});
  const float l = static_cast<float>(max + min) / 510.0f;
  if (max == min) return MakeHls(0, ToByte(l * 255.0f), 0);

  const float d = static_cast<float>(max - min);
  const float s = l <= 0.5f ? d / static_cast<float>(max + min) : d / static_cast<float>(510 - max - min);
  const float rc = static_cast<float>(max - r) / d;
  const float gc = static_cast<float>(max - g) / d;
  const float bc = static_cast<float>(max - b) / d;
  float h;
  if (b == max)
    h = (gc + 4.0f - rc) * 60.0f;
  else if (g == max)
    h = (rc + 2.0f - bc) * 60.0f;
  else
    h = (bc + 6.0f - gc) * 60.0f;
  if (h > 360.0f) h -= 360.0f;
  return MakeHls(ToByte(h * 255.0f / 360.0f), ToByte(l * 255.0f), ToByte(s * 255.0f));
}

Colour HlsToRgb(Hls hls) {
  const float s = static_cast<float>(Saturation(hls)) / 255.0f;
  if (s == 0.0f) {
    const int grey = Luminance(hls);
    return MakeColour(grey, grey, grey);
  }
  const float l = static_cast<float>(Luminance(hls)) / 255.0f;
  const float m2 = l <= 0.5f ? l + s * l : l + s - l * s;
  const float m1 = 2.0f * l - m2;
  const float h = static_cast<float>(Hue(hls)) * 360.0f / 255.0f;
  return MakeColour(ToByte(HueToComponent(m1, m2, h + 120.0f) * 255.0f),
                    ToByte(HueToComponent(m1, m2, h) * 255.0f),
                    ToByte(HueToComponent(m1, m2, h - 120.0f) * 255.0f));
}

Colour AdjustColour(Colour rgb, int luminance_percent, int saturation_percent) {
  const Hls hls = RgbToHls(rgb);
  // A grey has no hue to saturate: raising its saturation would tint it red
  // (hue 0), so it stays grey.
  const int saturation = Saturation(hls) == 0 ? 0 : Shift(Saturation(hls), saturation_percent);
  return HlsToRgb(MakeHls(Hue(hls), Shift(Luminance(hls), luminance_percent), saturation));
}

}  // namespace zt::widgets
