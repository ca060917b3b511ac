// The users file and the Authorization header of HTTP Basic login: what is
// accepted, every kind of bad line named by number, and the credentials check
// with its remembered logins.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

#include "server/authenticator.h"
#include "server/basic_auth.h"
#include "server/users_file.h"

namespace tomeva::server {
namespace {

constexpr char kHash[] =
    "$argon2id$v=19$m=65536,t=2,p=1$mQHdmRIfG1yLs0eFWn92tg$IvPL4jSsZS0M4FacNNHPbvA18qtFf3GxGsy4tQTPDbw";

std::string Basic(const std::string& base64) { return "Basic " + base64; }

TEST(BasicAuthorizationTest, ReadsUserAndPasswordOfTheBasicScheme) {
  // "alice:secret", "Алиса:пароль:с:двоеточиями", "bob:" (an empty password).
  std::optional<Credentials> alice = ParseBasicAuthorization(Basic("YWxpY2U6c2VjcmV0"));
  ASSERT_TRUE(alice);
  EXPECT_EQ(alice->user, "alice");
  EXPECT_EQ(alice->password, "secret");
  std::optional<Credentials> cyrillic = ParseBasicAuthorization(
      "bAsIc   0JDQu9C40YHQsDrQv9Cw0YDQvtC70Yw60YE60LTQstC+0LXRgtC+0YfQuNGP0LzQuA==  ");
  ASSERT_TRUE(cyrillic);
  EXPECT_EQ(cyrillic->user, "Алиса");
  EXPECT_EQ(cyrillic->password, "пароль:с:двоеточиями");
  std::optional<Credentials> empty = ParseBasicAuthorization(Basic("Ym9iOg=="));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->password, "");
}

TEST(BasicAuthorizationTest, RefusesMalformedHeaders) {
  for (const std::string& header :
       {std::string(""), std::string("Basic"), std::string("Basic "), std::string("BasicYWxpY2U6c2VjcmV0"),
        std::string("Bearer YWxpY2U6c2VjcmV0"), std::string("Digest username=\"alice\""),
        Basic("YWxpY2U6c2VjcmV0 extra"), Basic("YWxp*2U6c2VjcmV0"), Basic("YWxpY2U6c2VjcmV0="),
        Basic("YWxpY2U6c2VjcmV0==="), Basic("=YWxpY2U6"), Basic("YWxpY2U="),  // "alice": no ':'
        Basic("OnNlY3JldA=="),                                               // ":secret": no user
        Basic("YWxpY2U6c2Vj\ncmV0"), Basic("YWxpY2UKOnNlY3JldA=="),          // "alice\n:secret"
        Basic(std::string(6000, 'Q'))}) {
    EXPECT_FALSE(ParseBasicAuthorization(header)) << header;
  }
}

TEST(UsersFileTest, ReadsUsersSkippingCommentsAndBlankLines) {
  const std::string text = "# readers of the library\n\nalice:" + std::string(kHash) +
                           "\r\n  \nbob:" + std::string(kHash) + "\n";
  Result<UserTable> users = ParseUsers(text, "users");
  ASSERT_TRUE(users.ok()) << users.message();
  EXPECT_EQ(users->size(), 2u);
  EXPECT_EQ(users->at("alice"), kHash);
  EXPECT_EQ(users->at("bob"), kHash);
}

TEST(UsersFileTest, EveryBadLineIsNamedAndTheFileRefused) {
  const std::string good = std::string(kHash);
  const std::string text =
      "alice:" + good + "\n"                                        // 1 good
      "no colon here\n"                                             // 2
      ":" + good + "\n"                                             // 3 empty name
      "alice:" + good + "\n"                                        // 4 twice
      "carol:secret\n"                                              // 5 a plain password
      "dave:$argon2id$v=19$m=4194304,t=2,p=1$c2FsdA$aGFzaA\n"       // 6 4 GiB per check
      "erin:$argon2id$v=19$m=65536,t=99,p=1$c2FsdA$aGFzaA\n"        // 7 99 passes
      "frank:$argon2id$v=19$m=65536$c2FsdA$aGFzaA\n"                // 8 no passes
      "grace:$argon2id$v=19$m=65536,t=2,p=1$c2FsdA\n"               // 9 no hash part
      "heidi\x01:" + good + "\n"                                    // 10 control character
      "ivan:$2y$10$abcdefghijklmnopqrstuv\n";                       // 11 bcrypt
  Result<UserTable> users = ParseUsers(text, "users.txt");
  ASSERT_FALSE(users.ok());
  for (int line = 2; line <= 11; ++line) {
    EXPECT_NE(users.message().find("users.txt:" + std::to_string(line) + ": "), std::string::npos)
        << line << "\n" << users.message();
  }
  EXPECT_EQ(users.message().find("users.txt:1:"), std::string::npos);
  EXPECT_NE(users.message().find("named twice"), std::string::npos);
  EXPECT_NE(users.message().find("too costly"), std::string::npos);
}

TEST(UsersFileTest, AFileWithoutUsersOrUnreadableIsRefused) {
  EXPECT_FALSE(ParseUsers("# nobody yet\n\n", "users").ok());
  EXPECT_FALSE(ParseUsers("", "users").ok());
  Result<UserTable> missing = LoadUsers("/nonexistent/users");
  ASSERT_FALSE(missing.ok());
  EXPECT_NE(missing.message().find("/nonexistent/users"), std::string::npos);
}

TEST(UsersFileTest, WithUserReplacesTheUsersLineAndKeepsTheOthers) {
  const std::string text = "# comment\nalice:OLD\nbob:" + std::string(kHash) + "\n";
  EXPECT_EQ(WithUser(text, "alice", "NEW"),
            "# comment\nalice:NEW\nbob:" + std::string(kHash) + "\n");
  EXPECT_EQ(WithUser(text, "carol", "NEW"), text + "carol:NEW\n");
  // "al" is not "alice"; a file without a final line break gets one.
  EXPECT_EQ(WithUser("alice:X", "al", "Y"), "alice:X\nal:Y\n");
  EXPECT_EQ(WithUser("", "al", "Y"), "al:Y\n");
}

class AuthenticatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Result<std::string> hash = HashPassword("пароль");
    ASSERT_TRUE(hash.ok()) << hash.message();
    ASSERT_TRUE(ParseUsers("alice:" + *hash, "users").ok()) << *hash;
    Result<std::unique_ptr<Authenticator>> made = Authenticator::Create({{"alice", *hash}});
    ASSERT_TRUE(made.ok()) << made.message();
    authenticator_ = std::move(made).value();
  }

  // "Basic " and the base64 of "user:password".
  static std::string Header(const std::string& user, const std::string& password) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string text = user + ":" + password;
    std::string out;
    for (size_t i = 0; i < text.size(); i += 3) {
      uint32_t bits = static_cast<unsigned char>(text[i]) << 16;
      if (i + 1 < text.size()) bits |= static_cast<unsigned char>(text[i + 1]) << 8;
      if (i + 2 < text.size()) bits |= static_cast<unsigned char>(text[i + 2]);
      out += kLetters[(bits >> 18) & 63];
      out += kLetters[(bits >> 12) & 63];
      out += i + 1 < text.size() ? kLetters[(bits >> 6) & 63] : '=';
      out += i + 2 < text.size() ? kLetters[bits & 63] : '=';
    }
    return "Basic " + out;
  }

  std::unique_ptr<Authenticator> authenticator_;
};

