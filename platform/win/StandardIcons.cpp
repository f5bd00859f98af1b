// The standard icons, drawn once with cairo at 32 x 32: error (a red disc
// with a white cross), warning (a yellow triangle with "!"), information
// (a blue disc with "i"), question (a blue disc with "?") and a plain
// application window for IDI_APPLICATION and IDI_WINLOGO.
#include <cairo.h>

#include <cmath>
#include <cstring>

#include "platform/win/StandardIcons.h"

namespace vqplatform {
namespace {

constexpr int kSize = 32;

void Disc(cairo_t* cr, double r, double g, double b) {
  cairo_arc(cr, 16, 16, 14.5, 0, 2 * M_PI);
  cairo_set_source_rgb(cr, r * 0.7, g * 0.7, b * 0.7);
  cairo_fill_preserve(cr);
  cairo_pattern_t* face = cairo_pattern_create_radial(12, 10, 2, 16, 16, 14);
  cairo_pattern_add_color_stop_rgb(face, 0, std::min(1.0, r + 0.35), std::min(1.0, g + 0.35), std::min(1.0, b + 0.35));
  cairo_pattern_add_color_stop_rgb(face, 1, r, g, b);
  cairo_set_source(cr, face);
  cairo_new_path(cr);
  cairo_arc(cr, 16, 16, 13.5, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(face);
}

void Glyph(cairo_t* cr, const char* text, double size, double r, double g, double b) {
  cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, text, &e);
  cairo_move_to(cr, 16 - e.width / 2 - e.x_bearing, 16 - e.height / 2 - e.y_bearing);
  cairo_set_source_rgb(cr, r, g, b);
  cairo_show_text(cr, text);
}

void DrawError(cairo_t* cr) {
  Disc(cr, 0.85, 0.1, 0.08);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_set_line_width(cr, 3.5);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, 10.5, 10.5);
  cairo_line_to(cr, 21.5, 21.5);
  cairo_move_to(cr, 21.5, 10.5);
  cairo_line_to(cr, 10.5, 21.5);
  cairo_stroke(cr);
}

void DrawWarning(cairo_t* cr) {
  cairo_move_to(cr, 16, 2);
  cairo_line_to(cr, 30.5, 29);
  cairo_line_to(cr, 1.5, 29);
  cairo_close_path(cr);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_source_rgb(cr, 0.98, 0.8, 0.1);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0.55, 0.4, 0.0);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_rectangle(cr, 14.5, 10, 3, 11);
  cairo_fill(cr);
  cairo_arc(cr, 16, 24.5, 1.8, 0, 2 * M_PI);
  cairo_fill(cr);
}

void DrawInformation(cairo_t* cr) {
  Disc(cr, 0.1, 0.35, 0.85);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_arc(cr, 16, 9.5, 2.2, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_rectangle(cr, 14.3, 13.5, 3.4, 11);
  cairo_fill(cr);
}

void DrawQuestion(cairo_t* cr) {
  Disc(cr, 0.1, 0.35, 0.85);
  Glyph(cr, "?", 22, 1, 1, 1);
}

void DrawApplication(cairo_t* cr) {
  cairo_rectangle(cr, 3.5, 5.5, 25, 21);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  cairo_rectangle(cr, 4, 6, 24, 5);
  cairo_set_source_rgb(cr, 0.1, 0.3, 0.7);
  cairo_fill(cr);
}

}  // namespace

bool DrawStandardIcon(int id, IconPixels* out) {
  void (*draw)(cairo_t*) = nullptr;
  switch (id) {
    case 32512:
    case 32517: draw = DrawApplication; break;
    case 32513: draw = DrawError; break;
    case 32514: draw = DrawQuestion; break;
    case 32515: draw = DrawWarning; break;
    case 32516: draw = DrawInformation; break;
    default: return false;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize);
  cairo_t* cr = cairo_create(surface);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_BEST);
  draw(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  out->width = kSize;
  out->height = kSize;
  out->argb.resize(kSize * kSize);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < kSize; ++y) std::memcpy(&out->argb[size_t(y) * kSize], data + size_t(y) * stride, kSize * 4);
  cairo_surface_destroy(surface);
  UnpremultiplyIcon(out);
  return true;
}

void UnpremultiplyIcon(IconPixels* icon) {
  for (uint32_t& p : icon->argb) {
    uint32_t a = p >> 24;
    if (a == 0 || a == 255) {
      if (a == 0) p = 0;
      continue;
    }
    auto channel = [&](int shift) { return std::min<uint32_t>(255, (((p >> shift) & 0xFF) * 255 + a / 2) / a); };
    p = (a << 24) | (channel(16) << 16) | (channel(8) << 8) | channel(0);
  }
}

}  // namespace vqplatform
