// Files the programs read, of every shape a user's folder can hold under
// the name: the bounded reader refuses what is not a regular file within
// its bound without blocking, and the INI files read through it give their
// defaults and are not written over.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "base/BoundedFile.h"
#include "base/PathEncoding.h"
#include "platform/win/PrivateProfile.h"
#include "platform/win/ProfileFiles.h"
#include "tests/support/TestEnv.h"

namespace {

namespace fs = std::filesystem;

enum class Shape { kFile, kFifo, kZeroLink, kSparse, kFolder, kDangling };

struct ShapeCase {
  const char* what;
  Shape shape;
  vq::FileRefusal refusal;
};

// Makes the shape under `path`; the sparse file is twice the INI bound.
void Make(const fs::path& path, Shape shape) {
  switch (shape) {
    case Shape::kFile: ASSERT_TRUE(vqtest::WriteFile(path, "[FILE]\nPREFIX=ABC\n")); break;
    case Shape::kFifo: ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); break;
    case Shape::kZeroLink: fs::create_symlink("/dev/zero", path); break;
    case Shape::kSparse:
      ASSERT_TRUE(vqtest::WriteFile(path, "[FILE]\nPREFIX=ABC\n"));
      fs::resize_file(path, 2 * vq::kMaxProfileFileBytes);
      break;
    case Shape::kFolder: fs::create_directories(path); break;
    case Shape::kDangling: fs::create_symlink("无处", path); break;
  }
}

class BoundedFile : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(BoundedFile, ReadsOnlyARegularFileWithinTheBound) {
  const ShapeCase& c = GetParam();
  const fs::path path = vqtest::TempPath("设置 文件.ini");
  Make(path, c.shape);
  std::string bytes = "left over";
  int error = -1;
  EXPECT_EQ(vq::ReadBoundedFile(path.string(), vq::kMaxProfileFileBytes, &bytes, &error), c.refusal);
  EXPECT_EQ(bytes, c.refusal == vq::FileRefusal::kNone ? "[FILE]\nPREFIX=ABC\n" : "");
  EXPECT_FALSE(vq::RefusalText(c.refusal, vq::kMaxProfileFileBytes, error).empty());
  const vq::BoundedOpen opened = vq::OpenBoundedFile(path.string(), vq::kMaxProfileFileBytes);
  EXPECT_EQ(opened.refusal, c.refusal);
  if (opened) close(opened.fd);

  // Through the INI reader: the default, and nothing written over the file.
  const std::wstring name = vq::PathFromBytes(path.string());
  wchar_t value[64];
  GetPrivateProfileStringW(L"FILE", L"PREFIX", L"IMG", value, 64, name.c_str());
  EXPECT_EQ(std::wstring(value), c.refusal == vq::FileRefusal::kNone ? L"ABC" : L"IMG");
  const bool written = WritePrivateProfileStringW(L"FILE", L"PREFIX", L"XYZ", name.c_str());
  if (c.shape != Shape::kDangling) {
    EXPECT_EQ(written, c.refusal == vq::FileRefusal::kNone);
  }
  if (c.shape == Shape::kSparse) {
    EXPECT_EQ(fs::file_size(path), 2 * vq::kMaxProfileFileBytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, BoundedFile,
    ::testing::Values(ShapeCase{"file", Shape::kFile, vq::FileRefusal::kNone},
                      ShapeCase{"fifo", Shape::kFifo, vq::FileRefusal::kNotAFile},
                      ShapeCase{"linkToDevZero", Shape::kZeroLink, vq::FileRefusal::kNotAFile},
                      ShapeCase{"sparseTwiceTheBound", Shape::kSparse, vq::FileRefusal::kTooLarge},
                      ShapeCase{"folder", Shape::kFolder, vq::FileRefusal::kNotAFile},
                      ShapeCase{"danglingLink", Shape::kDangling, vq::FileRefusal::kMissing}),
    [](const ::testing::TestParamInfo<ShapeCase>& info) { return std::string(info.param.what); });

TEST(BoundedFileRead, AFileWithoutASizeIsStillCutAtTheBound) {
  // /proc files say they are empty and have more to read.
  std::string bytes;
  EXPECT_EQ(vq::ReadBoundedFile("/proc/self/maps", 16, &bytes), vq::FileRefusal::kTooLarge);
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(vq::ReadBoundedFile("/proc/self/maps", 16 << 20, &bytes), vq::FileRefusal::kNone);
  EXPECT_GT(bytes.size(), 16u);
}

}  // namespace
