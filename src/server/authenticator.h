// The server's HTTP Basic authentication: an Authorization header checked
// against the users file's salted hashes. A hash check is slow by design, so
// its cost is bounded: at most a few run at once (others wait briefly, then
// are told to come back), and a user's credentials, once verified, are
// remembered for a while as a keyed digest, so that a reader fetching page
// after page pays for one check only.
#ifndef TOMEVA_SERVER_AUTHENTICATOR_H_
#define TOMEVA_SERVER_AUTHENTICATOR_H_

#include <array>
#include <chrono>
#include <memory>
#include <mutex>
#include <semaphore>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/result.h"
#include "server/users_file.h"

namespace tomeva::server {

// Checks credentials against a fixed table of users. Safe for many threads.
class Authenticator {
 public:
  enum class Verdict {
    kAllowed,
    kDenied,  // no, malformed or wrong credentials
    kBusy,    // too many checks running: the client should retry shortly
  };

  // Hash checks run at once at most, and how long a request waits for one.
  static constexpr int kMaxConcurrentChecks = 2;
  static constexpr std::chrono::seconds kCheckWait{2};
  // How long verified credentials are remembered.
  static constexpr std::chrono::minutes kRemembered{10};

  // An authenticator for users; fails when libsodium cannot start.
  static Result<std::unique_ptr<Authenticator>> Create(UserTable users);

  // The verdict on an Authorization header value ("" when absent).
  Verdict Check(std::string_view authorization);

  explicit Authenticator(UserTable users, std::string decoy_hash);

 private:
  using Digest = std::array<unsigned char, 32>;
  struct Remembered {
    Digest digest;
    std::chrono::steady_clock::time_point until;
  };

  // The keyed digest of user and password (the key is random per process).
  Digest DigestOf(std::string_view user, std::string_view password) const;

  UserTable users_;
  // Checked for unknown users, so that they take as long as known ones.
  std::string decoy_hash_;
  std::array<unsigned char, 32> digest_key_{};
  std::counting_semaphore<kMaxConcurrentChecks> checks_{kMaxConcurrentChecks};
  std::mutex mutex_;
  std::unordered_map<std::string, Remembered> remembered_;  // by user, one each
};

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_AUTHENTICATOR_H_
