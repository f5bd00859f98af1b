#include "app/BrandingData.h"

#include <cstdint>
#include <cstring>

#include "base/BoundedFile.h"
#include "base/PathEncoding.h"
#include "platform/win/Encoding.h"

namespace {

constexpr size_t kMaxTextBytes = 255;
constexpr int64_t kMaxPictureSide = 1 << 16;
// A logo and a splash of a full-HD screen, with room to spare.
constexpr std::uint64_t kMaxFileBytes = 16 << 20;

// A cursor over the file's bytes; every read checks the bytes left.
class ByteCursor {
 public:
  ByteCursor(std::string_view bytes, size_t position) : bytes_(bytes), pos_(position) {}
  size_t position() const { return pos_; }
  size_t left() const { return pos_ <= bytes_.size() ? bytes_.size() - pos_ : 0; }
  bool AtEnd() const { return left() == 0; }

  bool Int32(int32_t& value) {
    uint32_t raw;
    if (!RawUint32(raw)) return false;
    value = static_cast<int32_t>(raw);
    return true;
  }
  bool RawUint32(uint32_t& value) {
    if (left() < 4) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + pos_);
    value = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    pos_ += 4;
    return true;
  }
  bool Bytes(size_t count, std::string_view& out) {
    if (left() < count) return false;
    out = bytes_.substr(pos_, count);
    pos_ += count;
    return true;
  }

 private:
  std::string_view bytes_;
  size_t pos_;
};

// Rows of 24-bit pixels, top row first, each padded to a multiple of 4.
bool ReadPicture(ByteCursor& in, int32_t height, int32_t width, CImage& picture) {
  if (height < 0 || width < 0 || height > kMaxPictureSide || width > kMaxPictureSide) return false;
  if (height == 0 || width == 0) {
    picture.Destroy();
    return true;
  }
  size_t stride = (3 * static_cast<size_t>(width) + 3) & ~size_t(3);
  if (in.left() / stride < static_cast<size_t>(height)) return false;
  if (!picture.Create(width, height, 24)) return false;
  for (int32_t y = 0; y < height; ++y) {
    std::string_view row;
    in.Bytes(stride, row);
    std::memcpy(picture.GetPixelAddress(0, y), row.data(), 3 * static_cast<size_t>(width));
  }
  return true;
}

bool ReadText(ByteCursor& in, std::string_view file, std::string& text) {
  auto next = CBrandingData::ReadScrambledString(file, in.position(), text);
  if (!next) return false;
  std::string_view skipped;
  return in.Bytes(*next - in.position(), skipped);
}

}  // namespace

std::optional<size_t> CBrandingData::ReadScrambledString(std::string_view file, size_t position,
                                                         std::string& text) {
  ByteCursor in(file, position);
  int32_t count;
  if (!in.Int32(count) || count < 0 || in.left() / 8 < static_cast<size_t>(count))
    return std::nullopt;
  std::string_view a, b;
  in.Bytes(4 * static_cast<size_t>(count), a);
  in.Bytes(4 * static_cast<size_t>(count), b);
  ByteCursor ca(a, 0), cb(b, 0);
  text.assign(static_cast<size_t>(count), '\0');
  for (int32_t i = 0; i < count; ++i) {
    uint32_t x = 0, y = 0;
    ca.RawUint32(x);
    cb.RawUint32(y);
    text[static_cast<size_t>(i)] = static_cast<char>((y - x) & 0xFF);
  }
  return in.position();
}

std::vector<CString> SplitCameraList(const CString& text) {
  std::vector<CString> entries;
  int start = 0;
  while (true) {
    int sep = text.Find(L';', start);
    if (sep < 0) break;
    entries.push_back(text.Mid(start, sep - start));
    start = sep + 1;
  }
  if (start < text.GetLength()) entries.push_back(text.Mid(start));
  return entries;
}

int CBrandingData::Load(const wchar_t* path) {
  loadFailure.clear();
  const std::string name = path ? vq::PathToBytes(path) : std::string();
  if (name.empty()) {
    loadFailure = "no path";
    return -1;
  }
  std::string file;
  int error = 0;
  const vq::FileRefusal refusal = vq::ReadBoundedFile(name, kMaxFileBytes, &file, &error);
  if (refusal != vq::FileRefusal::kNone) {
    loadFailure = name + ": " + vq::RefusalText(refusal, kMaxFileBytes, error);
    return -1;
  }
  if (Parse(file) != 0) {
    loadFailure = name + ": not a data file of this program";
    return -1;
  }
  return 0;
}

int CBrandingData::Parse(std::string_view file) {
  // Everything is read into locals first, so a bad file changes nothing.
  ByteCursor in(file, 0);
  int32_t h1, w1, h2, w2 = 0;
  CImage logo, splash;
  std::string link, cameras;
  if (!in.Int32(h1) || !in.Int32(w1) || !ReadPicture(in, h1, w1, logo)) return -1;
  if (!ReadText(in, file, link)) return -1;
  if (!in.Int32(h2) || h2 < 0) return -1;
  if (h2 != 0 && (!in.Int32(w2) || !ReadPicture(in, h2, w2, splash))) return -1;
  if (!ReadText(in, file, cameras)) return -1;

  std::optional<int> label;
  std::optional<std::string> title, labelBytes;
  if (!in.AtEnd()) {
    std::string_view sw;
    if (!in.Bytes(4, sw)) return -1;
    label = sw[0] != sw[1] ? 1 : 0;
    std::string reserved, text;
    if (!in.AtEnd()) {
      if (!ReadText(in, file, reserved)) return -1;
      if (!in.AtEnd()) {
        if (!ReadText(in, file, text) || text.size() > kMaxTextBytes) return -1;
        title = text;
        if (!in.AtEnd()) {
          if (!ReadText(in, file, text) || text.size() > kMaxTextBytes) return -1;
          labelBytes = text;
        }
      }
    }
  }

  logoImage = std::move(logo);
  if (!link.empty()) linkTarget = vq::AnsiToWide(link);
  if (h2 != 0) splashImage = std::move(splash);
  cameraList = SplitCameraList(CString(vq::AnsiToWide(cameras)));
  if (label) showLabel = *label;
  if (title) windowTitle = vq::AnsiToWide(*title);
  if (labelBytes) labelText = vq::AnsiToWide(*labelBytes);
  return 0;
}
