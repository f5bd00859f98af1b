#include "platform/win/GdiText.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>
#include <string>

#include "platform/win/GdiDcInternal.h"
#include "platform/win/GdiObjects.h"

namespace vqplatform {

std::string MapFaceName(const wchar_t* face) {
  static const wchar_t* const kDialogFaces[] = {L"MS Shell Dlg", L"MS Shell Dlg 2", L"宋体", L"SimSun",
                                                L"新宋体", L"NSimSun", L"Tahoma", L"MS Sans Serif",
                                                L"System", L"微软雅黑", L"Microsoft YaHei", L"黑体",
                                                L"SimHei", L"细明体", L"MingLiU", L""};
  if (!face) face = L"";
  for (const wchar_t* dialogFace : kDialogFaces) {
    if (wcscasecmp(face, dialogFace) == 0) return "WenQuanYi Micro Hei";
  }
  if (wcscasecmp(face, L"Arial") == 0 || wcscasecmp(face, L"Helvetica") == 0) return "Liberation Sans";
  if (wcscasecmp(face, L"Times New Roman") == 0) return "Liberation Serif";
  if (wcscasecmp(face, L"Courier New") == 0 || wcscasecmp(face, L"Courier") == 0) return "Liberation Mono";
  std::string utf8;
  for (const wchar_t* p = face; *p; ++p) {
    uint32_t c = static_cast<uint32_t>(*p);
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      char buffer[6];
      int n = g_unichar_to_utf8(c, buffer);
      utf8.append(buffer, size_t(n));
    }
  }
  return utf8;
}

}  // namespace vqplatform

namespace vqplatform::gdi {
namespace {

std::string ToUtf8(const wchar_t* text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    gunichar c = static_cast<gunichar>(text[i]);
    if (!g_unichar_validate(c)) c = 0xFFFD;
    char buffer[6];
    int n = g_unichar_to_utf8(c, buffer);
    out.append(buffer, size_t(n));
  }
  return out;
}

int TextLength(LPCWSTR text, int count) {
  if (!text) return 0;
  return count < 0 ? static_cast<int>(std::wcslen(text)) : count;
}

// A LOGFONT resolved on this thread: pango description and GDI metrics.
struct ResolvedFont {
  PangoFontDescription* description = nullptr;
  int ascent = 0, descent = 0, height = 0, internalLeading = 0;
  int aveCharWidth = 0, maxCharWidth = 0;
  bool underline = false, strikeOut = false, antialias = true;
  double escapement = 0;  // degrees, counter-clockwise
  LOGFONTW logFont{};
};

// Each thread has its own font map and context; pango objects are never
// shared between threads.
class ThreadFonts {
 public:
  ThreadFonts() {
    // Fontconfig is set up once, before any thread makes its font map.
    static std::once_flag fontconfigReady;
    std::call_once(fontconfigReady, [] { FcInit(); });
    static std::mutex creation;
    std::lock_guard<std::mutex> lock(creation);
    map_ = pango_cairo_font_map_new();
    context_ = pango_font_map_create_context(map_);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
    pango_cairo_context_set_resolution(context_, 96.0);
    pango_context_set_language(context_, pango_language_from_string("en"));
  }
  ~ThreadFonts() {
    for (auto& entry : cache_) pango_font_description_free(entry.second.description);
    g_object_unref(context_);
    g_object_unref(map_);
  }

  PangoContext* Context() { return context_; }

  const ResolvedFont& Resolve(const LOGFONTW& lf) {
    std::string key(reinterpret_cast<const char*>(&lf), sizeof(lf));
    auto it = cache_.find(key);
    if (it != cache_.end()) return it->second;
    return cache_.emplace(key, Build(lf)).first->second;
  }

