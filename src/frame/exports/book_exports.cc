// Book entry points: copying books out (FsGetFile), importing (FsPutFile),
// deleting (FsDeleteFile), moving, copying and renaming inside the tree
// (FsRenMovFile), and handing the host the stored file (FsGetLocalName,
// FsLinksToLocalFiles, FsGetPreviewBitmap), and Tomeva's own import of many
// books at once (TomevaPutFiles). The core reports its own outcomes; they
// become the interface's codes here.
#include <cstring>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "books/book_context.h"
#include "books/book_deletion.h"
#include "books/book_import.h"
#include "books/book_move.h"
#include "books/book_retrieval.h"
#include "books/field_host_access.h"
#include "books/import_batch.h"
#include "collections/collection_import.h"
#include "frame/exports/export_util.h"
#include "frame/host_paths.h"
#include "frame/plugin.h"
#include "tomeva_plugin.h"

using tomeva::frame::Guarded;
using tomeva::frame::Session;
namespace books = tomeva::books;

namespace {

// Runs body with the book context of a started session; fallback otherwise.
template <typename T, typename Body>
T WithBooks(T fallback, const std::string& source, const std::string& target, Body&& body) {
  return Guarded(fallback, [&](Session& session) -> T {
    if (!session.started() || session.field_host == nullptr) return fallback;
    if (!session.catalog) {
      session.LogError(session.catalog_error);
      return fallback;
    }
    session.column_values.clear();  // the operation may change what they show
    books::FieldHostAccess fields(*session.field_host);
    books::BookContext ctx;
    ctx.view = session.View();
    ctx.fields = &fields;
    ctx.journals = &session.journals;
    ctx.progress = [&session, &source, &target](int percent) {
      return session.ReportProgress(source, target, percent);
    };
    ctx.log_error = [&session](const std::string& text) { session.LogError(text); };
    if constexpr (std::is_invocable_v<Body, books::BookContext&, Session&>) {
      return body(ctx, session);
    } else {
      return body(ctx);
    }
  });
}

// Tells the host why an operation did not succeed (its log of important
// errors; the tomeva program prints it).
template <typename Code>
void LogRefusal(const books::BookContext& ctx, const std::string& what,
                const books::Outcome<Code>& outcome) {
  if (outcome.reason.empty() || !ctx.log_error) return;
  ctx.log_error(what + ": " + outcome.reason);
}

books::CopyFlags FlagsOf(int copy_flags) {
  books::CopyFlags flags;
  flags.overwrite = (copy_flags & FS_COPYFLAGS_OVERWRITE) != 0;
  flags.resume = (copy_flags & FS_COPYFLAGS_RESUME) != 0;
  flags.move = (copy_flags & FS_COPYFLAGS_MOVE) != 0;
  return flags;
}

std::string Text(const char* s) { return s == nullptr ? std::string() : std::string(s); }

// Imports the collection whose index is local (FsPutFile of a *.inpx).
int PutCollection(Session& session, const std::string& local, const std::string& remote) {
  if (!session.started() || !session.catalog) return FS_FILE_WRITEERROR;
  auto progress = [&](int percent) { return session.ReportProgress(local, remote, percent); };
  tomeva::Result<tomeva::collections::ImportSummary> summary =
      tomeva::collections::ImportCollection(session.catalog.get(), local, progress);
  if (!summary.ok()) {
    session.LogError(summary.message());
    session.ShowMessage(nullptr, summary.message());
    return FS_FILE_WRITEERROR;
  }
  const std::string text = summary->Text();
  if (summary->aborted) {
    session.Log(MSGTYPE_DETAILS, text);
    return FS_FILE_USERABORT;
  }
  if (summary->refused > 0) {
    session.ShowMessage(nullptr, text);
    session.LogError(std::to_string(summary->refused) +
                     " lines of the index were refused; the other books were imported");
    return FS_FILE_WRITEERROR;
  }
  session.Log(MSGTYPE_DETAILS, text);
  return FS_FILE_OK;
}

// The interface's code of an import's result.
int PutCode(books::PutResult result) {
  switch (result) {
    case books::PutResult::kOk: return FS_FILE_OK;
    case books::PutResult::kExists: return FS_FILE_EXISTS;
    case books::PutResult::kWriteError: return FS_FILE_WRITEERROR;
    case books::PutResult::kAborted: return FS_FILE_USERABORT;
    case books::PutResult::kNotSupported: return FS_FILE_NOTSUPPORTED;
  }
  return FS_FILE_WRITEERROR;
}

}  // namespace

