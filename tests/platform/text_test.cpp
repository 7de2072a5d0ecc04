#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

namespace morvex::platform {
namespace {

TEST(Text, WideToNarrowFitsExactlyOrFailsClean) {
  char exact[9];
  ASSERT_TRUE(WideToNarrow(L"C:\\a.bmp", exact, sizeof exact)) << "8 characters and the terminator";
  EXPECT_STREQ(exact, "C:\\a.bmp");
  char short_by_one[8];
  std::memset(short_by_one, 'Z', sizeof short_by_one);
  EXPECT_FALSE(WideToNarrow(L"C:\\a.bmp", short_by_one, sizeof short_by_one));
  EXPECT_EQ(short_by_one[0], '\0') << "a cut path is never left behind";
}

TEST(Text, NarrowToWideFitsExactlyOrFailsClean) {
  wchar_t exact[6];
  ASSERT_TRUE(NarrowToWide("image", exact, 6));
  EXPECT_EQ(std::wcscmp(exact, L"image"), 0);
  wchar_t short_by_one[5];
  EXPECT_FALSE(NarrowToWide("image", short_by_one, 5));
  EXPECT_EQ(short_by_one[0], L'\0');
}

TEST(Text, EmptyTextNeedsOnlyTheTerminator) {
  char narrow[1] = {'x'};
  EXPECT_TRUE(WideToNarrow(L"", narrow, 1));
  EXPECT_EQ(narrow[0], '\0');
  wchar_t wide[1] = {L'x'};
  EXPECT_TRUE(NarrowToWide("", wide, 1));
  EXPECT_EQ(wide[0], L'\0');
  EXPECT_EQ(WideLengthOf(""), 1u);
  EXPECT_EQ(WideLengthOf("abc"), 4u);
}

TEST(Text, NullAndZeroSizedArgumentsFail) {
  char narrow[4];
  wchar_t wide[4];
  EXPECT_FALSE(WideToNarrow(nullptr, narrow, sizeof narrow));
  EXPECT_FALSE(WideToNarrow(L"a", narrow, 0));
  EXPECT_FALSE(WideToNarrow(L"a", nullptr, 4));
  EXPECT_FALSE(NarrowToWide(nullptr, wide, 4));
  EXPECT_FALSE(NarrowToWide("a", wide, 0));
  EXPECT_EQ(WideLengthOf(nullptr), 0u);
}

TEST(Text, ALoneSurrogateCannotConvert) {
  const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
  char out[16];
  EXPECT_FALSE(WideToNarrow(lone, out, sizeof out));
  EXPECT_EQ(out[0], '\0');
}

TEST(Text, DebugOutputTakesAnyText) {
  DebugOutput("platform test: debug output\n");
  DebugOutput("");
  DebugOutput(nullptr);
}

#ifdef MORVEX_POSIX
// Natively the active code page is UTF-8.
TEST(Text, Utf8IsTheActiveCodePage) {
  char out[7];
  ASSERT_TRUE(WideToNarrow(L"caf\u00e9!", out, sizeof out));  // é takes two bytes
  EXPECT_STREQ(out, "caf\xC3\xA9!");
  EXPECT_FALSE(WideToNarrow(L"caf\u00e9!", out, 6)) << "short by one byte";
  char four[5];
  ASSERT_TRUE(WideToNarrow(L"\U0001F600", four, sizeof four));
  EXPECT_STREQ(four, "\xF0\x9F\x98\x80");

  wchar_t wide[5];
  ASSERT_TRUE(NarrowToWide("caf\xC3\xA9", wide, 5));
  EXPECT_EQ(std::wcscmp(wide, L"caf\u00e9"), 0);
  EXPECT_FALSE(NarrowToWide("caf\xC3\xA9", wide, 4));
  EXPECT_EQ(WideLengthOf("caf\xC3\xA9"), 5u);
}

TEST(Text, MalformedUtf8CannotConvert) {
  const char* bad[] = {"\xC3",         "a\xC3(",           "\xC0\xAF", "\xE0\x80\xAF",
                       "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF",     "\x80"};
  for (const char* text : bad) {
    wchar_t wide[8] = {L'x'};
    EXPECT_FALSE(NarrowToWide(text, wide, 8)) << "accepted " << text;
    EXPECT_EQ(wide[0], L'\0');
    EXPECT_EQ(WideLengthOf(text), 0u);
  }
}

TEST(Text, CodePointsBeyondUnicodeCannotConvert) {
  const wchar_t beyond[] = {static_cast<wchar_t>(0x110000), 0};
  char out[8];
  EXPECT_FALSE(WideToNarrow(beyond, out, sizeof out));
}
#endif

#ifdef MORVEX_WIN32
TEST(Text, RoundTripThroughTheActiveCodePage) {
  char narrow[64];
  ASSERT_TRUE(WideToNarrow(L"C:\\Images\\frame_0001.bmp", narrow, sizeof narrow));
  EXPECT_STREQ(narrow, "C:\\Images\\frame_0001.bmp");
  wchar_t wide[64];
  ASSERT_TRUE(NarrowToWide(narrow, wide, 64));
  EXPECT_EQ(std::wcscmp(wide, L"C:\\Images\\frame_0001.bmp"), 0);
  EXPECT_EQ(WideLengthOf(narrow), 25u);
}
#endif

}  // namespace
}  // namespace morvex::platform
