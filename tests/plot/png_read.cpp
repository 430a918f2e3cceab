// A PNG reader for the rendered pictures: chunks, zlib, the five row filters.
#include <cstdlib>
#include <string>

#include "plot/plot_test_util.h"

#ifdef RINGAVE_HAVE_ZLIB
#include <zlib.h>
#endif

namespace ringave::testing {

namespace {

std::uint32_t be32(const std::string& b, std::size_t at) {
  return (std::uint32_t(std::uint8_t(b[at])) << 24) | (std::uint32_t(std::uint8_t(b[at + 1])) << 16) |
         (std::uint32_t(std::uint8_t(b[at + 2])) << 8) | std::uint32_t(std::uint8_t(b[at + 3]));
}

int paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

}  // namespace

Image read_png(const std::string& bytes) {
#ifndef RINGAVE_HAVE_ZLIB
  (void)bytes;
  return {};
#else
  if (bytes.size() < 33 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {};
  std::uint32_t width = 0, height = 0;
  int channels = 0;
  std::string idat;
  for (std::size_t at = 8; at + 12 <= bytes.size();) {
    const std::uint32_t len = be32(bytes, at);
    const std::string type = bytes.substr(at + 4, 4);
    if (at + 12 + len > bytes.size()) return {};
    if (type == "IHDR") {
      width = be32(bytes, at + 8), height = be32(bytes, at + 12);
      const int depth = bytes[at + 16], colour = bytes[at + 17], interlace = bytes[at + 20];
      if (depth != 8 || interlace != 0 || (colour != 2 && colour != 6)) return {};
      channels = colour == 6 ? 4 : 3;
    } else if (type == "IDAT") {
      idat.append(bytes, at + 8, len);
    }
    at += 12 + len;
  }
  if (channels == 0) return {};
  const std::size_t stride = std::size_t(width) * channels;
  std::vector<std::uint8_t> raw((stride + 1) * height);
  uLongf size = raw.size();
  if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(idat.data()), idat.size()) != Z_OK ||
      size != raw.size())
    return {};
  Image img{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
  std::vector<std::uint8_t> prev(stride, 0), cur(stride);
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* in = raw.data() + y * (stride + 1);
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= std::size_t(channels) ? cur[i - channels] : 0, b = prev[i],
                c = i >= std::size_t(channels) ? prev[i - channels] : 0;
      const int pred = in[0] == 1 ? a : in[0] == 2 ? b : in[0] == 3 ? (a + b) / 2 : in[0] == 4 ? paeth(a, b, c) : 0;
      cur[i] = std::uint8_t(in[1 + i] + pred);
    }
    for (std::uint32_t x = 0; x < width; ++x)
      for (int k = 0; k < 3; ++k) img.rgb[(std::size_t(y) * width + x) * 3 + k] = cur[x * channels + k];
    prev.swap(cur);
  }
  return img;
#endif
}

}  // namespace ringave::testing