TEST_F(AuthenticatorTest, AcceptsOnlyTheRightPasswordOfAKnownUser) {
  using Verdict = Authenticator::Verdict;
  EXPECT_EQ(authenticator_->Check(Header("alice", "пароль")), Verdict::kAllowed);
  EXPECT_EQ(authenticator_->Check(Header("alice", "Пароль")), Verdict::kDenied);
  EXPECT_EQ(authenticator_->Check(Header("alice", "")), Verdict::kDenied);
  EXPECT_EQ(authenticator_->Check(Header("mallory", "пароль")), Verdict::kDenied);
  EXPECT_EQ(authenticator_->Check(""), Verdict::kDenied);
  EXPECT_EQ(authenticator_->Check("Basic !!!"), Verdict::kDenied);
  // A remembered login is not a remembered password: a wrong one still fails.
  EXPECT_EQ(authenticator_->Check(Header("alice", "пароль")), Verdict::kAllowed);
  EXPECT_EQ(authenticator_->Check(Header("alice", "пароль2")), Verdict::kDenied);
}

TEST_F(AuthenticatorTest, AVerifiedLoginIsRememberedAndChecksRunBoundedInParallel) {
  using Verdict = Authenticator::Verdict;
  const auto first_start = std::chrono::steady_clock::now();
  ASSERT_EQ(authenticator_->Check(Header("alice", "пароль")), Verdict::kAllowed);
  const auto first = std::chrono::steady_clock::now() - first_start;
  const auto again_start = std::chrono::steady_clock::now();
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(authenticator_->Check(Header("alice", "пароль")), Verdict::kAllowed);
  }
  const auto hundred = std::chrono::steady_clock::now() - again_start;
  // A hundred remembered logins cost less than the one real check.
  EXPECT_LT(hundred, first) << std::chrono::duration<double>(hundred).count() << " s vs "
                            << std::chrono::duration<double>(first).count() << " s";
  // Many wrong passwords at once: each is denied (or told to come back), none
  // is let in, and the right one is still accepted afterwards.
  std::vector<std::future<Verdict>> attempts;
  for (int i = 0; i < 8; ++i) {
    attempts.push_back(std::async(std::launch::async, [this, i] {
      return authenticator_->Check(Header("alice", "guess" + std::to_string(i)));
    }));
  }
  for (auto& attempt : attempts) EXPECT_NE(attempt.get(), Verdict::kAllowed);
  EXPECT_EQ(authenticator_->Check(Header("alice", "пароль")), Verdict::kAllowed);
}

}  // namespace
}  // namespace tomeva::server
