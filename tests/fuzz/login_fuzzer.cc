// Fuzz target of the server's login input (server/basic_auth.h, users_file.h):
// for any input
//   - ParseBasicAuthorization refuses it or gives a non-empty user without
//     ':' or control characters and a password without control characters;
//   - ParseUsers of the input as a users file refuses it (with a message) or
//     gives users whose names pass IsValidUserName and whose hashes are
//     Argon2 strings within the cost limits;
//   - WithUser keeps a file ParseUsers accepted acceptable.
// No hash is ever computed or checked here. A broken promise aborts, so
// libFuzzer reports it with the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "server/basic_auth.h"
#include "server/users_file.h"

namespace {

using namespace tomeva::server;

void Check(bool promise) {
  if (!promise) std::abort();
}

bool HasControl(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return true;
  }
  return false;
}

void CheckHeader(std::string_view input) {
  std::optional<Credentials> credentials = ParseBasicAuthorization(input);
  if (!credentials) return;
  Check(!credentials->user.empty());
  Check(credentials->user.find(':') == std::string::npos);
  Check(!HasControl(credentials->user) && !HasControl(credentials->password));
}

void CheckUsersFile(std::string_view input) {
  tomeva::Result<UserTable> users = ParseUsers(input, "users");
  if (!users.ok()) {
    Check(!users.message().empty());
    return;
  }
  Check(!users->empty());
  for (const auto& [name, hash] : *users) {
    Check(IsValidUserName(name));
    Check(hash.starts_with("$argon2i"));
  }
  // Setting one more user keeps the file acceptable.
  const std::string hash = users->begin()->second;
  Check(ParseUsers(WithUser(input, "fuzz-user", hash), "users").ok());
  Check(ParseUsers(WithUser(input, users->begin()->first, hash), "users").ok());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckHeader(input);
  CheckUsersFile(input);
  return 0;
}
