// Walking the local files for put.
#include "cli/book_sources.h"

#include <algorithm>
#include <filesystem>

#include "cli/program_paths.h"

namespace tomeva::cli {
namespace {

namespace fs = std::filesystem;

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  text = text.substr(text.size() - suffix.size());
  for (size_t i = 0; i < suffix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

void AddFile(const std::string& path, SourceList& list) {
  SourceFile file{path, IsBookFileName(fs::path(path).filename().string()), false, ""};
  if (!file.is_book) file.skip_reason = "not an FB2 book (.fb2, .fb2.zip or .fbz)";
  list.book_count += file.is_book;
  list.files.push_back(std::move(file));
}

void AddSkipped(const std::string& path, std::string reason, SourceList& list) {
  list.files.push_back(SourceFile{path, false, true, std::move(reason)});
}

void WalkFolder(const std::string& folder, SourceList& list) {
  std::error_code ec;
  std::vector<fs::directory_entry> entries;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    entries.push_back(*it);
  }
  if (ec) {
    list.unreadable.push_back(folder + ": " + ec.message());
    return;
  }
  std::sort(entries.begin(), entries.end(),
            [](const fs::directory_entry& a, const fs::directory_entry& b) {
              return a.path().filename().native() < b.path().filename().native();
            });
  for (const fs::directory_entry& entry : entries) {
    std::error_code status_ec;
    const std::string path = entry.path().string();
    if (entry.is_symlink(status_ec)) {
      // A link is taken for the file it names; links to folders are not walked.
      if (entry.is_regular_file(status_ec)) {
        AddFile(path, list);
      } else {
        AddSkipped(path, "a symbolic link to something other than a file", list);
      }
      continue;
    }
    if (entry.is_directory(status_ec)) {
      WalkFolder(path, list);
    } else if (entry.is_regular_file(status_ec)) {
      AddFile(path, list);
    } else {
      AddSkipped(path, "not a regular file (a FIFO, device or socket)", list);
    }
  }
}

}  // namespace

bool IsBookFileName(std::string_view name) {
  return EndsWithNoCase(name, ".fb2") || EndsWithNoCase(name, ".fb2.zip") ||
         EndsWithNoCase(name, ".fbz") || EndsWithNoCase(name, ".inpx");
}

Result<SourceList> CollectSourceFiles(const std::vector<std::string>& arguments, bool recursive) {
  SourceList list;
  for (const std::string& argument : arguments) {
    std::error_code ec;
    fs::file_status status = fs::status(argument, ec);
    const std::string path = AbsolutePath(argument);
    if (fs::is_directory(status)) {
      if (!recursive) return Error{argument + " is a folder; use put -r to import the books in it"};
      WalkFolder(path, list);
    } else if (fs::is_regular_file(status)) {
      AddFile(path, list);
    } else if (fs::exists(status)) {
      return Error{argument + " is neither a file nor a folder"};
    } else {
      return Error{"no such file or folder: " + argument};
    }
  }
  return list;
}

}  // namespace tomeva::cli
