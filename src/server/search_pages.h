// Search on the server: the OpenSearch description that tells e-reader apps
// and browsers how to search, and the folder a search request lists.
#ifndef TOMEVA_SERVER_SEARCH_PAGES_H_
#define TOMEVA_SERVER_SEARCH_PAGES_H_

#include <optional>
#include <string>
#include <string_view>

namespace tomeva::server {

// The OpenSearch description document of the server at base_url
// ("http://host:port", no "/" at the end): a feed template (an OPDS
// acquisition feed) and a page template, each with {searchTerms}.
std::string OpenSearchDescription(std::string_view base_url);

// The virtual path a search for words lists (the default settings' search
// folder with the words as its folder name); nullopt without any word.
std::optional<std::string> SearchFolderOfWords(std::string_view words);

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_SEARCH_PAGES_H_
