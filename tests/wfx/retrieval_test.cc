// End-to-end copy-out through the real Tomeva.wfx: FsGetFile, FsGetLocalName and
// FsGetPreviewBitmap on books whose rows were written by SQL.
#include <gtest/gtest.h>

#include <cstring>

#include "wfx/library_fixture.h"

namespace tomeva::testing {
namespace {

constexpr const char* kBook = "/По названиям/В/Война и мир.fb2";

class RetrievalTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    Sql("INSERT INTO Books (BookId, Title, Link, fSize) VALUES (1, 'Война и мир', 'a/war.fb2', 4), "
        "(2, 'Пропавшая', 'a/gone.fb2', 4)");
    WriteFile(LibraryFolder() + "/a/war.fb2", "BOOK");
    Start();
    get_file_ = reinterpret_cast<int (*)(char*, char*, int, RemoteInfoStruct*)>(
        plugin_->Export("FsGetFile"));
    local_name_ = reinterpret_cast<BOOL (*)(char*, int)>(plugin_->Export("FsGetLocalName"));
    preview_ = reinterpret_cast<int (*)(char*, int, int, HBITMAP*)>(
        plugin_->Export("FsGetPreviewBitmap"));
    ASSERT_TRUE(get_file_ && local_name_ && preview_);
  }
  int Get(const std::string& remote, const std::string& local, int flags) {
    std::string r = remote;
    std::string l = local;
    return get_file_(r.data(), l.data(), flags, nullptr);
  }
  int (*get_file_)(char*, char*, int, RemoteInfoStruct*) = nullptr;
  BOOL (*local_name_)(char*, int) = nullptr;
  int (*preview_)(char*, int, int, HBITMAP*) = nullptr;
};

TEST_F(RetrievalTest, GetFileCopiesTheStoredBytesAndReportsProgress) {
  EXPECT_EQ(Get(kBook, dir_.Path("out.fb2"), 0), FS_FILE_OK);
  EXPECT_EQ(ReadFile(dir_.Path("out.fb2")), "BOOK");
  EXPECT_EQ(plugin_->progress, (std::vector<int>{0, 100}));
}

TEST_F(RetrievalTest, GetFileKeepsAnExistingTargetUnlessAskedAndCallsNoProgress) {
  WriteFile(dir_.Path("out.fb2"), "MINE");
  EXPECT_EQ(Get(kBook, dir_.Path("out.fb2"), 0), FS_FILE_EXISTS);
  EXPECT_EQ(ReadFile(dir_.Path("out.fb2")), "MINE");
  EXPECT_TRUE(plugin_->progress.empty());
  EXPECT_EQ(Get(kBook, dir_.Path("out.fb2"), FS_COPYFLAGS_OVERWRITE), FS_FILE_OK);
  EXPECT_EQ(ReadFile(dir_.Path("out.fb2")), "BOOK");
}

TEST_F(RetrievalTest, AbortAtTheStartCreatesNothing) {
  plugin_->abort_at_percent = 0;
  EXPECT_EQ(Get(kBook, dir_.Path("out.fb2"), 0), FS_FILE_USERABORT);
  EXPECT_FALSE(PathExists(dir_.Path("out.fb2")));
}

TEST_F(RetrievalTest, TheMoveFlagLeavesTheBookInPlace) {
  EXPECT_EQ(Get(kBook, dir_.Path("out.fb2"), FS_COPYFLAGS_MOVE), FS_FILE_OK);
  EXPECT_TRUE(PathExists(LibraryFolder() + "/a/war.fb2"));
  auto listed = plugin_->List("/По названиям/В");
  ASSERT_TRUE(listed.has_value());
  EXPECT_EQ(listed->size(), 1u);
}

TEST_F(RetrievalTest, MissingBooksAndMissingFilesAreErrorsWithoutATarget) {
  EXPECT_EQ(Get("/По названиям/Н/Нет такой.fb2", dir_.Path("a.fb2"), 0), FS_FILE_NOTFOUND);
  EXPECT_EQ(Get("/По названиям/П/Пропавшая.fb2", dir_.Path("b.fb2"), 0), FS_FILE_READERROR);
  EXPECT_FALSE(PathExists(dir_.Path("a.fb2")));
  EXPECT_FALSE(PathExists(dir_.Path("b.fb2")));
}

TEST_F(RetrievalTest, GetFileIntoAMissingFolderIsAWriteError) {
  EXPECT_EQ(Get(kBook, dir_.Path("no such folder/out.fb2"), 0), FS_FILE_WRITEERROR);
  EXPECT_FALSE(PathExists(dir_.Path("no such folder")));
  EXPECT_TRUE(plugin_->progress.empty());
}

TEST_F(RetrievalTest, LocalNameIsTheAbsoluteStoredPathCutToTheBuffer) {
  const std::string stored = LibraryFolder() + "/a/war.fb2";
  char buffer[1024];
  std::strcpy(buffer, kBook);
  EXPECT_TRUE(local_name_(buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), stored);
  std::strcpy(buffer, kBook);
  EXPECT_TRUE(local_name_(buffer, 11));
  EXPECT_EQ(std::string(buffer), stored.substr(0, 10));
  std::strcpy(buffer, "/По названиям/В");
  EXPECT_TRUE(local_name_(buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), "");
}

TEST_F(RetrievalTest, PreviewNamesTheStoredFileOnlyWhenItExists) {
  char buffer[MAX_PATH];
  std::strcpy(buffer, kBook);
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(1);
  EXPECT_EQ(preview_(buffer, 64, 64, &bitmap), FS_BITMAP_EXTRACT_YOURSELF | FS_BITMAP_CACHE);
  EXPECT_EQ(std::string(buffer), LibraryFolder() + "/a/war.fb2");
  EXPECT_EQ(bitmap, nullptr);
  std::strcpy(buffer, "/По названиям/П/Пропавшая.fb2");
  EXPECT_EQ(preview_(buffer, 64, 64, &bitmap), FS_BITMAP_NONE);
  EXPECT_EQ(std::string(buffer), "/По названиям/П/Пропавшая.fb2");
}

TEST_F(RetrievalTest, PreviewOfAStoredFileWhoseNameDoesNotFitIsNone) {
  // A stored file whose absolute name takes 260 bytes or more: cut to the
  // buffer it would name a file that does not exist.
  const std::string folder(250, 'd');
  Sql("INSERT INTO Books (BookId, Title, Link, fSize) VALUES (3, 'Длинный', '" + folder +
      "/long.fb2', 4)");
  WriteFile(LibraryFolder() + "/" + folder + "/long.fb2", "BOOK");
  char buffer[MAX_PATH];
  std::strcpy(buffer, "/По названиям/Д/Длинный.fb2");
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(1);
  EXPECT_EQ(preview_(buffer, 64, 64, &bitmap), FS_BITMAP_NONE);
  EXPECT_EQ(bitmap, nullptr);
  EXPECT_EQ(std::string(buffer), "/По названиям/Д/Длинный.fb2");
}

}  // namespace
}  // namespace tomeva::testing
