// The same folders as simple HTML pages for browsers and phones: no script,
// links to sub-folders and downloads, pages like the feeds', and the OPDS
// feed of the folder linked for auto-discovery.
#ifndef TOMEVA_SERVER_HTML_PAGE_H_
#define TOMEVA_SERVER_HTML_PAGE_H_

#include <string>
#include <string_view>

#include "server/folder_page.h"

namespace tomeva::server {

// The HTML page of one page of a folder; title names the folder.
std::string FolderHtml(const FolderPage& page, std::string_view title);

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_HTML_PAGE_H_
