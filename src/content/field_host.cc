// The content field host: source lookup, lazy opening, the field list cache and
// the conversion of typed values to text.
#include "content/field_host.h"

#include <vector>

#include "common/node_path.h"
#include "content/field_reference.h"
#include "content/field_value_text.h"
#include "content/file_field_source.h"
#include "content/plugin_field_source.h"
#include "content/xml_field_source.h"

namespace tomeva::content {
namespace {

// Bound on the fields listed for one source, so that a plugin that never
// answers ft_nomorefields cannot hang the host.
constexpr int kMaxFields = 10000;

std::string FolderFile(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
  return path + std::string(name);
}

// The text of a child element; "" when missing or when it holds elements.
std::string ChildText(XmlNode node, std::string_view name) {
  try {
    return GetPathText(node, name);
  } catch (const XmlError&) {
    return std::string();
  }
}

std::vector<std::string> EntryNames(const std::vector<XmlNode>& entries) {
  std::vector<std::string> names;
  names.reserve(entries.size());
  for (XmlNode entry : entries) names.push_back(ChildText(entry, "name"));
  return names;
}

}  // namespace

FieldHost::FieldHost(XmlNode content_plugins, std::string_view module_folder,
                     std::string_view host_folder)
    : content_plugins_(content_plugins),
      module_folder_(module_folder),
      default_ini_name_(FolderFile(host_folder, "ContPlug.ini")) {}

FieldHost::~FieldHost() {
  for (Slot& slot : slots_) slot.source.reset();
}

std::unique_ptr<FieldSource> FieldHost::MakeSource(Slot& slot, XmlNode element) {
  std::string path = ChildText(element, "path");
  // A relative library path is taken from the plugin's folder, not from
  // whatever folder the host happens to work in.
  if (!path.empty() && path.front() != '/') path = FolderFile(module_folder_, path);
  if (!path.empty()) {
    PluginLoad load = PluginFieldSource::Load(path, default_ini_name_);
    if (load.outcome == PluginLoad::Outcome::kLoaded) return std::move(load.source);
    if (load.outcome == PluginLoad::Outcome::kFailed) slot.state = Slot::State::kFailed;
  }
  const std::string name = ChildText(element, "name");
  if (name == kXmlSourceName) return std::make_unique<XmlFieldSource>(module_folder_);
  if (name == kFileSourceName) return std::make_unique<FileFieldSource>();
  return nullptr;
}

FieldSource* FieldHost::OpenSource(size_t index, XmlNode element) {
  Slot& slot = slots_[index];
  if (slot.state == Slot::State::kOpen) return slot.source.get();
  if (slot.state == Slot::State::kFailed) return nullptr;
  std::unique_ptr<FieldSource> source = MakeSource(slot, element);
  if (source == nullptr) return nullptr;
  slot.state = Slot::State::kOpen;
  slot.source = std::move(source);
  ListFields(*slot.source, element);
  return slot.source.get();
}

void FieldHost::ListFields(FieldSource& source, XmlNode element) {
  XmlNode fields = element.ChildOrCreate("fields");
  const std::vector<XmlNode> cached = fields.ChildElements();
  XmlNode previous;
  for (int i = 0; i < kMaxFields; ++i) {
    FieldInfo info;
    try {
      info = source.GetSupportedField(i);
    } catch (const std::exception&) {
      break;  // a fault ends the list; the fields listed so far stay
    }
    if (info.type == ft_nomorefields) break;
    XmlNode entry = previous         ? fields.InsertElementAfter(previous, "field")
                    : cached.empty() ? fields.InsertElementAt(fields.ChildNodeCount(), "field")
                                     : fields.InsertElementBefore(cached.front(), "field");
    try {
      SetPathText(entry, "type", std::to_string(info.type));
      SetPathText(entry, "name", info.name);
      SetPathText(entry, "units", info.units);
    } catch (const XmlError&) {
      entry.Remove();  // a name XML cannot carry ends the list like a fault
      break;
    }
    previous = entry;
  }
}

std::optional<FieldHost::ResolvedField> FieldHost::Resolve(std::string_view reference) {
  if (const auto known = resolved_.find(reference); known != resolved_.end()) return known->second;
  std::optional<ResolvedField> resolved = ResolveInSettings(reference);
  if (resolved) resolved_.emplace(std::string(reference), *resolved);
  return resolved;
}

std::optional<FieldHost::ResolvedField> FieldHost::ResolveInSettings(std::string_view reference) {
  const FieldReference parts = SplitFieldReference(reference);
  const std::vector<XmlNode> sources = content_plugins_.ChildElements();
  if (slots_.size() < sources.size()) slots_.resize(sources.size());
  const int source_index = FindEntry(parts.source, EntryNames(sources));
  if (source_index < 0) return std::nullopt;
  const auto index = static_cast<size_t>(source_index);
  FieldSource* source = OpenSource(index, sources[index]);
  if (source == nullptr) return std::nullopt;

  const std::vector<XmlNode> fields = sources[index].FirstChildElement("fields").ChildElements();
  const int field = FindEntry(parts.field, EntryNames(fields));
  if (field < 0) return std::nullopt;
  const std::optional<int> unit =
      ResolveUnit(parts.unit, ChildText(fields[static_cast<size_t>(field)], "units"));
  if (!unit) return std::nullopt;
  return ResolvedField{source, field, *unit};
}

std::string FieldHost::GetFieldValue(std::string_view reference, std::string_view file_name) {
  try {
    const std::optional<ResolvedField> resolved = Resolve(reference);
    if (!resolved) return std::string();
    std::vector<char> value(kFieldValueBytes, '\0');
    const int code =
        resolved->source->GetValue(file_name, resolved->field, resolved->unit, value, 0);
    return FieldValueText(code, value);
  } catch (const std::exception&) {
    return std::string(kNullValue);
  }
}

bool FieldHost::SetFieldValue(std::string_view reference, std::string_view file_name,
                              std::string_view value) {
  try {
    const std::optional<ResolvedField> resolved = Resolve(reference);
    if (!resolved || !resolved->source->CanSetValue()) return false;
    return resolved->source->SetValue(file_name, resolved->field, resolved->unit, ft_string, value,
                                      setflags_last_attribute) == 0;
  } catch (const std::exception&) {
    return false;  // a failed write leaves the file as it was
  }
}

void FieldHost::ForgetReadFiles() {
  for (Slot& slot : slots_) {
    if (slot.source) slot.source->ForgetReadFiles();
  }
}

void FieldHost::OfferParsedHeader(const std::string& file_name, XmlDocument header,
                                  bool private_copy) {
  for (Slot& slot : slots_) {
    if (slot.source && slot.source->AdoptParsedHeader(file_name, header, private_copy)) return;
  }
}

void AddBuiltinSources(XmlNode content_plugins) {
  const char* names[] = {"wdx_tc", "wdx_XML"};
  for (size_t i = 0; i < 2; ++i) {
    XmlNode plugin = content_plugins.InsertElementAt(i, "plugin");
    plugin.ChildOrCreate("path");
    plugin.ChildOrCreate("name").SetText(names[i]);
    plugin.ChildOrCreate("fields");
  }
}

}  // namespace tomeva::content
