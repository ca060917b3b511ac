// Fuzz target of the FB2 field extractor: the built-in "wdx_XML" source
// (content/xml_field_source.h) with the default field definitions of
// config/wdx_xml.xml reads every field, in every unit, of the input written
// as a book file, into a roomy and into a tiny value buffer. Answers must be
// field types or result codes, and text must end inside the buffer. When
// the book can be written back, a new title must then read back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "content/xml_field_source.h"
#include "fuzz/fuzz_support.h"
#include "wdx_plugin.h"

namespace {

using tomeva::content::XmlFieldSource;
using tomeva::fuzz::Fail;

constexpr std::string_view kNewTitle = "Новое имя & <title>";

void ReadField(XmlFieldSource& source, const std::string& book, int field, int unit,
               size_t buffer_size) {
  std::vector<char> value(buffer_size, '\x7f');
  const int code = source.GetValue(book, field, unit, value, 0);
  if (code == ft_string && std::find(value.begin(), value.end(), '\0') == value.end()) {
    Fail("a text value does not end inside its buffer");
  }
  if (code != ft_string && code != ft_numeric_32 && code != ft_fieldempty &&
      code != ft_fileerror) {
    Fail("an unexpected answer", std::to_string(code));
  }
}

// The field number of the title among the default definitions.
int TitleField(XmlFieldSource& source) {
  for (int i = 0;; ++i) {
    tomeva::content::FieldInfo info = source.GetSupportedField(i);
    if (info.type == ft_nomorefields) Fail("the default definitions have no Title");
    if (info.name == "Title") return i;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static tomeva::fuzz::ScratchFolder folder;
  const std::string book = folder.Write("book.fb2", tomeva::fuzz::AsText(data, size));
  const std::string config = tomeva::fuzz::ConfigFolder();

  {
    XmlFieldSource source(config);
    for (int field = 0; source.GetSupportedField(field).type != ft_nomorefields; ++field) {
      const bool has_units = !source.GetSupportedField(field).units.empty();
      for (int unit : {-1, 0, 1, 9, 10}) {
        if (unit > 0 && !has_units) break;
        ReadField(source, book, field, unit, 1024);
      }
      ReadField(source, book, field, -1, 4);
    }
  }

  // Writing back: a title that was stored reads back from the saved file.
  int title = 0;
  int written = 0;
  {
    XmlFieldSource source(config);
    title = TitleField(source);
    written = source.SetValue(book, title, -1, ft_string, kNewTitle, setflags_last_attribute);
  }
  if (written == 0) {
    XmlFieldSource source(config);
    std::vector<char> value(1024, '\0');
    const int code = source.GetValue(book, title, -1, value, 0);
    if (code != ft_string || std::string_view(value.data()) != kNewTitle) {
      Fail("a saved title does not read back",
           code == ft_string ? std::string_view(value.data()) : std::to_string(code));
    }
  }
  return 0;
}
