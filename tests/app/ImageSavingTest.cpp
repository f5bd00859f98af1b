#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/BarcodeNames.h"
#include "app/ImageOutput.h"
#include "platform/win/MessageBox.h"
#include "tests/app/OutputTestSupport.h"
#include "tests/support/Files.h"
#include "tests/support/TestEnv.h"

namespace fs = std::filesystem;
using outputtest::PlainSettings;
using outputtest::RenderQr;
using outputtest::TextPage;

namespace {

// Saves pages and keeps the message boxes shown while saving.
struct Saver {
  explicit Saver(const CSysSettings& s, int language = 2) : output(language) {
    output.SetSettings(s);
    // Answered without showing anything, also where a display is there.
    vqplatform::SetMessageBoxAnswer([](const vqplatform::MessageBoxRecord& box) {
      return vqplatform::DefaultMessageBoxAnswer(box.type);
    });
  }
  ~Saver() { vqplatform::SetMessageBoxAnswer(nullptr); }
  std::vector<std::string> Save(const std::vector<cv::Mat>& pages, const std::string& base) {
    vqplatform::ClearMessageBoxLog();
    std::vector<CString> saved;
    EXPECT_EQ(output.SaveImages(pages, CString(base.c_str()), &saved), 0);
    for (const auto& box : vqplatform::MessageBoxLog()) {
      EXPECT_EQ(box.owner, nullptr);
      EXPECT_EQ(box.caption, L"");
      messages.emplace_back(box.text, box.type & MB_ICONMASK);
    }
    std::vector<std::string> names;
    for (const CString& p : saved) names.push_back(p.ToUtf8());
    return names;
  }
  CImageOutput output;
  std::vector<std::pair<std::wstring, UINT>> messages;
};

std::string Base(const std::string& name) { return vqtest::TempPath(name).string(); }

// JFIF density units 1 (dpi) and the x density.
int JfifDpi(const std::string& bytes) {
  if (bytes.size() < 20 || bytes.compare(6, 4, "JFIF") != 0) return -1;
  if (static_cast<unsigned char>(bytes[13]) != 1) return -1;
  return (static_cast<unsigned char>(bytes[14]) << 8) | static_cast<unsigned char>(bytes[15]);
}

int TiffCompression(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return -1;
  uint16_t compression = 0;
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFClose(tif);
  return compression;
}

}  // namespace

