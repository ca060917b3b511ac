// Finding, decoding and caching books' cover images.
#include "server/book_cover.h"

#include <libxml/tree.h>

#include <filesystem>

#include "common/xml_document.h"
#include "content/book_file.h"

namespace tomeva::server {
namespace {

// The child element of node with local name name; null when none.
xmlNode* Child(xmlNode* node, std::string_view name) {
  for (xmlNode* child = node == nullptr ? nullptr : node->children; child != nullptr;
       child = child->next) {
    if (child->type == XML_ELEMENT_NODE && reinterpret_cast<const char*>(child->name) == name) {
      return child;
    }
  }
  return nullptr;
}

// The value of the attribute of node with local name name, in any namespace.
std::optional<std::string> AttributeValue(xmlNode* node, std::string_view name) {
  for (xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next) {
    if (reinterpret_cast<const char*>(attr->name) != name) continue;
    return XmlNode(reinterpret_cast<xmlNode*>(attr)).Text();
  }
  return std::nullopt;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::string FileStamp(const std::string& file) {
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  if (error) return {};
  const auto time = std::filesystem::last_write_time(file, error);
  if (error) return {};
  return std::to_string(size) + "@" + std::to_string(time.time_since_epoch().count());
}

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 3 / 4);
  uint32_t bits = 0;
  int count = 0;
  bool padding = false;
  for (char c : text) {
    if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
    if (c == '=') {
      padding = true;
      continue;
    }
    const int value = Base64Value(c);
    if (value < 0 || padding) return std::nullopt;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    if (++count == 4) {
      out += static_cast<char>(bits >> 16);
      out += static_cast<char>(bits >> 8);
      out += static_cast<char>(bits);
      bits = 0;
      count = 0;
    }
  }
  if (count == 1) return std::nullopt;
  if (count == 2) out += static_cast<char>(bits >> 4);
  if (count == 3) {
    out += static_cast<char>(bits >> 10);
    out += static_cast<char>(bits >> 2);
  }
  return out;
}

namespace {

// The parsed book at source.
Result<XmlDocument> LoadSource(const BookSource& source) {
  if (!source.member) return content::LoadBookDocument(source.file, content::BookPart::kWhole);
  MemberRead read = ReadMemberBytes(*source.member);
  if (!read.bytes) return Error{read.message};
  return XmlDocument::LoadText(*read.bytes);
}

}  // namespace

std::optional<CoverImage> ReadCover(const BookSource& source) {
  Result<XmlDocument> doc = LoadSource(source);
  if (!doc.ok()) return std::nullopt;
  xmlNode* root = xmlDocGetRootElement(doc->raw());
  xmlNode* image =
      Child(Child(Child(Child(root, "description"), "title-info"), "coverpage"), "image");
  if (image == nullptr) return std::nullopt;
  std::optional<std::string> href = AttributeValue(image, "href");
  if (!href || href->size() < 2 || href->front() != '#') return std::nullopt;
  const std::string id = href->substr(1);
  for (xmlNode* child = root->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE ||
        std::string_view(reinterpret_cast<const char*>(child->name)) != "binary" ||
        AttributeValue(child, "id") != id) {
      continue;
    }
    std::optional<std::string> bytes = DecodeBase64(XmlNode(child).Text());
    if (!bytes || bytes->empty()) return std::nullopt;
    std::string type = AttributeValue(child, "content-type").value_or("");
    if (!type.starts_with("image/")) type = "image/jpeg";
    return CoverImage{std::move(type), std::move(*bytes)};
  }
  return std::nullopt;
}

std::shared_ptr<const CoverImage> CoverCache::Get(const BookSource& source) {
  const std::string key = source.Key();
  const std::string stamp = FileStamp(source.container());
  {
    std::lock_guard lock(mutex_);
    auto found = slots_.find(key);
    if (found != slots_.end() && found->second.stamp == stamp) {
      uses_.splice(uses_.begin(), uses_, found->second.use);
      return found->second.cover;
    }
  }
  // Read outside the lock: other requests go on meanwhile.
  std::optional<CoverImage> read = ReadCover(source);
  std::shared_ptr<const CoverImage> cover =
      read ? std::make_shared<const CoverImage>(std::move(*read)) : nullptr;
  std::lock_guard lock(mutex_);
  auto found = slots_.find(key);
  if (found != slots_.end()) {
    uses_.erase(found->second.use);
    slots_.erase(found);
  }
  uses_.push_front(key);
  slots_[key] = Slot{stamp, cover, uses_.begin()};
  while (slots_.size() > capacity_ && !uses_.empty()) {
    slots_.erase(uses_.back());
    uses_.pop_back();
  }
  return cover;
}

}  // namespace tomeva::server
