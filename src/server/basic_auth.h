// The credentials of an HTTP Basic Authorization header: "Basic " and the
// base64 of "user:password".
#ifndef TOMEVA_SERVER_BASIC_AUTH_H_
#define TOMEVA_SERVER_BASIC_AUTH_H_

#include <optional>
#include <string>
#include <string_view>

namespace tomeva::server {

struct Credentials {
  std::string user;
  std::string password;
};

// The user and password of an Authorization header value; nullopt unless the
// scheme is Basic (any letter case), the rest one base64 token (padding as
// written, nothing after it) decoding to "user:password" with a non-empty user
// and no control characters (the password may contain ':').
std::optional<Credentials> ParseBasicAuthorization(std::string_view header);

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_BASIC_AUTH_H_
