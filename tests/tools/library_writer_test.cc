// Whole sample libraries: the same seed gives the same bytes, every book parses
// as FB2 with a title and an author, windows-1251 books really are, zipped books
// hold one .fb2 entry, damaged books are damaged.
#include "sample_library/library_writer.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "content/zip_archive.h"
#include "sample_library/file_naming.h"
#include "sample_library/windows1251.h"
#include "support/temp_dir.h"

namespace tomeva {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr const char* kFb2Namespace = "http://www.gribuser.ru/xml/fictionbook/2.0";

struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDoc = std::unique_ptr<xmlDoc, XmlDocFree>;

XmlDoc ParseXml(std::string_view bytes) {
  return XmlDoc(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "book.fb2", nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

// The first child element of parent named name in the FB2 namespace.
xmlNode* Child(xmlNode* parent, const char* name) {
  if (parent == nullptr) return nullptr;
  for (xmlNode* node = parent->children; node != nullptr; node = node->next) {
    if (node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, BAD_CAST name) &&
        node->ns != nullptr && xmlStrEqual(node->ns->href, BAD_CAST kFb2Namespace)) {
      return node;
    }
  }
  return nullptr;
}

std::string Text(xmlNode* node) {
  if (node == nullptr) return {};
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content != nullptr ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return text;
}

// Every file below root, by '/'-separated relative path.
std::map<std::string, std::string> ReadTree(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    files[std::filesystem::relative(entry.path(), root).generic_string()] =
        ReadFile(entry.path().string());
  }
  return files;
}

SampleLibraryOptions Options(const std::string& out, uint64_t count) {
  SampleLibraryOptions options;
  options.out = out;
  options.count = count;
  options.seed = 42;
  options.body_kb = 2;
  options.zipped_percent = 30;
  options.cp1251_percent = 30;
  return options;
}

// The FB2 text of a written ordinary book: the file, or its single ZIP entry.
std::string BookXml(const std::string& root, const WrittenBook& book) {
  std::string path = root + "/" + book.path;
  if (book.container == BookContainer::kPlain) return ReadFile(path);
  Result<ZipArchive> archive = ZipArchive::Open(path, ZipArchive::Mode::kRead);
  if (!archive.ok()) {
    ADD_FAILURE() << book.path << ": " << archive.message();
    return {};
  }
  Result<std::string> xml = archive->Extract(book.entry_name);
  if (!xml.ok()) ADD_FAILURE() << book.path << ": " << xml.message();
  return xml.ok() ? *xml : std::string();
}

bool HaveUnzip() { return access("/usr/bin/unzip", X_OK) == 0; }

// Copies archive to a plain name and runs unzip on it there (book names hold
// quotes a shell would trip over). Returns unzip's exit status and its output.
std::pair<int, std::string> RunUnzip(const TempDir& scratch, std::string_view archive,
                                     std::string_view flags) {
  std::string copy = scratch.Path("check.zip");
  WriteFile(copy, archive);
  std::string command = "/usr/bin/unzip " + std::string(flags) + " " + copy + " 2>/dev/null";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, {}};
  std::string output;
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  return {pclose(pipe), output};
}

TEST(LibraryWriterTest, SameSeedWritesIdenticalBytesAndAnotherSeedDiffers) {
  TempDir dir;
  SampleLibraryOptions options = Options(dir.Path("a"), 120);
  options.damaged = 5;
  ASSERT_TRUE(WriteSampleLibrary(options).ok());
  options.out = dir.Path("b");
  options.list_books = false;  // counting only changes nothing on disk
  Result<SampleLibrarySummary> counted = WriteSampleLibrary(options);
  ASSERT_TRUE(counted.ok());
  EXPECT_TRUE(counted->books.empty());
  EXPECT_EQ(counted->files, 125u);
  EXPECT_EQ(counted->damaged, 5u);
  options.out = dir.Path("c");
  options.seed = 43;
  ASSERT_TRUE(WriteSampleLibrary(options).ok());

  std::map<std::string, std::string> a = ReadTree(dir.Path("a"));
  EXPECT_EQ(a.size(), 125u);
  EXPECT_TRUE(a == ReadTree(dir.Path("b")));
  EXPECT_FALSE(a == ReadTree(dir.Path("c")));
}

