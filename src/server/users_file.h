// The users file of the server's optional HTTP Basic authentication: one user
// a line, "name:HASH", where HASH is the salted Argon2 string libsodium's
// crypto_pwhash_str makes ("$argon2id$v=19$m=...,t=...,p=...$salt$hash").
// Empty lines and lines starting with '#' are ignored.
#ifndef TOMEVA_SERVER_USERS_FILE_H_
#define TOMEVA_SERVER_USERS_FILE_H_

#include <map>
#include <string>
#include <string_view>

#include "common/result.h"

namespace tomeva::server {

// Password hashes by user name.
using UserTable = std::map<std::string, std::string, std::less<>>;

// The costliest hash accepted: verifying one may use at most this much memory
// and this many passes, so that a users file cannot make each login attempt
// arbitrarily expensive. libsodium's "moderate" limits.
inline constexpr unsigned long long kMaxHashMemoryKib = 256 * 1024;
inline constexpr unsigned long long kMaxHashPasses = 4;

// The users of text, the users file's content; the error names every bad
// line by number (and file_name) and what is wrong with it: no ':', an empty
// name or one with control characters, a name given twice, a hash that is no
// Argon2 string or costs more than the limits above. A file without users is
// an error too: serving it would let nobody in.
Result<UserTable> ParseUsers(std::string_view text, std::string_view file_name);

// ParseUsers of the file at path; an unreadable file is an error.
Result<UserTable> LoadUsers(const std::string& path);

// True when name can be a user's name: not empty, at most 128 bytes, without
// ':' and control characters.
bool IsValidUserName(std::string_view name);

// A new salted hash of password with libsodium's interactive limits.
Result<std::string> HashPassword(std::string_view password);

// text (a users file's content) with the line of name set to "name:hash":
// replaced in place when the user is there, appended otherwise; other lines
// are kept as they are.
std::string WithUser(std::string_view text, std::string_view name, std::string_view hash);

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_USERS_FILE_H_
