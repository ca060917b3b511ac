// The one interface behind which every field source of the metadata layer sits:
// the built-in sources (file attribute fields, FB2 fields by path rules) and the
// content plugins loaded from shared objects. Its three operations carry the
// meaning of the content plugin entry points and answer with that interface's
// field types (ft_*) and result codes.
#ifndef TOMEVA_CONTENT_FIELD_SOURCE_H_
#define TOMEVA_CONTENT_FIELD_SOURCE_H_

#include <vector>
#include <string>
#include <string_view>

#include "common/xml_document.h"
#include "wdx_plugin.h"

namespace tomeva::content {

// What a source says about one of its fields.
struct FieldInfo {
  int type = ft_nomorefields;  // ft_nomorefields: there is no field of that number
  std::string name;
  std::string units;  // unit names separated by "|"; empty when the field has none
};

// A source of named fields of files.
class FieldSource {
 public:
  virtual ~FieldSource() = default;

  // Field number index (0, 1, 2, ...); type ft_nomorefields ends the list.
  virtual FieldInfo GetSupportedField(int index) = 0;

  // Writes the value of field `field`, unit `unit` (-1: none) of the file into
  // value, which arrives zero-filled. Text ends with a terminating NUL: a
  // source with the whole text at hand grows value to hold all of it
  // (WriteTextValue); one that writes into a fixed buffer (a content plugin)
  // takes at most value.size() - 1 bytes. Numbers, dates and times go to its
  // start in the interface's binary layouts. Answers the field type written or
  // a negative result code (ft_nosuchfield, ft_fileerror, ft_fieldempty).
  virtual int GetValue(std::string_view file_name, int field, int unit, std::vector<char>& value,
                       int flags) = 0;

  // Forgets what was read of files so far (a source that keeps a file parsed
  // between calls reads it again next time). Pending changes are saved first.
  virtual void ForgetReadFiles() {}

  // Offers the header of file_name, just parsed by the caller (LoadBookDocument,
  // BookPart::kHeader); a source that keeps books parsed may keep it instead
  // of parsing the file again. True when the source took it. private_copy:
  // nothing but the caller changes the file until it next forgets the files
  // read (ForgetReadFiles), so the source need not check whether it changed.
  virtual bool AdoptParsedHeader(const std::string& /*file_name*/, XmlDocument& /*header*/,
                                 bool /*private_copy*/) {
    return false;
  }

  // Whether SetValue is offered at all.
  virtual bool CanSetValue() const { return false; }

  // Stores a text value into field `field`, unit `unit` of the file; flags as
  // the interface defines (setflags_last_attribute: the file may be saved now).
  // Answers 0 on success, a negative result code otherwise.
  virtual int SetValue(std::string_view /*file_name*/, int /*field*/, int /*unit*/, int /*type*/,
                       std::string_view /*value*/, int /*flags*/) {
    return ft_notsupported;
  }
};

// Copies the whole of text into a value buffer as a source answers text,
// growing the buffer when text does not fit, then a NUL.
void WriteTextValue(std::vector<char>& value, std::string_view text);

// The longest prefix of text of at most max_bytes bytes that does not end
// inside a UTF-8 character (a sequence cut short at the end is dropped).
std::string_view CutUtf8(std::string_view text, size_t max_bytes);

}  // namespace tomeva::content

#endif  // TOMEVA_CONTENT_FIELD_SOURCE_H_