  PangoLayout* Layout(const ResolvedFont& font, const std::string& utf8) {
    PangoLayout* layout = pango_layout_new(context_);
    pango_layout_set_font_description(layout, font.description);
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    if (font.underline || font.strikeOut) {
      PangoAttrList* attrs = pango_attr_list_new();
      if (font.underline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
      if (font.strikeOut) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
      pango_layout_set_attributes(layout, attrs);
      pango_attr_list_unref(attrs);
    }
    return layout;
  }

 private:
  int TextWidth(PangoFontDescription* description, const char* text) {
    PangoLayout* layout = pango_layout_new(context_);
    pango_layout_set_font_description(layout, description);
    pango_layout_set_text(layout, text, -1);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return logical.width;
  }

  // Ascent and descent in pixels of a description at its size.
  void Metrics(PangoFontDescription* description, double* ascent, double* descent) {
    PangoFontMetrics* m = pango_context_get_metrics(context_, description, nullptr);
    *ascent = pango_font_metrics_get_ascent(m) / double(PANGO_SCALE);
    *descent = pango_font_metrics_get_descent(m) / double(PANGO_SCALE);
    pango_font_metrics_unref(m);
  }

  ResolvedFont Build(const LOGFONTW& lf) {
    ResolvedFont font;
    font.logFont = lf;
    std::string family = MapFaceName(lf.lfFaceName);
    // Chinese text falls back to the dialog font whatever the face.
    if (family != "WenQuanYi Micro Hei") family += ",WenQuanYi Micro Hei";
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, family.c_str());
    int weight = lf.lfWeight <= 0 ? FW_NORMAL : std::clamp<int>(lf.lfWeight, 100, 1000);
    pango_font_description_set_weight(d, static_cast<PangoWeight>(weight));
    pango_font_description_set_style(d, lf.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    double em;
    if (lf.lfHeight < 0) {
      em = -double(lf.lfHeight);
    } else if (lf.lfHeight > 0) {
      // A cell height: scale the em so that ascent + descent matches it.
      pango_font_description_set_absolute_size(d, 100.0 * PANGO_SCALE);
      double a, b;
      Metrics(d, &a, &b);
      em = a + b > 0 ? lf.lfHeight * 100.0 / (a + b) : lf.lfHeight;
    } else {
      em = 12;
    }
    em = std::clamp(em, 1.0, 2000.0);
    pango_font_description_set_absolute_size(d, em * PANGO_SCALE);
    double ascent, descent;
    Metrics(d, &ascent, &descent);
    font.description = d;
    // A positive height is the cell height exactly; otherwise the cell is
    // what the font's ascent and descent make of the em.
    font.height = lf.lfHeight > 0 ? static_cast<int>(lf.lfHeight) : static_cast<int>(std::lround(ascent + descent));
    font.ascent = std::min(font.height, static_cast<int>(std::lround(ascent)));
    font.descent = font.height - font.ascent;
    font.internalLeading = std::max(0, font.height - static_cast<int>(std::lround(em)));
    // The average width the dialog-unit rule uses: the Latin alphabet / 52.
    int alphabet = TextWidth(d, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    font.aveCharWidth = (alphabet / 26 + 1) / 2;
    font.maxCharWidth = std::max(TextWidth(d, "W"), TextWidth(d, "\xE4\xB8\xAD"));
    font.underline = lf.lfUnderline != 0;
    font.strikeOut = lf.lfStrikeOut != 0;
    font.antialias = lf.lfQuality != NONANTIALIASED_QUALITY;
    font.escapement = lf.lfEscapement / 10.0;
    return font;
  }

  PangoFontMap* map_;
  PangoContext* context_;
  std::map<std::string, ResolvedFont> cache_;
};

ThreadFonts& Fonts() {
  thread_local ThreadFonts fonts;
  return fonts;
}

const ResolvedFont& FontOf(const DcObject& dc) {
  static const LOGFONTW fallback = [] {
    LOGFONTW lf{};
    lf.lfHeight = 16;
    lf.lfWeight = FW_BOLD;
    return lf;
  }();
  return Fonts().Resolve(dc.state.font ? dc.state.font->logFont : fallback);
}

// Text laid out for one output call.
class TextLayout {
 public:
  TextLayout(const ResolvedFont& font, const std::string& utf8) : font_(font) {
    layout_ = Fonts().Layout(font, utf8);
  }
  ~TextLayout() { g_object_unref(layout_); }
  PangoLayout* Get() { return layout_; }
  SIZE Size() {
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout_, nullptr, &logical);
    int lines = pango_layout_get_line_count(layout_);
    int height = lines <= 1 ? font_.height : std::max(logical.height, lines * font_.height);
    return SIZE{logical.width, height};
  }
  int WidestLine() {
    int widest = 0;
    for (int i = 0, n = pango_layout_get_line_count(layout_); i < n; ++i) {
      PangoRectangle logical;
      pango_layout_line_get_pixel_extents(pango_layout_get_line_readonly(layout_, i), nullptr, &logical);
      widest = std::max(widest, logical.width);
    }
    return widest;
  }
  // Distance from the layout's top to its first baseline, in pixels.
  double Baseline() { return pango_layout_get_baseline(layout_) / double(PANGO_SCALE); }

 private:
  const ResolvedFont& font_;
  PangoLayout* layout_;
};

void FillTargetColor(DcObject& dc, const RECT& target, COLORREF color) {
  BrushPaint paint;
  paint.brush = std::make_shared<BrushObject>();
  paint.brush->color = color;
  FillTargetRect(dc, target, paint, R2_COPYPEN);
}

// Renders a layout with its top-left corner at a logical point, in the
// text colour; `clip` (logical, optional) limits the pixels drawn.
void RenderLayout(DcObject& dc, TextLayout& text, const ResolvedFont& font, double left, double top,
                  const RECT* clip, POINT rotationCentre) {
  SIZE size = text.Size();
  POINT o = dc.TargetOffset();
  // Aligned lines of a layout with a set width start right of its origin.
  PangoRectangle logical;
  pango_layout_get_pixel_extents(text.Get(), nullptr, &logical);
  RECT bounds{static_cast<LONG>(std::floor(left)) + logical.x + o.x - 2, static_cast<LONG>(std::floor(top)) + o.y - 2,
              static_cast<LONG>(std::ceil(left)) + logical.x + o.x + size.cx + 4,
              static_cast<LONG>(std::ceil(top)) + o.y + size.cy + 4};
  if (font.escapement != 0) {
    int reach = logical.x + size.cx + size.cy + 4;
    POINT c{rotationCentre.x + o.x, rotationCentre.y + o.y};
    bounds = RECT{c.x - reach, c.y - reach, c.x + reach, c.y + reach};
  }
  if (clip) bounds = IntersectRects(bounds, OffsetRectBy(*clip, o));
  bounds = DrawableBounds(dc, bounds);
  if (RectIsEmpty(bounds)) return;
  Mask mask(bounds);
  cairo_t* cr = mask.Begin(o);
  cairo_set_antialias(cr, font.antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  if (font.escapement != 0) {
    cairo_translate(cr, rotationCentre.x, rotationCentre.y);
    cairo_rotate(cr, -font.escapement * M_PI / 180.0);
    cairo_translate(cr, -rotationCentre.x, -rotationCentre.y);
  }
  cairo_move_to(cr, left, top);
  pango_cairo_show_layout(cr, text.Get());
  mask.End();
  TargetAccess access(dc, mask.Bounds());
  if (access.Empty()) return;
  BlendMask(access, mask, PixelFromColor(dc.state.textColor));
}

// Removes '&' prefixes: "&&" is one '&', "&x" underlines x (unless hidden).
std::string StripPrefixes(const std::wstring& text, bool hide, std::vector<std::pair<int, int>>* underlines) {
  std::wstring out;
  std::vector<size_t> marks;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) {
      ++i;
      if (text[i] != L'&') marks.push_back(out.size());
    } else if (text[i] == L'&') {
      continue;
    }
    out += text[i];
  }
  if (!hide) {
    for (size_t m : marks) {
      int start = static_cast<int>(ToUtf8(out.data(), static_cast<int>(m)).size());
      int len = static_cast<int>(ToUtf8(out.data() + m, 1).size());
      underlines->emplace_back(start, start + len);
    }
  }
  return ToUtf8(out.data(), static_cast<int>(out.size()));
}

}  // namespace
}  // namespace vqplatform::gdi

