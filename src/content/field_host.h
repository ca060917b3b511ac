// The content field host: the field sources listed in the settings document's
// ContentPlugins element (content plugin libraries and the built-in sources
// "wdx_tc" and "wdx_XML"), opened on first use, their fields cached in the
// settings in memory, and field values fetched and stored by field reference
// ("source.field.unit", see field_reference.h) as text.
#ifndef TOMEVA_CONTENT_FIELD_HOST_H_
#define TOMEVA_CONTENT_FIELD_HOST_H_

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/xml_document.h"
#include "content/field_source.h"

namespace tomeva::content {

// Names of the built-in sources, used when a source element of that name has
// no loadable library.
inline constexpr std::string_view kFileSourceName = "wdx_tc";
inline constexpr std::string_view kXmlSourceName = "wdx_XML";

// Value buffer handed to sources: a content plugin's text values are at most
// 1023 bytes; the built-in sources grow it to carry their whole values.
inline constexpr size_t kFieldValueBytes = 1024;

// One per session, owned by the caller; the settings document holding
// content_plugins must outlive it. Each element child of content_plugins is a
// source, numbered by its position among the element children, with the
// children "path" (library file, empty for the built-in sources), "name" and
// "fields" (the field list cache, filled when the source is first opened).
// Adds the two built-in field sources, wdx_tc and wdx_XML, in front of the
// sources listed in a ContentPlugins element, as every session does.
void AddBuiltinSources(XmlNode content_plugins);

class FieldHost {
 public:
  // module_folder holds "wdx_xml.xml" and is the folder a relative library
  // path of a source is taken from; host_folder + "ContPlug.ini" is the
  // default ini name given to content plugins.
  FieldHost(XmlNode content_plugins, std::string_view module_folder, std::string_view host_folder);
  // Tells every loaded library, in source order, that it is unloaded
  // (ContentPluginUnloading) and then unloads it.
  ~FieldHost();
  FieldHost(const FieldHost&) = delete;
  FieldHost& operator=(const FieldHost&) = delete;

  // The value of the referenced field of file_name as text (see
  // FieldValueText): "" when the reference names no source, no field or no
  // unit, or when the source cannot be opened; "null" when the source has no
  // value for the file or fails. Never throws.
  std::string GetFieldValue(std::string_view reference, std::string_view file_name);

  // Stores value, as a string with the last-attribute flag (so the source
  // saves the file at once), into the referenced field of file_name. False,
  // with nothing stored, when the reference does not resolve, the source
  // cannot store values or the source refuses. Never throws.
  bool SetFieldValue(std::string_view reference, std::string_view file_name,
                     std::string_view value);

  // Tells every open source to forget the files it has read (FieldSource::
  // ForgetReadFiles).
  void ForgetReadFiles();

  // Offers a header just parsed by the caller to the open sources; the first
  // that keeps books parsed takes it (FieldSource::AdoptParsedHeader).
  void OfferParsedHeader(const std::string& file_name, XmlDocument header, bool private_copy);

 private:
  // The state of one source.
  struct Slot {
    enum class State {
      kClosed,  // not opened yet, or its library could not be loaded: tried again
      kOpen,
      kFailed,  // its library is not a content plugin: never tried again
    };
    State state = State::kClosed;
    std::unique_ptr<FieldSource> source;
  };

  // A field reference resolved to a source, a field number and a unit number.
  struct ResolvedField {
    FieldSource* source = nullptr;
    int field = 0;
    int unit = -1;
  };

  // The resolution of reference: the remembered one, else found in the
  // settings (opening the source) and remembered when it resolves. A source
  // lists its fields once, when it opens, so a resolution stays true for the
  // session; one that does not resolve is not remembered (its source's library
  // may load on the next try).
  std::optional<ResolvedField> Resolve(std::string_view reference);
  std::optional<ResolvedField> ResolveInSettings(std::string_view reference);
  // The source of element number index, opened (and its fields listed) when
  // it is not open yet; nullptr when it cannot be opened.
  FieldSource* OpenSource(size_t index, XmlNode element);
  std::unique_ptr<FieldSource> MakeSource(Slot& slot, XmlNode element);
  // Inserts an element per field of source at the front of element's fields.
  static void ListFields(FieldSource& source, XmlNode element);

  XmlNode content_plugins_;
  std::string module_folder_;
  std::string default_ini_name_;
  std::vector<Slot> slots_;  // by source number
  std::map<std::string, ResolvedField, std::less<>> resolved_;  // by field reference
};

}  // namespace tomeva::content

#endif  // TOMEVA_CONTENT_FIELD_HOST_H_
