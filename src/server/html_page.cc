// Writing folder pages as HTML.
#include "server/html_page.h"

#include "server/markup.h"
#include "server/opds_feed.h"
#include "server/site_urls.h"

namespace tomeva::server {
namespace {

constexpr char kStyle[] =
    "body{font-family:sans-serif;max-width:50em;margin:auto;padding:0 1em;line-height:1.4}"
    "li{margin:.3em 0}a{text-decoration:none}.meta{color:#555;font-size:.9em}"
    "nav a{margin-right:1em}";

std::string Link(std::string_view href, std::string_view text) {
  return "<a href=\"" + Escaped(href) + "\">" + Escaped(text) + "</a>";
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += ", ";
    text += part;
  }
  return text;
}

void AddBookItem(std::string& html, const PageEntry& entry) {
  const BookRecord& book = *entry.book;
  html += "<li>" + Link(UrlOfVirtualPath(kDownloadPrefix, entry.path), entry.listed.name);
  std::string meta = Joined(book.authors);
  if (!book.series.empty()) {
    meta += (meta.empty() ? "" : " · ") + book.series;
    if (book.series_number > 0) meta += " #" + std::to_string(book.series_number);
  }
  if (book.year > 0) meta += (meta.empty() ? "" : " · ") + std::to_string(book.year);
  if (!meta.empty()) html += "<br><span class=\"meta\">" + Escaped(meta) + "</span>";
  html += "</li>\n";
}

void AddPager(std::string& html, const FolderPage& page) {
  if (page.page_count <= 1) return;
  html += "<nav>";
  if (page.page > 1) {
    html += Link(PageUrl(kHtmlPrefix, page.path, 1), "« первая");
    html += Link(PageUrl(kHtmlPrefix, page.path, page.page - 1), "‹ назад");
  }
  html += "<span>" + std::to_string(page.page) + " / " + std::to_string(page.page_count) +
          "</span> ";
  if (page.page < page.page_count) {
    html += Link(PageUrl(kHtmlPrefix, page.path, page.page + 1), "вперёд ›");
    html += Link(PageUrl(kHtmlPrefix, page.path, page.page_count), "последняя »");
  }
  html += "</nav>\n";
}

}  // namespace

std::string FolderHtml(const FolderPage& page, std::string_view title) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"ru\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">";
  html += "<title>" + Escaped(title) + "</title>";
  html += "<link rel=\"alternate\" type=\"" + std::string(FeedType(page)) + "\" href=\"" +
          Escaped(PageUrl(kOpdsPrefix, page.path, page.page)) + "\" title=\"OPDS\">";
  html += "<link rel=\"start\" type=\"" + std::string(kNavigationType) + "\" href=\"" +
          std::string(kOpdsPrefix) + "\" title=\"OPDS\">";
  html += "<link rel=\"search\" type=\"" + std::string(kOpenSearchType) + "\" href=\"" +
          std::string(kOpenSearchUrl) + "\" title=\"Tomeva\">";
  html += "<style>" + std::string(kStyle) + "</style></head><body>\n";
  html += "<h1>" + Escaped(title) + "</h1>\n<nav>" + Link("/", "Tomeva");
  if (std::optional<std::string> parent = VirtualParent(page.path)) {
    html += Link(PageUrl(kHtmlPrefix, *parent), "↑ наверх");
  }
  html += Link(PageUrl(kOpdsPrefix, page.path, page.page), "OPDS") + "</nav>\n";
  html += "<form action=\"" + std::string(kHtmlSearchUrl) +
          "\" method=\"get\" role=\"search\"><input type=\"search\" name=\"q\" "
          "placeholder=\"название, автор, серия\" aria-label=\"Поиск\"> "
          "<button type=\"submit\">Найти</button></form>\n";
  AddPager(html, page);
  html += "<ul>\n";
  for (const PageEntry& entry : page.entries) {
    if (entry.book) {
      AddBookItem(html, entry);
    } else if (entry.listed.is_folder) {
      html += "<li>" + Link(PageUrl(kHtmlPrefix, entry.path), entry.listed.name + "/") + "</li>\n";
    }
  }
  html += "</ul>\n";
  if (page.entries.empty()) html += "<p>Папка пуста.</p>\n";
  AddPager(html, page);
  html += "</body></html>\n";
  return html;
}

}  // namespace tomeva::server
