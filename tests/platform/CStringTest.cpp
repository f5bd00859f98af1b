#include <gtest/gtest.h>

#include "platform/mfc/CString.h"
#include "tests/platform/PrintCString.h"

namespace {

CString Fmt(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  CString s;
  s.FormatV(format, args);
  va_end(args);
  return s;
}

TEST(CStringFormat, PercentSIsAWideStringAndPercentCapitalSANarrowOne) {
  EXPECT_EQ(Fmt(L"%s V%d.%d", L"Vorquell", 71, 0), L"Vorquell V71.0");
  EXPECT_EQ(Fmt(L"[%S|%hs]", "ab", "\xE4\xB8\xAD"), L"[ab|\u4E2D]");
  EXPECT_EQ(Fmt(L"%ls/%ws", L"x", L"y"), L"x/y");
  EXPECT_EQ(Fmt(L"%s", L"\u4E2D\u6587"), L"\u4E2D\u6587");
  EXPECT_EQ(Fmt(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
}

TEST(CStringFormat, CharactersWidthsAndPrecisions) {
  EXPECT_EQ(Fmt(L"%c%C%hc", L'\u00E9', 'A', 'b'), L"\u00E9Ab");
  EXPECT_EQ(Fmt(L"%-5s|%5s|%.2s", L"ab", L"cd", L"efgh"), L"ab   |   cd|ef");
  EXPECT_EQ(Fmt(L"%*d|%-*d|%.*f", 4, 7, 3, 8, 2, 3.14159), L"   7|8  |3.14");
  EXPECT_EQ(Fmt(L"%05d|%04d%02d%02d", 123, 2024, 1, 5), L"00123|20240105");
  EXPECT_EQ(Fmt(L"%05d", 123456), L"123456");
}

TEST(CStringFormat, IntegerLengthsFollowTheWindowsDataModel) {
  // "l" is the 32-bit Windows long; I64 and ll are 64-bit.
  EXPECT_EQ(Fmt(L"%ld %lu %lx", static_cast<LONG>(-5), static_cast<DWORD>(4000000000u), 255u),
            L"-5 4000000000 ff");
  EXPECT_EQ(Fmt(L"%I64d %lld %I64u", -9000000000LL, 9000000000LL, 18000000000ULL),
            L"-9000000000 9000000000 18000000000");
  EXPECT_EQ(Fmt(L"%hd %hu %X", 70000, 70000, 0xBEEFu), L"4464 4464 BEEF");
  EXPECT_EQ(Fmt(L"%zu", static_cast<size_t>(1) << 40), L"1099511627776");
}

TEST(CStringFormat, LiteralPercentAndMalformedSpecs) {
  EXPECT_EQ(Fmt(L"100%%"), L"100%");
  EXPECT_EQ(Fmt(L"end %"), L"end %");
  EXPECT_EQ(Fmt(L"%y"), L"%y");
  int written = 0;
  EXPECT_EQ(Fmt(L"a%nb", &written), L"ab");
  EXPECT_EQ(written, 0);
}

TEST(CStringFormat, LongOutputGrowsTheBuffer) {
  std::wstring big(5000, L'x');
  CString s;
  s.Format(L"<%s>", big.c_str());
  EXPECT_EQ(s.GetLength(), 5002);
  s.AppendFormat(L"%d", 42);
  EXPECT_EQ(s.Right(3), L">42");
}

TEST(CString, NarrowTextIsUtf8) {
  CString s("D\xC3\xA9j\xC3\xA0");
  EXPECT_EQ(s, L"D\u00E9j\u00E0");
  EXPECT_EQ(s.ToUtf8(), "D\xC3\xA9j\xC3\xA0");
  s += "\xE4\xB8\xAD";
  EXPECT_EQ(s.GetLength(), 5);
}

TEST(CString, SubstringsClampLikeMfc) {
  CString s(L"Hello");
  EXPECT_EQ(s.Mid(1, 3), L"ell");
  EXPECT_EQ(s.Mid(3), L"lo");
  EXPECT_EQ(s.Mid(9), L"");
  EXPECT_EQ(s.Mid(-2, 2), L"He");
  EXPECT_EQ(s.Mid(2, -1), L"");
  EXPECT_EQ(s.Left(9), L"Hello");
  EXPECT_EQ(s.Left(-1), L"");
  EXPECT_EQ(s.Right(2), L"lo");
  EXPECT_EQ(s.Right(9), L"Hello");
  EXPECT_EQ(s.GetAt(7), L'\0');
}

TEST(CString, SearchesAndEdits) {
  CString s(L"a\\b\\c.txt");
  EXPECT_EQ(s.Find(L'\\'), 1);
  EXPECT_EQ(s.Find(L'\\', 2), 3);
  EXPECT_EQ(s.Find(L'\\', 20), -1);
  EXPECT_EQ(s.Find(L".txt"), 5);
  EXPECT_EQ(s.Find(L""), 0);
  EXPECT_EQ(s.ReverseFind(L'\\'), 3);
  EXPECT_EQ(s.FindOneOf(L".c"), 4);
  EXPECT_EQ(s.Replace(L'\\', L'/'), 2);
  EXPECT_EQ(s, L"a/b/c.txt");
  EXPECT_EQ(s.Replace(L"/", L"--"), 2);
  EXPECT_EQ(s, L"a--b--c.txt");
  EXPECT_EQ(s.Replace(L"", L"x"), 0);
  EXPECT_EQ(s.Remove(L'-'), 4);
  EXPECT_EQ(s.Insert(1, L"XY"), 9);
  EXPECT_EQ(s, L"aXYbc.txt");
  EXPECT_EQ(s.Insert(99, L'!'), 10);
  EXPECT_EQ(s.Delete(1, 2), 8);
  EXPECT_EQ(s.Delete(6, 50), 6);
  EXPECT_EQ(s, L"abc.tx");
}

TEST(CString, CaseTrimAndCompare) {
  CString s(L"  \u00E9cole Ab\t\r\n");
  s.Trim();
  EXPECT_EQ(s, L"\u00E9cole Ab");
  CString up(s);
  up.MakeUpper();
  EXPECT_EQ(up, L"\u00C9COLE AB");
  EXPECT_EQ(up.CompareNoCase(L"\u00E9cole ab"), 0);
  EXPECT_LT(CString(L"abc").Compare(L"abd"), 0);
  EXPECT_GT(CString(L"abc").CompareNoCase(L"AB"), 0);
  CString t(L"xx12xx");
  t.Trim(L'x');
  EXPECT_EQ(t, L"12");
  CString u(L"--a-b;;");
  u.TrimLeft(L"-").TrimRight(L";");
  EXPECT_EQ(u, L"a-b");
}

TEST(CString, TokenizeWalksThePrefixList) {
  CString list(L"IMG|TXT||JPG|");
  std::vector<std::wstring> parts;
  int pos = 0;
  for (CString tok = list.Tokenize(L"|", pos); pos != -1; tok = list.Tokenize(L"|", pos))
    parts.push_back(tok.str());
  EXPECT_EQ(parts, (std::vector<std::wstring>{L"IMG", L"TXT", L"JPG"}));
}

TEST(CString, BufferAccess) {
  CString s;
  wchar_t* p = s.GetBuffer(10);
  wcscpy(p, L"abc");
  s.ReleaseBuffer();
  EXPECT_EQ(s, L"abc");
  EXPECT_EQ(s.GetLength(), 3);
  p = s.GetBufferSetLength(2);
  s.ReleaseBuffer(2);
  EXPECT_EQ(s, L"ab");
}

}  // namespace
