#pragma once
// Fonts and text over pango and fontconfig. An HFONT is a description (a
// LOGFONT); it is resolved per thread, each thread with its own pango font
// map. Dialog face names map to WenQuanYi Micro Hei (Chinese and Latin),
// "Arial" to Liberation Sans. LOGFONT heights: negative is the character
// (em) height in pixels, positive the cell height, zero a default.
#include <string>

#include "platform/win/GdiTypes.h"

HFONT CreateFontIndirectW(const LOGFONTW* logFont);
inline HFONT CreateFontIndirect(const LOGFONTW* logFont) { return CreateFontIndirectW(logFont); }
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR face);
inline HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                        DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                        DWORD quality, DWORD pitchAndFamily, LPCWSTR face) {
  return CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                     outPrecision, clipPrecision, quality, pitchAndFamily, face);
}

// `count` -1: up to the terminating zero (DrawText only; TextOut needs it).
BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count);
inline BOOL TextOut(HDC dc, int x, int y, LPCWSTR text, int count) { return TextOutW(dc, x, y, text, count); }

#define ETO_OPAQUE 0x0002
#define ETO_CLIPPED 0x0004
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx);
inline BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                       const INT* dx) {
  return ExtTextOutW(dc, x, y, options, rect, text, count, dx);
}

// Returns the text height (with DT_VCENTER/DT_BOTTOM the offset of the
// text's bottom from rect->top); DT_CALCRECT measures into *rect only.
int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format);
inline int DrawText(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
  return DrawTextW(dc, text, count, rect, format);
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);
inline BOOL GetTextExtentPoint32(HDC dc, LPCWSTR text, int count, SIZE* size) {
  return GetTextExtentPoint32W(dc, text, count, size);
}
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);
inline BOOL GetTextMetrics(HDC dc, TEXTMETRICW* metrics) { return GetTextMetricsW(dc, metrics); }
int GetTextFaceW(HDC dc, int count, LPWSTR face);

namespace vqplatform {
// The fontconfig family a face name resolves to.
std::string MapFaceName(const wchar_t* face);
// Characters of the text that the resolved font has no glyph for (0 means
// every character renders as a glyph); -1 for a bad DC.
int CountMissingGlyphs(HDC dc, LPCWSTR text, int count);
}  // namespace vqplatform
