// Writing OPDS feeds as Atom XML text.
#include "server/opds_feed.h"

#include "server/book_download.h"
#include "server/markup.h"
#include "server/site_urls.h"

namespace tomeva::server {
namespace {

constexpr char kGenreScheme[] = "http://www.fictionbook.org/genres";

void AddLink(std::string& xml, std::string_view rel, std::string_view href,
             std::string_view type, std::string_view title = {}) {
  xml += "  <link rel=\"";
  xml += rel;
  xml += "\" href=\"";
  xml += Escaped(href);
  xml += "\" type=\"";
  xml += type;
  xml += '"';
  if (!title.empty()) xml += " title=\"" + Escaped(title) + "\"";
  xml += "/>\n";
}

void AddElement(std::string& xml, std::string_view indent, std::string_view name,
                std::string_view text, std::string_view attributes = {}) {
  xml += indent;
  xml += '<';
  xml += name;
  xml += attributes;
  xml += '>';
  xml += Escaped(text);
  xml += "</";
  xml += name;
  xml += ">\n";
}

void AddFolderEntry(std::string& xml, const PageEntry& entry, std::string_view updated) {
  const std::string url = PageUrl(kOpdsPrefix, entry.path);
  xml += " <entry>\n";
  AddElement(xml, "  ", "title", entry.listed.name);
  AddElement(xml, "  ", "id", "urn:tomeva:folder:" + url);
  AddElement(xml, "  ", "updated", updated);
  AddElement(xml, "  ", "content", entry.listed.name, " type=\"text\"");
  xml += " ";
  AddLink(xml, "subsection", url, kNavigationType);
  xml += " </entry>\n";
}

void AddBookEntry(std::string& xml, const PageEntry& entry, std::string_view now) {
  const BookRecord& book = *entry.book;
  xml += " <entry>\n";
  AddElement(xml, "  ", "title", book.title.empty() ? entry.listed.name : book.title);
  AddElement(xml, "  ", "id", "urn:tomeva:book:" + std::to_string(book.id));
  AddElement(xml, "  ", "updated", book.updated ? AtomTime(*book.updated) : std::string(now));
  for (const std::string& author : book.authors) {
    xml += "  <author><name>" + Escaped(author) + "</name></author>\n";
  }
  for (const BookGenre& genre : book.genres) {
    xml += "  <category scheme=\"" + std::string(kGenreScheme) + "\" term=\"" +
           Escaped(genre.code) + "\" label=\"" +
           Escaped(genre.name.empty() ? genre.code : genre.name) + "\"/>\n";
  }
  if (!book.language.empty()) AddElement(xml, "  ", "dc:language", book.language);
  if (book.year > 0) AddElement(xml, "  ", "dc:issued", std::to_string(book.year));
  if (!book.annotation.empty()) AddElement(xml, "  ", "summary", book.annotation, " type=\"text\"");
  if (!book.series.empty()) {
    xml += "  <schema:Series name=\"" + Escaped(book.series) + "\"";
    if (book.series_number > 0) {
      xml += " schema:position=\"" + std::to_string(book.series_number) + "\"";
    }
    xml += "/>\n";
  }
  // Whether the book has a cover is only known by reading it, which feeds never
  // do: the link is there for every book and answers 404 for one without.
  const std::string cover = std::string(kCoverPrefix) + "/" + std::to_string(book.id);
  xml += "  <link rel=\"http://opds-spec.org/image\" href=\"" + cover + "\"/>\n";
  xml += "  <link rel=\"http://opds-spec.org/image/thumbnail\" href=\"" + cover + "\"/>\n";
  const std::string href = UrlOfVirtualPath(kDownloadPrefix, entry.path);
  const uint64_t size = entry.listed.size != 0 ? entry.listed.size : book.size;
  xml += "  <link rel=\"http://opds-spec.org/acquisition\" href=\"" + Escaped(href) +
         "\" type=\"" + BookMediaType(entry.listed.name) + "\"";
  if (size > 0) xml += " length=\"" + std::to_string(size) + "\"";
  xml += "/>\n </entry>\n";
}

}  // namespace

const char* FeedType(const FolderPage& page) {
  return page.has_books ? kAcquisitionType : kNavigationType;
}

std::string FolderFeed(const FolderPage& page, std::string_view title,
                       std::chrono::sys_seconds now) {
  const std::string updated = AtomTime(now);
  const char* type = FeedType(page);
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<feed xmlns=\"http://www.w3.org/2005/Atom\" xmlns:dc=\"http://purl.org/dc/terms/\" "
      "xmlns:opds=\"http://opds-spec.org/2010/catalog\" "
      "xmlns:schema=\"http://schema.org/\">\n";
  AddElement(xml, " ", "id", "urn:tomeva:folder:" + PageUrl(kOpdsPrefix, page.path, page.page));
  AddElement(xml, " ", "title", title);
  AddElement(xml, " ", "updated", updated);
  xml += " <author><name>Tomeva</name></author>\n";
  AddLink(xml, "self", PageUrl(kOpdsPrefix, page.path, page.page), type);
  AddLink(xml, "start", kOpdsPrefix, kNavigationType, "Tomeva");
  AddLink(xml, "search", kOpenSearchUrl, kOpenSearchType, "Поиск");
  if (std::optional<std::string> parent = VirtualParent(page.path)) {
    AddLink(xml, "up", PageUrl(kOpdsPrefix, *parent), kNavigationType);
  }
  if (page.page_count > 1) {
    AddLink(xml, "first", PageUrl(kOpdsPrefix, page.path, 1), type);
    if (page.page > 1) AddLink(xml, "previous", PageUrl(kOpdsPrefix, page.path, page.page - 1), type);
    if (page.page < page.page_count) {
      AddLink(xml, "next", PageUrl(kOpdsPrefix, page.path, page.page + 1), type);
    }
    AddLink(xml, "last", PageUrl(kOpdsPrefix, page.path, page.page_count), type);
  }
  AddLink(xml, "alternate", PageUrl(kHtmlPrefix, page.path, page.page), "text/html");
  for (const PageEntry& entry : page.entries) {
    if (entry.book) {
      AddBookEntry(xml, entry, updated);
    } else if (entry.listed.is_folder) {
      AddFolderEntry(xml, entry, updated);
    }
  }
  xml += "</feed>\n";
  return xml;
}

}  // namespace tomeva::server
