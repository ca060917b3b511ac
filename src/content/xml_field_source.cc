// The "wdx_XML" field source: definitions, the one-book cache, reads and writes.
#include "content/xml_field_source.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "common/node_path.h"
#include "common/path_rules.h"
#include "common/text.h"
#include "content/book_fields.h"
#include "platform/files.h"

namespace tomeva::content {
namespace {

std::string JoinFolder(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
  return path + std::string(name);
}

// Whether a location path stays inside <description>, so the book's header is
// all a read of it needs.
bool InHeader(std::string_view path) { return TextBeforeChar(path, '/') == "description"; }

}  // namespace

XmlFieldSource::XmlFieldSource(std::string_view module_folder)
    : definitions_(LoadFieldDefinitions(JoinFolder(module_folder, kFieldDefinitionFile))) {}

XmlFieldSource::~XmlFieldSource() {
  try {
    SavePending();
  } catch (const std::exception&) {
    // Nothing can be reported while the source goes away.
  }
}

const FieldDefinition* XmlFieldSource::Definition(int field) const {
  if (!definitions_ || field < 0 || static_cast<size_t>(field) >= definitions_->fields.size()) {
    return nullptr;
  }
  return &definitions_->fields[static_cast<size_t>(field)];
}

FieldInfo XmlFieldSource::GetSupportedField(int index) {
  const FieldDefinition* definition = Definition(index);
  if (definition == nullptr) return {};
  FieldInfo info{ft_string, definition->name, ""};
  if (definition->special.empty() && definition->xpath.find('*') != std::string::npos) {
    info.units = definitions_->positions;
  }
  return info;
}

void XmlFieldSource::SavePending() {
  if (book_.dirty && book_.doc) {
    book_.dirty = false;
    (void)SaveBookDocument(*book_.doc, book_.file_name);
  }
}

void XmlFieldSource::ForgetReadFiles() {
  SavePending();
  book_ = CachedBook{};
}

bool XmlFieldSource::AdoptParsedHeader(const std::string& file_name, XmlDocument& header,
                                       bool private_copy) {
  SavePending();
  book_ = CachedBook{};
  book_.file_name = file_name;
  book_.private_copy = private_copy;
  book_.stamp = platform::FileStamp(file_name);
  book_.doc = std::move(header);
  book_.whole = false;
  return true;
}

XmlDocument* XmlFieldSource::Book(const std::string& file_name, BookPart part) {
  if (file_name != book_.file_name) {
    SavePending();
    book_ = CachedBook{};
    book_.file_name = file_name;
    book_.stamp = platform::FileStamp(file_name);
  } else if (!book_.dirty && !book_.private_copy) {
    std::optional<std::string> stamp = platform::FileStamp(file_name);
    if (stamp != book_.stamp) {
      book_ = CachedBook{};
      book_.file_name = file_name;
      book_.stamp = std::move(stamp);
    }
  }
  if (book_.doc && (book_.whole || part == BookPart::kHeader)) return &*book_.doc;
  if (book_.header_failed || (part == BookPart::kWhole && book_.whole_failed)) return nullptr;
  Result<XmlDocument> loaded = LoadBookDocument(file_name, part);
  if (!loaded.ok()) {
    (part == BookPart::kHeader ? book_.header_failed : book_.whole_failed) = true;
    return nullptr;
  }
  book_.doc = std::move(loaded).value();
  book_.whole = part == BookPart::kWhole;
  return &*book_.doc;
}

int XmlFieldSource::GetValue(std::string_view file_name, int field, int unit, std::vector<char>& value,
                             int /*flags*/) {
  std::fill(value.begin(), value.end(), '\0');
  const FieldDefinition* definition = Definition(field);
  if (definition == nullptr) return ft_nosuchfield;
  try {
    return ReadValue(*definition, std::string(file_name), unit, value);
  } catch (const std::exception&) {
    return ft_fileerror;
  }
}

int XmlFieldSource::ReadValue(const FieldDefinition& definition, const std::string& file_name,
                              int unit, std::vector<char>& value) {
  if (definition.special == "3") {
    const std::string extension = UpperCaseText(FileExtension(PathStyle::kPosix, file_name));
    WriteTextValue(value, extension == ".FB2" ? "0" : "1");
    return ft_string;
  }
  const bool header_only =
      definition.special == "2" || (definition.special != "1" && InHeader(definition.xpath));
  XmlDocument* book = Book(file_name, header_only ? BookPart::kHeader : BookPart::kWhole);
  if (book == nullptr) return ft_fileerror;
  XmlNode root = FindTopNode(*book, "FictionBook");
  if (!root) return ft_fileerror;
  if (header_only && !book_.whole && HeaderMisplaced(root)) {
    // The header part may follow <description> or stand without it: read on.
    // A book that cannot be read whole is still read as far as its header.
    XmlDocument* whole = Book(file_name, BookPart::kWhole);
    book = whole != nullptr ? whole : Book(file_name, BookPart::kHeader);
    if (book == nullptr) return ft_fileerror;
    root = FindTopNode(*book, "FictionBook");
    if (!root) return ft_fileerror;
  }

  if (definition.special == "1") {
    if (value.size() < sizeof(int32_t)) return ft_fileerror;
    const int64_t length = TextLength(root.FirstChildElement("body"));
    const auto length32 =
        static_cast<int32_t>(std::min<int64_t>(length, std::numeric_limits<int32_t>::max()));
    std::memcpy(value.data(), &length32, sizeof length32);
    return ft_numeric_32;
  }
  if (definition.special == "2") {
    WriteTextValue(value, book->DeclaredEncoding());
    return ft_string;
  }
  if (!definition.template_text.empty()) {
    WriteTextValue(value, RenderTemplate(root, BookPath(root, definition.xpath),
                                         definition.template_text, definition.div));
    return ft_string;
  }
  const std::optional<std::string> text =
      ReadPathValue(root, BookPath(root, definition.xpath), unit);
  if (!text) return ft_fieldempty;
  WriteTextValue(value, *text);
  return ft_string;
}

int XmlFieldSource::SetValue(std::string_view file_name, int field, int unit, int /*type*/,
                             std::string_view value, int flags) {
  const FieldDefinition* definition = Definition(field);
  if (definition == nullptr) return ft_nosuchfield;
  if (!definition->template_text.empty() || !definition->special.empty()) return ft_fileerror;
  const std::string name(file_name);
  try {
    XmlDocument* book = Book(name, BookPart::kWhole);
    if (book == nullptr) return ft_fileerror;
    XmlNode root = FindTopNode(*book, "FictionBook");
    if (!WritePathValue(root, BookPath(root, definition->xpath), unit, value)) {
      book_ = CachedBook{};  // elements on the way may have been added
      return ft_fileerror;
    }
    book_.dirty = true;
    // A value the book's declared encoding cannot carry would be saved
    // garbled: the document is read back from its saved text first, and the
    // value must be there as it was written.
    if (!value.empty() && unit < 0 && definition->xpath.find('*') == std::string::npos) {
      Result<std::string> text = book->Serialize();
      Result<XmlDocument> again =
          text.ok() ? XmlDocument::LoadText(*text) : Result<XmlDocument>(text.error());
      if (!again.ok() ||
          ReadPathValue(FindTopNode(*again, "FictionBook"), definition->xpath, unit) != value) {
        book_ = CachedBook{};  // the file is unchanged; the tree is not
        return ft_fileerror;
      }
    }
    if ((flags & setflags_last_attribute) != 0) {
      book_.dirty = false;
      const bool checked = !value.empty() && unit < 0 &&
                           definition->xpath.find('*') == std::string::npos;
      Result<std::string> original =
          checked ? platform::ReadWholeFile(name) : Result<std::string>(std::string());
      if (!original.ok() || !SaveBookDocument(*book, name).ok()) {
        book_ = CachedBook{};
        return ft_fileerror;
      }
      // The saved book is read back the way every later read reads it; a file
      // that would no longer give the value is put back as it was.
      if (checked) {
        Result<XmlDocument> saved = LoadBookDocument(
            name, InHeader(definition->xpath) ? BookPart::kHeader : BookPart::kWhole);
        bool same = false;
        try {
          same = saved.ok() && ReadPathValue(FindTopNode(*saved, "FictionBook"),
                                             definition->xpath, unit) == value;
        } catch (const std::exception&) {
          same = false;
        }
        if (!same) {
          (void)platform::WriteFileAtomic(name, *original);
          book_ = CachedBook{};
          return ft_fileerror;
        }
      }
      book_.stamp = platform::FileStamp(name);
    }
    return 0;
  } catch (const std::exception&) {
    book_ = CachedBook{};  // the tree may be half changed; the file is not
    return ft_fileerror;
  }
}

}  // namespace tomeva::content