TOMEVA_EXPORT int FsGetFile(char* RemoteName, char* LocalName, int CopyFlags,
                            RemoteInfoStruct* /*ri*/) {
  const std::string remote = Text(RemoteName);
  const std::string local = Text(LocalName);
  return WithBooks(FS_FILE_READERROR, remote, local, [&](books::BookContext& ctx) {
    switch (books::CopyBookOut(ctx, tomeva::frame::FileFromHost(remote), local,
                               FlagsOf(CopyFlags))) {
      case books::GetResult::kOk: return FS_FILE_OK;
      case books::GetResult::kExists: return FS_FILE_EXISTS;
      case books::GetResult::kAborted: return FS_FILE_USERABORT;
      case books::GetResult::kNotFound: return FS_FILE_NOTFOUND;
      case books::GetResult::kReadError: return FS_FILE_READERROR;
      case books::GetResult::kWriteError: return FS_FILE_WRITEERROR;
    }
    return FS_FILE_READERROR;
  });
}

TOMEVA_EXPORT int FsPutFile(char* LocalName, char* RemoteName, int CopyFlags) {
  const std::string local = Text(LocalName);
  const std::string remote = Text(RemoteName);
  if (tomeva::collections::IsCollectionIndexName(local)) {
    return Guarded<int>(FS_FILE_WRITEERROR,
                        [&](Session& session) { return PutCollection(session, local, remote); });
  }
  return WithBooks<int>(FS_FILE_WRITEERROR, local, remote, [&](books::BookContext& ctx) {
    const books::Outcome<books::PutResult> outcome =
        books::ImportBook(ctx, local, tomeva::frame::FileFromHost(remote), FlagsOf(CopyFlags));
    LogRefusal(ctx, "cannot import " + local, outcome);
    return PutCode(outcome.code);
  });
}

TOMEVA_EXPORT int TomevaPutFiles(int Count, char** LocalNames, char** RemoteNames, int CopyFlags,
                                 tTomevaPutResultProc OnResult, void* Data) {
  if (Count < 0 || (Count > 0 && (LocalNames == nullptr || RemoteNames == nullptr)) ||
      OnResult == nullptr) {
    return FS_FILE_WRITEERROR;
  }
  std::vector<std::string> locals;
  std::vector<std::string> remotes;
  for (int i = 0; i < Count; ++i) {
    locals.push_back(Text(LocalNames[i]));
    remotes.push_back(Text(RemoteNames[i]));
  }
  const std::string none;
  return WithBooks<int>(FS_FILE_WRITEERROR, none, none, [&](books::BookContext& ctx, Session& session) {
    bool aborted = false;
    // Runs of books are imported in batches; a collection index on its own.
    for (int first = 0; first < Count && !aborted;) {
      if (tomeva::collections::IsCollectionIndexName(locals[first])) {
        const int code = PutCollection(session, locals[first], remotes[first]);
        aborted = code == FS_FILE_USERABORT;
        OnResult(Data, first, code, "");
        ++first;
        continue;
      }
      int end = first;
      while (end < Count && !tomeva::collections::IsCollectionIndexName(locals[end])) ++end;
      const std::span<const std::string> run(locals.data() + first, end - first);
      const books::BatchProgress progress = [&](size_t index, int percent) {
        return session.ReportProgress(locals[first + index], remotes[first + index], percent);
      };
      const books::BatchResult result = [&](size_t index,
                                            const books::Outcome<books::PutResult>& outcome) {
        const int book = first + static_cast<int>(index);
        LogRefusal(ctx, "cannot import " + locals[book], outcome);
        aborted = aborted || outcome.code == books::PutResult::kAborted;
        OnResult(Data, book, PutCode(outcome.code), outcome.reason.c_str());
      };
      books::ImportBooks(ctx, run, FlagsOf(CopyFlags), progress, result);
      first = end;
    }
    return aborted ? FS_FILE_USERABORT : FS_FILE_OK;
  });
}

