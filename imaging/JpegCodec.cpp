// SaveJpeg and DecodeJpeg on libjpeg(-turbo). A fatal library error jumps back
// to the call (setjmp/longjmp) so it becomes a return value; the functions
// that hold the jump point own no C++ objects with destructors.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include <opencv2/imgproc.hpp>

#include "imaging/ImageFiles.h"
#include "imaging/NarrowPath.h"
#include "imaging/PictureFile.h"
#include "imaging/ReplacingFile.h"

namespace {

// Progressive files with absurd scan counts are refused (hostile input).
constexpr int kMaxProgressiveScans = 500;

struct JpegErrorManager {
  jpeg_error_mgr base;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void ExitWithJump(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
  longjmp(manager->jump, 1);
}

// Warnings and traces are kept quiet; only the last message is remembered.
void KeepMessage(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
}

// Decoding treats the warnings of missing data (the file or a data segment
// ends early) as fatal: a truncated picture is refused rather than padded
// with grey. Other warnings, such as stray bytes some cameras put before a
// marker, leave the picture usable.
void TruncationIsFatal(j_common_ptr cinfo, int level) {
  const int code = cinfo->err->msg_code;
  if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) ExitWithJump(cinfo);
}

jpeg_error_mgr* InstallErrorManager(JpegErrorManager* manager, bool refuseTruncation) {
  std::memset(manager, 0, sizeof *manager);
  jpeg_std_error(&manager->base);
  manager->base.error_exit = ExitWithJump;
  manager->base.output_message = KeepMessage;
  if (refuseTruncation) manager->base.emit_message = TruncationIsFatal;
  return &manager->base;
}

void LimitScans(j_common_ptr cinfo) {
  auto* decoder = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (decoder->is_decompressor && decoder->progressive_mode && decoder->input_scan_number > kMaxProgressiveScans) {
    cinfo->err->msg_code = JERR_NOTIMPL;
    (*cinfo->err->error_exit)(cinfo);
  }
}

// Compresses rows (R, G, B or grey, 8-bit) into file. False on any libjpeg error.
bool CompressRows(FILE* file, const cv::Mat& rows, unsigned short xDpi, unsigned short yDpi, int quality) {
  jpeg_compress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  JpegErrorManager errors;
  cinfo.err = InstallErrorManager(&errors, false);
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = static_cast<JDIMENSION>(rows.cols);
  cinfo.image_height = static_cast<JDIMENSION>(rows.rows);
  cinfo.input_components = rows.channels();
  cinfo.in_color_space = rows.channels() == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.density_unit = 1;
  cinfo.X_density = xDpi;
  cinfo.Y_density = yDpi;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rows.ptr<unsigned char>(static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

// Decodes into *out (allocated here, released by the caller on failure):
// grey pictures as one channel, colour ones as blue, green, red, decoded
// straight into the rows.
bool DecompressInto(const unsigned char* data, unsigned long size, cv::Mat* out) {
  jpeg_decompress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  JpegErrorManager errors;
  jpeg_progress_mgr progress;
  std::memset(&progress, 0, sizeof progress);
  progress.progress_monitor = LimitScans;
  cinfo.err = InstallErrorManager(&errors, true);
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, data, size);
  jpeg_read_header(&cinfo, TRUE);
  if ((cinfo.out_color_space != JCS_GRAYSCALE && cinfo.out_color_space != JCS_RGB) ||
      static_cast<long long>(cinfo.image_width) * cinfo.image_height > vq::kMaxPicturePixels) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  const bool colour = cinfo.out_color_space == JCS_RGB;
  if (colour) cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != (colour ? 3 : 1)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  out->create(static_cast<int>(cinfo.output_height), static_cast<int>(cinfo.output_width),
              colour ? CV_8UC3 : CV_8UC1);
  JSAMPROW rows[16];
  const JDIMENSION batch = static_cast<JDIMENSION>(std::clamp(cinfo.rec_outbuf_height, 1, 16));
  while (cinfo.output_scanline < cinfo.output_height) {
    const JDIMENSION first = cinfo.output_scanline;
    const JDIMENSION count = std::min(batch, cinfo.output_height - first);
    for (JDIMENSION i = 0; i < count; ++i) rows[i] = out->ptr(static_cast<int>(first + i));
    jpeg_read_scanlines(&cinfo, rows, count);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

bool SaveJpeg(const wchar_t* path, const cv::Mat& image, std::string* savedPath, short xDpi, short yDpi,
              int quality, vq::CReplacingFile::Placing placing) {
  if (image.empty() || image.depth() != CV_8U || (image.channels() != 1 && image.channels() != 3)) return false;
  std::string narrow;
  if (!vq::NarrowPath(path, &narrow)) return false;
  cv::Mat rows;
  if (image.channels() == 3) {
    cv::cvtColor(image, rows, cv::COLOR_BGR2RGB);
  } else {
    rows = image.isContinuous() ? image : image.clone();
  }
  vq::CReplacingFile target(narrow, placing);
  if (!target.Create()) return false;
  FILE* file = fdopen(target.ReleaseDescriptor(), "wb");
  if (file == nullptr) return false;
  bool written = CompressRows(file, rows, static_cast<unsigned short>(xDpi), static_cast<unsigned short>(yDpi),
                              quality);
  written = std::fflush(file) == 0 && !std::ferror(file) && written;
  written = std::fclose(file) == 0 && written;
  if (!written || !target.Commit()) return false;
  if (savedPath != nullptr) *savedPath = target.PlacedPath();
  return true;
}

cv::Mat DecodeJpeg(const unsigned char* data, int size) {
  if (data == nullptr || size <= 0) return cv::Mat();
  cv::Mat result;
  try {
    if (!DecompressInto(data, static_cast<unsigned long>(size), &result)) return cv::Mat();
  } catch (const cv::Exception&) {
    return cv::Mat();
  }
  return result;
}
