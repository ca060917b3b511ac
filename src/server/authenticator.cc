// Checking Basic credentials with bounded cost.
#include "server/authenticator.h"

#include <sodium.h>

#include "server/basic_auth.h"

namespace tomeva::server {

Result<std::unique_ptr<Authenticator>> Authenticator::Create(UserTable users) {
  if (sodium_init() < 0) return Error{"libsodium cannot start"};
  std::array<unsigned char, 32> random{};
  randombytes_buf(random.data(), random.size());
  std::string decoy_password(reinterpret_cast<const char*>(random.data()), random.size());
  Result<std::string> decoy = HashPassword(decoy_password);
  if (!decoy.ok()) return decoy.error();
  return std::make_unique<Authenticator>(std::move(users), std::move(decoy).value());
}

Authenticator::Authenticator(UserTable users, std::string decoy_hash)
    : users_(std::move(users)), decoy_hash_(std::move(decoy_hash)) {
  randombytes_buf(digest_key_.data(), digest_key_.size());
}

Authenticator::Digest Authenticator::DigestOf(std::string_view user,
                                              std::string_view password) const {
  // The user name cannot contain ':', so "user:password" is unambiguous.
  std::string message = std::string(user) + ":" + std::string(password);
  Digest digest{};
  crypto_generichash(digest.data(), digest.size(), reinterpret_cast<const unsigned char*>(message.data()),
                     message.size(), digest_key_.data(), digest_key_.size());
  sodium_memzero(message.data(), message.size());
  return digest;
}

Authenticator::Verdict Authenticator::Check(std::string_view authorization) {
  std::optional<Credentials> credentials = ParseBasicAuthorization(authorization);
  if (!credentials) return Verdict::kDenied;
  const Digest digest = DigestOf(credentials->user, credentials->password);
  const auto now = std::chrono::steady_clock::now();
  {
    std::lock_guard lock(mutex_);
    auto found = remembered_.find(credentials->user);
    if (found != remembered_.end() && found->second.until > now &&
        crypto_verify_32(found->second.digest.data(), digest.data()) == 0) {
      return Verdict::kAllowed;
    }
  }
  const auto user = users_.find(credentials->user);
  const std::string& hash = user != users_.end() ? user->second : decoy_hash_;
  if (!checks_.try_acquire_for(kCheckWait)) return Verdict::kBusy;
  const bool verified = crypto_pwhash_str_verify(hash.c_str(), credentials->password.data(),
                                                 credentials->password.size()) == 0;
  checks_.release();
  sodium_memzero(credentials->password.data(), credentials->password.size());
  if (!verified || user == users_.end()) return Verdict::kDenied;
  std::lock_guard lock(mutex_);
  remembered_[credentials->user] = Remembered{digest, now + kRemembered};
  return Verdict::kAllowed;
}

}  // namespace tomeva::server
