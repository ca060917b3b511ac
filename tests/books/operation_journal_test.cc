// Recovery of book operations cut short: journals left behind by an operation
// that ended without finishing them are carried forward when its transaction
// committed and undone when it did not; a journal still held is left alone.
#include "books/operation_journal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "books/books_test_support.h"
#include "platform/files.h"
#include "platform/locked_file.h"

namespace tomeva::books {
namespace {

using testing::PathExists;
using testing::ReadFile;
using testing::WriteFile;

class OperationJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(stored_, "OLD BOOK");
    WriteFile(working_, "NEW BOOK");
  }
  catalog::Database* db() { return lib_.ctx().view.db; }

  // The file changes of an overwrite up to just before its commit: the stored
  // book set aside, the working copy moved to its name. The journal object
  // then goes away without finishing, as when the process is killed.
  std::string InterruptedOverwrite(bool committed, bool halfway_move = false) {
    Result<OperationJournal> journal = OperationJournal::Start(lib_.lib());
    EXPECT_TRUE(journal.ok()) << journal.message();
    if (!journal.ok()) return {};
    EXPECT_TRUE(journal->RecordWorkingCopy(working_).ok());
    EXPECT_TRUE(journal->RecordSetAside(stored_, aside_).ok());
    EXPECT_TRUE(platform::MoveFile(stored_, aside_, platform::Overwrite::kNo).ok());
    EXPECT_TRUE(journal->RecordPlacement(working_, stored_).ok());
    if (halfway_move) {
      std::filesystem::create_hard_link(working_, stored_);  // link made, not yet unlinked
    } else {
      EXPECT_TRUE(platform::MoveFile(working_, stored_, platform::Overwrite::kNo).ok());
    }
    EXPECT_TRUE(journal->RecordDeletion(doomed_).ok());
    if (committed) {
      EXPECT_TRUE(RecordCommit(db(), journal->token()).ok());
    }
    return journal->token();
  }
  size_t Journals() const {
    std::error_code ec;
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(
             lib_.lib() + "/" + std::string(kJournalFolder), ec)) {
      (void)e;
      ++n;
    }
    return n;
  }

  testing::TestLibrary lib_;
  const std::string stored_ = lib_.lib() + "/Автор/Книга.fb2";
  const std::string aside_ = stored_ + ".old~";
  const std::string working_ = lib_.lib() + "/tmp.fb2";
  const std::string doomed_ = lib_.lib() + "/Автор/Удалённая.fb2";
};

TEST_F(OperationJournalTest, AnOperationThatNeverCommittedIsUndone) {
  WriteFile(doomed_, "KEPT");
  InterruptedOverwrite(/*committed=*/false);
  RecoverInterruptedOperations(db(), lib_.lib());
  EXPECT_EQ(ReadFile(stored_), "OLD BOOK");  // moved back over the new one
  EXPECT_FALSE(PathExists(aside_));
  EXPECT_FALSE(PathExists(working_));
  EXPECT_EQ(ReadFile(doomed_), "KEPT");  // its deletion waited for a commit that never came
  EXPECT_EQ(Journals(), 0u);
}

TEST_F(OperationJournalTest, AHalfwayMoveIsUndoneWithoutLosingEitherFile) {
  InterruptedOverwrite(/*committed=*/false, /*halfway_move=*/true);
  RecoverInterruptedOperations(db(), lib_.lib());
  EXPECT_EQ(ReadFile(stored_), "OLD BOOK");
  EXPECT_FALSE(PathExists(working_));
  EXPECT_FALSE(PathExists(aside_));
}

TEST_F(OperationJournalTest, ACommittedOperationIsCarriedForward) {
  WriteFile(doomed_, "GONE");
  const std::string token = InterruptedOverwrite(/*committed=*/true);
  RecoverInterruptedOperations(db(), lib_.lib());
  EXPECT_EQ(ReadFile(stored_), "NEW BOOK");
  EXPECT_FALSE(PathExists(aside_));
  EXPECT_FALSE(PathExists(working_));
  EXPECT_FALSE(PathExists(doomed_));
  EXPECT_EQ(Journals(), 0u);
  EXPECT_EQ(lib_.Text("SELECT Count(*) FROM TomevaJournal WHERE Token='" + token + "';"), "0");
}

