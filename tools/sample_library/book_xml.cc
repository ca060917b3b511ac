// Writing the FB2 text of a sample book, element by element, in the order the
// FictionBook 2 schema gives them.
#include "sample_library/book_xml.h"

#include <algorithm>

#include "sample_library/cover_image.h"
#include "sample_library/sample_random.h"

namespace tomeva {
namespace {

constexpr uint64_t kBodyStream = 0x626f6479;

// <name>text</name>\n
void AppendElement(std::string& out, std::string_view name, std::string_view text) {
  out += '<';
  out += name;
  out += '>';
  AppendXmlEscaped(out, text);
  out += "</";
  out += name;
  out += ">\n";
}

void AppendPerson(std::string& out, std::string_view element, const PersonName& person) {
  out += '<';
  out += element;
  out += ">\n";
  AppendElement(out, "first-name", person.first);
  if (!person.middle.empty()) AppendElement(out, "middle-name", person.middle);
  AppendElement(out, "last-name", person.last);
  out += "</";
  out += element;
  out += ">\n";
}

std::string FullName(const PersonName& person) {
  std::string name(person.first);
  if (!person.middle.empty()) {
    name += ' ';
    name += person.middle;
  }
  name += ' ';
  name += person.last;
  return name;
}

void AppendDate(std::string& out, std::string_view value, int year) {
  out += "<date";
  if (!value.empty()) {
    out += " value=\"";
    out += value;
    out += '"';
  }
  out += '>';
  out += std::to_string(year);
  out += "</date>\n";
}

}  // namespace

void AppendXmlEscaped(std::string& out, std::string_view text, bool in_attribute) {
  std::string_view special = in_attribute ? std::string_view("&<>\"") : std::string_view("&<>");
  while (!text.empty()) {
    size_t run = text.find_first_of(special);
    out.append(text.substr(0, run));
    if (run == std::string_view::npos) return;
    switch (text[run]) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += "&quot;";
    }
    text.remove_prefix(run + 1);
  }
}

BookXmlWriter::BookXmlWriter()
    : russian_(SampleLanguage::kRussian), english_(SampleLanguage::kEnglish) {}

std::string BookXmlWriter::Render(const SampleBook& book, const BookXmlOptions& options) const {
  std::string out;
  out.reserve(options.body_bytes + 12 * 1024);
  out += "<?xml version=\"1.0\" encoding=\"";
  out += options.encoding;
  out += "\"?>\n";
  out +=
      "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
      "xmlns:l=\"http://www.w3.org/1999/xlink\">\n";
  if (options.with_description) AppendDescription(out, book);
  AppendBody(out, book, options.body_bytes);
  out += "<binary id=\"cover.jpg\" content-type=\"image/jpeg\">";
  out += Base64Lines(MakeCoverImage(book.text_seed), 76);
  out += "</binary>\n</FictionBook>\n";
  return out;
}

void BookXmlWriter::AppendDescription(std::string& out, const SampleBook& book) const {
  out += "<description>\n<title-info>\n";
  for (std::string_view genre : book.genres) AppendElement(out, "genre", genre);
  for (const PersonName& author : book.authors) AppendPerson(out, "author", author);
  AppendElement(out, "book-title", book.title);
  out += "<annotation>\n";
  for (const std::string& paragraph : book.annotation) AppendElement(out, "p", paragraph);
  out += "</annotation>\n";
  std::string keywords;
  for (const std::string& keyword : book.keywords) {
    if (!keywords.empty()) keywords += ", ";
    keywords += keyword;
  }
  AppendElement(out, "keywords", keywords);
  AppendDate(out, book.date_value, book.year);
  out += "<coverpage><image l:href=\"#cover.jpg\"/></coverpage>\n";
  AppendElement(out, "lang", LanguageCode(book.language));
  if (book.source_language) AppendElement(out, "src-lang", LanguageCode(*book.source_language));
  if (book.translator) AppendPerson(out, "translator", *book.translator);
  if (book.sequence) {
    out += "<sequence name=\"";
    AppendXmlEscaped(out, book.sequence->name, true);
    out += '"';
    if (book.sequence->number) {
      out += " number=\"";
      out += std::to_string(*book.sequence->number);
      out += '"';
    }
    out += "/>\n";
  }
  out += "</title-info>\n<document-info>\n<author>\n";
  AppendElement(out, "nickname", book.document_author);
  out += "</author>\n";
  AppendElement(out, "program-used", "tomeva-sample-library");
  out += "<date value=\"";
  out += book.document_date;
  out += "\">";
  out += book.document_date;
  out += "</date>\n";
  AppendElement(out, "id", book.document_id);
  AppendElement(out, "version", book.document_version);
  out += "</document-info>\n<publish-info>\n";
  AppendElement(out, "book-name", book.title);
  AppendElement(out, "publisher", book.publisher);
  AppendElement(out, "city", book.city);
  AppendElement(out, "year", std::to_string(book.publish_year));
  if (!book.isbn.empty()) AppendElement(out, "isbn", book.isbn);
  out += "</publish-info>\n</description>\n";
}

void BookXmlWriter::AppendBody(std::string& out, const SampleBook& book,
                               size_t body_bytes) const {
  const PseudoText& text = book.language == SampleLanguage::kRussian ? russian_ : english_;
  SampleRandom random(SampleRandom::Derive(book.text_seed, kBodyStream));
  out += "<body>\n<title>\n";
  std::string authors;
  for (const PersonName& author : book.authors) {
    if (!authors.empty()) authors += ", ";
    authors += FullName(author);
  }
  AppendElement(out, "p", authors);
  AppendElement(out, "p", book.title);
  out += "</title>\n";
  size_t body_start = out.size();
  int chapter = 0;
  do {
    ++chapter;
    size_t section_start = out.size();
    size_t section_bytes = static_cast<size_t>(random.Between(3 * 1024, 8 * 1024));
    out += "<section>\n<title>\n";
    AppendElement(out, "p", text.ChapterTitle(chapter));
    out += "</title>\n";
    if (chapter == 1 && random.Percent(20)) {
      out += "<epigraph>\n";
      AppendElement(out, "p", text.Sentence(random));
      out += "</epigraph>\n";
    }
    do {
      uint64_t kind = random.Below(100);
      if (kind < 8) {
        out += "<p><emphasis>";
        AppendXmlEscaped(out, text.Sentence(random));
        out += "</emphasis> ";
        AppendXmlEscaped(out, text.Paragraph(random));
        out += "</p>\n";
      } else if (kind < 11) {
        out += "<empty-line/>\n";
        AppendElement(out, "p", text.Paragraph(random));
      } else {
        AppendElement(out, "p", text.Paragraph(random));
      }
    } while (out.size() - section_start < section_bytes &&
             out.size() - body_start < body_bytes);
    out += "</section>\n";
  } while (out.size() - body_start < body_bytes);
  out += "</body>\n";
}

}  // namespace tomeva