TEST(SaveImages, EveryFormatAndColourModeGivesTheSpecifiedFiles) {
  const cv::Mat colour = TextPage({300, 200});
  struct Case {
    int format, colorMode;
    const char* extension;
    int tiffCompression;  // -1: not a TIFF, -2: a TIFF of any other compression
    bool jpegData;
  };
  const Case cases[] = {
      {0, 0, ".jpg", -1, true},  {0, 1, ".jpg", -1, true},   {0, 2, ".tif", COMPRESSION_CCITTFAX4, false},
      {1, 0, ".BMP", -1, false}, {1, 2, ".BMP", -1, false},  {2, 2, ".jpg", -1, true},
      {3, 1, ".PNG", -1, false}, {4, 0, ".TIF", -2, false},  {4, 2, ".tif", COMPRESSION_CCITTFAX4, false},
      {5, 0, ".GIF", -1, true},  {5, 2, ".GIF", -1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.format) + "/" + std::to_string(c.colorMode));
    const fs::path folder = vqtest::TempPath("f" + std::to_string(c.format) + "c" + std::to_string(c.colorMode));
    fs::create_directory(folder);
    CSysSettings s = PlainSettings();
    s.imgFormat = c.format;
    s.colorMode = c.colorMode;
    s.xDpi = s.yDpi = 300;
    CImageOutput processor(2);
    processor.SetSettings(s);
    cv::Mat page;
    processor.ProcessImage(page, colour);

    Saver saver(s);
    const std::string base = (folder / "IMG00007").string();
    const auto one = saver.Save({page}, base);
    ASSERT_EQ(one, std::vector<std::string>{base + c.extension});
    const auto three = saver.Save({page, page, page}, (folder / "MULTI").string());
    ASSERT_EQ(three.size(), 3u);
    // Another writer made a file under the chosen name after it was chosen:
    // it is kept, and the page is listed under the name it took instead.
    const fs::path late = folder / (std::string("页面") + c.extension);
    ASSERT_TRUE(vqtest::WriteFile(late, "another writer's"));
    EXPECT_EQ(saver.Save({page}, (folder / "页面").string()),
              std::vector<std::string>{(folder / (std::string("页面_1") + c.extension)).string()});
    EXPECT_EQ(vqtest::ReadFile(late), "another writer's");
    EXPECT_EQ(vqtest::NamesIn(folder), (std::vector<std::string>{std::string("IMG00007") + c.extension,
                                                      std::string("MULTI_00") + c.extension,
                                                      std::string("MULTI_01") + c.extension,
                                                      std::string("MULTI_02") + c.extension,
                                                      std::string("页面") + c.extension,
                                                      std::string("页面_1") + c.extension}));
    const std::string bytes = vqtest::ReadFile(one[0]);
    if (c.jpegData) {
      ASSERT_GE(bytes.size(), 2u);
      EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8");
      EXPECT_EQ(JfifDpi(bytes), 300);
    }
    if (c.tiffCompression >= 0) {
      EXPECT_EQ(TiffCompression(one[0]), c.tiffCompression);
    } else if (c.tiffCompression == -2) {  // a TIFF, not bilevel
      EXPECT_GT(TiffCompression(one[0]), 0);
      EXPECT_NE(TiffCompression(one[0]), COMPRESSION_CCITTFAX4);
    }
    const cv::Mat back = cv::imread(one[0], cv::IMREAD_UNCHANGED);
    ASSERT_FALSE(back.empty());
    // G4 pages are stored a multiple of 8 pixels wide, the extra columns white.
    const int width = c.tiffCompression == COMPRESSION_CCITTFAX4 ? (page.cols + 7) / 8 * 8 : page.cols;
    EXPECT_EQ(back.size(), cv::Size(width, page.rows));
    if (c.colorMode == 2) {  // black-and-white pages keep dark text dark
      cv::Mat grey = back;
      if (grey.channels() == 3) cv::cvtColor(grey, grey, cv::COLOR_BGR2GRAY);
      EXPECT_LT(grey.at<uchar>(45, 150), 125);
      EXPECT_GT(grey.at<uchar>(20, 20), 125);
    }
  }
}

TEST(SaveImages, PathsThatCannotBeWrittenAreNotListed) {
  // A missing folder fails for every writer, also as root.
  for (int format = 0; format <= 5; ++format) {
    for (int colorMode : {0, 2}) {
      CSysSettings s = PlainSettings();
      s.imgFormat = format;
      s.colorMode = colorMode;
      Saver saver(s);
      cv::Mat page(50, 50, CV_8UC3, cv::Scalar::all(255));
      EXPECT_TRUE(saver.Save({page}, Base("missing/x")).empty()) << format << "/" << colorMode;
    }
  }
  EXPECT_FALSE(fs::exists(vqtest::TempPath("missing")));
}

TEST(Barcodes, CodeNamesTheCapture) {
  const cv::Mat page = TextPage({500, 400}, RenderQr("ABC123"), {20, 150});
  CSysSettings s = PlainSettings();
  s.recognize = 1;
  Saver saver(s);
  const auto saved = saver.Save({page}, Base("IMG00001"));
  EXPECT_EQ(saved, std::vector<std::string>{Base("ABC123.jpg")});
  EXPECT_TRUE(saver.messages.empty());
  EXPECT_FALSE(fs::exists(Base("ABC123.txt")));  // the name probe is gone
  EXPECT_FALSE(fs::exists(Base("IMG00001.jpg")));

  // A second capture of the same code keeps the first; an existing ABC123.txt survives.
  vqtest::WriteFile(vqtest::TempPath("ABC123.txt"), "earlier codes");
  const auto again = saver.Save({page, page}, Base("IMG00002"));
  EXPECT_EQ(again, (std::vector<std::string>{Base("ABC123_00.jpg"), Base("ABC123_01.jpg")}));
  const auto third = saver.Save({page}, Base("IMG00003"));
  EXPECT_EQ(third, std::vector<std::string>{Base("ABC123(1).jpg")});
  EXPECT_EQ(vqtest::ReadFile(vqtest::TempPath("ABC123.txt")), "earlier codes");

}

