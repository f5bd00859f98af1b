// From a synthetic capture and a settings record to the files on disk: every
// crop mode with every colour mode, for the formats whose files depend on it.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <filesystem>

#include <opencv2/imgcodecs.hpp>

#include "app/ImageOutput.h"
#include "tests/app/OutputTestSupport.h"
#include "tests/support/Files.h"
#include "tests/support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

// The x density of a JFIF header in dots per inch, or -1.
int JfifDensity(const std::string& bytes) {
  if (bytes.size() < 16 || bytes.compare(6, 4, "JFIF") != 0 || bytes[13] != 1) return -1;
  return (static_cast<unsigned char>(bytes[14]) << 8) | static_cast<unsigned char>(bytes[15]);
}

int TiffXResolution(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return -1;
  float x = -1;
  TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x);
  TIFFClose(tif);
  return static_cast<int>(x + 0.5f);
}

struct CropCase {
  const char* name;
  int cutPageType;
  bool multi;
  size_t pages;
};

}  // namespace

TEST(CaptureFiles, EveryCropAndColourModeGivesTheExactFiles) {
  const cv::Mat frame = outputtest::DeskWithSheets(3, {960, 720});
  const CropCase crops[] = {
      {"whole", 0, false, 1}, {"single", 1, false, 1}, {"multi", 1, true, 3}, {"selection", 2, false, 1}};
  for (const CropCase& crop : crops) {
    for (int colorMode = 0; colorMode < 3; ++colorMode) {
      for (int format : {0, 4, 5}) {
        SCOPED_TRACE(std::string(crop.name) + " colour " + std::to_string(colorMode) + " format " +
                     std::to_string(format));
        CSysSettings s = outputtest::PlainSettings();
        s.cutPageType = crop.cutPageType;
        s.multiCutPage = crop.multi;
        s.colorMode = colorMode;
        s.imgFormat = format;
        s.xDpi = 215;
        s.yDpi = 215;
        const int selection[4] = {100, 50, 500, 350};
        std::copy(selection, selection + 4, s.cropRect);
        s.customMark = 1;
        s.markName = L"VQ";
        s.markSize = 24;
        s.markPosition = 3;
        s.markTransparency = 0;

        CImageOutput output(2);
        output.SetSettings(s);
        std::vector<cv::Mat> pages;
        ASSERT_EQ(output.ProcessFrame(frame, &pages), 0);
        ASSERT_EQ(pages.size(), crop.pages);
        if (crop.cutPageType == 2) {
          EXPECT_EQ(pages[0].size(), cv::Size(400, 300));
        }

        const fs::path folder = vqtest::TempPath(std::string(crop.name) + std::to_string(colorMode) + "_" +
                                                 std::to_string(format));
        fs::create_directory(folder);
        std::vector<CString> saved;
        output.SaveImages(pages, CString((folder / "IMG00042").string().c_str()), &saved);

        const char* extension = format == 5 ? ".GIF" : colorMode == 2 ? ".tif" : format == 4 ? ".TIF" : ".jpg";
        std::vector<std::string> expected;
        for (size_t i = 0; i < crop.pages; ++i) {
          std::string name = "IMG00042";
          if (crop.pages > 1) name += "_0" + std::to_string(i);
          expected.push_back(name + extension);
        }
        EXPECT_EQ(vqtest::NamesIn(folder), expected);
        ASSERT_EQ(saved.size(), crop.pages);
        for (size_t i = 0; i < saved.size(); ++i) {
          const cv::Mat back = cv::imread(saved[i].ToUtf8(), cv::IMREAD_UNCHANGED);
          ASSERT_FALSE(back.empty());
          EXPECT_EQ(back.rows, pages[i].rows);
          EXPECT_EQ(back.channels(), colorMode == 0 ? 3 : 1);
          const std::string path = saved[i].ToUtf8();
          if (colorMode == 2 && format != 5) {
            EXPECT_EQ(TiffXResolution(path), 215);
          } else if (format != 4) {
            EXPECT_EQ(JfifDensity(vqtest::ReadFile(path)), 215);
          }
        }
      }
    }
  }
}
