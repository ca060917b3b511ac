// Asking the user for a file name. On Linux no toolkit is linked: the question
// travels through the host's text request (a text field pre-filled with the current
// name); the caller supplies that channel.
#ifndef TOMEVA_PLATFORM_PROMPT_H_
#define TOMEVA_PLATFORM_PROMPT_H_

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tomeva::platform {

// Asks the host for a line of text: title, explanatory text and the pre-filled
// answer. nullopt when the host refused or the user cancelled.
using TextRequest = std::function<std::optional<std::string>(
    std::string_view title, std::string_view text, std::string_view preset)>;

// Asks for a file name: the dialog title is title, the text names the filter
// (pairs of description and mask separated by "|") and the field starts with
// current. Empty when the user cancelled, answered with an empty text, or no
// request channel exists.
std::string AskFileName(const TextRequest& request, std::string_view current,
                        std::string_view filter, std::string_view title);

}  // namespace tomeva::platform

#endif  // TOMEVA_PLATFORM_PROMPT_H_
