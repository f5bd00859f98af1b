#pragma once
// The ranges the values of the settings record are kept in. Sys.ini is a
// file users edit, keep across upgrades and copy between machines: Load
// brings every value it reads into these ranges before anything uses it,
// and the settings pages and the prefix editor keep to the same limits.
#include <span>
#include <string>

#include "platform/mfc/CString.h"

class CSysSettings;

// Resolution written into saved images, dots per inch; -1 is "not
// configured" until start-up fills it from the camera.
inline constexpr int kMinDpi = 1;
inline constexpr int kMaxDpi = 400;
// The resolution of a document camera that no model row lists.
inline constexpr int kUnlistedCameraDpi = 200;
// A side of a capture size; -1 is "not configured". Start-up then keeps a
// configured size only when the camera offers it.
inline constexpr int kMaxCaptureSide = 16384;
// Trim margins cut from each side of the frame, and the corners of the
// selection rectangles, in pixels (selection corners may lie left of or
// above the picture by as much).
inline constexpr int kMaxMargin = kMaxCaptureSide;
inline constexpr int kMaxSelectionCoordinate = kMaxCaptureSide;
inline constexpr int kMaxJpegQuality = 100;
inline constexpr int kMinNoiseSize = 1;
inline constexpr int kMaxNoiseSize = 20;
// Exposure values are the camera's own units (log2 seconds on most, plain
// steps on some); the camera's range applies once it is open.
inline constexpr int kMaxExposureMagnitude = 1000000;
// Watermark text height in pixels, its transparency in percent, and its
// colour as 0x00BBGGRR.
inline constexpr int kMaxWatermarkSize = 1000;
inline constexpr int kMaxTransparency = 100;
inline constexpr int kMaxColor = 0xFFFFFF;
// A file-name prefix, in characters: with the widest counter, a page
// suffix, a "_n" of a taken name and the longest extension, the name stays
// within the 255 bytes a file name may have in UTF-8.
inline constexpr int kMaxPrefixLength = 50;

// One number of the settings record and its range: the one table that
// Load reads the plain numbers of Sys.ini by, that brings every value into
// its range and that checks the record.
struct SettingRange {
  const char* name;  // the field, for messages
  // Where Sys.ini keeps it, and its value when the key is empty; no key
  // for a number read by a text rule of its own or kept in a pair.
  const wchar_t* section;
  const wchar_t* key;
  int whenEmpty;
  int low, high;
  int step;  // only low, low + step, ... are in range
  // Outside the range: the nearest bound, or `replacement` (which counts
  // as in range: -1 is "not configured").
  bool clamp;
  int replacement;
  int CSysSettings::*field;
  int (CSysSettings::*corners)[4];  // a selection rectangle's, instead of `field`
  int corner;
};

// Every row.
std::span<const SettingRange> SettingRanges();
int& SettingValue(CSysSettings& settings, const SettingRange& range);
int SettingValue(const CSysSettings& settings, const SettingRange& range);

// Brings every value Load read into its range: the table's numbers,
// prefixes to usable ones, and merging and collecting pages to one of the
// two.
void BringIntoRange(CSysSettings& settings);

// The first value of the record outside its range, as "field=value"; empty
// when every value is within its range.
std::string FirstValueOutOfRange(const CSysSettings& settings);

// The counter after `index`: one more, and 0 again after the largest.
int NextImageIndex(int index);

// Whether a prefix can start a file name in the image folder: not empty,
// at most kMaxPrefixLength characters, no character a file name may not
// hold (path separators included) and no "..".
enum class PrefixFault { kNone, kEmpty, kForbiddenCharacter, kDotDot, kTooLong };
PrefixFault CheckPrefix(const CString& prefix);

// A prefix read from Sys.ini made usable: cut to kMaxPrefixLength, or
// `fallback` when it stays unusable.
CString UsablePrefix(const CString& prefix, const wchar_t* fallback);
// A prefix list with its unusable prefixes left out (long ones cut), or
// `fallback` when none is left.
CString UsablePrefixList(const CString& list, const wchar_t* fallback);
