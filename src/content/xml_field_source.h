// The built-in field source "wdx_XML": FB2 book metadata by the location paths
// of the field definitions in "wdx_xml.xml" beside the plugin module, read from
// plain and zipped books and written back into them.
#ifndef TOMEVA_CONTENT_XML_FIELD_SOURCE_H_
#define TOMEVA_CONTENT_XML_FIELD_SOURCE_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/xml_document.h"
#include "content/book_file.h"
#include "content/field_definitions.h"
#include "content/field_source.h"

namespace tomeva::content {

// The name of the field definition file.
inline constexpr std::string_view kFieldDefinitionFile = "wdx_xml.xml";

// Every field is reported as a string. Values are read from the book last
// asked for, which stays parsed while requests name the same file and the
// file does not change on disk; reads of header fields parse only up to the
// end of <description>. Computed fields: special "1" the text length of the
// first body (a 32-bit integer), "2" the encoding the book declares, "3" "0"
// for a ".fb2" file name and "1" for anything else (needs no file).
class XmlFieldSource : public FieldSource {
 public:
  // Reads module_folder + "/wdx_xml.xml"; when it is missing or unusable the
  // source lists no fields.
  explicit XmlFieldSource(std::string_view module_folder);
  // Saves a book whose changes were not saved yet.
  ~XmlFieldSource() override;
  XmlFieldSource(const XmlFieldSource&) = delete;
  XmlFieldSource& operator=(const XmlFieldSource&) = delete;

  // Type ft_string for every definition; units are the positions text for a
  // field whose path has a "*" step and that is not computed.
  FieldInfo GetSupportedField(int index) override;
  // ft_string (ft_numeric_32 for text length), ft_fieldempty when the path
  // leads nowhere, ft_nosuchfield without a definition, ft_fileerror when the
  // book cannot be read or the value cannot be taken from it.
  int GetValue(std::string_view file_name, int field, int unit, std::vector<char>& value,
               int flags) override;
  // Saves pending changes and drops the parsed book.
  void ForgetReadFiles() override;
  // Keeps header as the cached book (its header only).
  bool AdoptParsedHeader(const std::string& file_name, XmlDocument& header,
                         bool private_copy) override;
  bool CanSetValue() const override { return true; }
  // Writes value at the field's path (see WritePathValue); with
  // setflags_last_attribute the book is saved at once. ft_fileerror, with the
  // file unchanged, for computed and join-mode fields, for removing an
  // occurrence that does not exist, for an unreadable book and when saving
  // fails. Answers 0 on success.
  int SetValue(std::string_view file_name, int field, int unit, int type, std::string_view value,
               int flags) override;

 private:
  // The book read last and how far it is parsed.
  struct CachedBook {
    std::string file_name;
    std::optional<std::string> stamp;  // platform::FileStamp when it was read
    std::optional<XmlDocument> doc;
    bool whole = false;          // doc holds the whole book, not just its header
    bool header_failed = false;  // not even the header could be read
    bool whole_failed = false;   // the header could be read, the whole book not
    bool dirty = false;          // doc holds changes not yet saved
    bool private_copy = false;   // only this process changes the file: no stamp checks
  };

  const FieldDefinition* Definition(int field) const;
  // The book named file_name parsed at least as far as part; nullptr when it
  // cannot be read. Makes it the cached book, saving pending changes of the
  // one before, and reads it again when the file changed on disk.
  XmlDocument* Book(const std::string& file_name, BookPart part);
  void SavePending();
  int ReadValue(const FieldDefinition& definition, const std::string& file_name, int unit,
                std::vector<char>& value);

  std::optional<FieldDefinitions> definitions_;
  CachedBook book_;
};

}  // namespace tomeva::content

#endif  // TOMEVA_CONTENT_XML_FIELD_SOURCE_H_
