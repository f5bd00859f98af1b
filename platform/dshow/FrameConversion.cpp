#include "platform/dshow/FrameConversion.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/dshow/JpegStandardTables.h"

namespace vq::dshow {
namespace {

constexpr BYTE kSos = 0xDA, kEoi = 0xD9, kDht = 0xC4;

// One marker segment of a JPEG header: its marker and byte range.
struct Segment {
  BYTE marker;
  size_t begin, end;
};

// Walks the header segments up to the first scan; false when the stream is
// malformed before it.
template <class Visit>
bool WalkHeader(const BYTE* data, size_t length, Visit visit) {
  if (!data || length < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
  size_t pos = 2;
  while (pos + 1 < length) {
    if (data[pos] != 0xFF) return false;
    size_t start = pos;
    while (pos < length && data[pos] == 0xFF) ++pos;
    if (pos >= length) return false;
    BYTE marker = data[pos++];
    if (marker == kSos || marker == kEoi) {
      visit(Segment{marker, start, pos});
      return true;
    }
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
    if (pos + 2 > length) return false;
    size_t segLength = size_t(data[pos]) << 8 | data[pos + 1];
    if (segLength < 2 || pos + segLength > length) return false;
    pos += segLength;
    if (!visit(Segment{marker, start, pos})) return true;
  }
  return false;
}

struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};

void OnJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }
void QuietJpegMessage(j_common_ptr) {}

JpegError* SetUpErrors(JpegError& error) {
  jpeg_std_error(&error.mgr);
  error.mgr.error_exit = OnJpegError;
  error.mgr.output_message = QuietJpegMessage;
  return &error;
}

// Decodes into bottom-up rows. Kept free of objects with destructors, as a
// library error leaves it through longjmp.
bool DecodeBottomUp(const BYTE* data, size_t length, int width, int height, BYTE* bgr, JSAMPROW* rows) {
  jpeg_decompress_struct info;
  JpegError error;
  info.err = &SetUpErrors(error)->mgr;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(length));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&info);
  if (int(info.output_width) != width || int(info.output_height) != height || info.output_components != 3) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  const size_t stride = size_t(width) * 3;
  for (int y = 0; y < height; ++y) rows[y] = bgr + size_t(height - 1 - y) * stride;
  while (info.output_scanline < info.output_height)
    jpeg_read_scanlines(&info, rows + info.output_scanline, info.output_height - info.output_scanline);
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

bool EncodeMjpg(const cv::Mat& bgr, int quality, unsigned char** out, unsigned long* outLength, JSAMPROW* rows) {
  jpeg_compress_struct info;
  JpegError error;
  info.err = &SetUpErrors(error)->mgr;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, out, outLength);
  info.image_width = JDIMENSION(bgr.cols);
  info.image_height = JDIMENSION(bgr.rows);
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.comp_info[0].h_samp_factor = 2;
  info.comp_info[0].v_samp_factor = 1;
  info.write_JFIF_header = FALSE;
  jpeg_start_compress(&info, TRUE);
  for (int y = 0; y < bgr.rows; ++y) rows[y] = const_cast<JSAMPROW>(bgr.ptr<BYTE>(y));
  while (info.next_scanline < info.image_height)
    jpeg_write_scanlines(&info, rows + info.next_scanline, info.image_height - info.next_scanline);
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

void Yuy2ToBottomUpBgr(const BYTE* yuy2, int width, int height, BYTE* bgr) {
  const size_t inStride = size_t(width) * 2, outStride = size_t(width) * 3;
  cv::parallel_for_(cv::Range(0, height), [&](const cv::Range& range) {
    for (int y = range.start; y < range.end; ++y) {
      cv::Mat in(1, width, CV_8UC2, const_cast<BYTE*>(yuy2 + size_t(y) * inStride));
      cv::Mat out(1, width, CV_8UC3, bgr + size_t(height - 1 - y) * outStride);
      cv::cvtColor(in, out, cv::COLOR_YUV2BGR_YUY2);
    }
  }, 8);
}

std::vector<BYTE> BgrToYuy2(const cv::Mat& bgr) {
  std::vector<BYTE> out;
  if (bgr.empty() || bgr.type() != CV_8UC3 || bgr.cols % 2 != 0) return out;
  out.resize(size_t(bgr.cols) * bgr.rows * 2);
  // BT.601 with video levels, as cameras send it and the decoder expects it.
  auto luma = [](int r, int g, int b) { return BYTE(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16); };
  BYTE* p = out.data();
  for (int y = 0; y < bgr.rows; ++y) {
    const BYTE* row = bgr.ptr<BYTE>(y);
    for (int x = 0; x < bgr.cols; x += 2, p += 4) {
      const int b0 = row[x * 3], g0 = row[x * 3 + 1], r0 = row[x * 3 + 2];
      const int b1 = row[x * 3 + 3], g1 = row[x * 3 + 4], r1 = row[x * 3 + 5];
      const int r = r0 + r1, g = g0 + g1, b = b0 + b1;  // twice the pair's mean
      p[0] = luma(r0, g0, b0);
      p[1] = BYTE(((-38 * r - 74 * g + 112 * b + 256) >> 9) + 128);
      p[2] = luma(r1, g1, b1);
      p[3] = BYTE(((112 * r - 94 * g - 18 * b + 256) >> 9) + 128);
    }
  }
  return out;
}

bool HasHuffmanTables(const BYTE* data, size_t length) {
  bool found = false;
  WalkHeader(data, length, [&](const Segment& s) {
    if (s.marker == kDht) found = true;
    return !found;
  });
  return found;
}

std::vector<BYTE> WithStandardHuffmanTables(const BYTE* data, size_t length) {
  if (!data || length < 2 || data[0] != 0xFF || data[1] != 0xD8) return {};
  std::vector<BYTE> out(data, data + length);
  if (HasHuffmanTables(data, length)) return out;
  const auto& dht = StandardHuffmanSegment();
  out.insert(out.begin() + 2, dht.begin(), dht.end());
  return out;
}

bool MjpgToBottomUpBgr(const BYTE* data, size_t length, int width, int height, BYTE* bgr) {
  if (!data || !bgr || width <= 0 || height <= 0) return false;
  std::vector<JSAMPROW> rows(static_cast<size_t>(height));
  if (HasHuffmanTables(data, length)) return DecodeBottomUp(data, length, width, height, bgr, rows.data());
  std::vector<BYTE> complete = WithStandardHuffmanTables(data, length);
  if (complete.empty()) return false;
  return DecodeBottomUp(complete.data(), complete.size(), width, height, bgr, rows.data());
}

std::vector<BYTE> BgrToMjpg(const cv::Mat& bgr, int quality) {
  if (bgr.empty() || bgr.type() != CV_8UC3) return {};
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<JSAMPROW> rows(static_cast<size_t>(bgr.rows));
  bool ok = EncodeMjpg(bgr, quality, &buffer, &size, rows.data());
  std::vector<BYTE> encoded;
  if (ok) encoded.assign(buffer, buffer + size);
  std::free(buffer);
  if (!ok) return {};
  // Cameras leave the Huffman tables out; so does this stream.
  std::vector<Segment> tables;
  WalkHeader(encoded.data(), encoded.size(), [&](const Segment& s) {
    if (s.marker == kDht) tables.push_back(s);
    return true;
  });
  for (auto it = tables.rbegin(); it != tables.rend(); ++it)
    encoded.erase(encoded.begin() + long(it->begin), encoded.begin() + long(it->end));
  return encoded;
}

}  // namespace vq::dshow
