// Optional test over a folder of real FB2 books (TOMEVA_SAMPLES, or
// /work/shared/fb2-samples; skipped when absent): every book yields the title
// a whole parse finds, or "" / "null" when it has none, and nothing crashes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "common/node_path.h"
#include "content/book_file.h"
#include "content/field_host.h"
#include "content_test_util.h"

namespace tomeva::content {
namespace {

// The title a whole parse of the book finds, in <description> or, where a
// book puts its title-info, directly below FictionBook; "" without one, "null"
// when the book cannot be read.
std::string WholeParseTitle(const std::string& file) {
  Result<XmlDocument> doc = LoadBookDocument(file, BookPart::kWhole);
  if (!doc.ok() || !FindTopNode(*doc, "FictionBook")) return "null";
  const XmlNode book = FindTopNode(*doc, "FictionBook");
  try {
    const bool in_description = bool(NodeByPath(book, "description/title-info", false));
    return GetPathText(book, in_description ? "description/title-info/book-title"
                                            : "title-info/book-title");
  } catch (const XmlError&) {
    return "null";
  }
}

TEST(Fb2SamplesTest, EverySampleYieldsItsTitleOrNull) {
  const char* env = std::getenv("TOMEVA_SAMPLES");
  const std::filesystem::path folder = env != nullptr ? env : "/work/shared/fb2-samples";
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) GTEST_SKIP() << "no samples at " << folder;
  XmlDocument settings = testing::SourcesDocument();
  FieldHost host(testing::ContentPlugins(settings), testing::ConfigFolder(), "");
  int titles = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    const std::string file = entry.path().string();
    const std::string title = host.GetFieldValue("wdx_XML.Title", file);
    const std::string whole = WholeParseTitle(file);
    // A header read may succeed where the body is damaged.
    if (whole != "null" || title == "null") {
      EXPECT_EQ(title, whole) << file;
    }
    if (!title.empty() && title != "null") ++titles;
    for (const char* field :
         {"Authors", "AuthorLast", "Genre", "Annotation", "TextLength", "Encoding"}) {
      (void)host.GetFieldValue(std::string("wdx_XML.") + field, file);
    }
  }
  EXPECT_GT(titles, 0);
}

}  // namespace
}  // namespace tomeva::content
