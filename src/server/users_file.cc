// Reading and writing users files.
#include "server/users_file.h"

#include <sodium.h>

#include <charconv>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace tomeva::server {
namespace {

constexpr size_t kMaxNameSize = 128;

// The lines of text without their line breaks ("\n" or "\r\n").
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool IsIgnored(std::string_view line) {
  const size_t first = line.find_first_not_of(" \t");
  return first == std::string_view::npos || line[first] == '#';
}

// The unsigned number after key= in the comma-separated parameters; nullopt
// when missing or no number.
std::optional<unsigned long long> Parameter(std::string_view params, std::string_view key) {
  while (!params.empty()) {
    const size_t comma = params.find(',');
    const std::string_view item = params.substr(0, comma);
    if (item.size() > key.size() && item.substr(0, key.size()) == key &&
        item[key.size()] == '=') {
      const std::string_view digits = item.substr(key.size() + 1);
      unsigned long long value = 0;
      const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
      if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
      return value;
    }
    if (comma == std::string_view::npos) break;
    params.remove_prefix(comma + 1);
  }
  return std::nullopt;
}

// What is wrong with hash as a password hash; "" when nothing.
std::string HashProblem(std::string_view hash) {
  std::string_view rest;
  if (hash.starts_with("$argon2id$")) {
    rest = hash.substr(10);
  } else if (hash.starts_with("$argon2i$")) {
    rest = hash.substr(9);
  } else {
    return "the hash is not an Argon2 hash (make it with 'tomeva passwd')";
  }
  if (hash.size() >= crypto_pwhash_STRBYTES) return "the hash is too long";
  // v=19$m=65536,t=2,p=1$SALT$HASH
  std::vector<std::string_view> fields;
  while (true) {
    const size_t dollar = rest.find('$');
    fields.push_back(rest.substr(0, dollar));
    if (dollar == std::string_view::npos) break;
    rest.remove_prefix(dollar + 1);
  }
  if (fields.size() != 4 || fields[0] != "v=19" || fields[2].empty() || fields[3].empty()) {
    return "the hash is damaged";
  }
  const std::optional<unsigned long long> memory = Parameter(fields[1], "m");
  const std::optional<unsigned long long> passes = Parameter(fields[1], "t");
  if (!memory || !passes || !Parameter(fields[1], "p")) return "the hash is damaged";
  if (*memory > kMaxHashMemoryKib || *passes > kMaxHashPasses) {
    return "the hash is too costly to check (at most " + std::to_string(kMaxHashMemoryKib / 1024) +
           " MiB and " + std::to_string(kMaxHashPasses) + " passes)";
  }
  for (const char c : hash) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f) return "the hash contains blanks or control characters";
  }
  return {};
}

}  // namespace

bool IsValidUserName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameSize) return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || c == ':') return false;
  }
  return true;
}

Result<UserTable> ParseUsers(std::string_view text, std::string_view file_name) {
  UserTable users;
  std::string problems;
  const std::vector<std::string_view> lines = SplitLines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (IsIgnored(line)) continue;
    std::string problem;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      problem = "no ':' between the name and the hash";
    } else if (!IsValidUserName(line.substr(0, colon))) {
      problem = "the user name is empty, too long or has control characters";
    } else if (users.contains(line.substr(0, colon))) {
      problem = "the user " + std::string(line.substr(0, colon)) + " is named twice";
    } else {
      problem = HashProblem(line.substr(colon + 1));
    }
    if (problem.empty()) {
      users.emplace(std::string(line.substr(0, colon)), std::string(line.substr(colon + 1)));
    } else {
      if (!problems.empty()) problems += "\n";
      problems += std::string(file_name) + ":" + std::to_string(i + 1) + ": " + problem;
    }
  }
  if (!problems.empty()) return Error{problems};
  if (users.empty()) return Error{std::string(file_name) + ": no users"};
  return users;
}

Result<UserTable> LoadUsers(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return Error{"cannot read the users file " + path};
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) return Error{"cannot read the users file " + path};
  return ParseUsers(text.str(), path);
}

Result<std::string> HashPassword(std::string_view password) {
  if (sodium_init() < 0) return Error{"libsodium cannot start"};
  char hash[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(hash, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
    return Error{"out of memory while hashing the password"};
  }
  return std::string(hash);
}

std::string WithUser(std::string_view text, std::string_view name, std::string_view hash) {
  const std::string line = std::string(name) + ":" + std::string(hash);
  std::string out;
  bool replaced = false;
  for (const std::string_view old : SplitLines(text)) {
    const bool same_user =
        !IsIgnored(old) && old.size() > name.size() && old.substr(0, name.size()) == name &&
        old[name.size()] == ':';
    if (same_user && !replaced) {
      out += line;
      replaced = true;
    } else if (!same_user) {
      out += old;
    } else {
      continue;  // a second line of the same user would be refused on loading
    }
    out += '\n';
  }
  if (!replaced) out += line + "\n";
  return out;
}

}  // namespace tomeva::server
