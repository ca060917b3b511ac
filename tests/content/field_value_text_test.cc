// Tests of the text forms of typed field values.
#include "content/field_value_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "content/field_source.h"
#include "wdx_plugin.h"

namespace tomeva::content {
namespace {

std::string TextOf(int code, const void* data, size_t size) {
  std::vector<char> buffer(1024, '\0');
  std::memcpy(buffer.data(), data, size);
  return FieldValueText(code, buffer);
}

TEST(FieldValueTextTest, ResultCodesWithoutValueGiveNullOrEmpty) {
  const char zero[8] = {};
  EXPECT_EQ(TextOf(ft_fieldempty, zero, 0), "");
  for (int code : {int{ft_fileerror}, int{ft_nosuchfield}, 0, int{ft_datetime}, int{ft_stringw}, 12,
                   -4, -99}) {
    EXPECT_EQ(TextOf(code, zero, 0), "null") << code;
  }
}

TEST(FieldValueTextTest, TextStopsAtNulAndNeverEndsInsideACharacter) {
  EXPECT_EQ(TextOf(ft_string, "ab\0cd", 5), "ab");
  std::string cut(1022, 'x');
  cut += "\xd1";  // first byte of a two-byte letter in the last place
  EXPECT_EQ(TextOf(ft_fulltext, cut.data(), cut.size()), std::string(1022, 'x'));
  EXPECT_EQ(CutUtf8("a\xe2\x82\xac", 3), "a");
  EXPECT_EQ(CutUtf8("a\xe2\x82\xac", 4), "a\xe2\x82\xac");
  EXPECT_EQ(CutUtf8("a\x80\x80", 3), "a\x80\x80");  // stray bytes stay
}

TEST(FieldValueTextTest, DoublesUseShortestGeneralFormat) {
  EXPECT_EQ(FormatGeneralDouble(2.5, '.'), "2.5");
  EXPECT_EQ(FormatGeneralDouble(2.5, ','), "2,5");
  EXPECT_EQ(FormatGeneralDouble(100, '.'), "100");
  EXPECT_EQ(FormatGeneralDouble(0.1, '.'), "0.1");
  EXPECT_EQ(FormatGeneralDouble(1.0 / 3, '.'), "0.333333333333333");
  EXPECT_EQ(FormatGeneralDouble(123456789012345.0, '.'), "123456789012345");
  EXPECT_EQ(FormatGeneralDouble(1e15, '.'), "1E15");
  EXPECT_EQ(FormatGeneralDouble(-1.5e20, '.'), "-1.5E20");
  EXPECT_EQ(FormatGeneralDouble(0.00001, '.'), "0.00001");
  EXPECT_EQ(FormatGeneralDouble(0.0000012, '.'), "1.2E-6");
  EXPECT_EQ(FormatGeneralDouble(0, '.'), "0");
}

}  // namespace
}  // namespace tomeva::content
