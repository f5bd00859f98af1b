// The uncompressed TIFF writer and the base's file transfer of the transfer
// buffer, byte for byte; and the size limits of the transfer buffer.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <filesystem>

#include "tests/support/TestEnv.h"
#include "tests/twain/SourceFixture.h"
#include "tests/twain/TransferHost.h"
#include "twain/DSMBinding.h"
#include "twain/TiffWriter.h"
#include "twain/TransferLayout.h"

namespace twaintest {
namespace {

uint32_t U32(const std::string& bytes, size_t at) {
  uint32_t v;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

uint16_t U16(const std::string& bytes, size_t at) {
  uint16_t v;
  std::memcpy(&v, bytes.data() + at, 2);
  return v;
}

// The value of a directory entry of the fixed header (SHORTs in the first
// two bytes).
uint32_t EntryValue(const std::string& file, uint16_t tag) {
  for (int i = 0; i < 12; ++i) {
    const size_t at = 10 + 12 * i;
    if (U16(file, at) == tag) return U16(file, at + 2) == 3 ? U16(file, at + 8) : U32(file, at + 8);
  }
  ADD_FAILURE() << "no tag " << tag;
  return 0;
}

// A source whose file transfer is the base's, fed straight into state 6.
class BaseWriterSource : public ProbeSource {
 public:
  using ProbeSource::ProbeSource;
  TW_INT16 TransferFile() override { return CTWAINDS_Base::TransferFile(); }
  void SetImageInfo(int width, int height, int bits, float dpi) {
    TW_IMAGEINFO info = m_imageInfo;
    info.ImageWidth = width;
    info.ImageLength = height;
    info.BitsPerPixel = static_cast<TW_INT16>(bits);
    info.XResolution = FloatToFix32(dpi);
    info.YResolution = FloatToFix32(dpi);
    m_imageInfo = info;
  }
};

class FileWriters : public SourceFixture {
 protected:
  void Open(std::vector<cv::Mat> pages, TW_UINT16 pixelType, TW_UINT16 format) {
    host = TestHost(7);
    source = std::make_unique<BaseWriterSource>(host.identity);
    ASSERT_EQ(source->Initialize(), TWRC_SUCCESS);
    TW_IDENTITY me = DSIdentity;
    me.Id = 55;
    TW_IDENTITY origin = host.identity;
    ASSERT_EQ(source->DispatchTriplet(&origin, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &me),
              TWRC_SUCCESS);
    TW_CAPABILITY cap{ICAP_PIXELTYPE, TWON_ONEVALUE, OneValue(TWTY_UINT16, pixelType)};
    ASSERT_EQ(source->DispatchTriplet(&origin, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap),
              TWRC_SUCCESS);
    FreeDSMMemory(cap.hContainer);
    TW_SETUPFILEXFER setup{};
    std::strncpy(setup.FileName, path.c_str(), sizeof setup.FileName - 1);
    setup.Format = format;
    ASSERT_EQ(source->DispatchTriplet(&origin, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup),
              TWRC_SUCCESS);
    Script().pages = std::move(pages);
    TW_USERINTERFACE ui{0, 0, nullptr};
    ASSERT_EQ(source->DispatchTriplet(&origin, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui),
              TWRC_SUCCESS);
  }
  TW_UINT16 Transfer() {
    TW_IDENTITY origin = host.identity;
    return source->DispatchTriplet(&origin, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
  }
  void TearDown() override {
    source.reset();
    SourceFixture::TearDown();
  }

  std::string path = vqtest::TempPath("out").string();
  std::unique_ptr<BaseWriterSource> source;
};

TEST_F(FileWriters, ColourTiffHasTheFixedHeaderAndRedFirstPixels) {
  cv::Mat page(2, 3, CV_8UC3, cv::Scalar(10, 20, 30));
  Open({page}, TWPT_RGB, TWFF_TIFF);
  ASSERT_EQ(Transfer(), TWRC_XFERDONE);
  EXPECT_EQ(source->GetState(), 7);
  const std::string file = vqtest::ReadFile(path);
  ASSERT_EQ(file.size(), 174u + 18u);
  EXPECT_EQ(file.substr(0, 4), std::string("II*\0", 4));
  EXPECT_EQ(U32(file, 4), 8u);
  EXPECT_EQ(U16(file, 8), 12);
  EXPECT_EQ(EntryValue(file, 258), 8u) << "BitsPerSample";
  EXPECT_EQ(EntryValue(file, 262), 2u) << "RGB";
  EXPECT_EQ(EntryValue(file, 273), 174u);
  EXPECT_EQ(EntryValue(file, 277), 3u);
  EXPECT_EQ(EntryValue(file, 279), 18u);
  EXPECT_EQ(U32(file, 158), 220u) << "the default 220.05 dpi written whole";
  EXPECT_EQ(U32(file, 162), 1u);
  EXPECT_EQ(static_cast<uint8_t>(file[174]), 30) << "red first";
  EXPECT_EQ(static_cast<uint8_t>(file[176]), 10);

  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(tiff, nullptr) << "libtiff reads the file";
  uint32_t rgba[6];
  ASSERT_EQ(TIFFReadRGBAImageOriented(tiff, 3, 2, rgba, ORIENTATION_TOPLEFT, 0), 1);
  EXPECT_EQ(TIFFGetR(rgba[0]), 30u);
  EXPECT_EQ(TIFFGetB(rgba[0]), 10u);
  TIFFClose(tiff);
}

TEST_F(FileWriters, GreyAndBilevelTiffHeaders) {
  Open({cv::Mat(4, 10, CV_8UC3, cv::Scalar(200, 200, 200))}, TWPT_GRAY, TWFF_TIFF);
  ASSERT_EQ(Transfer(), TWRC_XFERDONE);
  std::string file = vqtest::ReadFile(path);
  EXPECT_EQ(EntryValue(file, 262), 1u);
  EXPECT_EQ(EntryValue(file, 277), 1u);
  EXPECT_EQ(file.size(), 174u + 40u);

  Open({cv::Mat(4, 10, CV_8UC3, cv::Scalar(200, 200, 200))}, TWPT_BW, TWFF_TIFF);
  ASSERT_EQ(Transfer(), TWRC_XFERDONE);
  file = vqtest::ReadFile(path);
  EXPECT_EQ(EntryValue(file, 258), 1u);
  EXPECT_EQ(file.size(), 174u + 8u) << "two bytes a row";
}

TEST_F(FileWriters, BmpOffsetsFollowTheDepth) {
  for (auto [pixelType, offset] :
       {std::pair{TWPT_BW, 62u}, std::pair{TWPT_GRAY, 1078u}, std::pair{TWPT_RGB, 54u}}) {
    Open({GreyRamp(13, 3)}, pixelType, TWFF_BMP);
    ASSERT_EQ(Transfer(), TWRC_XFERDONE);
    const std::string file = vqtest::ReadFile(path);
    EXPECT_EQ(U32(file, 10), offset);
    EXPECT_EQ(U32(file, 2), file.size());
  }
}

TEST_F(FileWriters, WriterRefusesDataBeforeItsHeader) {
  CTiffWriter writer(path, 1, 1, 8, 1);
  EXPECT_FALSE(writer.WriteData("x", 1));
  writer.SetXResolution(200, 1);
  EXPECT_TRUE(writer.WriteHeader());
  EXPECT_TRUE(writer.WriteData("x", 1));
  EXPECT_EQ(CTiffWriter::GetHeaderSize(), 174);
}

TEST_F(FileWriters, AFailedFileLeavesNothingBehind) {
  vqtest::WriteFile(vqtest::TempPath("file"), "x");
  path = vqtest::TempPath("file").string() + "/page.tif";
  Open({GreyRamp(8, 8)}, TWPT_RGB, TWFF_TIFF);
  EXPECT_EQ(Transfer(), TWRC_FAILURE);
  EXPECT_EQ(source->GetState(), 6);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(WriteUncompressedTiff(path, GreyRamp(8, 8), 100, 100));
}

TEST_F(FileWriters, HugeImagesAreRefusedBeforeAnyAllocation) {
  EXPECT_EQ(CompactRowBytes(24, 100000), 300000u);
  EXPECT_EQ(AlignedRowBytes(1, 2550), 320u);
  EXPECT_EQ(DibBytes(24, 70000, 70000), 40u + 210000ull * 70000);
  EXPECT_GT(DibBytes(24, 70000, 70000), uint64_t{UINT32_MAX}) << "no 32-bit wrap";

  Open({GreyRamp(8, 8)}, TWPT_RGB, TWFF_BMP);
  TestManager::ResetMemoryCounts();
  source->SetImageInfo(70000, 70000, 24, 200);
  TW_IDENTITY origin = host.identity;
  TW_HANDLE dib = nullptr;
  EXPECT_EQ(source->DispatchTriplet(&origin, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib),
            TWRC_FAILURE);
  EXPECT_EQ(source->GetConditionCode(), TWCC_LOWMEMORY);
  EXPECT_EQ(dib, nullptr);
  EXPECT_EQ(TestManager::Memory().allocations, 0);
}

}  // namespace
}  // namespace twaintest