TEST(LibraryWriterTest, EveryOrdinaryBookParsesWithTitleAndAuthor) {
  TempDir dir;
  SampleLibraryOptions options = Options(dir.path(), 200);
  Result<SampleLibrarySummary> summary = WriteSampleLibrary(options);
  ASSERT_TRUE(summary.ok()) << summary.message();
  ASSERT_EQ(summary->books.size(), 200u);
  EXPECT_EQ(summary->files, 200u);
  uint64_t bytes = 0;
  for (const WrittenBook& book : summary->books) {
    SCOPED_TRACE(book.path);
    bytes += book.bytes;
    EXPECT_EQ(book.bytes, ReadFile(dir.Path(book.path)).size());
    EXPECT_TRUE(book.path.starts_with(FirstLetterFolder(book.last_name) + "/"));
    XmlDoc doc = ParseXml(BookXml(dir.path(), book));
    ASSERT_NE(doc, nullptr);
    xmlNode* root = xmlDocGetRootElement(doc.get());
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(root->name), "FictionBook");
    xmlNode* title_info = Child(Child(root, "description"), "title-info");
    EXPECT_EQ(Text(Child(title_info, "book-title")), book.title);
    EXPECT_EQ(Text(Child(Child(title_info, "author"), "last-name")), book.last_name);
    EXPECT_NE(Child(title_info, "genre"), nullptr);
    EXPECT_NE(Child(root, "body"), nullptr);
  }
  EXPECT_EQ(bytes, summary->bytes);
}

TEST(LibraryWriterTest, Windows1251BooksAreEncodedSoAndDecodeBackToTheirTitle) {
  TempDir dir;
  SampleLibraryOptions options = Options(dir.path(), 60);
  options.cp1251_percent = 100;
  options.zipped_percent = 0;
  Result<SampleLibrarySummary> summary = WriteSampleLibrary(options);
  ASSERT_TRUE(summary.ok()) << summary.message();
  EXPECT_EQ(summary->windows1251, 60u);
  int cyrillic_titles = 0;
  for (const WrittenBook& book : summary->books) {
    SCOPED_TRACE(book.path);
    EXPECT_EQ(book.encoding, BookEncoding::kWindows1251);
    std::string raw = ReadFile(dir.Path(book.path));
    EXPECT_TRUE(raw.starts_with("<?xml version=\"1.0\" encoding=\"windows-1251\"?>"));
    if (Utf8ToWindows1251Xml(book.title) != book.title) {
      ++cyrillic_titles;
      EXPECT_EQ(raw.find(book.title), std::string::npos);  // no UTF-8 left
    }
    XmlDoc doc = ParseXml(raw);
    ASSERT_NE(doc, nullptr);
    xmlNode* title_info = Child(Child(xmlDocGetRootElement(doc.get()), "description"),
                                "title-info");
    EXPECT_EQ(Text(Child(title_info, "book-title")), book.title);
  }
  EXPECT_GT(cyrillic_titles, 10);
}

