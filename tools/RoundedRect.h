#pragma once
// A rounded rectangle as the current cairo path, for the picture generators.
#include <cairo.h>

#include <cmath>

inline void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - radius, y + radius, radius, -M_PI / 2, 0);
  cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
  cairo_arc(cr, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
  cairo_arc(cr, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}
