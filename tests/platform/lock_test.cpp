// Byte-range locks: record lock bytes, whole-file ranges, and their independence from the
// sharing markers.
#include <gtest/gtest.h>

#include "platform/file.h"
#include "tests/platform/test_support.h"

namespace lgoty::platform {
namespace {

using testing::Bytes;
using testing::Channel;
using testing::ChildProcess;
using testing::LockLetter;
using testing::ScratchFolder;
using testing::TryOpen;

// The table engine locks record n at 0xEFFFFFFE - n; the header is record 0.
constexpr uint64_t kHeaderLockByte = 0xEFFF'FFFEull;
constexpr uint64_t kRecord1LockByte = kHeaderLockByte - 1;
// Its whole-file lock covers the lock bytes of records 0 to 1 000 000 000 and one more.
constexpr uint64_t kWholeTableStart = kHeaderLockByte - 1'000'000'000ull;
constexpr uint64_t kWholeTableLength = 1'000'000'002ull;
// Index and memo files lock their real pages; the whole-file lock covers the first 2 GiB.
constexpr uint64_t kWholeIndexLength = 0x7FFF'FFFFull;

class Locks : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.File("register.dbf");
    WriteWholeFile(path_, Bytes("header and records"));
  }
  std::unique_ptr<DiskFile> Shared(FileAccess access = FileAccess::ReadWrite) {
    return DiskFile::Open(path_, access, FileShare::DenyNone, FileCreate::OpenExisting);
  }

  ScratchFolder folder_;
  std::string path_;
};

TEST_F(Locks, RecordLockIsRefusedToOtherProcessAndOtherHandleUntilUnlocked) {
  ChildProcess child([&](Channel& parent) {
    auto file = Shared();
    auto second = Shared();
    parent.Send(LockLetter(file->Lock(kRecord1LockByte, 1)));
    if (parent.Receive() != 'U') return;
    file->Unlock(kRecord1LockByte, 1);
    parent.Send('U');
    if (parent.Receive() != 'P') return;
    // The parent holds the byte now; a second handle here is refused like any other.
    parent.Send(LockLetter(second->Lock(kRecord1LockByte, 1)));
  });
  ASSERT_EQ(child.Receive(), 'G') << "the child could not lock record 1";
  auto file = Shared();
  EXPECT_EQ(file->Lock(kRecord1LockByte, 1), LockResult::Violation)
      << "a record locked by another process was granted";
  EXPECT_EQ(file->Lock(kHeaderLockByte, 1), LockResult::Granted)
      << "the neighbouring lock byte must stay free";
  child.Send('U');
  ASSERT_EQ(child.Receive(), 'U');
  EXPECT_EQ(file->Lock(kRecord1LockByte, 1), LockResult::Granted)
      << "the record stayed locked after the other process unlocked it";
  child.Send('P');
  EXPECT_EQ(child.Receive(), 'V') << "a second handle got a lock held by another process";
  EXPECT_EQ(child.Wait(), 0);
}

TEST_F(Locks, ClosingAHandleReleasesItsOwnLocksOnly) {
  auto keeper = Shared();
  {
    auto first = Shared();
    ASSERT_EQ(first->Lock(kRecord1LockByte, 1), LockResult::Granted);
    ASSERT_EQ(keeper->Lock(kRecord1LockByte, 1), LockResult::Violation);
    Shared().reset();  // another handle opened and closed meanwhile
    EXPECT_EQ(keeper->Lock(kRecord1LockByte, 1), LockResult::Violation)
        << "closing one handle dropped the locks of another";
  }
  EXPECT_EQ(keeper->Lock(kRecord1LockByte, 1), LockResult::Granted);
}

TEST_F(Locks, WholeFileRangesConflictWithRecordAndPageLocks) {
  auto whole = Shared();
  auto record = Shared();
  ASSERT_EQ(record->Lock(kRecord1LockByte, 1), LockResult::Granted);
  EXPECT_EQ(whole->Lock(kWholeTableStart, kWholeTableLength), LockResult::Violation);
  record->Unlock(kRecord1LockByte, 1);
  ASSERT_EQ(whole->Lock(kWholeTableStart, kWholeTableLength), LockResult::Granted);
  // Both ends of the range: the header byte and the byte of record 1 000 000 000.
  EXPECT_EQ(record->Lock(kHeaderLockByte, 1), LockResult::Violation);
  EXPECT_EQ(record->Lock(kHeaderLockByte - 1'000'000'000ull, 1), LockResult::Violation);
  EXPECT_EQ(record->Lock(kWholeTableStart - 1, 1), LockResult::Granted)
      << "the byte below the range must not be covered";
  whole->Unlock(kWholeTableStart, kWholeTableLength);
  EXPECT_EQ(record->Lock(kHeaderLockByte, 1), LockResult::Granted);

  // Index and memo files lock real pages, and the whole file from offset 0.
  ASSERT_EQ(record->Lock(512 * 7, 512), LockResult::Granted);
  EXPECT_EQ(whole->Lock(0, kWholeIndexLength), LockResult::Violation);
  record->Unlock(512 * 7, 512);
  EXPECT_EQ(whole->Lock(0, kWholeIndexLength), LockResult::Granted);
  EXPECT_EQ(record->Lock(0, 512), LockResult::Violation);
}

TEST_F(Locks, RecordLocksAndSharingMarkersDoNotInterfere) {
  auto first = Shared();
  ASSERT_EQ(first->Lock(kWholeTableStart, kWholeTableLength), LockResult::Granted);
  ASSERT_EQ(first->Lock(0, kWholeIndexLength), LockResult::Granted);
  // Opening still works while every engine-visible byte is locked...
  EXPECT_EQ(TryOpen(path_, FileAccess::ReadWrite, FileShare::DenyNone), 'O');
  // ...and record locks still work while handles of every sharing mode are open.
  auto reader = DiskFile::Open(path_, FileAccess::Read, FileShare::DenyNone,
                               FileCreate::OpenExisting);
  first.reset();
  auto second = Shared();
  EXPECT_EQ(second->Lock(kHeaderLockByte, 1), LockResult::Granted);
  // A range that would reach the markers is refused instead of corrupting the protocol.
  EXPECT_EQ(second->Lock(kShareMarkerBase - 1, 2), LockResult::Failed);
  EXPECT_EQ(second->Lock(0, UINT64_MAX), LockResult::Failed);
  EXPECT_EQ(TryOpen(path_, FileAccess::ReadWrite, FileShare::DenyNone), 'O');
}

TEST_F(Locks, ReadOnlyHandlesTakeSharedLocks) {
  auto reader1 = Shared(FileAccess::Read);
  auto reader2 = Shared(FileAccess::Read);
  auto writer = Shared();
  ASSERT_EQ(reader1->Lock(kHeaderLockByte, 1), LockResult::Granted);
  EXPECT_EQ(reader2->Lock(kHeaderLockByte, 1), LockResult::Granted);
  EXPECT_EQ(writer->Lock(kHeaderLockByte, 1), LockResult::Violation)
      << "a writer's exclusive lock must wait for the readers' shared ones";
}

}  // namespace
}  // namespace lgoty::platform