using namespace vqplatform::gdi;

HFONT CreateFontIndirectW(const LOGFONTW* logFont) {
  if (!logFont) return nullptr;
  auto font = std::make_shared<FontObject>();
  font->logFont = *logFont;
  font->logFont.lfFaceName[LF_FACESIZE - 1] = 0;
  return MakeHandle<HFONT>(font);
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR face) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic != 0);
  lf.lfUnderline = static_cast<BYTE>(underline != 0);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (face) wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirectW(&lf);
}

BOOL ExtTextOutW(HDC handle, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT*) {
  auto dc = DcFromHandle(handle);
  if (!dc) return FALSE;
  if ((options & ETO_OPAQUE) && rect) {
    FillTargetColor(*dc, OffsetRectBy(NormalizeRect(*rect), dc->TargetOffset()), dc->state.bkColor);
  }
  if (!text || count == 0) return TRUE;
  const ResolvedFont& font = FontOf(*dc);
  TextLayout layout(font, ToUtf8(text, static_cast<int>(count)));
  SIZE size = layout.Size();
  UINT align = dc->state.textAlign;
  if (align & TA_UPDATECP) {
    x = dc->state.currentPos.x;
    y = dc->state.currentPos.y;
  }
  double left = x;
  if ((align & TA_CENTER) == TA_CENTER) {
    left = x - size.cx / 2;
  } else if (align & TA_RIGHT) {
    left = x - size.cx;
  }
  double top = y;
  if ((align & TA_BASELINE) == TA_BASELINE) {
    top = y - font.ascent;
  } else if (align & TA_BOTTOM) {
    top = y - font.height;
  }
  if (align & TA_UPDATECP) {
    dc->state.currentPos.x = (align & TA_RIGHT) && (align & TA_CENTER) != TA_CENTER ? x - size.cx : x + size.cx;
  }
  const RECT* clip = (options & ETO_CLIPPED) && rect ? rect : nullptr;
  if (dc->state.bkMode == OPAQUE && !(options & ETO_OPAQUE) && font.escapement == 0) {
    RECT box{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(left) + size.cx,
             static_cast<LONG>(top) + size.cy};
    if (clip) box = IntersectRects(box, *clip);
    FillTargetColor(*dc, OffsetRectBy(box, dc->TargetOffset()), dc->state.bkColor);
  }
  // The first baseline lands font.ascent below the top.
  RenderLayout(*dc, layout, font, left, top + font.ascent - layout.Baseline(), clip, POINT{x, y});
  return TRUE;
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
  if (!text || count < 0) return FALSE;
  return ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

int DrawTextW(HDC handle, LPCWSTR text, int count, LPRECT rect, UINT format) {
  auto dc = DcFromHandle(handle);
  if (!dc || !rect || !text) return 0;
  int length = TextLength(text, count);
  std::wstring source(text, size_t(length));
  const bool singleLine = format & DT_SINGLELINE;
  if (singleLine) {
    for (wchar_t& c : source)
      if (c == L'\r' || c == L'\n') c = L' ';
  }
  if (!(format & DT_EXPANDTABS)) {
    for (wchar_t& c : source)
      if (c == L'\t') c = L' ';
  }
  std::vector<std::pair<int, int>> underlines;
  std::string utf8 = (format & DT_NOPREFIX) ? ToUtf8(source.data(), static_cast<int>(source.size()))
                                            : StripPrefixes(source, format & DT_HIDEPREFIX, &underlines);
  const ResolvedFont& font = FontOf(*dc);
  TextLayout layout(font, utf8);
  PangoLayout* pl = layout.Get();
  if (!underlines.empty()) {
    PangoAttrList* attrs = pango_layout_get_attributes(pl);
    attrs = attrs ? pango_attr_list_copy(attrs) : pango_attr_list_new();
    for (auto [start, end] : underlines) {
      PangoAttribute* a = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
      a->start_index = static_cast<guint>(start);
      a->end_index = static_cast<guint>(end);
      pango_attr_list_insert(attrs, a);
    }
    pango_layout_set_attributes(pl, attrs);
    pango_attr_list_unref(attrs);
  }
  RECT r = *rect;
  int width = std::max<LONG>(0, r.right - r.left);
  const bool wrap = (format & DT_WORDBREAK) && !singleLine;
  if (singleLine) pango_layout_set_single_paragraph_mode(pl, TRUE);
  PangoAlignment alignment = (format & DT_CENTER)  ? PANGO_ALIGN_CENTER
                             : (format & DT_RIGHT) ? PANGO_ALIGN_RIGHT
                                                   : PANGO_ALIGN_LEFT;
  pango_layout_set_alignment(pl, alignment);
  if (wrap) {
    pango_layout_set_width(pl, width * PANGO_SCALE);
    pango_layout_set_wrap(pl, PANGO_WRAP_WORD);
  }
  if ((format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) && !(format & DT_CALCRECT)) {
    pango_layout_set_width(pl, width * PANGO_SCALE);
    pango_layout_set_ellipsize(pl, (format & DT_PATH_ELLIPSIS) ? PANGO_ELLIPSIZE_MIDDLE : PANGO_ELLIPSIZE_END);
    if (wrap) pango_layout_set_height(pl, std::max<LONG>(r.bottom - r.top, font.height) * PANGO_SCALE);
  }
  SIZE size = layout.Size();
  if (format & DT_CALCRECT) {
    // Word-broken text takes the width of its widest line, narrower or
    // (for a word longer than the rectangle) wider than the rectangle.
    int calcWidth = wrap ? layout.WidestLine() : size.cx;
    rect->right = rect->left + calcWidth;
    rect->bottom = rect->top + size.cy;
    return size.cy;
  }
  // Horizontal place of the layout box: with a set width pango aligns
  // the lines itself, otherwise the box is placed in the rectangle.
  double left = r.left;
  if (pango_layout_get_width(pl) < 0) {
    if (format & DT_CENTER) left = r.left + (width - size.cx) / 2;
    else if (format & DT_RIGHT) left = r.right - size.cx;
  }
  double top = r.top;
  int result = size.cy;
  if (singleLine && (format & DT_VCENTER)) {
    top = r.top + ((r.bottom - r.top) - size.cy) / 2;
    result = static_cast<int>(top) - r.top + size.cy;
  } else if (singleLine && (format & DT_BOTTOM)) {
    top = r.bottom - size.cy;
    result = static_cast<int>(top) - r.top + size.cy;
  }
  const RECT* clip = (format & DT_NOCLIP) ? nullptr : &r;
  if (dc->state.bkMode == OPAQUE) {
    PangoRectangle logical;
    pango_layout_get_pixel_extents(pl, nullptr, &logical);
    RECT box{static_cast<LONG>(left) + logical.x, static_cast<LONG>(top),
             static_cast<LONG>(left) + logical.x + logical.width, static_cast<LONG>(top) + size.cy};
    if (clip) box = IntersectRects(box, *clip);
    FillTargetColor(*dc, OffsetRectBy(box, dc->TargetOffset()), dc->state.bkColor);
  }
  RenderLayout(*dc, layout, font, left, top + font.ascent - layout.Baseline(), clip,
               POINT{static_cast<LONG>(left), static_cast<LONG>(top)});
  return result;
}

BOOL GetTextExtentPoint32W(HDC handle, LPCWSTR text, int count, SIZE* size) {
  auto dc = DcFromHandle(handle);
  if (!dc || !size || count < 0 || (!text && count > 0)) return FALSE;
  const ResolvedFont& font = FontOf(*dc);
  if (count == 0) {
    *size = SIZE{0, font.height};
    return TRUE;
  }
  TextLayout layout(font, ToUtf8(text, count));
  pango_layout_set_single_paragraph_mode(layout.Get(), TRUE);
  SIZE s = layout.Size();
  *size = SIZE{s.cx, font.height};
  return TRUE;
}

BOOL GetTextMetricsW(HDC handle, TEXTMETRICW* tm) {
  auto dc = DcFromHandle(handle);
  if (!dc || !tm) return FALSE;
  const ResolvedFont& font = FontOf(*dc);
  *tm = TEXTMETRICW{};
  tm->tmHeight = font.height;
  tm->tmAscent = font.ascent;
  tm->tmDescent = font.descent;
  tm->tmInternalLeading = font.internalLeading;
  tm->tmExternalLeading = 0;
  tm->tmAveCharWidth = font.aveCharWidth;
  tm->tmMaxCharWidth = font.maxCharWidth;
  tm->tmWeight = font.logFont.lfWeight <= 0 ? FW_NORMAL : font.logFont.lfWeight;
  tm->tmDigitizedAspectX = 96;
  tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFFFC;
  tm->tmDefaultChar = 0x1F;
  tm->tmBreakChar = 0x20;
  tm->tmItalic = font.logFont.lfItalic;
  tm->tmUnderlined = font.logFont.lfUnderline;
  tm->tmStruckOut = font.logFont.lfStrikeOut;
  tm->tmPitchAndFamily = static_cast<BYTE>(font.logFont.lfPitchAndFamily | 0x06);  // variable pitch, TrueType
  tm->tmCharSet = font.logFont.lfCharSet;
  return TRUE;
}

int GetTextFaceW(HDC handle, int count, LPWSTR face) {
  auto dc = DcFromHandle(handle);
  if (!dc || !dc->state.font) return 0;
  const wchar_t* name = dc->state.font->logFont.lfFaceName;
  int length = static_cast<int>(std::wcslen(name));
  if (!face) return length + 1;
  if (count <= 0) return 0;
  int n = std::min(length, count - 1);
  std::wmemcpy(face, name, size_t(n));
  face[n] = 0;
  return n;
}

namespace vqplatform {

int CountMissingGlyphs(HDC handle, LPCWSTR text, int count) {
  auto dc = gdi::DcFromHandle(handle);
  if (!dc || !text) return -1;
  gdi::TextLayout layout(gdi::FontOf(*dc), gdi::ToUtf8(text, gdi::TextLength(text, count)));
  return pango_layout_get_unknown_glyphs_count(layout.Get());
}

}  // namespace vqplatform
