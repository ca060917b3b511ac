// Tests of the wdx_tc source: name parts, size and modification time.
#include "content/file_field_source.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <vector>

#include "content/field_value_text.h"
#include "support/temp_dir.h"

namespace tomeva::content {
namespace {

std::string Value(std::string_view file, int field) {
  FileFieldSource source;
  std::vector<char> buffer(1024, '\0');
  return FieldValueText(source.GetValue(file, field, -1, buffer, 0), buffer);
}

TEST(FileFieldSourceTest, ListsFullNameAndExtFirstThenAttributeFields) {
  FileFieldSource source;
  const char* names[] = {"FullName", "Ext", "Name", "Path", "Size", "Modified"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(source.GetSupportedField(i).name, names[i]);
  EXPECT_EQ(source.GetSupportedField(4).type, ft_numeric_64);
  EXPECT_EQ(source.GetSupportedField(6).type, ft_nomorefields);
  std::vector<char> buffer(16, '\0');
  EXPECT_EQ(source.GetValue("a.fb2", 6, -1, buffer, 0), ft_nosuchfield);
}

TEST(FileFieldSourceTest, NameFieldsComeFromTheFileNameAlone) {
  EXPECT_EQ(Value("C:\\books\\war.and.peace.fb2", 0), "C:\\books\\war.and.peace.fb2");
  EXPECT_EQ(Value("C:\\books\\war.and.peace.fb2", 1), ".fb2");
  EXPECT_EQ(Value("C:\\books.old\\readme", 1), "");
  EXPECT_EQ(Value("/lib/книги.v2/Война.fb2.zip", 1), ".zip");
  EXPECT_EQ(Value("/lib/книги.v2/Война.fb2.zip", 2), "Война.fb2.zip");
  EXPECT_EQ(Value("/lib/книги.v2/Война.fb2.zip", 3), "/lib/книги.v2/");
}

TEST(FileFieldSourceTest, SizeAndModifiedReadTheFileAndFailForMissingFiles) {
  testing::TempDir dir;
  const std::string file = dir.Path("book.fb2");
  testing::WriteFile(file, "12345");
  const timespec times[2] = {{1110188700, 0}, {1110188700, 0}};  // 2005-03-07 09:45:00 UTC
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  EXPECT_EQ(Value(file, 4), "5");
  EXPECT_EQ(Value(file, 5), "2005-03-07 09:45:00");
  EXPECT_EQ(Value(dir.Path("missing.fb2"), 4), "null");
  EXPECT_EQ(Value(dir.Path("missing.fb2"), 5), "null");
}

}  // namespace
}  // namespace tomeva::content
