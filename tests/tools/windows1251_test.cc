// The UTF-8 to windows-1251 converter of the sample books, checked against the
// system's iconv tables.
#include "sample_library/windows1251.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace tomeva {
namespace {

TEST(Windows1251Test, EncodesAsciiAndCyrillicLetters) {
  EXPECT_EQ(Utf8ToWindows1251Xml("<p a=\"1\">Abc Привет Ёё Яя</p>"),
            "<p a=\"1\">Abc \xcf\xf0\xe8\xe2\xe5\xf2 \xa8\xb8 \xdf\xff</p>");
  EXPECT_EQ(Utf8ToWindows1251Xml("«Тень» — №5… “x” €"),
            "\xab\xd2\xe5\xed\xfc\xbb \x97 \xb9" "5\x85 \x93x\x94 \x88");
}

TEST(Windows1251Test, WritesCharacterReferencesForCharactersOutsideTheCodePage) {
  EXPECT_EQ(Utf8ToWindows1251Xml("Zoë Chloé"), "Zo&#235; Chlo&#233;");
  EXPECT_EQ(Utf8ToWindows1251Xml("中😀"), "&#20013;&#128512;");
  EXPECT_EQ(Utf8ToWindows1251Xml("\xef\xbf\xbd"), "&#65533;");  // U+FFFD is not 0x98
}

TEST(Windows1251Test, ReplacesInvalidUtf8WithQuestionMarks) {
  EXPECT_EQ(Utf8ToWindows1251Xml("a\xff" "b"), "a?b");
  EXPECT_EQ(Utf8ToWindows1251Xml("a\xd0"), "a?");                // cut short
  EXPECT_EQ(Utf8ToWindows1251Xml("\xc0\xaf"), "??");             // overlong '/'
  EXPECT_EQ(Utf8ToWindows1251Xml("\xed\xa0\x80"), "???");        // a surrogate
  EXPECT_EQ(Utf8ToWindows1251Xml("\xd0\x41"), "?A");             // bad continuation
}

TEST(Windows1251Test, EveryByteDecodesLikeIconvAndEncodesBack) {
  iconv_t to_utf8 = iconv_open("UTF-8", "WINDOWS-1251");
  ASSERT_NE(to_utf8, reinterpret_cast<iconv_t>(-1));
  for (int byte = 1; byte < 256; ++byte) {
    std::string in(1, static_cast<char>(byte));
    std::string ours = Windows1251ToUtf8(in);
    if (byte == 0x98) {
      EXPECT_EQ(ours, "\xef\xbf\xbd");
      continue;
    }
    char out[8] = {};
    char* in_ptr = in.data();
    size_t in_left = 1;
    char* out_ptr = out;
    size_t out_left = sizeof out;
    ASSERT_NE(iconv(to_utf8, &in_ptr, &in_left, &out_ptr, &out_left), static_cast<size_t>(-1))
        << "byte " << byte;
    EXPECT_EQ(ours, std::string(out, sizeof out - out_left)) << "byte " << byte;
    EXPECT_EQ(Utf8ToWindows1251Xml(ours), in) << "byte " << byte;
  }
  iconv_close(to_utf8);
}

}  // namespace
}  // namespace tomeva