TEST(Barcodes, ChineseCodeNamesTheCaptureInAChineseFolder) {
  const fs::path folder = vqtest::TempPath("扫描");
  fs::create_directories(folder);
  vqtest::WriteFile(folder / "发票-7731.jpg", "an earlier page");
  CSysSettings s = PlainSettings();
  s.recognize = 1;
  Saver saver(s);
  const auto saved = saver.Save({TextPage({500, 400}, RenderQr("发票-7731", 5, 26), {20, 150})}, (folder / "合同00001").string());
  EXPECT_EQ(saved, std::vector<std::string>{(folder / "发票-7731(1).jpg").string()});
  EXPECT_TRUE(saver.messages.empty());
  EXPECT_EQ(vqtest::NamesIn(folder), (std::vector<std::string>{"发票-7731(1).jpg", "发票-7731.jpg"}));
}

TEST(Barcodes, HostileCodeTextsNeverChooseThePath) {
  const char* hostile[] = {"a/b", "../../escape", "..", "x\\y", "bad\x01name", "what?", "a:b", "tab\there",
                           " lead", "end."};
  for (const char* code : hostile) {
    SCOPED_TRACE(code);
    const fs::path folder = vqtest::TempPath("h" + std::to_string(std::hash<std::string>{}(code)));
    fs::create_directories(folder);
    const cv::Mat qr = RenderQr(code);
    ASSERT_FALSE(qr.empty());
    CSysSettings s = PlainSettings();
    s.recognize = 1;
    Saver saver(s);
    const auto saved = saver.Save({TextPage({500, 400}, qr, {20, 150})}, (folder / "IMG00009").string());
    EXPECT_EQ(saved, std::vector<std::string>{(folder / "IMG00009.jpg").string()});
    ASSERT_EQ(saver.messages.size(), 1u);
    EXPECT_EQ(saver.messages[0].second, UINT(MB_ICONERROR));
    EXPECT_EQ(CString(saver.messages[0].first.c_str()),
              CString("Barcode/QR-code contains special characters so that can not be used as file name"));
    EXPECT_EQ(vqtest::NamesIn(folder), std::vector<std::string>{"IMG00009.jpg"});
  }
  EXPECT_FALSE(fs::exists(vqtest::TempDir().parent_path() / "escape.jpg"));
}

TEST(Barcodes, NoCodeFoundSavesUnderTheNormalName) {
  CSysSettings s = PlainSettings();
  s.recognize = 1;
  Saver saver(s, 0);
  EXPECT_EQ(saver.Save({TextPage({300, 200})}, Base("IMG00005")), std::vector<std::string>{Base("IMG00005.jpg")});
  ASSERT_EQ(saver.messages.size(), 1u);
  EXPECT_EQ(CString(saver.messages[0].first.c_str()), CString("没有识别出条形码/二维码"));
  EXPECT_EQ(saver.messages[0].second, 0u);
}

TEST(Barcodes, CodesToTextFileAreValidEscapedJson) {
  cv::Mat page = TextPage({900, 500}, RenderQr("first \"quoted\" \\ path"), {20, 50});
  const cv::Mat second = RenderQr("line\nbreak");
  second.copyTo(page(cv::Rect(cv::Point(500, 50), second.size())));
  CSysSettings s = PlainSettings();
  s.recognize = 1;
  s.barcodeToFile = 1;
  Saver saver(s);
  vqtest::WriteFile(vqtest::TempPath("IMG00007.txt"), "stale");
  EXPECT_EQ(saver.Save({page, TextPage({300, 300}, RenderQr("p2"), {20, 20})}, Base("IMG00007")),
            (std::vector<std::string>{Base("IMG00007_00.jpg"), Base("IMG00007_01.jpg")}));
  const std::string json = vqtest::ReadFile(vqtest::TempPath("IMG00007.txt"));
  // ZBar's order within a page is its own; the page order holds.
  const std::string a = "{\"QR-Code\":\"first \\\"quoted\\\" \\\\ path\"}";
  const std::string b = "{\"QR-Code\":\"line\\nbreak\"}";
  const std::string c = "{\"QR-Code\":\"p2\"}";
  EXPECT_TRUE(json == "{\"Code\":[" + a + "," + b + "," + c + "]}" ||
              json == "{\"Code\":[" + b + "," + a + "," + c + "]}")
      << json;
  ASSERT_EQ(saver.messages.size(), 1u);
  EXPECT_EQ(CString(saver.messages[0].first.c_str()),
            CString(("Barcode/QR-code saved in " + Base("IMG00007") + ".txt !").c_str()));
  EXPECT_EQ(saver.messages[0].second, UINT(MB_ICONINFORMATION));

  std::string text;
  EXPECT_FALSE(BarcodesToJson({}, &text));
  ASSERT_TRUE(BarcodesToJson({"QR-Code", "abc"}, &text));
  EXPECT_EQ(text, "{\"Code\":[{\"QR-Code\":\"abc\"}]}");
  ASSERT_TRUE(BarcodesToJson({"T", std::string("\x01\x1f", 2)}, &text));
  EXPECT_EQ(text, "{\"Code\":[{\"T\":\"\\u0001\\u001f\"}]}");
}

