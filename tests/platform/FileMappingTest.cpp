// Named file mappings over shared memory: creating, opening, views and
// their sizes, the name's life, and the uses that fail.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/win/FileMapping.h"
#include "platform/win/Threads.h"
#include "tests/support/TestEnv.h"

namespace {

TEST(FileMappingTest, MappingsAreSharedSizedAndNamedWhileTheirCreatorHoldsThem) {
  HANDLE created = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 300, L"VqTestMap");
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
  HANDLE again = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 999, L"VqTestMap");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  HANDLE opened = OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"VqTestMap");
  HANDLE reader = OpenFileMappingW(FILE_MAP_READ, FALSE, L"VqTestMap");
  ASSERT_TRUE(opened && reader);

  auto* a = static_cast<char*>(MapViewOfFile(created, FILE_MAP_WRITE, 0, 0, 0));
  auto* b = static_cast<char*>(MapViewOfFile(opened, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(vqplatform::MappedViewSize(a), 300u);  // the second create kept the size
  std::strcpy(a, "shared");
  EXPECT_STREQ(b, "shared");
  void* part = MapViewOfFile(again, FILE_MAP_READ, 0, 0, 100);
  EXPECT_EQ(vqplatform::MappedViewSize(part), 100u);
  EXPECT_EQ(MapViewOfFile(reader, FILE_MAP_WRITE, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_EQ(MapViewOfFile(created, FILE_MAP_READ, 0, 100, 0), nullptr);  // not on a 64 KiB boundary
  EXPECT_EQ(MapViewOfFile(created, FILE_MAP_READ, 0, 0, 301), nullptr);  // past the end

  // The name goes with its creator's handle; the others and the views stay.
  ASSERT_TRUE(CloseHandle(created));
  EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, L"VqTestMap"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  std::strcpy(b, "still");
  EXPECT_STREQ(a, "still");
  EXPECT_TRUE(UnmapViewOfFile(a));
  EXPECT_FALSE(UnmapViewOfFile(a));
  EXPECT_EQ(vqplatform::MappedViewSize(a), 0u);
  for (HANDLE h : {again, opened, reader}) EXPECT_TRUE(CloseHandle(h));
  EXPECT_TRUE(UnmapViewOfFile(b) && UnmapViewOfFile(part));
}

TEST(FileMappingTest, BadRequestsFailAndNamesAreScopedToTheRuntimeFolder) {
  EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, L"Empty"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(CreateFileMappingW(nullptr, nullptr, PAGE_READWRITE, 0, 10, L"NoFile"), nullptr);
  EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 10, L"a/b"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_NAME));
  EXPECT_EQ(MapViewOfFile(reinterpret_cast<HANDLE>(0x1234), FILE_MAP_READ, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

  // Another runtime folder (another session, a test running beside this
  // one) has its own names.
  const std::string name = vqplatform::SharedMemoryName(L"VorquellImageDataMap");
  EXPECT_EQ(name.rfind("/vq." + std::to_string(geteuid()) + ".", 0), 0u) << name;
  const std::string mine = std::getenv("XDG_RUNTIME_DIR");
  std::filesystem::create_directory(vqtest::TempPath("other"));
  setenv("XDG_RUNTIME_DIR", vqtest::TempPath("other").c_str(), 1);
  EXPECT_NE(vqplatform::SharedMemoryName(L"VorquellImageDataMap"), name);
  setenv("XDG_RUNTIME_DIR", mine.c_str(), 1);

  // A mapping of that name owned by another user is refused.
  if (geteuid() != 0) GTEST_SKIP() << "another user's object needs root to make";
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 256), 0);
  ASSERT_EQ(fchown(fd, 65534, 65534), 0);
  close(fd);
  EXPECT_EQ(OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"VorquellImageDataMap"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 10, L"VorquellImageDataMap"), nullptr);
  shm_unlink(name.c_str());
}

}  // namespace
