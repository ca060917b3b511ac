// Tests of the .inp line parser and of the structure that orders its fields.
#include "collections/inp_line.h"

#include <gtest/gtest.h>

namespace tomeva::collections {
namespace {

std::string Fields(std::initializer_list<std::string_view> values, bool terminated = true) {
  std::string line;
  bool first = true;
  for (std::string_view v : values) {
    if (!first) line += '\x04';
    first = false;
    line += v;
  }
  if (terminated) line += '\x04';
  return line;
}

TEST(InpLineTest, DefaultLayoutReadsEveryFieldOfARealLine) {
  const std::string line =
      Fields({"Толстой,Лев,Николаевич:Берс,Софья,:", "prose_classic:love_history:", "Война и мир",
              "Эпопея", "3", "123456", "2048576", "98765", "", "fb2", "2009-07-12"}) +
      "\r\n";
  Result<InpRecord> record = ParseInpLine(line, DefaultInpLayout());
  ASSERT_TRUE(record.ok()) << record.message();
  ASSERT_EQ(record->authors.size(), 2u);
  EXPECT_EQ(record->authors[0].last, "Толстой");
  EXPECT_EQ(record->authors[0].first, "Лев");
  EXPECT_EQ(record->authors[0].middle, "Николаевич");
  EXPECT_EQ(record->authors[1].last, "Берс");
  EXPECT_EQ(record->authors[1].middle, "");
  EXPECT_EQ(record->genres, (std::vector<std::string>{"prose_classic", "love_history"}));
  EXPECT_EQ(record->title, "Война и мир");
  EXPECT_EQ(record->series, "Эпопея");
  EXPECT_EQ(record->series_number, 3);
  EXPECT_EQ(record->MemberName(), "123456.fb2");
  EXPECT_EQ(record->size, 2048576);
  EXPECT_EQ(record->lib_id, "98765");
  EXPECT_FALSE(record->deleted);
  EXPECT_EQ(record->date, "2009-07-12");
}

TEST(InpLineTest, FieldsAreMappedByTheStructuresNamesAndUnknownOnesIgnored) {
  Result<InpLayout> layout =
      ParseInpLayout("author;genre;title;series;serno;file;size;libid;del;ext;date;insno;folder;"
                     "lang;librate;keywords;");
  ASSERT_TRUE(layout.ok()) << layout.message();
  const std::string line = Fields({"A,B,:", "sf:", "T", "", "", "7", "10", "42", "1", ".fb2",
                                   "2020-01-02", "5", "other.zip", "ru", "4", "магия, драконы"},
                                  /*terminated=*/false);
  Result<InpRecord> record = ParseInpLine(line, *layout);
  ASSERT_TRUE(record.ok()) << record.message();
  EXPECT_TRUE(record->deleted);
  EXPECT_EQ(record->ext, "fb2");
  EXPECT_EQ(record->folder, "other.zip");
  EXPECT_EQ(record->lang, "ru");
  EXPECT_EQ(record->keywords, "магия, драконы");
  EXPECT_EQ(record->series_number, 0);
}

TEST(InpLineTest, RepeatedAuthorsAndGenresCountOnceAndEmptyOnesNotAtAll) {
  const std::string line = Fields({"A,B,:A,B,:,,:", "sf:sf::", "T", "", "", "1", "1", "1", "",
                                   "fb2", ""});
  Result<InpRecord> record = ParseInpLine(line, DefaultInpLayout());
  ASSERT_TRUE(record.ok()) << record.message();
  EXPECT_EQ(record->authors.size(), 1u);
  EXPECT_EQ(record->genres, std::vector<std::string>{"sf"});
}

TEST(InpLineTest, BadLinesAreRefusedWithTheReason) {
  const InpLayout layout = DefaultInpLayout();
  Result<InpRecord> short_line = ParseInpLine(Fields({"A,,:", "sf:", "T"}, false), layout);
  ASSERT_FALSE(short_line.ok());
  EXPECT_EQ(short_line.message(), "too few fields (3 of 11)");

  Result<InpRecord> bad_text = ParseInpLine(
      Fields({"A,,:", "sf:", "T\xff", "", "", "1", "1", "1", "", "fb2", ""}), layout);
  ASSERT_FALSE(bad_text.ok());
  EXPECT_EQ(bad_text.message(), "the line is not UTF-8 text");

  Result<InpRecord> no_id =
      ParseInpLine(Fields({"A,,:", "sf:", "T", "", "", "1", "1", "", "", "fb2", ""}), layout);
  EXPECT_FALSE(no_id.ok());
  Result<InpRecord> no_file =
      ParseInpLine(Fields({"A,,:", "sf:", "T", "", "", "", "1", "1", "", "fb2", ""}), layout);
  EXPECT_FALSE(no_file.ok());
}

TEST(InpLineTest, AFolderOutsideTheIndexFolderIsRefused) {
  Result<InpLayout> layout = ParseInpLayout("FILE;LIBID;FOLDER");
  ASSERT_TRUE(layout.ok());
  for (const char* folder : {"../secret.zip", "/etc/passwd", "a\\b.zip", "..", "."}) {
    Result<InpRecord> record = ParseInpLine(Fields({"1", "2", folder}, false), *layout);
    EXPECT_FALSE(record.ok()) << folder;
  }
  EXPECT_TRUE(ParseInpLine(Fields({"1", "2", "books.zip"}, false), *layout).ok());
}

TEST(InpLineTest, AStructureWithoutFileOrLibIdIsRefused) {
  EXPECT_FALSE(ParseInpLayout("AUTHOR;TITLE;").ok());
  EXPECT_FALSE(ParseInpLayout("FILE;TITLE").ok());
  EXPECT_FALSE(ParseInpLayout(";;").ok());
}

TEST(InpLineTest, Utf8CheckRefusesOverlongSurrogateAndCutSequences) {
  EXPECT_TRUE(IsValidUtf8("Ёжик 🦔"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong "/"
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xD0"));              // cut short
}

}  // namespace
}  // namespace tomeva::collections
