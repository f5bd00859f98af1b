// Writes the program's icon resource 128 as "128.png" (32 x 32, with
// transparency): a camera on its arm looking down on a sheet of paper.
//   vq_make_program_icon <folder>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/RoundedRect.h"

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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vq_make_program_icon <folder>\n");
    return 2;
  }
  std::error_code error;
  std::filesystem::create_directories(argv[1], error);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 32);
  cairo_t* cr = cairo_create(surface);
  DrawIcon(cr);
  cairo_destroy(cr);
  std::string path = std::string(argv[1]) + "/128.png";
  bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!ok) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return ok ? 0 : 1;
}
