// Text for XML and HTML documents: catalog text escaped so that any value
// (with markup characters, control characters or broken UTF-8) yields a
// well-formed document, and times in the form Atom wants.
#ifndef TOMEVA_SERVER_MARKUP_H_
#define TOMEVA_SERVER_MARKUP_H_

#include <chrono>
#include <string>
#include <string_view>

namespace tomeva::server {

// text escaped for element content and double-quoted attribute values: & < >
// " and ' as entities, characters XML 1.0 does not allow left out, and every
// byte that is not part of a valid UTF-8 sequence replaced by U+FFFD.
std::string Escaped(std::string_view text);

// An RFC 3339 date-time in UTC: "2024-05-01T12:00:00Z".
std::string AtomTime(std::chrono::sys_seconds time);

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_MARKUP_H_
