// The small rules of the book operations: detect strings, field templates,
// safe stored names, path tails and the deletion's resolution path.
#include <gtest/gtest.h>

#include "books/book_deletion.h"
#include "books/book_move.h"
#include "books/field_template.h"
#include "books/import_check.h"
#include "books/stored_names.h"

namespace tomeva::books {
namespace {

TEST(BookNamesTest, DetectStringAcceptsOnlyTheNamedExtensionsIgnoringCase) {
  constexpr std::string_view kDetect = "EXT=\"FB2\" ext=\"zip\"";
  EXPECT_TRUE(IsImportable("/in/book.fb2", kDetect));
  EXPECT_TRUE(IsImportable("/in/book.fb2.Zip", kDetect));
  EXPECT_FALSE(IsImportable("/in/book.txt", kDetect));
  EXPECT_FALSE(IsImportable("/in.fb2/book", kDetect));
  EXPECT_TRUE(IsImportable("/in/book.txt", ""));
}

TEST(BookNamesTest, SqlFieldTemplateKeepsEveryValueOneLiteral) {
  class Fields : public catalog::ContentFieldAccess {
    std::string GetFieldValue(std::string_view ref, std::string_view) override {
      return ref == "x.T" ? "It's \"x\"" : "null";
    }
    bool SetFieldValue(std::string_view, std::string_view, std::string_view) override {
      return false;
    }
    void ForgetReadFiles() override {}
  } fields;
  EXPECT_EQ(ExpandFieldTemplate("'T='x.T';'", "a", &fields), "T=It's \"x\";");
  EXPECT_EQ(ExpandSqlFieldTemplate("'T=\"'x.T'\" OR T='x.T';'", "a", &fields),
            "T=\"It's \"\"x\"\"\" OR T=\"It's \"\"x\"\"\";");
  EXPECT_EQ(ExpandSqlFieldTemplate("'T=\"'x.N'\" OR T='x.N';'", "a", &fields),
            "T=\"\" OR T=null;");  // a missing field is empty, not the text null
  EXPECT_EQ(ExpandSqlFieldTemplate("'Id='BookId';'", "a", &fields, "BookId=42\r\n"), "Id=\"42\";");
}

TEST(BookNamesTest, StoredNamesAreCutWithoutControlCharactersKeepingExtensions) {
  std::string cyrillic;
  for (int i = 0; i < 200; ++i) cyrillic += "ж";  // two bytes each
  EXPECT_EQ(CutComponent(cyrillic + ".fb2", 11), "жжж.fb2");
  EXPECT_EQ(CutComponent(cyrillic + ".fb2.zip", 13), "жж.fb2.zip");
  EXPECT_EQ(KeptExtension("Mr. Smith.fb2"), ".fb2");
  EXPECT_EQ(SafeRelativePath("Doe\\Ti\ttle\x01.fb2"), "Doe/Title.fb2");
  EXPECT_EQ(SafeRelativePath("a//\x02\\b"), "a/b");
  EXPECT_EQ(SafeRelativePath("/etc/passwd"), "/etc/passwd");
  EXPECT_EQ(SafeRelativePath("A\\" + std::string(10000, 'x') + ".fb2").size(),
            2 + kMaxComponentBytes);
  EXPECT_TRUE(IsInsideFolder("/lib", "/lib/x/a.fb2"));
  EXPECT_FALSE(IsInsideFolder("/lib", "/lib"));
  EXPECT_FALSE(IsInsideFolder("/lib", "/library/a.fb2"));
}

TEST(BookNamesTest, StripCommonTailCutsSharedComponentsButKeepsDifferentNames) {
  auto strip = [](std::string a, std::string b) {
    StripCommonTail(a, b);
    return a + "|" + b;
  };
  EXPECT_EQ(strip("\\G\\Поэзия\\Ода.fb2", "\\G\\Драма\\Ода.fb2"), "\\G\\Поэзия\\|\\G\\Драма\\");
  EXPECT_EQ(strip("\\A\\X\\B\\Ode.fb2", "\\A\\Y\\B\\Ode.fb2"), "\\A\\X\\|\\A\\Y\\");
  EXPECT_EQ(strip("\\T\\O\\Ode.fb2", "\\T\\O\\Odes.fb2"), "\\T\\O\\Ode.fb2|\\T\\O\\Odes.fb2");
  EXPECT_EQ(ClearedColumnValue("SerNo"), "0");
  EXPECT_EQ(ClearedColumnValue("Year"), "");
}

TEST(BookNamesTest, DeletionResolvesTheFolderExceptUnderAuthors) {
  EXPECT_EQ(DeletionResolutionPath("\\По жанрам\\Поэзия\\Ода.fb2"), "\\По жанрам\\Поэзия\\");
  EXPECT_EQ(DeletionResolutionPath("\\По авторам\\П\\Пушкин\\Ода.fb2"),
            "\\По авторам\\П\\Пушкин\\Ода.fb2");
  // Eleven characters, not eleven bytes: "\По авт\x" shares eleven bytes only.
  EXPECT_EQ(DeletionResolutionPath("\\По авт\\x.fb2"), "\\По авт\\");
}

}  // namespace
}  // namespace tomeva::books
