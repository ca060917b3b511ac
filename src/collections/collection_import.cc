// Collection import from an INPX index.
#include "collections/collection_import.h"

#include <filesystem>
#include <map>

#include "catalog/statements.h"
#include "collections/collection_rows.h"
#include "collections/inpx_index.h"
#include "platform/files.h"

namespace tomeva::collections {
namespace {

// The folder part and the file name of an absolute index path.
std::pair<std::string, std::string> SplitIndexPath(const std::string& index_path) {
  std::error_code ignored;
  std::filesystem::path absolute = std::filesystem::absolute(index_path, ignored);
  absolute = absolute.lexically_normal();
  return {absolute.parent_path().string(), absolute.filename().string()};
}

std::string FileStem(std::string_view file) {
  const size_t dot = file.rfind('.');
  return std::string(dot == std::string_view::npos ? file : file.substr(0, dot));
}

// The lines of text (CR LF or LF ended), each with its 1-based number.
template <typename Each>
bool ForEachLine(std::string_view text, Each&& each) {
  size_t number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++number;
    if (!each(line, number, end + 1)) return false;
    start = end + 1;
  }
  return true;
}

// Lines written in one transaction, at least: whole archives are committed
// together until this many lines are pending. Fewer, larger commits write each
// index page once rather than once per archive.
constexpr size_t kLinesPerTransaction = 100'000;
// The share of the progress (in percent) the reading of the lines takes when
// the whole index is one transaction: its commit, which computes every book's
// shown name, builds the catalog's indexes and the search index, takes more
// than half of the import (measured with 600,000 lines).
constexpr int kReadingShareOfOneTransaction = 40;

class Importer {
 public:
  // With one_transaction, every line goes into one transaction, committed
  // after the last file; otherwise every kLinesPerTransaction lines or so.
  Importer(catalog::Database* db, const InpxIndex& index, std::string folder,
           const ImportProgressFn& progress, ImportSummary& summary, bool one_transaction)
      : db_(db), index_(index), folder_(std::move(folder)), progress_(progress),
        summary_(summary), one_transaction_(one_transaction),
        reading_share_(one_transaction ? kReadingShareOfOneTransaction : 100) {}

  ~Importer() {
    if (open_) (void)db_->Rollback();
  }

  // Imports one .inp file inside the open transaction (begun when none is);
  // commits once enough lines are pending or last is set. False when the user
  // stopped: the pending archives are then rolled back.
  Result<bool> ImportFile(CollectionRows& rows, const InpFile& file, bool last) {
    Result<std::string> text = index_.ReadFile(file);
    if (!text.ok()) {
      Refuse(pending_, file.member, 0, "cannot read it: " + text.message());
      done_bytes_ += file.size;
      return last ? CommitPending() : Result<bool>(true);
    }
    if (!open_) {
      if (Status s = db_->BeginTransaction(); !s.ok()) return s.error();
      open_ = true;
      // The books' keys and shown names are computed once for the whole
      // transaction (its commit finishes them), not row by row.
      if (Status s = db_->BeginBulkBookInsert(); !s.ok()) return s.error();
    }
    Status failure;
    bool stopped = false;
    ForEachLine(*text, [&](std::string_view line, size_t number, size_t offset) {
      if (line.find_first_not_of(" \t") == std::string_view::npos) return true;
      ++pending_lines_;
      Result<InpRecord> record = ParseInpLine(line, index_.layout());
      std::string archive;
      if (record.ok()) {
        archive = record->folder.empty() ? file.archive : record->folder;
        if (!ArchiveExists(archive)) {
          record = Error{"its archive " + archive + " does not exist"};
        }
      }
      if (!record.ok()) {
        Refuse(pending_, file.member, number, record.message());
        return true;
      }
      if (record->deleted) {
        Result<bool> removed = rows.Remove(record->lib_id);
        if (!removed.ok()) {
          failure = removed.error();
          return false;
        }
        ++(*removed ? pending_.removed : pending_.skipped_deleted);
      } else if (rows.Has(record->lib_id)) {
        ++pending_.kept;
      } else if (Status added = rows.Add(*record, archive); !added.ok()) {
        failure = added;
        return false;
      } else {
        ++pending_.added;
      }
      if ((number & 1023) == 0 && Report(done_bytes_ + offset)) {
        stopped = true;
        return false;
      }
      return true;
    });
    if (!failure.ok() || stopped) {
      // The key maps may now hold keys of rolled-back rows: the import ends here.
      (void)db_->Rollback();
      open_ = false;
      if (!failure.ok()) return failure.error();
      return false;
    }
    done_bytes_ += file.size;
    if (last || (!one_transaction_ && pending_lines_ >= kLinesPerTransaction)) {
      Result<bool> committed = CommitPending();
      if (!committed.ok()) return committed;
      if (last) reading_share_ = 100;
    }
    if (Report(done_bytes_)) {
      if (open_) {
        (void)db_->Rollback();
        open_ = false;
      }
      return false;
    }
    return true;
  }

  // True when the user asks to stop.
  bool Report(uint64_t bytes) {
    if (!progress_) return false;
    const uint64_t total = index_.total_size();
    const int percent =
        total == 0 ? reading_share_ : static_cast<int>(bytes * reading_share_ / total);
    return progress_(std::min(percent, 100));
  }