TOMEVA_EXPORT BOOL FsDeleteFile(char* RemoteName) {
  const std::string remote = Text(RemoteName);
  return WithBooks(FALSE, remote, std::string(), [&](books::BookContext& ctx) {
    const books::Outcome<bool> outcome = books::DeleteBook(ctx, tomeva::frame::FileFromHost(remote));
    LogRefusal(ctx, "cannot delete " + remote, outcome);
    return outcome.code ? TRUE : FALSE;
  });
}

TOMEVA_EXPORT int FsRenMovFile(char* OldName, char* NewName, BOOL Move, BOOL /*OverWrite*/,
                               RemoteInfoStruct* /*ri*/) {
  const std::string old_name = Text(OldName);
  const std::string new_name = Text(NewName);
  return WithBooks(FS_FILE_WRITEERROR, old_name, new_name, [&](books::BookContext& ctx) {
    const books::Outcome<books::MoveResult> outcome =
        books::MoveOrCopyBook(ctx, tomeva::frame::FileFromHost(old_name),
                              tomeva::frame::FileFromHost(new_name), Move != FALSE);
    LogRefusal(ctx, std::string(Move != FALSE ? "cannot move " : "cannot copy ") + old_name +
                        " to " + new_name,
               outcome);
    switch (outcome.code) {
      case books::MoveResult::kOk: return FS_FILE_OK;
      case books::MoveResult::kExists: return FS_FILE_EXISTS;
      case books::MoveResult::kWriteError: return FS_FILE_WRITEERROR;
      case books::MoveResult::kAborted: return FS_FILE_USERABORT;
    }
    return FS_FILE_WRITEERROR;
  });
}

TOMEVA_EXPORT BOOL FsLinksToLocalFiles(void) { return TRUE; }

TOMEVA_EXPORT BOOL FsGetLocalName(char* RemoteName, int maxlen) {
  if (RemoteName == nullptr || maxlen <= 0) return TRUE;
  const std::string remote = Text(RemoteName);
  std::string local = WithBooks(std::string(), remote, std::string(),
                                [&](books::BookContext& ctx) {
                                  return books::LocalFileOf(ctx, tomeva::frame::FileFromHost(remote));
                                });
  tomeva::frame::CopyToHost(local, RemoteName, maxlen);
  return TRUE;
}

TOMEVA_EXPORT int FsGetPreviewBitmap(char* RemoteName, int /*width*/, int /*height*/,
                                     HBITMAP* ReturnedBitmap) {
  if (ReturnedBitmap != nullptr) *ReturnedBitmap = nullptr;
  if (RemoteName == nullptr) return FS_BITMAP_NONE;
  const std::string remote = Text(RemoteName);
  std::optional<std::string> file =
      WithBooks(std::optional<std::string>(), remote, std::string(), [&](books::BookContext& ctx) {
        return books::PreviewFileOf(ctx, tomeva::frame::FileFromHost(remote));
      });
  // The host reads the file name back from RemoteName: a name cut to fit would
  // name another file, so one that does not fit is no preview.
  if (!file || file->size() >= MAX_PATH) return FS_BITMAP_NONE;
  tomeva::frame::CopyToHost(*file, RemoteName, MAX_PATH);
  return FS_BITMAP_EXTRACT_YOURSELF | FS_BITMAP_CACHE;
}
