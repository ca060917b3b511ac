// Tests of the path rules in both path styles.
#include "common/path_rules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "support/temp_dir.h"

namespace tomeva {
namespace {

constexpr PathStyle kWin = PathStyle::kWindows;
constexpr PathStyle kPosix = PathStyle::kPosix;

TEST(PathRulesTest, ResolvePathWindowsPlacesPathAgainstBaseAndDrive) {
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib", ""), "");
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib", "books\\a.fb2"), "C:\\lib\\books\\a.fb2");
  EXPECT_EQ(ResolvePath(kWin, "D:\\lib", "\\books\\a.fb2"), "D:\\books\\a.fb2");
  EXPECT_EQ(ResolvePath(kWin, "D:\\lib", "c:\\x"), "c:\\x");
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib", "C:\\x \\y\\"), "C:\\x\\y");
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib", "a  \\\\b"), "C:\\lib\\a\\b");
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib", "a?b*\"c<>|/:\r\n.fb2"), "C:\\lib\\abc.fb2");
}

TEST(PathRulesTest, ResolvePathWindowsDotRunsGoUpButNeverAboveDriveRoot) {
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib", "..\\x"), "C:\\x");
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib", "..\\..\\..\\..\\x"), "C:\\x");
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib", "C:\\a\\b\\..\\c"), "C:\\a\\c");
  EXPECT_EQ(ResolvePath(kWin, "C:\\a\\b\\c", "...\\x"), "C:\\a\\x");
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib", ".\\x\\.\\y"), "C:\\lib\\x\\y");
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib", "..x\\.y\\a..b"), "C:\\lib\\..x\\.y\\a..b");
  // A dot component at the end is resolved too, and the drive root keeps its "\".
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib", "a\\.."), "C:\\lib");
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib", ".."), "C:\\");
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib", "C:\\"), "C:\\");
}

TEST(PathRulesTest, ResolvePathLeavesNoDotComponentBehindDroppedCharacters) {
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib\\a", ".\r.\\x"), "C:\\lib\\x");
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib\\a", "..?\\x"), "C:\\lib\\x");
  EXPECT_EQ(ResolvePath(kWin, "C:\\lib\\a", ".. \\x"), "C:\\lib\\x");
  EXPECT_EQ(ResolvePath(kPosix, "/lib/a", ".*./../x"), "/x");
}

TEST(PathRulesTest, ResolvePathPosixUsesRootAndBothSeparators) {
  EXPECT_EQ(ResolvePath(kPosix, "/lib", "books\\a.fb2"), "/lib/books/a.fb2");
  EXPECT_EQ(ResolvePath(kPosix, "/lib", "\\books\\a.fb2"), "/books/a.fb2");
  EXPECT_EQ(ResolvePath(kPosix, "/lib", "C:\\x"), "/lib/C/x");  // no drives
  EXPECT_EQ(ResolvePath(kPosix, "/lib", "/x /y/"), "/x/y");
  EXPECT_EQ(ResolvePath(kPosix, "/lib/", "//a?*b"), "/ab");
  EXPECT_EQ(ResolvePath(kPosix, "/lib", "../x"), "/x");
  EXPECT_EQ(ResolvePath(kPosix, "/lib", "../../../x"), "/x");
  EXPECT_EQ(ResolvePath(kPosix, "/a/b/c", ".../x/./y"), "/a/x/y");
  EXPECT_EQ(ResolvePath(kPosix, "/lib", ".."), "/");
  EXPECT_EQ(ResolvePath(kPosix, "/lib", "/"), "/");
}

TEST(PathRulesTest, ResolvePathPosixKeepsTheBaseFolderAsItIs) {
  // Characters Windows forbids are the user's own in the base folder.
  EXPECT_EQ(ResolvePath(kPosix, "/tmp/x/Books: fiction", "Lib"), "/tmp/x/Books: fiction/Lib");
  EXPECT_EQ(ResolvePath(kPosix, "/tmp/a?*\"<>|\\b /", "Lib/a.fb2"),
            "/tmp/a?*\"<>|\\b /Lib/a.fb2");
  EXPECT_EQ(ResolvePath(kPosix, "/tmp/Books /", "."), "/tmp/Books ");
  EXPECT_EQ(ResolvePath(kPosix, "/tmp/Books: x", "../y"), "/tmp/y");
  // The names below it still follow the rules.
  EXPECT_EQ(ResolvePath(kPosix, "/tmp/B: x", "a: b /c?.fb2"), "/tmp/B: x/a b/c.fb2");
  // An absolute path below the base keeps the base's part; any other does not.
  EXPECT_EQ(ResolvePath(kPosix, "/tmp/B: x/", "/tmp/B: x/a: b/c.fb2"), "/tmp/B: x/a b/c.fb2");
  EXPECT_EQ(ResolvePath(kPosix, "/tmp/B: x", "/tmp/B: xy/c.fb2"), "/tmp/B xy/c.fb2");
}

TEST(PathRulesTest, UserPathsAreTakenAsWritten) {
  EXPECT_EQ(UserPath(kPosix, "/tmp/B: x/", "Lib"), "/tmp/B: x/Lib");
  EXPECT_EQ(UserPath(kPosix, "/tmp/B: x", "Lib: all /a?"), "/tmp/B: x/Lib: all /a?");
  EXPECT_EQ(UserPath(kPosix, "/tmp", "/mnt/Books: all"), "/mnt/Books: all");
  EXPECT_EQ(UserPath(kPosix, "/tmp", ""), "");
  EXPECT_EQ(UserPath(kWin, "C:\\lib", "books\\a"), "C:\\lib\\books\\a");
}

