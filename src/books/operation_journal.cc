// Journals of book operations and the recovery of interrupted ones.
//
// A journal is a text file of lines "kind TAB field [TAB field...] LF"; in
// fields, backslash, TAB and LF are written as \\, \t and \n. A last line
// without its LF was torn by the interruption and means nothing was done for
// it. Working copies and placements carry the working copy's file identity, so
// that recovery only ever deletes that very file, even when another operation
// has since made a file of the same name.
#include "books/operation_journal.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <vector>

#include "catalog/statements.h"
#include "platform/files.h"

namespace tomeva::books {
namespace {

constexpr std::string_view kSuffix = ".log";

std::string Escaped(std::string_view path) {
  std::string out;
  for (char c : path) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescaped(std::string_view field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 1 < field.size()) {
      const char next = field[++i];
      out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
    } else {
      out += field[i];
    }
  }
  return out;
}

// A fresh token from generator: 128 random bits in hexadecimal.
std::string NewToken(std::mt19937_64& generator) {
  std::string token;
  for (int i = 0; i < 2; ++i) {
    char part[17];
    std::snprintf(part, sizeof(part), "%016llx", static_cast<unsigned long long>(generator()));
    token += part;
  }
  return token;
}

struct Entry {
  std::string kind;
  std::vector<std::string> fields;
  // Field i, "" when the line has fewer.
  const std::string& at(size_t i) const {
    static const std::string kNone;
    return i < fields.size() ? fields[i] : kNone;
  }
};

std::vector<Entry> Entries(const std::string& content) {
  std::vector<Entry> entries;
  size_t start = 0;
  for (size_t end = content.find('\n'); end != std::string::npos;
       start = end + 1, end = content.find('\n', start)) {
    std::string_view line = std::string_view(content).substr(start, end - start);
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos) continue;
    Entry entry;
    entry.kind = std::string(line.substr(0, tab));
    line.remove_prefix(tab + 1);
    for (;;) {
      const size_t next = line.find('\t');
      entry.fields.push_back(Unescaped(line.substr(0, next)));
      if (next == std::string_view::npos) break;
      line.remove_prefix(next + 1);
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

// Deletes path when it is still the file the journal recorded.
void DeleteIfIdentical(const std::string& path, const std::string& identity) {
  if (!identity.empty() && platform::FileIdentity(path) == identity) {
    (void)platform::DeleteFile(path);
  }
}

void DeleteIfPresent(const std::string& path) {
  if (platform::FileExists(path)) (void)platform::DeleteFile(path);
}

// A working copy recorded by name only (before it was made) has a name no
// other operation uses: it, and the half-made copy beside it, go by name.
void DeleteWorkingCopy(const Entry& e) {
  if (!e.at(1).empty()) {
    DeleteIfIdentical(e.at(0), e.at(1));
    return;
  }
  DeleteIfPresent(e.at(0));
  DeleteIfPresent(e.at(0) + ".tmp~");
}

// Carries out what a committed operation left to do after its commit.
void RollForward(const std::vector<Entry>& entries) {
  for (const Entry& e : entries) {
    if (e.kind == "work") {
      // Placed already, or the leftover name of a move that did not finish.
      DeleteWorkingCopy(e);
    } else if (e.kind == "place") {
      if (platform::FileIdentity(e.at(1)) == e.at(2)) DeleteIfIdentical(e.at(0), e.at(2));
    } else if (e.kind == "aside" || e.kind == "delete") {
      DeleteIfPresent(e.kind == "aside" ? e.at(1) : e.at(0));
    }
  }
}

// Undoes, latest first, the file changes of an operation that never committed.
void RollBack(const std::vector<Entry>& entries) {
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    const Entry& e = *it;
    if (e.kind == "work") {
      DeleteWorkingCopy(e);
    } else if (e.kind == "place") {
      // The destination is ours when it is the working copy, moved there
      // wholly or halfway.
      DeleteIfIdentical(e.at(1), e.at(2));
    } else if (e.kind == "aside" && platform::FileExists(e.at(1))) {
      if (!platform::FileExists(e.at(0))) {
        (void)platform::MoveFile(e.at(1), e.at(0), platform::Overwrite::kNo);
      } else if (platform::SameFile(e.at(0), e.at(1))) {
        (void)platform::DeleteFile(e.at(1));
      }
    }
  }
}

bool Committed(catalog::Database* db, const std::string& token) {
  // Tokens are hexadecimal; anything else in a damaged journal is no token.
  for (char c : token) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return catalog::QueryInt(db, "SELECT Count(*) FROM TomevaJournal WHERE Token=\"" + token +
                                   "\"") > 0;
}

}  // namespace

Result<OperationJournal> OperationJournal::Start(const std::string& library_root) {
  const std::string folder = library_root + "/" + std::string(kJournalFolder);
  Status made = platform::CreateFolders(folder);
  if (!made.ok()) return made.error();
  // Seeded from the system's entropy once per journal; a kept journal draws
  // every later token from the same generator.
  std::random_device entropy;
  std::seed_seq seed{entropy(), entropy(), entropy(), entropy()};
  std::mt19937_64 generator(seed);
  Result<platform::LockedFile> file =
      platform::LockedFile::Create(folder + "/" + NewToken(generator) + std::string(kSuffix));
  if (!file.ok()) return file.error();
  OperationJournal journal(std::move(file).value(), library_root, generator);
  Status started = journal.Restart();
  if (!started.ok()) {
    journal.Finish();
    return started.error();
  }
  return journal;
}

Status OperationJournal::Clear() { return file_.Truncate(); }

Status OperationJournal::Restart() {
  Status cleared = file_.Truncate();
  if (!cleared.ok()) return cleared;
  token_ = NewToken(random_);
  return Record("token", {token_});
}

JournalKeeper::~JournalKeeper() { Release(); }

void JournalKeeper::Release() {
  if (kept_) kept_->Finish();
  kept_.reset();
}

Result<OperationJournal> JournalKeeper::Take(const std::string& library_root) {
  if (kept_ && kept_->library_root() == library_root) {
    OperationJournal journal = std::move(*kept_);
    kept_.reset();
    Status restarted = journal.Restart();
    if (restarted.ok()) return journal;
    journal.Finish();
  }
  return OperationJournal::Start(library_root);
}

void JournalKeeper::Keep(OperationJournal journal) {
  if (kept_) kept_->Finish();
  kept_.emplace(std::move(journal));
}

Status OperationJournal::Record(std::string_view kind, std::initializer_list<std::string_view> fields) {
  std::string line(kind);
  for (std::string_view field : fields) line += "\t" + Escaped(field);
  return file_.Append(line + "\n");
}

Status OperationJournal::RecordWorkingCopy(const std::string& path) {
  return Record("work", {path, ""});
}

Status OperationJournal::RecordPlacement(const std::string& working_copy,
                                         const std::string& destination) {
  return Record("place",
                {working_copy, destination, platform::FileIdentity(working_copy).value_or("")});
}

Status OperationJournal::RecordSetAside(const std::string& original, const std::string& aside) {
  return Record("aside", {original, aside});
}

Status OperationJournal::RecordDeletion(const std::string& path) { return Record("delete", {path}); }

void OperationJournal::Finish() {
  if (!file_.path().empty()) (void)platform::DeleteFile(file_.path());
}

Status RecordCommit(catalog::Database* db, const std::string& token) {
  Status made = db->Execute("CREATE TABLE IF NOT EXISTS TomevaJournal (Token TEXT PRIMARY KEY)");
  if (!made.ok()) return made;
  return db->Execute("INSERT INTO TomevaJournal (Token) VALUES (\"" + token + "\")");
}

void ForgetCommit(catalog::Database* db, const std::string& token) {
  (void)db->Execute("DELETE FROM TomevaJournal WHERE Token=\"" + token + "\"");
}

void RecoverInterruptedOperations(catalog::Database* db, const std::string& library_root) {
  const std::filesystem::path folder =
      std::filesystem::path(library_root) / std::string(kJournalFolder);
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return;
  std::vector<std::string> journals;
  for (const auto& item : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = item.path().filename().string();
    if (name.ends_with(kSuffix)) {
      journals.push_back(item.path().string());
    } else if (name.ends_with(platform::LockedFile::kTemporarySuffix)) {
      // A journal whose making was interrupted: it holds no entries. One that
      // is being made is unlocked for a moment between its creation and its
      // lock, so only one left for a minute counts as abandoned.
      const std::string path = item.path().string();
      const std::optional<std::chrono::sys_seconds> made = platform::FileModifiedTime(path);
      const auto now = std::chrono::time_point_cast<std::chrono::seconds>(
          std::chrono::system_clock::now());
      if (made && now - *made > std::chrono::minutes(1) &&
          platform::LockedFile::TryLock(path)) {
        (void)platform::DeleteFile(path);
      }
    }
  }
  for (const std::string& path : journals) {
    std::optional<platform::LockedFile> journal = platform::LockedFile::TryLock(path);
    if (!journal) continue;  // a running operation's
    Result<std::string> content = journal->ReadAll();
    if (!content.ok()) continue;
    const std::vector<Entry> entries = Entries(*content);
    const std::string token =
        !entries.empty() && entries.front().kind == "token" ? entries.front().at(0) : "";
    if (!token.empty() && Committed(db, token)) {
      RollForward(entries);
      ForgetCommit(db, token);
    } else {
      RollBack(entries);
    }
    (void)platform::DeleteFile(path);
  }
}

}  // namespace tomeva::books