TEST(Barcodes, MergeAndCollectingModesKeepOnlyUsableTexts) {
  cv::Mat page = TextPage({900, 400}, RenderQr("good-name"), {20, 100});
  const cv::Mat bad = RenderQr("bad|name");
  bad.copyTo(page(cv::Rect(cv::Point(450, 100), bad.size())));
  for (int mode = 0; mode < 2; ++mode) {
    CSysSettings s = PlainSettings();
    s.recognize = 1;
    if (mode == 0) {
      s.merge = 1;
    } else {
      s.pdfOrTif = 2;
    }
    Saver saver(s);
    EXPECT_EQ(saver.Save({page}, Base("W" + std::to_string(mode))),
              std::vector<std::string>{Base("W" + std::to_string(mode) + ".jpg")});
    EXPECT_EQ(saver.output.barcodeTexts, std::vector<std::string>{"good-name"});
    EXPECT_TRUE(saver.messages.empty());
  }
  EXPECT_TRUE(IsUsableBarcodeName("发票 12"));
  EXPECT_FALSE(IsUsableBarcodeName(""));
  EXPECT_FALSE(IsUsableBarcodeName(std::string(201, 'a')));
  EXPECT_FALSE(IsUsableBarcodeName("\xff\xfe"));
  EXPECT_FALSE(IsUsableBarcodeName("a\"b"));
}

TEST(MergeFiles, StackedSideBySideAndModes) {
  const std::string first = Base("a.png"), second = Base("b.png");
  ASSERT_TRUE(cv::imwrite(first, cv::Mat(50, 100, CV_8UC3, cv::Scalar(0, 0, 0))));
  ASSERT_TRUE(cv::imwrite(second, cv::Mat(60, 80, CV_8UC3, cv::Scalar(0, 0, 0))));
  CSysSettings s = PlainSettings();
  CImageOutput output(2);
  output.SetSettings(s);
  CString out;
  output.MergeFiles(out, first.c_str(), second.c_str(), Base("stacked").c_str(), true, 0);
  ASSERT_EQ(out.ToUtf8(), Base("stacked.jpg"));
  cv::Mat merged = cv::imread(out.ToUtf8());
  EXPECT_EQ(merged.size(), cv::Size(100, 110));
  EXPECT_GT(merged.at<cv::Vec3b>(105, 95)[0], 200);  // white beside the second image
  EXPECT_LT(merged.at<cv::Vec3b>(105, 40)[0], 60);

  output.MergeFiles(out, first.c_str(), second.c_str(), Base("side").c_str(), false, -5);
  merged = cv::imread(out.ToUtf8());
  EXPECT_EQ(merged.size(), cv::Size(180, 60));

  s.colorMode = 2;
  output.SetSettings(s);
  output.MergeFiles(out, first.c_str(), second.c_str(), Base("bw").c_str(), false, 10);
  ASSERT_EQ(out.ToUtf8(), Base("bw.tif"));
  EXPECT_EQ(TiffCompression(out.ToUtf8()), COMPRESSION_CCITTFAX4);
  merged = cv::imread(out.ToUtf8(), cv::IMREAD_GRAYSCALE);
  ASSERT_EQ(merged.size(), cv::Size(192, 60));  // G4 width: a multiple of 8
  EXPECT_LT(merged.at<uchar>(10, 10), 125);   // black stays black
  EXPECT_GT(merged.at<uchar>(10, 105), 125);  // the white gap

  output.MergeFiles(out, first.c_str(), Base("none.png").c_str(), Base("x").c_str(), true, 0);
  EXPECT_TRUE(out.IsEmpty());
  output.MergeFiles(out, CString(), second.c_str(), Base("x").c_str(), true, 0);
  EXPECT_TRUE(out.IsEmpty());
}
