// Fuzz target of the two pattern languages: template expansion and file-name
// mask matching (common/template.h) and the folder tree's expression patterns
// (tree/expression_pattern.h). The input is a pattern and a text, split at the
// first NUL byte (or, without one, the first line feed). Every call must end
// in bounded time and memory whatever the pattern; the outputs must have the
// shapes the headers promise.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/template.h"
#include "fuzz/fuzz_support.h"
#include "tree/expression_pattern.h"

namespace {

using tomeva::fuzz::Fail;

// Parameter text is a run of lines each ended by CR LF.
void CheckParamText(std::string_view what, std::string_view params) {
  if (!params.empty() && !params.ends_with("\r\n")) Fail(what, params);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input = tomeva::fuzz::AsText(data, size);
  size_t split = input.find('\0');
  if (split == std::string_view::npos) split = input.find('\n');
  const std::string_view pattern = input.substr(0, split);
  const std::string_view text =
      split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

  // The literal reader never runs past the text and always moves forward
  // from a blank or a quote.
  for (size_t pos : {size_t{0}, pattern.size() / 2}) {
    tomeva::LiteralRun run = tomeva::ParseLiteral(pattern, pos);
    if (run.next < pos || (run.next > pattern.size() && !pattern.empty())) {
      Fail("ParseLiteral ran past its text", pattern);
    }
  }

  // Expansion: against the text as parameter text, and with every name
  // looked up as itself (so the output size is bounded by the pattern's).
  (void)tomeva::ExpandTemplate(pattern, text);
  const std::string self = tomeva::ExpandTemplate(
      pattern, [](std::string_view name) { return std::string(name); });
  if (self.size() > pattern.size()) Fail("expansion grew beyond its template", pattern);

  if (std::optional<std::string> captures = tomeva::MatchTemplate(pattern, text)) {
    CheckParamText("MatchTemplate gave malformed parameter text", *captures);
    // Captures are pieces of the text with their names and separators.
    if (captures->size() > 4 * (pattern.size() + text.size()) + 16) {
      Fail("MatchTemplate gave more than the text held", *captures);
    }
  }

  if (std::optional<std::string> captures = tomeva::MatchExpression(pattern, text)) {
    CheckParamText("MatchExpression gave malformed parameter text", *captures);
  }
  return 0;
}
