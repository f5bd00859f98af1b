#pragma once
// The branding data of one delivery, read from "data.dat" in the program
// folder: logo and splash pictures, the logo's link, the camera pairs the
// program works with, the window title and the label under the preview.
//
// data.dat (integers 32-bit little-endian, signed; no header):
//   1  logo height H1, width W1
//   2  H1 rows, top row first, each (3 * W1 + 3) & ~3 bytes of blue, green,
//      red pixels and padding
//   3  link record
//   4  splash height H2 (0: no splash, 5 and 6 absent)
//   5  splash width W2
//   6  H2 splash rows like 2
//   7  camera-list record: entries separated by ';'
//   8  label switch: two bytes (label shown when they differ), two unused
//   9  reserved record
//   10 title record (at most 255 bytes)
//   11 label record (at most 255 bytes)
// The file may end after 7, 8, 9 or 10. A string record is a count n, then
// n values A and n values B; byte i of the text is (B[i] - A[i]) & 0xFF.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mfc/CImage.h"
#include "platform/mfc/CString.h"

class CBrandingData {
 public:
  CBrandingData() = default;
  ~CBrandingData() = default;
  CBrandingData(const CBrandingData&) = delete;
  CBrandingData& operator=(const CBrandingData&) = delete;

  // 0 when read; -1 when the path is missing, the file cannot be read (not
  // a regular file, more than 16 MB: it is opened without blocking), or a
  // field runs past the end of the file or out of range (nothing changed,
  // loadFailure says why).
  int Load(const wchar_t* path);
  // The same for the file's bytes.
  int Parse(std::string_view file);

  // Reads the string record at `position` of `file`; the position after it,
  // or nullopt when the record runs past the end.
  static std::optional<size_t> ReadScrambledString(std::string_view file, size_t position,
                                                   std::string& text);

  // The path and why the last Load failed; empty after one that read.
  std::string loadFailure;

  CString linkTarget;
  CImage logoImage;    // 24 bits per pixel
  CImage splashImage;  // 24 bits per pixel; empty: no splash window
  // The chosen pair: [0] portrait product id, [1] portrait vendor id,
  // [2] document product id, [3] document vendor id.
  std::vector<CString> selectedCameraIds;
  // Entries of 16 characters: document vendor and product id, portrait
  // vendor and product id.
  std::vector<CString> cameraList;
  int showLabel = 1;
  CString windowTitle;
  CString labelText;
};

// The camera-list text cut at every ';': a trailing empty piece is dropped.
std::vector<CString> SplitCameraList(const CString& text);
