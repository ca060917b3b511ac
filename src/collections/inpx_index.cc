// Reading an INPX index's members.
#include "collections/inpx_index.h"

#include <algorithm>

namespace tomeva::collections {
namespace {

// .inp members hold text that compresses well; index members are small.
constexpr ZipLimits kIndexLimits{1ull << 30, 0};
constexpr uint64_t kInfoLimit = 1 << 20;

bool EndsWithIgnoringCase(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    char c = text[text.size() - tail.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tail[i]) return false;
  }
  return true;
}

std::string FirstLine(std::string_view text) {
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const size_t end = text.find_first_of("\r\n");
  return std::string(text.substr(0, end));
}

// The file name part of a member name (members may sit in a folder of the index).
std::string_view BaseName(std::string_view name) {
  const size_t slash = name.find_last_of("/\\");
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

}  // namespace

Result<InpxIndex> InpxIndex::Open(const std::string& path) {
  Result<ZipArchive> archive = ZipArchive::Open(path, ZipArchive::Mode::kRead, kIndexLimits);
  if (!archive.ok()) return Error{"damaged index " + path + ": " + archive.message()};
  InpxIndex index(std::move(archive).value());
  auto small_member = [&](std::string_view name) -> std::string {
    for (const ZipEntryInfo& entry : index.archive_.entries()) {
      if (entry.size > kInfoLimit || BaseName(entry.name) != name) continue;
      Result<std::string> text = index.archive_.Extract(entry.name);
      return text.ok() ? std::move(text).value() : std::string();
    }
    return {};
  };

  index.name_ = FirstLine(small_member("collection.info"));
  index.version_ = FirstLine(small_member("version.info"));
  const std::string structure = small_member("structure.info");
  if (structure.find_first_not_of(" \t\r\n") != std::string::npos) {
    Result<InpLayout> layout = ParseInpLayout(FirstLine(structure));
    if (!layout.ok()) return Error{"damaged index " + path + ": structure.info: " + layout.message()};
    index.layout_ = std::move(layout).value();
  } else {
    index.layout_ = DefaultInpLayout();
  }

  for (const ZipEntryInfo& entry : index.archive_.entries()) {
    if (!EndsWithIgnoringCase(entry.name, ".inp")) continue;
    const std::string_view base = BaseName(entry.name);
    InpFile file;
    file.member = entry.name;
    file.archive = std::string(base.substr(0, base.size() - 4)) + ".zip";
    file.size = entry.size;
    index.total_size_ += entry.size;
    index.files_.push_back(std::move(file));
  }
  if (index.files_.empty()) return Error{"damaged index " + path + ": it lists no .inp file"};
  std::sort(index.files_.begin(), index.files_.end(),
            [](const InpFile& a, const InpFile& b) { return a.member < b.member; });
  return index;
}

Result<std::string> InpxIndex::ReadFile(const InpFile& file) const {
  return archive_.Extract(file.member);
}

}  // namespace tomeva::collections
