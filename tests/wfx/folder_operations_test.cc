// End-to-end folder operations through the real Tomeva.wfx with the default
// settings: copying a folder tree of books in (FsMkDir for each level, then
// FsPutFile for its files, as the host does) and removing a folder once its
// books are gone (FsDeleteFile for each book, then FsRemoveDir).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/fb2_book_text.h"
#include "wfx/library_fixture.h"

namespace tomeva::testing {
namespace {

using Strings = std::vector<std::string>;

class FolderOperationsTest : public LibraryTest {
 protected:
  bool MkDir(const std::string& path) {
    auto mkdir = reinterpret_cast<tFsMkDir>(plugin_->Export("FsMkDir"));
    std::string p = path;
    return mkdir(p.data()) != FALSE;
  }
  bool RemoveDir(const std::string& path) {
    auto rmdir = reinterpret_cast<tFsRemoveDir>(plugin_->Export("FsRemoveDir"));
    std::string p = path;
    return rmdir(p.data()) != FALSE;
  }
  Strings Listed(const std::string& folder) {
    auto entries = plugin_->List(folder);
    Strings names = entries ? Names(*entries) : Strings{};
    std::sort(names.begin(), names.end());
    return names;
  }
  // A book file of the given title and genre in the local folder tree.
  std::string LocalBook(const std::string& relative, const std::string& title,
                        const std::string& genre) {
    TestBook book;
    book.title = title;
    book.genres = {genre};
    const std::string path = dir_.Path("in/" + relative);
    WriteFile(path, Fb2Text(book));
    return path;
  }
};

TEST_F(FolderOperationsTest, AFolderTreeCopiedInIsImportedWhateverItsFolderNames) {
  const std::string top = LocalBook("Классика/Война и мир.fb2", "Война и мир", "prose_classic");
  const std::string inner = LocalBook("Классика/Ранние/Детство.fb2", "Детство", "prose_classic");
  const std::string deeper =
      LocalBook("Классика/Ранние/Стихи/Песня.fb2", "Песня", "poetry");
  Start();
  // The host makes each level before copying the files of that level.
  ASSERT_TRUE(MkDir("/По жанрам/Классика"));
  EXPECT_EQ(Put(top, "/По жанрам/Классика/Война и мир.fb2"), FS_FILE_OK);
  ASSERT_TRUE(MkDir("/По жанрам/Классика/Ранние"));
  EXPECT_EQ(Put(inner, "/По жанрам/Классика/Ранние/Детство.fb2"), FS_FILE_OK);
  ASSERT_TRUE(MkDir("/По жанрам/Классика/Ранние/Стихи"));
  EXPECT_EQ(Put(deeper, "/По жанрам/Классика/Ранние/Стихи/Песня.fb2"), FS_FILE_OK);

  // The books are filed by their metadata, not by the folders they came in.
  EXPECT_EQ(Query("SELECT Count(*) FROM Books"), "3");
  EXPECT_EQ(Listed("/По авторам/Т/Толстой Лев Николаевич"),
            (Strings{"Война и мир.fb2", "Детство.fb2", "Песня.fb2"}));
  EXPECT_EQ(Listed("/По жанрам/poetry"), Strings{"Песня.fb2"});
  EXPECT_EQ(LibraryFiles(), (Strings{"Толстой Лев/Война и мир.fb2", "Толстой Лев/Детство.fb2",
                                     "Толстой Лев/Песня.fb2"}));
  // The made folders are not kept anywhere: they do not show.
  EXPECT_EQ(Listed("/По жанрам"), (Strings{"poetry", "prose_classic"}));
}

TEST_F(FolderOperationsTest, MakingAFolderNeedsAStartedSession) {
  // Without settings the session does not start, so no book could follow.
  std::filesystem::remove(plugin_->folder() + "/Tomeva.xml");
  plugin_->prompt_answers.push_back(std::nullopt);
  EXPECT_EQ(plugin_->Init(), -1);
  EXPECT_FALSE(MkDir("/По жанрам/Новая"));
  EXPECT_FALSE(RemoveDir("/По жанрам/Новая"));
}

TEST_F(FolderOperationsTest, WithoutACatalogFoldersAreNeitherMadeNorRemovedAndTheLogSaysWhy) {
  SetSetting("provider", "Nonsense.Provider");
  Start();
  EXPECT_FALSE(MkDir("/По жанрам/Новая"));
  EXPECT_FALSE(RemoveDir("/По жанрам/Новая"));
  ASSERT_EQ(plugin_->logs.size(), 2u);
  EXPECT_NE(plugin_->logs[0].find("Nonsense.Provider"), std::string::npos) << plugin_->logs[0];
  EXPECT_EQ(plugin_->logs[1], plugin_->logs[0]);
}

TEST_F(FolderOperationsTest, AGenreFolderIsRemovedOnlyOnceItsBooksAreTakenOut) {
  const std::string ode = LocalBook("ode.fb2", "Ода", "poetry");
  const std::string song = LocalBook("song.fb2", "Песня", "poetry");
  const std::string war = LocalBook("war.fb2", "Война и мир", "prose_classic");
  Start();
  for (const std::string& local : {ode, song, war}) ASSERT_EQ(Put(local, "/x.fb2"), FS_FILE_OK);
  ASSERT_EQ(Listed("/По жанрам/poetry"), (Strings{"Ода.fb2", "Песня.fb2"}));

  // F8 on the genre folder: the host deletes its files one by one, then the folder.
  ASSERT_TRUE(Delete("/По жанрам/poetry/Ода.fb2"));
  EXPECT_FALSE(RemoveDir("/По жанрам/poetry"));  // a book is still in it
  ASSERT_FALSE(plugin_->logs.empty());
  EXPECT_EQ(plugin_->logs.back(),
            "cannot remove the folder /По жанрам/poetry: it still holds books or folders");
  EXPECT_EQ(Listed("/По жанрам/poetry"), Strings{"Песня.fb2"});
  ASSERT_TRUE(Delete("/По жанрам/poetry/Песня.fb2"));
  EXPECT_TRUE(RemoveDir("/По жанрам/poetry"));
  EXPECT_EQ(Listed("/По жанрам"), Strings{"prose_classic"});
  // Taking books out of a genre unlinks them: they stay in the library.
  EXPECT_EQ(Query("SELECT Count(*) FROM Books"), "3");
  EXPECT_EQ(LibraryFiles().size(), 3u);
}

TEST_F(FolderOperationsTest, FoldersThatStillShowAreNotRemoved) {
  const std::string war = LocalBook("war.fb2", "Война и мир", "prose_classic");
  Start();
  ASSERT_EQ(Put(war, "/x.fb2"), FS_FILE_OK);
  // An author's folder with a book, and the letter above it.
  EXPECT_FALSE(RemoveDir("/По авторам/Т/Толстой Лев Николаевич"));
  EXPECT_FALSE(RemoveDir("/По авторам/Т"));
  // "По сериям" is empty (no book has a series) but always shown; the root too.
  EXPECT_EQ(Listed("/По сериям"), Strings{});
  EXPECT_FALSE(RemoveDir("/По сериям"));
  ASSERT_FALSE(plugin_->logs.empty());
  EXPECT_EQ(plugin_->logs.back(),
            "cannot remove the folder /По сериям: the catalog always shows it");
  EXPECT_FALSE(RemoveDir("/"));
  // A folder made and left empty was never in the catalog: removing it succeeds.
  ASSERT_TRUE(MkDir("/По жанрам/Новая"));
  EXPECT_TRUE(RemoveDir("/По жанрам/Новая"));
  EXPECT_EQ(Query("SELECT Count(*) FROM Books"), "1");
}

}  // namespace
}  // namespace tomeva::testing
