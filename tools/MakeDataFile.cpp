// Writes the default "data.dat": a logo and a splash picture with the
// program's name, the camera pairs the programs know (the virtual pair
// last), the window title and the label text. With --check it loads a data file and tells
// whether it holds what the program needs to start without a camera.
//
//   vq_make_data_file <output path>
//   vq_make_data_file --check <path>
#include <cairo.h>

#include <cstdio>
#include <iterator>
#include <string>

#include "app/BrandingData.h"
#include "app/BrandingDataWriter.h"
#include "base/PathEncoding.h"
#include "capture/KnownCameras.h"
#include "tools/WriteOrCheck.h"

namespace {

const char* const kTitle = "Vorquell";
const char* const kLabel = "Vorquell document camera";

std::string CameraPair(const vq::CameraPairIds& ids) {
  return std::string(ids.documentVendor) + ids.documentProduct + ids.portraitVendor + ids.portraitProduct;
}

std::string CameraList() {
  std::string list;
  for (const vq::CameraPairIds& ids : vq::kKnownCameraPairs) list += CameraPair(ids) + ";";
  return list;
}

// A picture with a colour band and the text centred on it, drawn by cairo.
BrandingPicture DrawPicture(int width, int height, const char* text, double fontSize) {
  BrandingPicture picture{width, height, {}};
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_pattern_t* band = cairo_pattern_create_linear(0, 0, 0, height);
  cairo_pattern_add_color_stop_rgb(band, 0, 0.16, 0.38, 0.62);
  cairo_pattern_add_color_stop_rgb(band, 1, 0.06, 0.18, 0.36);
  cairo_set_source(cr, band);
  cairo_paint(cr);
  cairo_pattern_destroy(band);
  cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, fontSize);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text, &extents);
  cairo_move_to(cr, (width - extents.width) / 2 - extents.x_bearing,
                (height - extents.height) / 2 - extents.y_bearing);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_show_text(cr, text);
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned char* px = data + y * stride + 4 * x;  // B, G, R, unused
      picture.bgr.insert(picture.bgr.end(), {px[0], px[1], px[2]});
    }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return picture;
}

int Write(const char* path) {
  BrandingContent content;
  content.logo = DrawPicture(129, 55, kTitle, 22);
  content.splash = DrawPicture(320, 180, kTitle, 40);
  content.cameraList = CameraList();
  content.showLabel = true;
  content.title = kTitle;
  content.label = kLabel;
  if (!WriteBrandingDataFile(path, EncodeBrandingData(content))) {
    std::fprintf(stderr, "cannot write %s\n", path);
    return 1;
  }
  return 0;
}

int Check(const char* path) {
  CBrandingData data;
  if (data.Load(vq::PathFromBytes(path).c_str()) != 0) {
    std::fprintf(stderr, "%s does not load\n", path);
    return 1;
  }
  bool ok = data.cameraList.size() == std::size(vq::kKnownCameraPairs);
  for (size_t i = 0; ok && i < data.cameraList.size(); ++i)
    ok = data.cameraList[i].CompareNoCase(CString(CameraPair(vq::kKnownCameraPairs[i]).c_str())) == 0;
  ok = ok &&
            data.logoImage.GetWidth() == 129 && data.logoImage.GetHeight() == 55 &&
            !data.splashImage.IsNull() && data.windowTitle == CString(kTitle) &&
            data.labelText == CString(kLabel) && data.showLabel == 1;
  // The logo is not blank: white text on a blue band.
  bool text = false;
  for (int y = 0; y < 55 && !text; ++y)
    for (int x = 0; x < 129 && !text; ++x) {
      COLORREF c = data.logoImage.GetPixel(x, y);
      text = GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) > 200;
    }
  COLORREF corner = data.logoImage.GetPixel(0, 0);
  ok = ok && text && GetBValue(corner) > GetRValue(corner);
  std::printf("%s: %s\n", path, ok ? "complete" : "incomplete");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return WriteOrCheck(argc, argv, &Write, &Check); }
