#include "app/BrandingDataWriter.h"

#include <fstream>

namespace {

void PutInt32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint32_t NextRandom(uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  return seed;
}

void PutPicture(std::string& out, const BrandingPicture& picture) {
  size_t stride = (3 * static_cast<size_t>(picture.width) + 3) & ~size_t(3);
  for (int y = 0; y < picture.height; ++y) {
    size_t row = static_cast<size_t>(y) * 3 * static_cast<size_t>(picture.width);
    for (size_t i = 0; i < stride; ++i) {
      size_t at = row + i;
      bool pixel = i < 3 * static_cast<size_t>(picture.width) && at < picture.bgr.size();
      out.push_back(pixel ? static_cast<char>(picture.bgr[at]) : '\0');
    }
  }
}

}  // namespace

std::string EncodeScrambledString(const std::string& text, uint32_t& seed) {
  std::string out;
  PutInt32(out, static_cast<uint32_t>(text.size()));
  std::vector<uint32_t> a(text.size());
  for (uint32_t& v : a) v = NextRandom(seed);
  for (uint32_t v : a) PutInt32(out, v);
  for (size_t i = 0; i < text.size(); ++i)
    PutInt32(out, a[i] + static_cast<unsigned char>(text[i]) + 256u * (NextRandom(seed) & 0xFF));
  return out;
}

std::string EncodeBrandingData(const BrandingContent& content, uint32_t seed) {
  std::string out;
  PutInt32(out, static_cast<uint32_t>(content.logo.height));
  PutInt32(out, static_cast<uint32_t>(content.logo.width));
  PutPicture(out, content.logo);
  out += EncodeScrambledString(content.link, seed);
  PutInt32(out, static_cast<uint32_t>(content.splash.height));
  if (content.splash.height != 0) {
    PutInt32(out, static_cast<uint32_t>(content.splash.width));
    PutPicture(out, content.splash);
  }
  out += EncodeScrambledString(content.cameraList, seed);
  if (content.ending == BrandingContent::Ending::AfterCameraList) return out;
  out += content.showLabel ? std::string("\x00\x01\x00\x00", 4) : std::string("\x01\x01\x00\x00", 4);
  if (content.ending == BrandingContent::Ending::AfterLabelSwitch) return out;
  out += EncodeScrambledString(content.reserved, seed);
  out += EncodeScrambledString(content.title, seed);
  out += EncodeScrambledString(content.label, seed);
  return out;
}

bool WriteBrandingDataFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}
