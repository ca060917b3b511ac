// The local files a put command offers the plugin: the files named, and with -r
// the files in the folders named, walked in sorted order so that every run imports
// in the same order. Only FB2 books (*.fb2, *.fb2.zip, *.fbz, in any letter case)
// and collection indexes (*.inpx, which import their whole collection) that are
// regular files are offered; other files, and FIFOs, devices and sockets met in
// a folder, are kept as skipped with the reason.
#ifndef TOMEVA_CLI_BOOK_SOURCES_H_
#define TOMEVA_CLI_BOOK_SOURCES_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace tomeva::cli {

// One local file met by the walk, with an absolute path.
struct SourceFile {
  std::string path;
  bool is_book = false;     // false: skipped
  bool not_a_file = false;  // a FIFO, device, socket or dangling link: skipped
  std::string skip_reason;  // why a file that is not offered is skipped
};

struct SourceList {
  std::vector<SourceFile> files;
  std::vector<std::string> unreadable;  // "folder: reason" for folders that could not be read
  size_t book_count = 0;
};

// True when name ends in .fb2, .fb2.zip, .fbz or .inpx, ignoring letter case.
bool IsBookFileName(std::string_view name);

// The files of arguments (files and, with recursive, folders). A missing
// argument, or a folder without recursive, is an error naming it. Folders are
// walked depth first with names in byte order; symbolic links to folders met
// inside the walk are not followed, so the walk always ends.
Result<SourceList> CollectSourceFiles(const std::vector<std::string>& arguments, bool recursive);

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_BOOK_SOURCES_H_