TEST(LibraryWriterTest, ZippedBooksHoldOneFb2EntryNamedAfterTheBook) {
  TempDir dir;
  SampleLibraryOptions options = Options(dir.Path("lib"), 40);
  options.zipped_percent = 100;
  options.flat = true;
  Result<SampleLibrarySummary> summary = WriteSampleLibrary(options);
  ASSERT_TRUE(summary.ok()) << summary.message();
  int fbz = 0;
  for (const WrittenBook& book : summary->books) {
    SCOPED_TRACE(book.path);
    ASSERT_NE(book.container, BookContainer::kPlain);
    EXPECT_EQ(book.path.find('/'), std::string::npos);  // --flat
    std::string stem = book.entry_name.substr(0, book.entry_name.size() - 4);
    EXPECT_TRUE(book.entry_name.ends_with(".fb2"));
    EXPECT_EQ(book.path, stem + (book.container == BookContainer::kFbz ? ".fbz" : ".fb2.zip"));
    fbz += book.container == BookContainer::kFbz ? 1 : 0;
    Result<ZipArchive> archive =
        ZipArchive::Open(dir.Path("lib/" + book.path), ZipArchive::Mode::kRead);
    ASSERT_TRUE(archive.ok()) << archive.message();
    ASSERT_EQ(archive->entries().size(), 1u);
    EXPECT_EQ(archive->entries()[0].name, book.entry_name);
    if (HaveUnzip()) {
      std::string bytes = ReadFile(dir.Path("lib/" + book.path));
      EXPECT_EQ(RunUnzip(dir, bytes, "-tqq").first, 0);
      std::string listing = RunUnzip(dir, bytes, "-Z1").second;
      EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 1);
      EXPECT_TRUE(listing.ends_with(".fb2\n")) << listing;
    }
  }
  EXPECT_GT(fbz, 0);
  EXPECT_LT(fbz, 40);
}

TEST(LibraryWriterTest, DamagedBooksAreDamagedEachInItsOwnWay) {
  TempDir dir;
  SampleLibraryOptions options = Options(dir.path(), 3);
  options.damaged = 5;
  Result<SampleLibrarySummary> summary = WriteSampleLibrary(options);
  ASSERT_TRUE(summary.ok()) << summary.message();
  ASSERT_EQ(summary->books.size(), 8u);
  EXPECT_EQ(summary->damaged, 5u);
  std::map<DamageKind, std::string> files;
  for (size_t i = 3; i < 8; ++i) {
    const WrittenBook& book = summary->books[i];
    ASSERT_TRUE(book.damage.has_value());
    EXPECT_TRUE(book.path.starts_with("damaged-000" + std::to_string(i - 2) + "-")) << book.path;
    files[*book.damage] = ReadFile(dir.Path(book.path));
  }
  ASSERT_EQ(files.size(), 5u);
  EXPECT_EQ(ParseXml(files[DamageKind::kTruncatedXml]), nullptr);
  EXPECT_TRUE(files[DamageKind::kTruncatedXml].starts_with("<?xml"));
  EXPECT_EQ(ParseXml(files[DamageKind::kNotXml]), nullptr);

  XmlDoc no_description = ParseXml(files[DamageKind::kNoDescription]);
  ASSERT_NE(no_description, nullptr);
  xmlNode* root = xmlDocGetRootElement(no_description.get());
  EXPECT_EQ(Child(root, "description"), nullptr);
  EXPECT_NE(Child(root, "body"), nullptr);

  for (DamageKind kind : {DamageKind::kNotZip, DamageKind::kCutZip}) {
    std::string path = dir.Path("zip-check.fb2.zip");
    WriteFile(path, files[kind]);
    EXPECT_FALSE(ZipArchive::Open(path, ZipArchive::Mode::kRead).ok());
    if (HaveUnzip()) {
      EXPECT_NE(RunUnzip(dir, files[kind], "-tqq").first, 0);
    }
  }
}

TEST(LibraryWriterTest, CountZeroWritesNothingAndSucceeds) {
  TempDir dir;
  Result<SampleLibrarySummary> summary = WriteSampleLibrary(Options(dir.Path("empty"), 0));
  ASSERT_TRUE(summary.ok()) << summary.message();
  EXPECT_TRUE(summary->books.empty());
  EXPECT_EQ(summary->bytes, 0u);
  EXPECT_TRUE(ReadTree(dir.Path("empty")).empty());
}

TEST(LibraryWriterTest, UnwritableFolderFails) {
  TempDir dir;
  WriteFile(dir.Path("file"), "not a folder");
  EXPECT_FALSE(WriteSampleLibrary(Options(dir.Path("file"), 1)).ok());
  EXPECT_FALSE(WriteSampleLibrary(Options("", 1)).ok());
}

}  // namespace
}  // namespace tomeva
