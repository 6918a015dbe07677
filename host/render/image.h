#pragma once
// A picture of the viewport: 8-bit RGBA pixels, rows from the top, so that a
// pixel is addressed as screen positions are (x right, y down).
#include <cstdint>
#include <string>
#include <vector>

namespace mqhost {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;

  friend bool operator==(const Rgba& p, const Rgba& q) {
    return p.r == q.r && p.g == q.g && p.b == q.b && p.a == q.a;
  }
  friend bool operator!=(const Rgba& p, const Rgba& q) { return !(p == q); }
};

class Image {
 public:
  Image() = default;
  Image(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  // The pixel at column x, row y (from the top); both must lie inside.
  Rgba At(int x, int y) const;

  // Rows of width × 4 bytes, the top row first.
  uint8_t* data() { return pixels_.data(); }
  const uint8_t* data() const { return pixels_.data(); }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> pixels_;
};

// The picture as the bytes of a PNG file (RGB: the viewport is opaque).
// False for an empty picture or when the encoder fails.
bool EncodePng(const Image& image, std::string* png);

}  // namespace mqhost
