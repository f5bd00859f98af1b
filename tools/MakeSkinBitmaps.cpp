// Writes the skin pictures of the main window's buttons as "<id>.png": for
// each button and language a normal, a hover and a pressed picture of the
// button's pixel size, the caption on a rounded face, black (the key
// colour) outside the face; plus the empty-slot and document pictures.
// With --camera-window it writes the data source's camera-window pictures
// instead, as a C++ source of PNG bytes compiled into the data source.
//   vq_make_skin_bitmaps <folder>
//   vq_make_skin_bitmaps --camera-window <file.cpp>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win/DialogUnits.h"
#include "platform/win/Encoding.h"
#include "platform/win/GdiObjects.h"
#include "resources/Resources.h"
#include "tools/RoundedRect.h"

namespace {

enum class Look { Normal, Hover, Pressed };

struct LanguageSkin {
  int normal, hover, pressed;
  const char* caption;
};

struct ButtonSkin {
  int controlId;
  LanguageSkin languages[3];  // Simplified Chinese, Traditional Chinese, English
};

// Bitmap ids per language in the order normal / hover / pressed.
const ButtonSkin kButtons[] = {
    {1041, {{151, 179, 166, "系统参数"}, {280, 278, 282, "系統參數"}, {281, 279, 283, "Settings"}}},
    {1003, {{152, 180, 167, "视频参数"}, {256, 254, 258, "視訊參數"}, {257, 255, 259, "Video"}}},
    {1005, {{153, 181, 168, "退出程序"}, {250, 248, 252, "退出程式"}, {251, 249, 253, "Exit"}}},
    {1033, {{158, 186, 173, "浏览图像"}, {226, 224, 228, "瀏覽圖像"}, {227, 225, 229, "Browse"}}},
    {1034, {{160, 188, 175, "文字识别"}, {262, 260, 264, "文字識別"}, {263, 261, 265, "Text recognition"}}},
    {1023, {{161, 189, 176, "复    印"}, {268, 266, 270, "複    印"}, {269, 267, 271, "Copy"}}},
    {1024, {{162, 190, 177, "拍摄为PDF"}, {274, 272, 276, "拍攝為PDF"}, {275, 273, 277, "Capture to PDF"}}},
    {1018, {{164, 191, 178, "拍    摄"}, {232, 230, 234, "拍    攝"}, {233, 231, 235, "Capture"}}},
    {1083, {{207, 206, 208, "录    像"}, {238, 236, 240, "錄    影"}, {239, 237, 241, "Record video"}}},
    {1084, {{220, 221, 222, "连续拍摄"}, {244, 242, 246, "連續拍攝"}, {245, 243, 247, "Continuous"}}},
    // The small buttons look the same in every language.
    {1011, {{154, 182, 169, "L90"}, {0, 0, 0, nullptr}, {0, 0, 0, nullptr}}},
    {1008, {{155, 183, 170, "180"}, {0, 0, 0, nullptr}, {0, 0, 0, nullptr}}},
    {1010, {{156, 184, 171, "R90"}, {0, 0, 0, nullptr}, {0, 0, 0, nullptr}}},
    {1032, {{157, 185, 172, "CAM"}, {0, 0, 0, nullptr}, {0, 0, 0, nullptr}}},
    {1081, {{202, 201, 203, "AF"}, {0, 0, 0, nullptr}, {0, 0, 0, nullptr}}},
};

constexpr int kEmptySlot = 165, kDocument = 194;

struct Rgb {
  double r, g, b;
};

// Face colours (top, bottom of the gradient) and caption colour per look.
void FaceColours(Look look, Rgb* top, Rgb* bottom, Rgb* text) {
  switch (look) {
    case Look::Normal: *top = {0.36, 0.58, 0.86}; *bottom = {0.16, 0.36, 0.66}; break;
    case Look::Hover: *top = {0.52, 0.74, 0.96}; *bottom = {0.26, 0.50, 0.82}; break;
    case Look::Pressed: *top = {0.10, 0.26, 0.52}; *bottom = {0.20, 0.40, 0.70}; break;
  }
  *text = {1.0, 1.0, 1.0};
}

// The caption centred, as large as fits.
void DrawCaption(cairo_t* cr, const char* caption, int width, int height, Rgb colour, int shift) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  pango_layout_set_text(layout, caption, -1);
  int size = std::max(6, height * 11 / 20);
  PangoRectangle ink{}, logical{};
  for (; size >= 6; --size) {
    PangoFontDescription* font = pango_font_description_from_string("WenQuanYi Micro Hei Bold");
    pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    if (ink.width <= width - 8 && ink.height <= height - 4) break;
  }
  double x = (width - ink.width) / 2.0 - ink.x + shift;
  double y = (height - ink.height) / 2.0 - ink.y + shift;
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
  cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
  cairo_move_to(cr, x, y);
  pango_cairo_show_layout(cr, layout);
  g_object_unref(layout);
}

