// The OpenSearch description and the folder of a search request.
#include "server/search_pages.h"

#include "server/markup.h"
#include "server/site_urls.h"
#include "tree/search_folder.h"

namespace tomeva::server {

std::string OpenSearchDescription(std::string_view base_url) {
  const std::string base = Escaped(base_url);
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">\n"
         " <ShortName>Tomeva</ShortName>\n"
         " <Description>Книги по словам названия, имён авторов и серии</Description>\n"
         " <InputEncoding>UTF-8</InputEncoding>\n"
         " <OutputEncoding>UTF-8</OutputEncoding>\n"
         " <Url type=\"" +
         std::string(kAcquisitionType) + "\" template=\"" + base + kOpdsSearchUrl +
         "?q={searchTerms}\"/>\n"
         " <Url type=\"text/html\" template=\"" +
         base + kHtmlSearchUrl + "?q={searchTerms}\"/>\n"
         "</OpenSearchDescription>\n";
}

std::optional<std::string> SearchFolderOfWords(std::string_view words) {
  const std::string name = tree::SearchFolderName(words);
  if (name.empty()) return std::nullopt;
  return std::string(tree::kDefaultSearchFolder) + "\\" + name;
}

}  // namespace tomeva::server
