// A PNG reader for the rendered pictures: chunks, zlib, the five row filters.
#include <cstdlib>
#include <string>

#include "plot/plot_test_util.h"

#ifdef RINGAVE_HAVE_ZLIB
#include <zlib.h>
#endif

namespace ringave::testing {

Image read_png(const std::string& b) {
#ifndef RINGAVE_HAVE_ZLIB
  (void)b;
  return {};
#else
  const auto be32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | std::uint8_t(b[at + i]);
    return v;
  };
  if (b.size() < 33 || b.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {};
  std::uint32_t width = 0, height = 0;
  std::size_t channels = 0;
  std::string idat;
  for (std::size_t at = 8, len = 0; at + 12 <= b.size() && at + 12 + (len = be32(at)) <= b.size(); at += 12 + len) {
    if (b.compare(at + 4, 4, "IHDR") == 0) {
      width = be32(at + 8), height = be32(at + 12);
      if (b[at + 16] != 8 || b[at + 20] != 0 || (b[at + 17] != 2 && b[at + 17] != 6)) return {};
      channels = b[at + 17] == 6 ? 4 : 3;
    } else if (b.compare(at + 4, 4, "IDAT") == 0) {
      idat.append(b, at + 8, len);
    }
  }
  const std::size_t stride = width * channels;
  std::vector<std::uint8_t> raw((stride + 1) * height);
  uLongf size = raw.size();
  if (channels == 0 ||
      uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(idat.data()), idat.size()) != Z_OK ||
      size != raw.size())
    return {};
  Image img{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
  std::vector<std::uint8_t> prev(stride, 0), cur(stride);
  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t* in = &raw[y * (stride + 1)];
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= channels ? cur[i - channels] : 0, up = prev[i], c = i >= channels ? prev[i - channels] : 0;
      const int p = a + up - c, pa = std::abs(p - a), pb = std::abs(p - up), pc = std::abs(p - c);
      const int paeth = pa <= pb && pa <= pc ? a : (pb <= pc ? up : c);
      const int pred = in[0] == 1 ? a : in[0] == 2 ? up : in[0] == 3 ? (a + up) / 2 : in[0] == 4 ? paeth : 0;
      cur[i] = std::uint8_t(in[1 + i] + pred);
    }
    for (std::size_t x = 0; x < width; ++x)
      for (std::size_t k = 0; k < 3; ++k) img.rgb[(y * width + x) * 3 + k] = cur[x * channels + k];
    prev.swap(cur);
  }
  return img;
#endif
}

}  // namespace ringave::testing