 private:
  // Commits the open transaction and counts its lines in the summary.
  Result<bool> CommitPending() {
    if (open_) {
      open_ = false;
      if (Status s = db_->Commit(); !s.ok()) return s.error();
    }
    summary_.added += pending_.added;
    summary_.removed += pending_.removed;
    summary_.kept += pending_.kept;
    summary_.skipped_deleted += pending_.skipped_deleted;
    summary_.refused += pending_.refused;
    for (std::string& r : pending_.refusals) {
      if (summary_.refusals.size() < kMaxNamedRefusals) summary_.refusals.push_back(std::move(r));
    }
    pending_ = ImportSummary();
    pending_lines_ = 0;
    return true;
  }

  static void Refuse(ImportSummary& counts, const std::string& member, size_t line,
                     std::string reason) {
    ++counts.refused;
    if (counts.refusals.size() < kMaxNamedRefusals) {
      counts.refusals.push_back(member + (line > 0 ? ":" + std::to_string(line) : "") + ": " +
                                reason);
    }
  }

  bool ArchiveExists(const std::string& archive) {
    auto known = archives_.find(archive);
    if (known != archives_.end()) return known->second;
    const bool exists = platform::FileExists(folder_ + "/" + archive);
    archives_.emplace(archive, exists);
    return exists;
  }

  catalog::Database* db_;
  const InpxIndex& index_;
  std::string folder_;
  const ImportProgressFn& progress_;
  ImportSummary& summary_;
  ImportSummary pending_;  // the lines of the open transaction
  size_t pending_lines_ = 0;
  const bool one_transaction_;
  int reading_share_;  // the percent reached when every line is read
  bool open_ = false;
  std::map<std::string, bool> archives_;
  uint64_t done_bytes_ = 0;
};

}  // namespace

bool IsCollectionIndexName(std::string_view name) {
  constexpr std::string_view kTail = ".inpx";
  if (name.size() < kTail.size()) return false;
  for (size_t i = 0; i < kTail.size(); ++i) {
    char c = name[name.size() - kTail.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kTail[i]) return false;
  }
  return true;
}

std::string ImportSummary::Text() const {
  std::string text = "collection " + collection + ": added " + std::to_string(added) +
                     ", removed " + std::to_string(removed) + ", already present " +
                     std::to_string(kept) + ", refused " + std::to_string(refused) + " lines";
  if (aborted) text += " (stopped by the user; putting the index again finishes the import)";
  for (const std::string& refusal : refusals) text += "\nrefused: " + refusal;
  if (refused > refusals.size()) {
    text += "\nrefused: " + std::to_string(refused - refusals.size()) + " more lines";
  }
  return text;
}

Result<ImportSummary> ImportCollection(catalog::Database* db, const std::string& index_path,
                                       const ImportProgressFn& progress) {
  if (db == nullptr) return Error{"no catalog is open"};
  Result<InpxIndex> index = InpxIndex::Open(index_path);
  if (!index.ok()) return index.error();
  auto [folder, index_file] = SplitIndexPath(index_path);
  ImportSummary summary;
  summary.collection = index->name().empty() ? FileStem(index_file) : index->name();

  if (Status s = db->BeginTransaction(); !s.ok()) return s.error();
  Result<std::unique_ptr<CollectionRows>> rows =
      CollectionRows::Start(db, folder, index_file, summary.collection, index->version());
  if (!rows.ok() || !db->Commit().ok()) {
    (void)db->Rollback();
    return rows.ok() ? Error{"cannot record the collection in the catalog"} : rows.error();
  }
  // Holds much of the catalog in memory while the books are written.
  const catalog::ScopedBulkWrite bulk(db);
  // Into a catalog without books, the whole index is one transaction: the
  // catalog's indexes are then built once, after the last line, by a sort
  // (catalog_keys.h), where transactions of their own would each insert their
  // rows into indexes already built. A kill or a stop leaves the catalog as
  // it was.
  const bool no_books = catalog::QueryInt(db, "SELECT TOP 1 Books.BookId FROM Books;") == -1;
  Importer importer(db, *index, folder, progress, summary, no_books);
  if (importer.Report(0)) {
    summary.aborted = true;
    return summary;
  }
  const std::vector<InpFile>& files = index->files();
  for (size_t i = 0; i < files.size(); ++i) {
    Result<bool> go_on = importer.ImportFile(**rows, files[i], i + 1 == files.size());
    if (!go_on.ok()) return go_on.error();
    if (!*go_on) {
      summary.aborted = true;
      break;
    }
  }
  // Authors, series and genres only removed books had go last, once: the key
  // maps stay true while archives are imported. Left over after a stop, they
  // are listed nowhere and go with the next deletion's clean-up.
  if (summary.removed > 0 && !summary.aborted) {
    if (Status s = db->BeginTransaction(); !s.ok()) return s.error();
    if (Status s = (*rows)->RemoveOrphans(); !s.ok()) {
      (void)db->Rollback();
      return s.error();
    }
    if (Status s = db->Commit(); !s.ok()) return s.error();
  }
  return summary;
}

}  // namespace tomeva::collections
