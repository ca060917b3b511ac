// The file name prompt over the host's text request.
#include "platform/prompt.h"

namespace tomeva::platform {
namespace {

// "xml|*.xml|all files|*.*" becomes "xml (*.xml), all files (*.*)".
std::string DescribeFilter(std::string_view filter) {
  std::string out;
  while (!filter.empty()) {
    size_t bar = filter.find('|');
    std::string_view description = filter.substr(0, bar);
    std::string_view mask;
    if (bar == std::string_view::npos) {
      filter = {};
    } else {
      filter.remove_prefix(bar + 1);
      size_t next = filter.find('|');
      mask = filter.substr(0, next);
      filter = next == std::string_view::npos ? std::string_view() : filter.substr(next + 1);
    }
    if (!out.empty()) out += ", ";
    out += description;
    if (!mask.empty() && mask != description) {
      out += " (";
      out += mask;
      out += ")";
    }
  }
  return out;
}

}  // namespace

std::string AskFileName(const TextRequest& request, std::string_view current,
                        std::string_view filter, std::string_view title) {
  if (!request) return {};
  std::optional<std::string> answer = request(title, DescribeFilter(filter), current);
  if (!answer) return {};
  return *answer;
}

}  // namespace tomeva::platform
