// Where things live on the server: the OPDS feeds, the HTML pages and the
// downloads are three views of the same virtual tree under three prefixes.
#ifndef TOMEVA_SERVER_SITE_URLS_H_
#define TOMEVA_SERVER_SITE_URLS_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "server/request_path.h"

namespace tomeva::server {

inline constexpr char kOpdsPrefix[] = "/opds";
inline constexpr char kHtmlPrefix[] = "/browse";
inline constexpr char kDownloadPrefix[] = "/get";
inline constexpr char kCoverPrefix[] = "/cover";

// Search: the OpenSearch description, and the answers to a search as a feed
// and as a page (the words in parameter "q"): the search folder of the
// default settings listed for those words.
inline constexpr char kOpenSearchUrl[] = "/opensearch.xml";
inline constexpr char kOpdsSearchUrl[] = "/opds-search";
inline constexpr char kHtmlSearchUrl[] = "/search";
inline constexpr char kOpenSearchType[] = "application/opensearchdescription+xml";

inline constexpr char kNavigationType[] =
    "application/atom+xml;profile=opds-catalog;kind=navigation";
inline constexpr char kAcquisitionType[] =
    "application/atom+xml;profile=opds-catalog;kind=acquisition";

// The URL of page (1-based) of a view of virtual_path; page 1 carries no query.
inline std::string PageUrl(std::string_view prefix, std::string_view virtual_path,
                           size_t page = 1) {
  std::string url = UrlOfVirtualPath(prefix, virtual_path);
  if (page > 1) url += "?page=" + std::to_string(page);
  return url;
}

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_SITE_URLS_H_
