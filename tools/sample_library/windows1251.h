// The windows-1251 code page for the sample books that declare it: UTF-8 to
// windows-1251 for a whole XML document, and back for checking what was written.
#ifndef TOMEVA_TOOLS_SAMPLE_LIBRARY_WINDOWS1251_H_
#define TOMEVA_TOOLS_SAMPLE_LIBRARY_WINDOWS1251_H_

#include <string>
#include <string_view>

namespace tomeva {

// The UTF-8 XML text xml in windows-1251. A character the code page lacks
// becomes the character reference "&#N;" (N decimal), so the document keeps
// it; bytes that are not valid UTF-8 become "?". Only valid where such a
// character stands in text or an attribute value, as in every sample book.
std::string Utf8ToWindows1251Xml(std::string_view xml);

// windows-1251 text in UTF-8; the one unassigned byte, 0x98, becomes U+FFFD.
std::string Windows1251ToUtf8(std::string_view text);

}  // namespace tomeva

#endif  // TOMEVA_TOOLS_SAMPLE_LIBRARY_WINDOWS1251_H_
