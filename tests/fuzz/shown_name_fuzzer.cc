// Fuzz target of the mapping between catalog text and shown names
// (common/shown_text.h) and of the keyed shown names the catalog computes
// (catalog/jet_functions.h). Any text shown maps back to itself (unless it
// holds NUL, which is dropped, or CR, which parameter text cannot carry); a
// shown name never holds a separator or a control character; a keyed name
// always fits its byte budget and ends in its tail; any shown name from the
// host reads back without fault.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/jet_functions.h"
#include "common/shown_text.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using tomeva::fuzz::Fail;
  const std::string_view text = tomeva::fuzz::AsText(data, size);

  const std::string shown = tomeva::ShownText(text);
  if (tomeva::ShownByteLength(text) != shown.size()) Fail("ShownByteLength differs", text);
  for (const char c : shown) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) Fail("a shown name holds a separator", text);
  }
  if (text.find_first_of(std::string_view("\0\r", 2)) == std::string_view::npos &&
      tomeva::StoredText(shown) != text) {
    Fail("a shown text does not map back", text);
  }
  (void)tomeva::StoredText(text);

  const std::string name =
      tomeva::catalog::ShownNameWithKey(text, "123", false, 80, ".fb2", 240);
  if (tomeva::ShownByteLength(name) > 240 || !name.ends_with(".fb2")) {
    Fail("a keyed name does not fit", text);
  }
  return 0;
}