TEST_F(OperationJournalTest, AWorkingCopyCutShortWhileItWasMadeIsDeleted) {
  // Recorded before it is made, under a name of its operation's own: a kill
  // during the copy leaves only the half-made file beside that name.
  const std::string copy = lib_.lib() + "/.tomeva-work-0123-1.fb2";
  {
    Result<OperationJournal> journal = OperationJournal::Start(lib_.lib());
    ASSERT_TRUE(journal.ok()) << journal.message();
    ASSERT_TRUE(journal->RecordWorkingCopy(copy).ok());
    WriteFile(copy + ".tmp~", "HALF A BO");
  }
  RecoverInterruptedOperations(db(), lib_.lib());
  EXPECT_FALSE(PathExists(copy + ".tmp~"));
  EXPECT_FALSE(PathExists(copy));
  EXPECT_EQ(Journals(), 0u);
}

TEST_F(OperationJournalTest, AJournalBeingMadeIsLeftAloneAndAnAbandonedOneDeleted) {
  const std::string folder = lib_.lib() + "/" + std::string(kJournalFolder) + "/";
  const std::string fresh =
      folder + "fresh.log" + std::string(platform::LockedFile::kTemporarySuffix);
  const std::string old = folder + "old.log" + std::string(platform::LockedFile::kTemporarySuffix);
  WriteFile(fresh, "");
  WriteFile(old, "");
  std::filesystem::last_write_time(
      old, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5));
  // Another process may be between making the fresh one and locking it.
  RecoverInterruptedOperations(db(), lib_.lib());
  EXPECT_TRUE(PathExists(fresh));
  EXPECT_FALSE(PathExists(old));
}

TEST_F(OperationJournalTest, AKeptJournalIsReusedWithAFreshTokenEachTime) {
  std::string first_token;
  {
    JournalKeeper keeper;
    Result<OperationJournal> first = keeper.Take(lib_.lib());
    ASSERT_TRUE(first.ok()) << first.message();
    first_token = first->token();
    // The first operation committed, but its token stayed in the catalog.
    ASSERT_TRUE(RecordCommit(db(), first_token).ok());
    ASSERT_TRUE(first->Clear().ok());
    keeper.Keep(std::move(first).value());
    EXPECT_EQ(Journals(), 1u);
    // The next operation, in the same file, is cut short before its commit.
    Result<OperationJournal> second = keeper.Take(lib_.lib());
    ASSERT_TRUE(second.ok());
    EXPECT_NE(second->token(), first_token);
    EXPECT_EQ(Journals(), 1u);
    ASSERT_TRUE(second->RecordPlacement(working_, stored_ + ".new").ok());
    ASSERT_TRUE(platform::MoveFile(working_, stored_ + ".new", platform::Overwrite::kNo).ok());
    // The process dies here: the journal stays behind, unlocked.
  }
  // (The keeper deleted only a kept journal; this one was in use.)
  RecoverInterruptedOperations(db(), lib_.lib());
  EXPECT_FALSE(PathExists(stored_ + ".new"));  // undone, although a token was there
  EXPECT_EQ(Journals(), 0u);
}

TEST_F(OperationJournalTest, AJournalStillHeldIsLeftAlone) {
  Result<OperationJournal> running = OperationJournal::Start(lib_.lib());
  ASSERT_TRUE(running.ok()) << running.message();
  ASSERT_TRUE(running->RecordPlacement(working_, stored_).ok());
  RecoverInterruptedOperations(db(), lib_.lib());
  EXPECT_EQ(ReadFile(stored_), "OLD BOOK");
  EXPECT_EQ(ReadFile(working_), "NEW BOOK");
  EXPECT_EQ(Journals(), 1u);
  running->Finish();
  EXPECT_EQ(Journals(), 0u);
}

TEST_F(OperationJournalTest, OddPathsRoundTripAndATornLastLineMeansNothing) {
  const std::string odd = lib_.lib() + "/a\tb\\c\nd.fb2";
  WriteFile(odd, "ODD");
  {
    Result<OperationJournal> journal = OperationJournal::Start(lib_.lib());
    ASSERT_TRUE(journal.ok());
    ASSERT_TRUE(journal->RecordWorkingCopy(odd).ok());
  }
  // A second journal whose only line was cut mid-write, and a journal whose
  // making was interrupted long ago.
  const std::string folder = lib_.lib() + "/" + std::string(kJournalFolder);
  WriteFile(folder + "/0123.log", "work\t" + working_);
  WriteFile(folder + "/4567.log.new~", "");
  std::filesystem::last_write_time(folder + "/4567.log.new~",
                                   std::filesystem::file_time_type::clock::now() -
                                       std::chrono::minutes(5));
  RecoverInterruptedOperations(db(), lib_.lib());
  EXPECT_FALSE(PathExists(odd));
  EXPECT_EQ(ReadFile(working_), "NEW BOOK");
  EXPECT_EQ(Journals(), 0u);
}

}  // namespace
}  // namespace tomeva::books