// No pixel of the face may be the key: lift pure black to (1, 1, 1).
void KeepKeyOutside(cairo_surface_t* surface, cairo_surface_t* mask) {
  cairo_surface_flush(surface);
  cairo_surface_flush(mask);
  int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  unsigned char* inside = cairo_image_surface_get_data(mask);
  int stride = cairo_image_surface_get_stride(surface), maskStride = cairo_image_surface_get_stride(mask);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      auto* pixel = reinterpret_cast<uint32_t*>(data + y * stride + x * 4);
      bool face = inside[y * maskStride + x] != 0;
      if (!face)
        *pixel = 0xFF000000;
      else if ((*pixel & 0xFFFFFF) == 0)
        *pixel = 0xFF010101;
    }
  cairo_surface_mark_dirty(surface);
}

cairo_surface_t* DrawButton(int width, int height, const char* caption, Look look) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_t* maskCr = cairo_create(mask);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  const double radius = std::min({4.0, width / 2.0, height / 2.0});
  // The face without antialiasing, so its edge against the key is clean.
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_antialias(maskCr, CAIRO_ANTIALIAS_NONE);
  RoundedRect(cr, 0, 0, width, height, radius);
  RoundedRect(maskCr, 0, 0, width, height, radius);
  cairo_fill(maskCr);
  Rgb top{}, bottom{}, text{};
  FaceColours(look, &top, &bottom, &text);
  cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 0, height);
  cairo_pattern_add_color_stop_rgb(gradient, 0, top.r, top.g, top.b);
  cairo_pattern_add_color_stop_rgb(gradient, 1, bottom.r, bottom.g, bottom.b);
  cairo_set_source(cr, gradient);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(gradient);
  cairo_set_line_width(cr, 1);
  cairo_set_source_rgb(cr, look == Look::Pressed ? 0.05 : 0.75, look == Look::Pressed ? 0.15 : 0.85,
                       look == Look::Pressed ? 0.35 : 1.0);
  cairo_new_path(cr);
  RoundedRect(cr, 0.5, 0.5, width - 1, height - 1, radius);
  cairo_stroke(cr);
  DrawCaption(cr, caption, width, height, text, look == Look::Pressed ? 1 : 0);
  KeepKeyOutside(surface, mask);
  cairo_destroy(maskCr);
  cairo_destroy(cr);
  cairo_surface_destroy(mask);
  return surface;
}

bool WriteButton(const std::string& folder, int id, int width, int height, const char* caption, Look look) {
  cairo_surface_t* surface = DrawButton(width, height, caption, look);
  std::string path = folder + "/" + std::to_string(id) + ".png";
  bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok;
}

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  auto* bytes = static_cast<std::vector<unsigned char>*>(closure);
  bytes->insert(bytes->end(), data, data + length);
  return CAIRO_STATUS_SUCCESS;
}

vqplatform::DialogBaseUnits BaseUnitsOf(const DialogTemplate& dialog) {
  HFONT font = vqplatform::CreateDialogFont(dialog.fontFace.empty() ? L"MS Shell Dlg" : dialog.fontFace.c_str(),
                                            dialog.pointSize ? dialog.pointSize : 8);
  vqplatform::DialogBaseUnits base = vqplatform::BaseUnitsOfFont(font);
  DeleteObject(font);
  return base;
}

// The pixel size of a control of a template; false when it is not there.
bool ControlSize(const DialogTemplate& dialog, int id, int* width, int* height) {
  auto item = std::find_if(dialog.items.begin(), dialog.items.end(),
                           [&](const DialogItemTemplate& i) { return i.id == id; });
  if (item == dialog.items.end()) return false;
  RECT pixels = vqplatform::DialogUnitsToPixels(RECT{item->x, item->y, item->x + item->cx, item->y + item->cy},
                                                BaseUnitsOf(dialog));
  *width = pixels.right - pixels.left;
  *height = pixels.bottom - pixels.top;
  return true;
}

// Placeholder pictures: an empty grey slot and a ruled text page.
cairo_surface_t* DrawPlaceholder(int width, int height, bool page) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  if (page) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.55, 0.55, 0.55);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, 0.5, 0.5, width - 1, height - 1);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.35, 0.35, 0.45);
    for (int y = 18; y < height - 12; y += 10) {
      double end = (y / 10) % 4 == 3 ? width * 0.6 : width - 14.0;
      cairo_move_to(cr, 14, y + 0.5);
      cairo_line_to(cr, end, y + 0.5);
    }
    cairo_stroke(cr);
  } else {
    cairo_set_source_rgb(cr, 0.82, 0.82, 0.82);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.62, 0.62, 0.62);
    double dashes[] = {4, 3};
    cairo_set_dash(cr, dashes, 2, 0);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, 4.5, 4.5, width - 9, height - 9);
    cairo_stroke(cr);
  }
  cairo_destroy(cr);
  return surface;
}

