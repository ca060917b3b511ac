// The library audit of the end-to-end tests.
#include "cli/library_audit.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "cli/cli_runner.h"
#include "support/temp_dir.h"

namespace tomeva::testing {
namespace {

// Rows of a two-column query, as pairs of text.
std::vector<std::pair<std::string, std::string>> CatalogPairs(const std::string& catalog,
                                                              const std::string& sql) {
  std::vector<std::pair<std::string, std::string>> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(catalog.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << catalog;
    sqlite3_close(db);
    return rows;
  }
  sqlite3_busy_timeout(db, 10000);
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sqlite3_errmsg(db) << " in " << sql;
  } else {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      auto text = [&](int i) {
        const unsigned char* t = sqlite3_column_text(statement, i);
        return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
      };
      rows.emplace_back(text(0), sqlite3_column_count(statement) > 1 ? text(1) : "");
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

}  // namespace

std::vector<std::string> CatalogColumn(const std::string& catalog, const std::string& sql) {
  std::vector<std::string> values;
  for (auto& [first, second] : CatalogPairs(catalog, sql)) values.push_back(first);
  return values;
}

std::string ShellIntegrityCheck(const std::string& catalog) {
  ProcessResult shell = RunProgram("/usr/bin/sqlite3", {catalog, "PRAGMA integrity_check;"}, "/",
                                   "/tmp");
  std::string answer = shell.out;
  while (!answer.empty() && answer.back() == '\n') answer.pop_back();
  return shell.exit_code == 0 ? answer : "sqlite3 failed: " + shell.err;
}

std::vector<std::string> FolderListingProblems(const std::string& catalog) {
  // Each listing table beside the rows its sources give.
  const std::pair<const char*, std::string> listings[] = {
      {"GenreListing",
       "SELECT BookGenres.GenreId, Books.BookId, Books.FileName, Books.fSize, Books.fDate FROM "
       "BookGenres JOIN Books ON Books.BookId = BookGenres.BookId"},
      {"AuthorListing",
       "SELECT Letter, FolderName, AuthorId FROM Authors WHERE Letter IS NOT NULL AND FolderName "
       "IS NOT NULL AND EXISTS (SELECT 1 FROM BookAuthors WHERE BookAuthors.AuthorId = "
       "Authors.AuthorId)"},
  };
  std::vector<std::string> problems;
  for (const auto& [table, sources] : listings) {
    if (CatalogColumn(catalog, "SELECT name FROM sqlite_master WHERE name = '" +
                                   std::string(table) + "'")
            .size() != 1) {
      continue;
    }
    const std::string listed = "SELECT * FROM " + std::string(table);
    for (const std::string& row : CatalogColumn(
             catalog, "SELECT 'listed, not in its sources' FROM (" + listed + " EXCEPT " + sources +
                          ") UNION ALL SELECT 'in its sources, not listed' FROM (" + sources +
                          " EXCEPT " + listed + ")")) {
      problems.push_back(std::string(table) + ": a row " + row);
    }
  }
  return problems;
}

std::vector<std::string> AuditLibrary(const std::string& folder,
                                      const std::map<std::string, std::string>& sources) {
  std::vector<std::string> problems;
  const std::string catalog = folder + "/Tomeva.sqlite";
  const std::string lib = folder + "/Lib";
  const std::string integrity = ShellIntegrityCheck(catalog);
  if (integrity != "ok") problems.push_back("integrity_check: " + integrity);

  std::set<std::string> files;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(lib, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string relative = it->path().string().substr(lib.size() + 1);
    if (relative == ".tomeva-journal" && it->is_directory()) {
      it.disable_recursion_pending();  // journals of operations still running
      continue;
    }
    if (!it->is_directory()) files.insert(relative);
  }
  std::map<std::string, int> titles;
  for (const auto& [title, link] : CatalogPairs(catalog, "SELECT Title, Link FROM Books")) {
    if (++titles[title] == 2) problems.push_back("book twice: " + title);
    if (files.erase(link) != 1) {
      problems.push_back("no stored file for the book " + title + " (" + link + ")");
      continue;
    }
    auto source = sources.find(title);
    if (source != sources.end() && ReadFile(lib + "/" + link) != source->second) {
      problems.push_back("the stored file of " + title + " is not its book's bytes");
    }
  }
  for (const std::string& extra : files) problems.push_back("stored file without a book: " + extra);
  for (std::string& problem : FolderListingProblems(catalog)) problems.push_back(std::move(problem));
  return problems;
}

}  // namespace tomeva::testing
