// Tests of the file operations: copies never leave partial or replaced targets
// unless asked, ranges read what exists, moves keep the data.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "platform/prompt.h"
#include "support/temp_dir.h"

namespace tomeva::platform {
namespace {

using tomeva::testing::ReadFile;
using tomeva::testing::TempDir;
using tomeva::testing::WriteFile;

TEST(FilesTest, FileExistsIsTrueForFilesOnly) {
  TempDir dir;
  WriteFile(dir.Path("a.fb2"), "x");
  EXPECT_TRUE(FileExists(dir.Path("a.fb2")));
  EXPECT_FALSE(FileExists(dir.path()));
  EXPECT_TRUE(FolderExists(dir.path()));
  EXPECT_FALSE(FileExists(dir.Path("missing")));
  EXPECT_FALSE(FileExists(""));
}

TEST(FilesTest, ReadFileRangeStopsAtTheEndOfTheFile) {
  TempDir dir;
  WriteFile(dir.Path("f"), "0123456789");
  EXPECT_EQ(ReadFileRange(dir.Path("f"), 2, 5), "234");
  EXPECT_EQ(ReadFileRange(dir.Path("f"), 0, 0x7FFFFFFF), "0123456789");
  EXPECT_EQ(ReadFileRange(dir.Path("f"), 10, 20), "");
  EXPECT_EQ(ReadFileRange(dir.Path("missing"), 0, 10), "");
}

TEST(FilesTest, CopyWithoutOverwriteKeepsAnExistingTarget) {
  TempDir dir;
  WriteFile(dir.Path("src"), "new");
  WriteFile(dir.Path("dst"), "old");
  EXPECT_FALSE(CopyFile(dir.Path("src"), dir.Path("dst"), Overwrite::kNo).ok());
  EXPECT_EQ(ReadFile(dir.Path("dst")), "old");
  ASSERT_TRUE(CopyFile(dir.Path("src"), dir.Path("dst"), Overwrite::kYes).ok());
  EXPECT_EQ(ReadFile(dir.Path("dst")), "new");
  EXPECT_FALSE(FileExists(dir.Path("dst.tmp~")));
}

TEST(FilesTest, WriteNewFileKeepsAnExistingFileUnlessAskedAndLeavesNoPartialOne) {
  TempDir dir;
  WriteFile(dir.Path("dst"), "old");
  EXPECT_FALSE(WriteNewFile(dir.Path("dst"), "new", Overwrite::kNo).ok());
  EXPECT_EQ(ReadFile(dir.Path("dst")), "old");
  ASSERT_TRUE(WriteNewFile(dir.Path("dst"), "new", Overwrite::kYes).ok());
  EXPECT_EQ(ReadFile(dir.Path("dst")), "new");
  ASSERT_TRUE(WriteNewFile(dir.Path("fresh"), "data", Overwrite::kNo).ok());
  EXPECT_EQ(ReadFile(dir.Path("fresh")), "data");
  EXPECT_FALSE(WriteNewFile(dir.Path("no/such/folder/dst"), "data", Overwrite::kYes).ok());
  EXPECT_FALSE(FileExists(dir.Path("dst.tmp~")));
  EXPECT_FALSE(FileExists(dir.Path("fresh.tmp~")));
}

TEST(FilesTest, FailedCopyLeavesNoTarget) {
  TempDir dir;
  EXPECT_FALSE(CopyFile(dir.Path("missing"), dir.Path("dst"), Overwrite::kYes).ok());
  EXPECT_FALSE(FileExists(dir.Path("dst")));
  WriteFile(dir.Path("src"), "data");
  EXPECT_FALSE(CopyFile(dir.Path("src"), dir.Path("no/such/folder/dst"), Overwrite::kYes).ok());
  EXPECT_FALSE(FileExists(dir.Path("src.tmp~")));
}

TEST(FilesTest, MoveRefusesToReplaceUnlessAsked) {
  TempDir dir;
  WriteFile(dir.Path("a"), "A");
  WriteFile(dir.Path("b"), "B");
  EXPECT_FALSE(MoveFile(dir.Path("a"), dir.Path("b"), Overwrite::kNo).ok());
  EXPECT_EQ(ReadFile(dir.Path("a")), "A");
  ASSERT_TRUE(MoveFile(dir.Path("a"), dir.Path("c"), Overwrite::kNo).ok());
  EXPECT_FALSE(FileExists(dir.Path("a")));
  EXPECT_EQ(ReadFile(dir.Path("c")), "A");
}

TEST(FilesTest, WriteFileAtomicReplacesWholeContent) {
  TempDir dir;
  WriteFile(dir.Path("f"), "a long old content");
  ASSERT_TRUE(WriteFileAtomic(dir.Path("f"), "new").ok());
  EXPECT_EQ(ReadFile(dir.Path("f")), "new");
  EXPECT_FALSE(WriteFileAtomic(dir.Path("missing/f"), "x").ok());
}

TEST(FilesTest, CreateFoldersMakesEveryLevel) {
  TempDir dir;
  ASSERT_TRUE(CreateFolders(dir.Path("a/b/c")).ok());
  EXPECT_TRUE(FolderExists(dir.Path("a/b/c")));
  EXPECT_TRUE(CreateFolders(dir.Path("a/b/c")).ok());
  WriteFile(dir.Path("file"), "x");
  EXPECT_FALSE(CreateFolders(dir.Path("file/sub")).ok());
}

TEST(PromptTest, AskFileNameOffersTheFilterAndTreatsEmptyAsCancel) {
  std::string seen_title, seen_text, seen_preset;
  TextRequest answer_with = [&](std::string_view title, std::string_view text,
                                std::string_view preset) -> std::optional<std::string> {
    seen_title = title;
    seen_text = text;
    seen_preset = preset;
    return std::string("/lib/Tomeva.xml");
  };
  EXPECT_EQ(AskFileName(answer_with, "/x/Tomeva.xml", "xml|*.xml|all files|*.*", "Settings"),
            "/lib/Tomeva.xml");
  EXPECT_EQ(seen_title, "Settings");
  EXPECT_EQ(seen_text, "xml (*.xml), all files (*.*)");
  EXPECT_EQ(seen_preset, "/x/Tomeva.xml");

  TextRequest refuse = [](std::string_view, std::string_view, std::string_view) {
    return std::optional<std::string>();
  };
  EXPECT_EQ(AskFileName(refuse, "a", "xml|*.xml", "t"), "");
  EXPECT_EQ(AskFileName(nullptr, "a", "xml|*.xml", "t"), "");
}

}  // namespace
}  // namespace tomeva::platform

