#include "host/render/image.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace mqhost {

Image::Image(int width, int height)
    : width_(width > 0 ? width : 0),
      height_(height > 0 ? height : 0),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4, 0) {}

Rgba Image::At(int x, int y) const {
  const uint8_t* p = pixels_.data() + (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 4;
  return Rgba{p[0], p[1], p[2], p[3]};
}

namespace {

void AppendBytes(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

}  // namespace

bool EncodePng(const Image& image, std::string* png) {
  if (image.width() <= 0 || image.height() <= 0) return false;
  std::vector<uint8_t> rgb(static_cast<size_t>(image.width()) * static_cast<size_t>(image.height()) * 3);
  const uint8_t* in = image.data();
  for (size_t i = 0, n = rgb.size() / 3; i < n; ++i) {
    rgb[i * 3 + 0] = in[i * 4 + 0];
    rgb[i * 3 + 1] = in[i * 4 + 1];
    rgb[i * 3 + 2] = in[i * 4 + 2];
  }
  png->clear();
  return stbi_write_png_to_func(AppendBytes, png, image.width(), image.height(), 3, rgb.data(),
                                image.width() * 3) != 0;
}

}  // namespace mqhost
