// One-entry ZIP archives of zipped sample books, read back with the catalog's
// own archive reader and, where installed, with unzip.
#include "sample_library/book_zip.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "content/zip_archive.h"
#include "content/zip_format.h"
#include "support/temp_dir.h"

namespace tomeva {
namespace {

using testing::TempDir;
using testing::WriteFile;

const std::string kContent = [] {
  std::string text = "<?xml version=\"1.0\"?>\n<FictionBook>";
  for (int i = 0; i < 300; ++i) text += "<p>Тень ветра, строка " + std::to_string(i) + "</p>";
  return text + "</FictionBook>\n";
}();

TEST(BookZipTest, StoredAndDeflatedEntriesReadBackWithTheArchiveReader) {
  TempDir dir;
  for (ZipMethod method : {ZipMethod::kStored, ZipMethod::kDeflated}) {
    Result<std::string> zip = MakeSingleEntryZip("0001 Соколов - Тень.fb2", kContent, method,
                                                 {2014, 6, 30});
    ASSERT_TRUE(zip.ok()) << zip.message();
    std::string path = dir.Path("book.fb2.zip");
    WriteFile(path, *zip);
    Result<ZipArchive> archive = ZipArchive::Open(path, ZipArchive::Mode::kRead);
    ASSERT_TRUE(archive.ok()) << archive.message();
    ASSERT_EQ(archive->entries().size(), 1u);
    const ZipEntryInfo& entry = archive->entries()[0];
    EXPECT_EQ(entry.name, "0001 Соколов - Тень.fb2");
    EXPECT_EQ(entry.size, kContent.size());
    EXPECT_EQ(entry.method, method == ZipMethod::kStored ? zip::kMethodStored
                                                         : zip::kMethodDeflated);
    if (method == ZipMethod::kDeflated) {
      EXPECT_LT(entry.compressed_size, kContent.size() / 2);
    }
    Result<std::string> extracted = archive->Extract(entry.name);
    ASSERT_TRUE(extracted.ok()) << extracted.message();
    EXPECT_EQ(*extracted, kContent);
    // The name is not ASCII, so the local header flags it as UTF-8; noon of the given day.
    EXPECT_EQ(zip::ReadLe16(*zip, 6) & zip::kFlagUtf8Name, zip::kFlagUtf8Name);
    EXPECT_EQ(zip::ReadLe16(*zip, 10), 12 << 11);
    EXPECT_EQ(zip::ReadLe16(*zip, 12), (2014 - 1980) << 9 | 6 << 5 | 30);
  }
}

TEST(BookZipTest, AsciiNamesAreNotFlaggedAndEmptyContentIsAllowed) {
  Result<std::string> zip = MakeSingleEntryZip("book.fb2", "", ZipMethod::kDeflated);
  ASSERT_TRUE(zip.ok()) << zip.message();
  EXPECT_EQ(zip::ReadLe16(*zip, 6) & zip::kFlagUtf8Name, 0);
  TempDir dir;
  WriteFile(dir.Path("empty.zip"), *zip);
  Result<ZipArchive> archive = ZipArchive::Open(dir.Path("empty.zip"), ZipArchive::Mode::kRead);
  ASSERT_TRUE(archive.ok()) << archive.message();
  Result<std::string> extracted = archive->Extract("book.fb2");
  ASSERT_TRUE(extracted.ok()) << extracted.message();
  EXPECT_EQ(*extracted, "");
}

TEST(BookZipTest, EmptyEntryNameIsRefused) {
  EXPECT_FALSE(MakeSingleEntryZip("", kContent, ZipMethod::kStored).ok());
}

TEST(BookZipTest, UnzipTestsTheArchiveClean) {
  if (access("/usr/bin/unzip", X_OK) != 0) GTEST_SKIP() << "unzip is not installed";
  TempDir dir;
  for (ZipMethod method : {ZipMethod::kStored, ZipMethod::kDeflated}) {
    Result<std::string> zip = MakeSingleEntryZip("Тень.fb2", kContent, method);
    ASSERT_TRUE(zip.ok()) << zip.message();
    WriteFile(dir.Path("check.zip"), *zip);
    std::string command = "/usr/bin/unzip -tqq " + dir.Path("check.zip") + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
}

}  // namespace
}  // namespace tomeva
