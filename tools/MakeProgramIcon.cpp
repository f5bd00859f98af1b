// Writes the program's icon resource 128 (a 32 x 32 PNG with transparency):
// a camera on its arm looking down on a sheet of paper. With --check it
// reads a picture back and tells whether it is such an icon. With --theme
// it draws the same icon at each size of an icon theme, as
// <folder>/<n>x<n>/apps/vorquell.png.
//
//   vq_make_program_icon <output path>
//   vq_make_program_icon --check <path>
//   vq_make_program_icon --theme <folder>
#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "tools/RoundedRect.h"
#include "tools/WriteOrCheck.h"

namespace {

void DrawIcon(cairo_t* cr) {
  // Tile.
  RoundedRect(cr, 0.5, 0.5, 31, 31, 6);
  cairo_pattern_t* tile = cairo_pattern_create_linear(0, 0, 0, 32);
  cairo_pattern_add_color_stop_rgb(tile, 0, 0.16, 0.52, 0.62);
  cairo_pattern_add_color_stop_rgb(tile, 1, 0.07, 0.30, 0.40);
  cairo_set_source(cr, tile);
  cairo_fill(cr);
  cairo_pattern_destroy(tile);
  // The sheet, seen a little from the front.
  cairo_move_to(cr, 10, 20);
  cairo_line_to(cr, 28, 20);
  cairo_line_to(cr, 30, 29);
  cairo_line_to(cr, 8, 29);
  cairo_close_path(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.55, 0.62, 0.66);
  cairo_set_line_width(cr, 1);
  for (double y = 23; y <= 27; y += 2) {
    cairo_move_to(cr, 12.5, y + 0.5);
    cairo_line_to(cr, 26.5, y + 0.5);
  }
  cairo_stroke(cr);
  // Base, arm and head.
  cairo_set_source_rgb(cr, 0.93, 0.93, 0.93);
  cairo_rectangle(cr, 2, 27, 8, 3);
  cairo_fill(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, 2.4);
  cairo_move_to(cr, 5, 27);
  cairo_line_to(cr, 7, 6);
  cairo_line_to(cr, 18, 5);
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, 0.15, 0.15, 0.17);
  RoundedRect(cr, 14, 3, 9, 9, 2);
  cairo_fill(cr);
  cairo_arc(cr, 18.5, 12, 2.6, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.45, 0.8, 1.0);
  cairo_arc(cr, 18.5, 12, 1.3, 0, 2 * M_PI);
  cairo_fill(cr);
  // The camera's view onto the sheet.
  cairo_set_source_rgba(cr, 1, 1, 0.8, 0.35);
  cairo_move_to(cr, 17, 13);
  cairo_line_to(cr, 20, 13);
  cairo_line_to(cr, 28, 20);
  cairo_line_to(cr, 10, 20);
  cairo_close_path(cr);
  cairo_fill(cr);
}

// The icon drawn on a grid of 32 units, scaled to `size` pixels.
int WriteAtSize(const char* path, int size) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, size / 32.0, size / 32.0);
  DrawIcon(cr);
  cairo_destroy(cr);
  bool ok = cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!ok) std::fprintf(stderr, "cannot write %s\n", path);
  return ok ? 0 : 1;
}

int Write(const char* path) { return WriteAtSize(path, 32); }

// The sizes menus and launchers ask an icon theme for.
int WriteTheme(const char* folder) {
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const std::string dimension = std::to_string(size) + "x" + std::to_string(size);
    const std::string path = std::string(folder) + "/" + dimension + "/apps/vorquell.png";
    if (WriteAtSize(path.c_str(), size) != 0) return 1;
  }
  return 0;
}

// 32 x 32 with alpha: clear corners, an opaque tile and a white sheet.
int Check(const char* path) {
  cairo_surface_t* surface = cairo_image_surface_create_from_png(path);
  bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS &&
            cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32 &&
            cairo_image_surface_get_width(surface) == 32 && cairo_image_surface_get_height(surface) == 32;
  if (ok) {
    auto pixel = [&](int x, int y) {
      const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
      return reinterpret_cast<const uint32_t*>(row)[x];
    };
    ok = (pixel(0, 0) >> 24) == 0 && (pixel(16, 16) >> 24) == 0xFF && pixel(20, 22) == 0xFFFFFFFFu;
  }
  cairo_surface_destroy(surface);
  if (!ok) std::fprintf(stderr, "%s is not the program icon\n", path);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--theme") == 0) return WriteTheme(argv[2]);
  return WriteOrCheck(argc, argv, &Write, &Check);
}