namespace tomeva::platform {
namespace {

TEST(FilesTest, CopyKeepsTheModificationTime) {
  tomeva::testing::TempDir dir;
  tomeva::testing::WriteFile(dir.Path("src"), "data");
  struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, dir.Path("src").c_str(), times, 0), 0);
  ASSERT_TRUE(CopyFile(dir.Path("src"), dir.Path("dst"), Overwrite::kNo).ok());
  ASSERT_TRUE(FileModifiedTime(dir.Path("dst")).has_value());
  EXPECT_EQ(FileModifiedTime(dir.Path("dst"))->time_since_epoch().count(), 1000000000);
}

// A copy that refuses to replace is named only once it is whole: the folder
// never shows a partial copy or a name of the copy's own, and the file is
// readable as any other the library holds.
TEST(FilesTest, CopyWithoutOverwriteLeavesTheWholeFileAndNoOtherName) {
  tomeva::testing::TempDir dir;
  std::string data(3 << 20, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 23);
  tomeva::testing::WriteFile(dir.Path("src"), data);
  ASSERT_TRUE(CopyFile(dir.Path("src"), dir.Path("dst"), Overwrite::kNo).ok());
  EXPECT_TRUE(tomeva::testing::ReadFile(dir.Path("dst")) == data);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"dst", "src"}));
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat st;
  ASSERT_EQ(::stat(dir.Path("dst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644 & ~mask);
}

// Two copies to one new name at once (two imports of the same book): one
// gives the name a whole file, the other is told the file exists; neither
// writes into the other's copy.
TEST(FilesTest, CopiesRacingToOneNameGiveOneWholeFile) {
  tomeva::testing::TempDir dir;
  const std::string first(1 << 20, 'A');
  const std::string second(1 << 19, 'B');
  tomeva::testing::WriteFile(dir.Path("first"), first);
  tomeva::testing::WriteFile(dir.Path("second"), second);
  for (int round = 0; round < 20; ++round) {
    const std::string target = dir.Path("dst" + std::to_string(round));
    Status results[2];
    std::latch start(2);
    std::thread other([&] {
      start.arrive_and_wait();
      results[1] = CopyFile(dir.Path("second"), target, Overwrite::kNo);
    });
    start.arrive_and_wait();
    results[0] = CopyFile(dir.Path("first"), target, Overwrite::kNo);
    other.join();
    ASSERT_NE(results[0].ok(), results[1].ok()) << "round " << round;
    const Status& refused = results[0].ok() ? results[1] : results[0];
    EXPECT_NE(refused.message().find("already exists"), std::string::npos) << refused.message();
    // Compared whole without printing a megabyte when they differ.
    EXPECT_TRUE(tomeva::testing::ReadFile(target) == (results[0].ok() ? first : second))
        << "round " << round << ": the file mixes both copies";
  }
}

TEST(FilesTest, RenameWithoutReplacingKeepsAnExistingTarget) {
  tomeva::testing::TempDir dir;
  tomeva::testing::WriteFile(dir.Path("a"), "A");
  tomeva::testing::WriteFile(dir.Path("b"), "B");
  const Status refused = RenameWithoutReplacing(dir.Path("a"), dir.Path("b"));
  ASSERT_FALSE(refused.ok());
  EXPECT_NE(refused.message().find("already exists"), std::string::npos);
  EXPECT_EQ(tomeva::testing::ReadFile(dir.Path("a")), "A");
  EXPECT_EQ(tomeva::testing::ReadFile(dir.Path("b")), "B");
  ASSERT_TRUE(RenameWithoutReplacing(dir.Path("a"), dir.Path("c")).ok());
  EXPECT_FALSE(FileExists(dir.Path("a")));
  EXPECT_EQ(tomeva::testing::ReadFile(dir.Path("c")), "A");
  EXPECT_FALSE(RenameWithoutReplacing(dir.Path("missing"), dir.Path("d")).ok());
}

}  // namespace
}  // namespace tomeva::platform