TEST(PathRulesTest, RelativePathWindowsWalksFromBaseFolder) {
  EXPECT_EQ(RelativePath(kWin, "C:\\lib\\db.mdb", "C:\\lib\\books\\a.fb2"), "books\\a.fb2");
  EXPECT_EQ(RelativePath(kWin, "C:\\lib\\x\\db.mdb", "C:\\lib\\books\\a.fb2"),
            "..\\books\\a.fb2");
  EXPECT_EQ(RelativePath(kWin, "C:\\lib\\db.mdb", "D:\\lib\\a.fb2"), "D:\\lib\\a.fb2");
  EXPECT_EQ(RelativePath(kWin, "c:\\LIB\\db.mdb", "C:\\lib\\Books\\a.fb2"), "Books\\a.fb2");
  EXPECT_EQ(RelativePath(kWin, "C:\\lib\\", "C:\\lib\\a.fb2"), "a.fb2");
  EXPECT_EQ(RelativePath(kWin, "C:\\lib\\db.mdb", "C:\\a.fb2"), "..\\a.fb2");
  EXPECT_EQ(RelativePath(kWin, "\\\\srv\\share\\db.mdb", "\\\\SRV\\Share\\b\\a.fb2"),
            "b\\a.fb2");
  EXPECT_EQ(RelativePath(kWin, "\\\\srv\\share\\db.mdb", "\\\\srv\\other\\a.fb2"),
            "\\\\srv\\other\\a.fb2");
}

TEST(PathRulesTest, RelativePathPosixSharesRootAndComparesExactly) {
  EXPECT_EQ(RelativePath(kPosix, "/lib/x/db.sqlite", "/lib/books/a.fb2"), "../books/a.fb2");
  EXPECT_EQ(RelativePath(kPosix, "/Lib/db.sqlite", "/lib/a.fb2"), "../lib/a.fb2");
  EXPECT_EQ(RelativePath(kPosix, "/lib/db.sqlite", "/a.fb2"), "../a.fb2");
  EXPECT_EQ(RelativePath(kPosix, "/lib/db.sqlite", "lib/a.fb2"), "lib/a.fb2");
  EXPECT_EQ(RelativePath(kPosix, "db.sqlite", "lib/a.fb2"), "lib/a.fb2");
}

TEST(PathRulesTest, NamePartsSplitAtLastSeparatorAndDriveColon) {
  EXPECT_EQ(FileExtension(kWin, "C:\\a\\book.fb2.zip"), ".zip");
  EXPECT_EQ(FileExtension(kWin, "C:\\a.b\\file"), "");
  EXPECT_EQ(FileExtension(kWin, "a.b:c"), "");
  EXPECT_EQ(FileExtension(kPosix, "/a.b\\c"), "");
  EXPECT_EQ(ChangeFileExtension(kWin, "C:\\a\\book.fb2", ".zip"), "C:\\a\\book.zip");
  EXPECT_EQ(ChangeFileExtension(kPosix, "/a.b/book", ".fb2"), "/a.b/book.fb2");

  EXPECT_EQ(FolderPart(kWin, "C:\\a\\b.fb2"), "C:\\a\\");
  EXPECT_EQ(FileNamePart(kWin, "C:\\a\\b.fb2"), "b.fb2");
  EXPECT_EQ(FolderPart(kWin, "C:b.fb2"), "C:");
  EXPECT_EQ(FolderPart(kPosix, "b.fb2"), "");
  EXPECT_EQ(FolderPart(kPosix, "/a\\b"), "/a\\");
  EXPECT_EQ(FileNamePart(kPosix, "/a/"), "");
}

TEST(PathRulesTest, UniqueFileNameSkipsExistingFilesButNotFolders) {
  testing::TempDir dir;
  auto is_file = [](const std::string& name) { return std::filesystem::is_regular_file(name); };
  const std::string book = dir.Path("book.fb2");
  EXPECT_EQ(UniqueFileName(kPosix, book, is_file), book);

  std::filesystem::create_directory(book);
  EXPECT_EQ(UniqueFileName(kPosix, book, is_file), book);

  testing::WriteFile(dir.Path("notes"), "x");
  EXPECT_EQ(UniqueFileName(kPosix, dir.Path("notes"), is_file), dir.Path("notes01"));
}

TEST(PathRulesTest, UniqueFileNameNumbersWithTwoDigitsThenMore) {
  std::set<std::string> taken = {"C:\\b.x\\book.fb2"};
  for (int n = 1; n <= 99; ++n) {
    taken.insert("C:\\b.x\\book" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".fb2");
  }
  auto exists = [&taken](const std::string& name) { return taken.count(name) > 0; };
  EXPECT_EQ(UniqueFileName(kWin, "C:\\b.x\\book.fb2", exists), "C:\\b.x\\book100.fb2");
  taken.erase("C:\\b.x\\book07.fb2");
  EXPECT_EQ(UniqueFileName(kWin, "C:\\b.x\\book.fb2", exists), "C:\\b.x\\book07.fb2");
}

}  // namespace
}  // namespace tomeva
