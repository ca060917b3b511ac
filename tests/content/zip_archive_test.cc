// Tests of ZIP archive access: mask matching, reading the forms of entries the
// system meets, resisting damaged and hostile archives, and replacing an entry.
#include "content/zip_archive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "content/zip_format.h"
#include "support/zip_test_util.h"
#include "support/temp_dir.h"

namespace tomeva {
namespace {

using testing::BuildTestZip;
using testing::ReadFile;
using testing::TempDir;
using testing::TestZipEntry;
using testing::WriteFile;
using Descriptor = TestZipEntry::Descriptor;

bool HaveTool(const char* path) { return ::access(path, X_OK) == 0; }

// Runs a shell command quietly; true when it exits with status 0.
bool RunQuietly(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string BookText(int lines) {
  std::string text = "<?xml version=\"1.0\"?><FictionBook>";
  for (int i = 0; i < lines; ++i) text += "<p>Line " + std::to_string(i) + " of the book.</p>\n";
  return text + "</FictionBook>";
}

// The local records (header, data, descriptor) a single entry is written as.
std::string LocalRecordOf(const TestZipEntry& entry) {
  std::string zip = BuildTestZip({entry});
  return zip.substr(0, zip.find("PK\x01\x02"));
}

Result<std::string> ExtractFrom(const std::string& path, std::string_view name,
                                ZipLimits limits = {}) {
  Result<ZipArchive> archive = ZipArchive::Open(path, ZipArchive::Mode::kRead, limits);
  if (!archive) return archive.error();
  return archive->Extract(name);
}

TEST(MatchZipMaskTest, MatchesWildcardsIgnoringCaseAcrossFolders) {
  EXPECT_TRUE(MatchZipMask("*.fb2", "Book.FB2"));
  EXPECT_TRUE(MatchZipMask("*.fb2", "books/sub/book.fb2"));
  EXPECT_FALSE(MatchZipMask("*.fb2", "book.fb2.zip"));
  EXPECT_TRUE(MatchZipMask("*.*", "README"));
  EXPECT_TRUE(MatchZipMask("*", ""));
  EXPECT_TRUE(MatchZipMask("b?ok.*", "BOOK.txt"));
  EXPECT_FALSE(MatchZipMask("b?ok.*", "bok.txt"));
  EXPECT_TRUE(MatchZipMask("*a*b", "xaxaxb"));
  EXPECT_FALSE(MatchZipMask("*a*b", "xaxbx"));
  EXPECT_TRUE(MatchZipMask("книг?.fb2", "КНИГА.FB2"));  // "?" takes one whole letter
  EXPECT_FALSE(MatchZipMask("", "a"));
}

TEST(ZipArchiveTest, FindFirstEntryFollowsCentralDirectoryOrder) {
  TempDir dir;
  WriteFile(dir.Path("a.zip"), BuildTestZip({{.name = "readme.txt", .content = "hi"},
                                             {.name = "Book.FB2", .content = "one"},
                                             {.name = "other.fb2", .content = "two"}}));
  Result<ZipArchive> archive = ZipArchive::Open(dir.Path("a.zip"), ZipArchive::Mode::kRead);
  ASSERT_TRUE(archive) << archive.message();
  ASSERT_EQ(archive->entries().size(), 3u);
  std::optional<ZipEntryInfo> found = archive->FindFirstEntry("*.fb2");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, "Book.FB2");
  EXPECT_EQ(found->size, 3u);
  EXPECT_EQ(found->method, 8);
  EXPECT_FALSE(archive->FindFirstEntry("*.epub"));
}

TEST(ZipArchiveTest, ExtractsStoredDeflatedAndDescriptorEntries) {
  TempDir dir;
  std::string book = BookText(500);
  WriteFile(dir.Path("a.zip"),
            BuildTestZip({{.name = "stored.txt", .content = "plain", .deflate = false},
                          {.name = "book.fb2", .content = book},
                          {.name = "sig.fb2", .content = book,
                           .descriptor = Descriptor::kWithSignature},
                          {.name = "nosig.fb2", .content = "x", .deflate = false,
                           .descriptor = Descriptor::kWithoutSignature},
                          {.name = "empty", .content = ""}},
                         {.prefix = "#!/bin/sh stub\n", .comment = "PK\x05\x06 fake"}));
  Result<ZipArchive> archive = ZipArchive::Open(dir.Path("a.zip"), ZipArchive::Mode::kRead);
  ASSERT_TRUE(archive) << archive.message();
  const std::pair<const char*, std::string> expected[] = {
      {"stored.txt", "plain"}, {"book.fb2", book}, {"sig.fb2", book}, {"nosig.fb2", "x"},
      {"empty", ""}};
  for (const auto& [name, content] : expected) {
    Result<std::string> got = archive->Extract(name);
    ASSERT_TRUE(got) << name << ": " << got.message();
    EXPECT_EQ(*got, content) << name;
  }
  EXPECT_FALSE(archive->Extract("STORED.TXT"));  // names are exact
}

TEST(ZipArchiveTest, ReadsAndRewritesZip64Records) {
  TempDir dir;
  std::string path = dir.Path("a.zip");
  WriteFile(path, BuildTestZip({{.name = "a.fb2", .content = "first", .zip64 = true},
                                {.name = "b.txt", .content = "second", .descriptor =
                                     Descriptor::kWithSignature, .zip64 = true}},
                               {.comment = "z64", .zip64_end = true}));
  EXPECT_EQ(*ExtractFrom(path, "b.txt"), "second");
  Result<ZipArchive> archive = ZipArchive::Open(path, ZipArchive::Mode::kReadWrite);
  ASSERT_TRUE(archive) << archive.message();
  EXPECT_EQ(*archive->Extract("a.fb2"), "first");
  ASSERT_TRUE(archive->Replace("a.fb2", "changed", 0x20));
  ASSERT_TRUE(archive->Commit());
  EXPECT_EQ(*archive->Extract("a.fb2"), "changed");
  EXPECT_EQ(*ExtractFrom(path, "b.txt"), "second");
  std::string bytes = ReadFile(path);
  EXPECT_NE(bytes.find("PK\x06\x06"), std::string::npos);  // ZIP64 end record kept
  if (HaveTool("/usr/bin/unzip")) {
    EXPECT_TRUE(RunQuietly("/usr/bin/unzip -t " + path));
  }
}

TEST(ZipArchiveTest, ExtractRejectsDamagedEncryptedAndUnsupportedEntries) {
  TempDir dir;
  std::string path = dir.Path("a.zip");
  WriteFile(path, BuildTestZip({{.name = "crc", .content = "data", .recorded_crc = 1234},
                                {.name = "locked", .content = "data", .extra_flags = 1},
                                {.name = "bzip2", .content = "data", .method_override = 12},
                                {.name = "short", .content = "data", .recorded_size = 10},
                                {.name = "long", .content = "data", .recorded_size = 2},
                                {.name = "stored", .content = "data", .deflate = false,
                                 .recorded_size = 3}}));
  const std::pair<const char*, const char*> expected[] = {
      {"crc", "CRC-32"}, {"locked", "encrypted"}, {"bzip2", "method 12"},
      {"short", "shorter"}, {"long", "beyond"}, {"stored", "sizes disagree"},
      {"missing", "no entry"}};
  for (const auto& [name, message] : expected) {
    Result<std::string> got = ExtractFrom(path, name);
    ASSERT_FALSE(got) << name;
    EXPECT_NE(got.message().find(message), std::string::npos) << got.message();
  }
}

TEST(ZipArchiveTest, ExtractPiecesStopsWhereItsReaderStopsAndChecksWhatItReadsWhole) {
  TempDir dir;
  std::string content;
  for (int i = 0; i < 20000; ++i) content += "строка " + std::to_string(i) + "\n";
  const std::string path = dir.Path("a.zip");
  WriteFile(path, BuildTestZip({{.name = "book.fb2", .content = content},
                                {.name = "stored.fb2", .content = content, .deflate = false},
                                {.name = "crc.fb2", .content = content, .recorded_crc = 1234}}));
  Result<ZipArchive> archive = ZipArchive::Open(path, ZipArchive::Mode::kRead);
  ASSERT_TRUE(archive) << archive.message();
  // Read whole, piece by piece: the same bytes as Extract.
  for (const char* name : {"book.fb2", "stored.fb2"}) {
    std::string whole;
    int pieces = 0;
    ASSERT_TRUE(archive->ExtractPieces(name, [&](std::string_view piece) {
      whole += piece;
      ++pieces;
      return true;
    }));
    EXPECT_EQ(whole, content) << name;
    EXPECT_GT(pieces, 1) << name;
  }
  // Stopped after the first piece: little is inflated (a book's header), and
  // the damage further on (a wrong CRC-32) is not reached.
  std::string first;
  ASSERT_TRUE(archive->ExtractPieces("crc.fb2", [&](std::string_view piece) {
    first += piece;
    return false;
  }));
  EXPECT_LE(first.size(), 8u << 10);
  EXPECT_EQ(first, content.substr(0, first.size()));
  // Read to its end, the damaged entry fails.
  Status read_all = archive->ExtractPieces("crc.fb2", [](std::string_view) { return true; });
  ASSERT_FALSE(read_all.ok());
  EXPECT_NE(read_all.message().find("CRC-32"), std::string::npos) << read_all.message();
}

TEST(ZipArchiveTest, ExtractStopsZipBombsWithoutInflatingThem) {
  TempDir dir;
  // 300 MiB of zeros, recorded truthfully: over the size limit.
  testing::WriteZerosZip(dir.Path("bomb.zip"), "bomb.fb2", 300ull << 20);
  Result<std::string> got = ExtractFrom(dir.Path("bomb.zip"), "bomb.fb2");
  ASSERT_FALSE(got);
  EXPECT_NE(got.message().find("larger than"), std::string::npos) << got.message();
  // 32 MiB recorded as 1000 bytes: inflating stops there.
  testing::WriteZerosZip(dir.Path("liar.zip"), "bomb.fb2", 32 << 20, 1000);
  got = ExtractFrom(dir.Path("liar.zip"), "bomb.fb2");
  ASSERT_FALSE(got);
  EXPECT_NE(got.message().find("beyond the recorded size"), std::string::npos);
  // 16 MiB of zeros: within the size limit, over the ratio limit.
  testing::WriteZerosZip(dir.Path("ratio.zip"), "z", 16 << 20);
  got = ExtractFrom(dir.Path("ratio.zip"), "z");
  ASSERT_FALSE(got);
  EXPECT_NE(got.message().find("ratio"), std::string::npos);
  EXPECT_EQ(ExtractFrom(dir.Path("ratio.zip"), "z", {.max_ratio = 0})->size(), 16u << 20);
  EXPECT_FALSE(ExtractFrom(dir.Path("ratio.zip"), "z", {.max_entry_size = 1 << 20}));
}

TEST(ZipArchiveTest, OpenFailsWithoutCreatingAnything) {
  TempDir dir;
  for (ZipArchive::Mode mode : {ZipArchive::Mode::kRead, ZipArchive::Mode::kReadWrite}) {
    EXPECT_FALSE(ZipArchive::Open(dir.Path("missing.zip"), mode));
    EXPECT_FALSE(testing::PathExists(dir.Path("missing.zip")));
    EXPECT_FALSE(ZipArchive::Open("", mode));
    EXPECT_FALSE(ZipArchive::Open(dir.path(), mode));
  }
  ASSERT_EQ(::mkfifo(dir.Path("pipe.zip").c_str(), 0600), 0);
  EXPECT_FALSE(ZipArchive::Open(dir.Path("pipe.zip"), ZipArchive::Mode::kRead));  // no hang
  WriteFile(dir.Path("empty.zip"), "");
  WriteFile(dir.Path("text.zip"), std::string(100000, 'x'));
  EXPECT_FALSE(ZipArchive::Open(dir.Path("empty.zip"), ZipArchive::Mode::kRead));
  EXPECT_FALSE(ZipArchive::Open(dir.Path("text.zip"), ZipArchive::Mode::kRead));
}

TEST(ZipArchiveTest, DamagedStructureGivesErrors) {
  TempDir dir;
  std::string zip = BuildTestZip({{.name = "a.fb2", .content = BookText(20)},
                                  {.name = "b.fb2", .content = "b", .deflate = false}},
                                 {.comment = "note"});
  // Every truncation loses the end record or cuts into the comment.
  for (size_t cut = 0; cut < zip.size(); ++cut) {
    WriteFile(dir.Path("cut.zip"), zip.substr(0, cut));
    EXPECT_FALSE(ZipArchive::Open(dir.Path("cut.zip"), ZipArchive::Mode::kRead)) << cut;
  }
  size_t end = zip.rfind("PK\x05\x06");
  std::string bad_directory = zip;
  bad_directory[end + 19] = '\x7f';  // central directory offset far past the end
  WriteFile(dir.Path("bad.zip"), bad_directory);
  EXPECT_FALSE(ZipArchive::Open(dir.Path("bad.zip"), ZipArchive::Mode::kRead));
  std::string bad_offset = zip;
  bad_offset[zip.find("PK\x01\x02") + 45] = '\x7f';  // first entry's local header
  WriteFile(dir.Path("bad.zip"), bad_offset);
  EXPECT_FALSE(ExtractFrom(dir.Path("bad.zip"), "a.fb2"));
  EXPECT_EQ(*ExtractFrom(dir.Path("bad.zip"), "b.fb2"), "b");
}

TEST(ZipArchiveTest, RandomByteFlipsGiveValuesOrErrors) {
  TempDir dir;
  std::string book = BookText(40);
  std::string zip = BuildTestZip({{.name = "a.txt", .content = "abc", .deflate = false},
                                  {.name = "book.fb2", .content = book, .descriptor =
                                       Descriptor::kWithSignature}});
  std::mt19937 random(20240101);
  for (int round = 0; round < 400; ++round) {
    std::string damaged = zip;
    for (int flips = 1 + round % 4; flips > 0; --flips) {
      damaged[random() % damaged.size()] ^= static_cast<char>(1 + random() % 255);
    }
    std::string path = dir.Path("fuzz.zip");
    WriteFile(path, damaged);
    Result<ZipArchive> archive = ZipArchive::Open(path, ZipArchive::Mode::kReadWrite);
    if (!archive) continue;
    for (const ZipEntryInfo& entry : archive->entries()) {
      Result<std::string> got = archive->Extract(entry.name);
      if (got && entry.name == "book.fb2") {
        EXPECT_EQ(*got, book) << round;
      }
    }
    if (std::optional<ZipEntryInfo> first = archive->FindFirstEntry("*")) {
      if (archive->Replace(first->name, "new", 0x20) && archive->Commit()) {
        EXPECT_EQ(*ExtractFrom(path, first->name), "new") << round;
      }
    }
  }
}

TEST(ZipArchiveTest, CommitReplacesOneEntryAndKeepsTheRest) {
  TempDir dir;
  std::string path = dir.Path("books.fb2.zip");
  std::string timestamp("UT\x05\x00\x01\x12\x34\x56\x78", 9);
  std::vector<TestZipEntry> entries = {
      {.name = "readme.txt", .content = "read me", .deflate = false, .central_extra = timestamp},
      {.name = "Book.fb2", .content = BookText(30), .descriptor = Descriptor::kWithSignature},
      {.name = "second.fb2", .content = BookText(60), .descriptor = Descriptor::kWithoutSignature},
      {.name = "cover.jpg", .content = std::string(3000, '\xff'), .deflate = false}};
  std::string original = BuildTestZip(entries, {.comment = "library comment"});
  WriteFile(path, original);
  std::string new_book = BookText(2000);

  Result<ZipArchive> archive = ZipArchive::Open(path, ZipArchive::Mode::kReadWrite);
  ASSERT_TRUE(archive) << archive.message();
  ASSERT_TRUE(archive->Replace("Book.fb2", "draft", 0x20));
  ASSERT_TRUE(archive->Replace("Book.fb2", new_book, 0x20));  // the last one counts
  EXPECT_EQ(*archive->Extract("Book.fb2"), new_book);
  EXPECT_EQ(ReadFile(path), original);  // nothing written before Commit
  ASSERT_TRUE(archive->Commit());
  EXPECT_FALSE(testing::PathExists(path + ".tmp~"));
  EXPECT_EQ(*archive->Extract("Book.fb2"), new_book);

  std::string updated = ReadFile(path);
  EXPECT_EQ(*ExtractFrom(path, "Book.fb2"), new_book);
  EXPECT_EQ(updated.find(LocalRecordOf(entries[1])), std::string::npos);  // old data dropped
  for (size_t i : {0u, 2u, 3u}) {
    EXPECT_EQ(*ExtractFrom(path, entries[i].name), entries[i].content);
    EXPECT_NE(updated.find(LocalRecordOf(entries[i])), std::string::npos) << entries[i].name;
  }
  // readme.txt's central record, timestamp field included, is unchanged.
  size_t old_directory = original.find("PK\x01\x02");
  EXPECT_NE(updated.find(original.substr(old_directory, zip::kCentralRecordSize + 10 + 9)),
            std::string::npos);
  EXPECT_TRUE(updated.ends_with("library comment"));
  size_t book_record = updated.find("PK\x01\x02", updated.find("PK\x01\x02") + 1);
  Result<zip::CentralRecord> record = zip::ParseCentralRecord(updated.substr(book_record));
  ASSERT_TRUE(record);
  EXPECT_EQ(record->name, "Book.fb2");
  EXPECT_EQ(record->external_attributes, (0100644u << 16) | 0x20);  // Unix mode kept
  EXPECT_EQ(record->flags & zip::kFlagDataDescriptor, 0);
  if (HaveTool("/usr/bin/unzip")) {
    EXPECT_TRUE(RunQuietly("/usr/bin/unzip -t " + path));
    EXPECT_TRUE(RunQuietly("/usr/bin/unzip -o -q " + path + " Book.fb2 -d " + dir.Path("out")));
    EXPECT_EQ(ReadFile(dir.Path("out/Book.fb2")), new_book);
  }
}

TEST(ZipArchiveTest, ReplaceNeedsReadWriteAndAnExistingEntry) {
  TempDir dir;
  std::string path = dir.Path("a.zip");
  std::string original = BuildTestZip({{.name = "a.fb2", .content = "a"}});
  WriteFile(path, original);
  Result<ZipArchive> reader = ZipArchive::Open(path, ZipArchive::Mode::kRead);
  ASSERT_TRUE(reader);
  EXPECT_FALSE(reader->Replace("a.fb2", "b", 0x20));
  Result<ZipArchive> writer = ZipArchive::Open(path, ZipArchive::Mode::kReadWrite);
  ASSERT_TRUE(writer);
  EXPECT_FALSE(writer->Replace("b.fb2", "b", 0x20));
  EXPECT_TRUE(writer->Commit());  // nothing pending: the file stays as it is
  EXPECT_EQ(ReadFile(path), original);
  EXPECT_FALSE(testing::PathExists(path + ".tmp~"));
  // A temporary file that cannot be created fails the commit; the archive stays.
  ASSERT_TRUE(writer->Replace("a.fb2", "b", 0x20));
  std::filesystem::create_directory(path + ".tmp~");
  EXPECT_FALSE(writer->Commit());
  EXPECT_EQ(ReadFile(path), original);
}

TEST(ZipArchiveTest, WorksWithArchivesMadeByInfoZip) {
  if (!HaveTool("/usr/bin/zip") || !HaveTool("/usr/bin/unzip")) GTEST_SKIP() << "no zip";
  TempDir dir;
  std::string book = BookText(300);
  WriteFile(dir.Path("in/readme.txt"), "read me");
  WriteFile(dir.Path("in/books/Book.FB2"), book);
  std::string in = dir.Path("in");
  // Plain, streamed (data descriptors, from a pipe) and forced-ZIP64 archives.
  std::string zip = "cd " + in + " && /usr/bin/zip -q ";
  ASSERT_TRUE(RunQuietly(zip + "-r ../plain.zip readme.txt books"));
  ASSERT_TRUE(RunQuietly("cd " + in + " && cat books/Book.FB2 | /usr/bin/zip -q ../piped.zip -"));
  ASSERT_TRUE(RunQuietly(zip + "-fz ../z64.zip readme.txt books/Book.FB2"));
  for (const char* name : {"plain.zip", "piped.zip", "z64.zip"}) {
    std::string path = dir.Path(name);
    Result<ZipArchive> archive = ZipArchive::Open(path, ZipArchive::Mode::kReadWrite);
    ASSERT_TRUE(archive) << name << ": " << archive.message();
    std::optional<ZipEntryInfo> entry = archive->FindFirstEntry(
        std::string_view(name) == "piped.zip" ? "-" : "*.fb2");
    ASSERT_TRUE(entry) << name;
    EXPECT_EQ(*archive->Extract(entry->name), book) << name;
    ASSERT_TRUE(archive->Replace(entry->name, "new text", 0x20));
    ASSERT_TRUE(archive->Commit()) << name;
    EXPECT_TRUE(RunQuietly("/usr/bin/unzip -t " + path)) << name;
    EXPECT_EQ(*ExtractFrom(path, entry->name), "new text") << name;
  }
}

}  // namespace
}  // namespace tomeva
