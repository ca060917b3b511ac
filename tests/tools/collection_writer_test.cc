// Tests of the sample collection writer: archives of the planned size holding
// readable members, an index naming every book once per archive, deleted
// marks where asked, and the same bytes for the same seed.
#include "sample_library/collection_writer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "content/zip_archive.h"
#include "support/temp_dir.h"

namespace tomeva {
namespace {

using testing::ReadFile;
using testing::TempDir;

SampleLibraryOptions Options(const std::string& out) {
  SampleLibraryOptions options;
  options.out = out;
  options.collection = "test";
  options.count = 25;
  options.per_archive = 10;
  options.body_kb = 1;
  options.zipped_percent = 50;
  options.deleted_percent = 20;
  return options;
}

TEST(CollectionWriterTest, ArchivesHoldTheBooksTheIndexDescribes) {
  TempDir dir;
  Result<SampleCollectionSummary> written = WriteSampleCollection(Options(dir.Path("c")));
  ASSERT_TRUE(written.ok()) << written.message();
  EXPECT_EQ(written->archives, 3u);
  ASSERT_EQ(written->books.size(), 25u);
  EXPECT_GT(written->deleted, 0u);

  Result<ZipArchive> index = ZipArchive::Open(written->index, ZipArchive::Mode::kRead);
  ASSERT_TRUE(index.ok()) << index.message();
  std::vector<std::string> names;
  for (const ZipEntryInfo& entry : index->entries()) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"collection.info", "version.info", "structure.info",
                                             "fb2-000001-000010.inp", "fb2-000011-000020.inp",
                                             "fb2-000021-000025.inp"}));
  Result<std::string> last = index->Extract("fb2-000021-000025.inp");
  ASSERT_TRUE(last.ok());
  EXPECT_EQ(std::count(last->begin(), last->end(), '\n'), 5);

  bool stored = false, deflated = false;
  for (const CollectionBook& book : written->books) {
    Result<ZipArchive> archive =
        ZipArchive::Open(dir.Path("c/" + book.archive), ZipArchive::Mode::kRead);
    ASSERT_TRUE(archive.ok()) << archive.message();
    Result<std::string> member = archive->Extract(book.member);
    ASSERT_TRUE(member.ok()) << member.message();
    EXPECT_EQ(member->rfind("<?xml", 0), 0u);
    if (book.title.find_first_of("&<>'\"") == std::string::npos) {  // else written escaped
      EXPECT_NE(member->find("<book-title>" + book.title + "</book-title>"), std::string::npos)
          << book.title;
    }
    for (const ZipEntryInfo& entry : archive->entries()) {
      if (entry.name != book.member) continue;
      (entry.method == 0 ? stored : deflated) = true;
      EXPECT_EQ(entry.method == 8, book.deflated);
    }
  }
  EXPECT_TRUE(stored && deflated);
}

TEST(CollectionWriterTest, TheSameOptionsGiveTheSameBytes) {
  TempDir dir;
  ASSERT_TRUE(WriteSampleCollection(Options(dir.Path("a"))).ok());
  ASSERT_TRUE(WriteSampleCollection(Options(dir.Path("b"))).ok());
  EXPECT_EQ(ReadFile(dir.Path("a/test.inpx")), ReadFile(dir.Path("b/test.inpx")));
  EXPECT_EQ(ReadFile(dir.Path("a/fb2-000011-000020.zip")),
            ReadFile(dir.Path("b/fb2-000011-000020.zip")));
}

TEST(CollectionWriterTest, IndexOnlyArchivesHaveNoMembers) {
  TempDir dir;
  SampleLibraryOptions options = Options(dir.Path("c"));
  options.index_only = true;
  ASSERT_TRUE(WriteSampleCollection(options).ok());
  Result<ZipArchive> archive =
      ZipArchive::Open(dir.Path("c/fb2-000001-000010.zip"), ZipArchive::Mode::kRead);
  ASSERT_TRUE(archive.ok()) << archive.message();
  EXPECT_TRUE(archive->entries().empty());
}

}  // namespace
}  // namespace tomeva
