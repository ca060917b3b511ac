// OPDS 1.2 catalog feeds of virtual folders: a folder of sub-folders is a
// navigation feed, a folder with books an acquisition feed whose entries carry
// the catalog's metadata and a link to the book's bytes.
#ifndef TOMEVA_SERVER_OPDS_FEED_H_
#define TOMEVA_SERVER_OPDS_FEED_H_

#include <chrono>
#include <string>
#include <string_view>

#include "server/folder_page.h"

namespace tomeva::server {

// The feed of one page of a folder. title names the folder ("Tomeva" for the
// root); now is the feed's updated time and that of entries without a date.
// Pages link to the first, previous, next and last page when there are several.
std::string FolderFeed(const FolderPage& page, std::string_view title,
                       std::chrono::sys_seconds now);

// The media type of a folder page's feed (kind=navigation or acquisition).
const char* FeedType(const FolderPage& page);

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_OPDS_FEED_H_
