// The FictionBook 2 document of one sample book: the description (title-info,
// document-info, publish-info), a body of sections and paragraphs grown to a
// chosen size, and the cover picture as a base64 <binary>. The text is UTF-8
// whatever the declared encoding; converting it is the caller's job.
#ifndef TOMEVA_TOOLS_SAMPLE_LIBRARY_BOOK_XML_H_
#define TOMEVA_TOOLS_SAMPLE_LIBRARY_BOOK_XML_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "sample_library/book_plan.h"
#include "sample_library/pseudo_text.h"

namespace tomeva {

struct BookXmlOptions {
  // Bytes of body text to write; the body stops at the first paragraph that
  // reaches it, and always holds at least one section with one paragraph.
  size_t body_bytes = 8 * 1024;
  // The encoding named in the XML declaration.
  std::string_view encoding = "UTF-8";
  // Off for a damaged book that lacks its <description>.
  bool with_description = true;
};

// Appends text with &, < and > escaped; in_attribute also escapes quotes.
void AppendXmlEscaped(std::string& out, std::string_view text, bool in_attribute = false);

// Renders sample books; holds the text vocabularies so that each book does not
// build them again.
class BookXmlWriter {
 public:
  BookXmlWriter();

  // The whole FB2 document of book; the body and cover depend on book.text_seed.
  std::string Render(const SampleBook& book, const BookXmlOptions& options) const;

 private:
  void AppendDescription(std::string& out, const SampleBook& book) const;
  void AppendBody(std::string& out, const SampleBook& book, size_t body_bytes) const;

  PseudoText russian_;
  PseudoText english_;
};

}  // namespace tomeva

#endif  // TOMEVA_TOOLS_SAMPLE_LIBRARY_BOOK_XML_H_