bool WritePlaceholder(const std::string& folder, int id, int width, int height, bool page) {
  cairo_surface_t* surface = DrawPlaceholder(width, height, page);
  std::string path = folder + "/" + std::to_string(id) + ".png";
  bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok;
}

// The camera window's four small buttons: bitmap ids normal / pressed / hover.
struct CameraButtonSkin {
  int controlId;
  int normal, pressed, hover;
  const char* caption;
};
const CameraButtonSkin kCameraButtons[] = {
    {6013, 6002, 6001, 6003, "左转"},
    {6014, 6008, 6007, 6009, "180°"},
    {6015, 6005, 6004, 6006, "右转"},
    {6034, 6018, 6017, 6019, "镜头"},
};

int WriteCameraWindowSource(const std::string& path) {
  const DialogTemplate& dialog = vqres::CameraWindowTemplate();
  std::string source =
      "// Made by vq_make_skin_bitmaps --camera-window: the camera window's button pictures as PNG files.\n"
      "#include \"twain/CameraWindowPictures.h\"\n\nnamespace strenvik {\nnamespace {\n";
  std::string table = "const CameraWindowPicture kPictures[] = {\n";
  auto append = [&](int id, cairo_surface_t* surface) {
    std::vector<unsigned char> png;
    const bool ok = cairo_surface_write_to_png_stream(surface, AppendBytes, &png) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!ok) return false;
    source += "const unsigned char kPng" + std::to_string(id) + "[] = {";
    for (size_t i = 0; i < png.size(); ++i) source += (i % 24 ? "" : "\n    ") + std::to_string(png[i]) + ",";
    source += "\n};\n";
    table += "    {" + std::to_string(id) + ", kPng" + std::to_string(id) + ", sizeof kPng" + std::to_string(id) +
             "},\n";
    return true;
  };
  // The strip's empty slot fits inside a strip item: 128 pixels wide, a
  // quarter of the client height below the paging buttons.
  int pagingWidth = 0, pagingHeight = 0;
  if (!ControlSize(dialog, 6031, &pagingWidth, &pagingHeight)) return 1;
  const RECT client = vqplatform::DialogUnitsToPixels(RECT{0, 0, dialog.cx, dialog.cy}, BaseUnitsOf(dialog));
  const int clientHeight = client.bottom - client.top;
  const int slotHeight = (clientHeight - pagingHeight - 15) / 4 - 5;
  if (!append(6016, DrawPlaceholder(128 - 6, slotHeight - 6, true))) return 1;
  for (const CameraButtonSkin& button : kCameraButtons) {
    int width = 0, height = 0;
    if (!ControlSize(dialog, button.controlId, &width, &height)) {
      std::fprintf(stderr, "button %d is not in the camera window\n", button.controlId);
      return 1;
    }
    const std::pair<int, Look> looks[] = {{button.normal, Look::Normal}, {button.pressed, Look::Pressed},
                                          {button.hover, Look::Hover}};
    for (const auto& [id, look] : looks)
      if (!append(id, DrawButton(width, height, button.caption, look))) return 1;
  }
  source += table + "};\n\n}  // namespace\n\nconst CameraWindowPicture* CameraWindowPictures(size_t* count) {\n"
            "  *count = sizeof kPictures / sizeof kPictures[0];\n  return kPictures;\n}\n\n}  // namespace strenvik\n";
  // Rewritten only when it changes, so the data source is not rebuilt for nothing.
  std::ifstream old(path, std::ios::binary);
  std::string previous((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
  if (previous == source) return 0;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << source;
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--camera-window") return WriteCameraWindowSource(argv[2]);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  std::string folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const DialogTemplate& dialog = vqres::MainWindowTemplate();
  int written = 0;
  for (const ButtonSkin& button : kButtons) {
    int width = 0, height = 0;
    if (!ControlSize(dialog, button.controlId, &width, &height)) {
      std::fprintf(stderr, "button %d is not in the main window\n", button.controlId);
      return 1;
    }
    for (const LanguageSkin& skin : button.languages) {
      if (!skin.caption) continue;
      if (!WriteButton(folder, skin.normal, width, height, skin.caption, Look::Normal) ||
          !WriteButton(folder, skin.hover, width, height, skin.caption, Look::Hover) ||
          !WriteButton(folder, skin.pressed, width, height, skin.caption, Look::Pressed)) {
        std::fprintf(stderr, "cannot write into %s\n", folder.c_str());
        return 1;
      }
      written += 3;
    }
  }
  if (!WritePlaceholder(folder, kEmptySlot, 129, 146, false) || !WritePlaceholder(folder, kDocument, 115, 146, true)) {
    std::fprintf(stderr, "cannot write into %s\n", folder.c_str());
    return 1;
  }
  std::printf("%d button pictures and 2 placeholders in %s\n", written, folder.c_str());
  return 0;
}
