#pragma once
// Writes branding data files in the format CBrandingData reads (see
// BrandingData.h). Used by the build-time tool that makes the default
// "data.dat" and by tests.
#include <cstdint>
#include <string>
#include <vector>

struct BrandingPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;  // height rows of 3 * width bytes, top row first
};

struct BrandingContent {
  // How much of the file is written: up to the camera list, up to the label
  // switch, or everything.
  enum class Ending { AfterCameraList, AfterLabelSwitch, Complete };

  BrandingPicture logo;
  std::string link;     // bytes in the ANSI code page (UTF-8)
  BrandingPicture splash;  // height 0: no splash
  std::string cameraList;  // entries separated by ';'
  bool showLabel = true;
  std::string reserved;
  std::string title;
  std::string label;
  Ending ending = Ending::Complete;
};

// The file's bytes. `seed` varies the scrambling of the string records.
std::string EncodeBrandingData(const BrandingContent& content, uint32_t seed = 1);

// One string record of `text`.
std::string EncodeScrambledString(const std::string& text, uint32_t& seed);

// Writes the bytes to a file; false on failure.
bool WriteBrandingDataFile(const std::string& path, const std::string& bytes);
