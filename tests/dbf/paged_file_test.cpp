#include "dbf/paged_file.h"

#include <gtest/gtest.h>

#include "dbf/dbf_errors.h"
#include "dbf_test_support.h"

namespace lgoty::dbf {
namespace {

using testing::Bytes;
using testing::ScratchFolder;

// A data-file-like paged file: 8-byte header, 4-byte records, record lock bytes.
void Configure(TPagedFile& file, const std::string& path, TFileAccessMode mode) {
  file.SetFileName(path);
  file.SetMode(mode);
  file.SetLockStyle(TLockStyle::RecordLockBytes);
}

std::vector<std::byte> Record(char c) { return testing::Text(std::string(4, c)); }

std::unique_ptr<platform::DiskFile> OtherHandle(const std::string& path) {
  return platform::DiskFile::Open(path, platform::FileAccess::ReadWrite,
                                  platform::FileShare::DenyNone,
                                  platform::FileCreate::OpenExisting);
}

TEST(PagedFile, MissingFileIsReportedWithItsNameUnlessCreationIsAllowed) {
  ScratchFolder dir;
  const std::string path = dir.File("missing.dat");
  TPagedFile file;
  Configure(file, path, TFileAccessMode::amSharedExisting);
  try {
    file.Open();
    FAIL() << "opened a missing file";
  } catch (const EDbfError& e) {
    EXPECT_EQ(std::string(e.what()), "Open: file not found: \"" + path + "\".");
  }
  EXPECT_FALSE(file.Active());

  file.SetAutoCreate(true);
  file.Open();
  EXPECT_EQ(file.Mode(), TFileAccessMode::amSharedNew);
  EXPECT_TRUE(platform::FileExists(path));
  file.Close();
  // Closing returns to the mode the open started with.
  EXPECT_EQ(file.Mode(), TFileAccessMode::amSharedExisting);
}

TEST(PagedFile, RecordsFollowTheHeaderAndTheCountComesFromTheFileSize) {
  platform::MemoryFile memory;
  TPagedFile file;
  file.SetMode(TFileAccessMode::amMemoryNew);
  file.SetMemoryStream(&memory);
  file.Open();
  file.SetHeaderSize(8);
  file.SetRecordSize(4);
  EXPECT_EQ(file.RecordPosition(1), 8u);
  EXPECT_EQ(file.RecordPosition(3), 16u);
  file.WriteRecord(1, Record('a'));
  file.WriteRecord(2, Record('b'));
  EXPECT_EQ(file.RecordCount(), 2u);
  // A partial record at the end does not count.
  file.WriteAt(16, testing::Text("cc"));
  EXPECT_EQ(file.RecordCount(), 2u);

  std::vector<std::byte> buffer(4);
  EXPECT_EQ(file.ReadRecord(2, buffer), 4u);
  EXPECT_EQ(buffer, Record('b'));
  EXPECT_EQ(file.ReadRecord(3, buffer), 2u);

  file.SetRecordCount(1);
  EXPECT_EQ(memory.Contents().size(), 12u);
  EXPECT_EQ(file.RecordCount(), 1u);

  // Files whose header is page 0 count pages from offset 0.
  TPagedFile pages;
  pages.SetMode(TFileAccessMode::amMemoryNew);
  pages.SetHeaderIncluded(false);
  pages.Open();
  pages.SetRecordSize(16);
  EXPECT_EQ(pages.RecordPosition(2), 32u);
  pages.WriteRecord(2, std::vector<std::byte>(16));
  EXPECT_EQ(pages.RecordCount(), 3u);
}

TEST(PagedFile, ShortWriteSetsAStickyErrorFlag) {
  platform::MemoryFile memory;
  memory.SetCapacity(10);
  TPagedFile file;
  file.SetMode(TFileAccessMode::amMemoryNew);
  file.SetMemoryStream(&memory);
  file.Open();
  file.SetHeaderSize(4);
  file.SetRecordSize(4);
  file.WriteRecord(1, Record('a'));
  EXPECT_FALSE(file.WriteError());
  file.WriteRecord(2, Record('b'));
  EXPECT_TRUE(file.WriteError());
  memory.SetCapacity(100);
  file.WriteRecord(3, Record('c'));
  EXPECT_TRUE(file.WriteError()) << "the flag stays until reset";
  file.ResetWriteError();
  EXPECT_FALSE(file.WriteError());
}

TEST(PagedFile, SequentialReadsSeeEveryWriteAndOtherHandlesChanges) {
  ScratchFolder dir;
  const std::string path = dir.File("scan.dat");
  platform::WriteWholeFile(path, std::vector<std::byte>(8, std::byte{'h'}));
  for (auto mode : {TFileAccessMode::amExclusiveExisting, TFileAccessMode::amSharedExisting}) {
    TPagedFile file;
    Configure(file, path, mode);
    file.Open();
    file.SetHeaderSize(8);
    file.SetRecordSize(4);
    for (uint32_t n = 1; n <= 5000; ++n) {
      file.WriteRecord(n, Record(static_cast<char>('a' + n % 26)));
    }
    std::vector<std::byte> buffer(4);
    for (uint32_t n = 1; n <= 5000; ++n) {
      ASSERT_EQ(file.ReadRecord(n, buffer), 4u);
      ASSERT_EQ(buffer, Record(static_cast<char>('a' + n % 26))) << n;
    }
    // A write through the file during a scan is seen by the next read.
    file.ReadRecord(1, buffer);
    file.WriteRecord(2, Record('#'));
    file.ReadRecord(2, buffer);
    EXPECT_EQ(buffer, Record('#'));
    file.Close();
  }

  // In shared mode a re-read of a record goes to the file.
  TPagedFile file;
  Configure(file, path, TFileAccessMode::amSharedExisting);
  file.Open();
  file.SetHeaderSize(8);
  file.SetRecordSize(4);
  std::vector<std::byte> buffer(4);
  file.ReadRecord(1, buffer);
  file.ReadRecord(2, buffer);
  auto other = OtherHandle(path);
  other->WriteAt(file.RecordPosition(2), Record('Z'));
  other->WriteAt(file.RecordPosition(5001), Record('N'));
  file.ReadRecord(2, buffer);
  EXPECT_EQ(buffer, Record('Z'));
  EXPECT_EQ(file.RecordCount(), 5001u) << "shared mode re-reads the size";
}

TEST(PagedFile, DataFileLocksRecordBytesFarBeyondTheData) {
  ScratchFolder dir;
  const std::string path = dir.File("locks.dat");
  platform::WriteWholeFile(path, std::vector<std::byte>(8));
  TPagedFile file;
  Configure(file, path, TFileAccessMode::amSharedExisting);
  file.Open();
  file.SetHeaderSize(8);
  file.SetRecordSize(4);
  auto other = OtherHandle(path);

  ASSERT_TRUE(file.LockPage(1, false));
  EXPECT_EQ(other->Lock(0xEFFFFFFDull, 1), platform::LockResult::Violation);
  EXPECT_EQ(other->Lock(0xEFFFFFFEull, 1), platform::LockResult::Granted);
  other->Unlock(0xEFFFFFFEull, 1);
  // The record's own bytes stay free for readers and writers.
  EXPECT_EQ(other->Lock(file.RecordPosition(1), 4), platform::LockResult::Granted);
  other->Unlock(file.RecordPosition(1), 4);
  file.UnlockPage(1);
  EXPECT_EQ(other->Lock(0xEFFFFFFDull, 1), platform::LockResult::Granted);

  // Another handle holding the header makes a lock without waiting fail at once.
  ASSERT_EQ(other->Lock(0xEFFFFFFEull, 1), platform::LockResult::Granted);
  EXPECT_FALSE(file.LockPage(0, false));
  other->Unlock(0xEFFFFFFEull, 1);
  other->Unlock(0xEFFFFFFDull, 1);

  // The whole-file lock covers every record byte and grants page locks without asking.
  ASSERT_TRUE(file.LockAllPages(false));
  EXPECT_EQ(other->Lock(0xEFFFFFFEull - 123456, 1), platform::LockResult::Violation);
  EXPECT_TRUE(file.LockPage(77, false));
  file.UnlockAllPages();
  EXPECT_EQ(other->Lock(0xEFFFFFFEull - 123456, 1), platform::LockResult::Granted);
}

TEST(PagedFile, PageFilesLockThePagesOwnBytes) {
  ScratchFolder dir;
  const std::string path = dir.File("pages.dat");
  platform::WriteWholeFile(path, std::vector<std::byte>(2048));
  TPagedFile file;
  file.SetFileName(path);
  file.SetMode(TFileAccessMode::amSharedExisting);
  file.SetHeaderIncluded(false);
  file.Open();
  file.SetRecordSize(512);
  auto other = OtherHandle(path);
  ASSERT_TRUE(file.LockPage(2, false));
  EXPECT_EQ(other->Lock(1024 + 511, 1), platform::LockResult::Violation);
  EXPECT_EQ(other->Lock(1024 + 512, 1), platform::LockResult::Granted);
  EXPECT_EQ(other->Lock(1023, 1), platform::LockResult::Granted);
}

TEST(PagedFile, LocksAlwaysSucceedWhenTheFileIsNotShared) {
  ScratchFolder dir;
  const std::string path = dir.File("excl.dat");
  platform::WriteWholeFile(path, std::vector<std::byte>(8));
  auto other = platform::DiskFile::Open(path, platform::FileAccess::Read,
                                        platform::FileShare::DenyNone,
                                        platform::FileCreate::OpenExisting);
  ASSERT_EQ(other->Lock(0xEFFFFFFDull, 1), platform::LockResult::Granted);
  TPagedFile file;
  Configure(file, path, TFileAccessMode::amExclusiveExisting);
  file.Open();
  file.SetHeaderSize(8);
  file.SetRecordSize(4);
  EXPECT_TRUE(file.LockPage(1, false));
  EXPECT_NO_THROW(file.CheckExclusiveAccess());
}

TEST(PagedFile, HeaderIsWrittenAtOnceWhenSharedAndAtCloseOtherwise) {
  ScratchFolder dir;
  const std::string path = dir.File("header.dat");
  platform::WriteWholeFile(path, std::vector<std::byte>(8, std::byte{'.'}));
  for (auto mode : {TFileAccessMode::amSharedExisting, TFileAccessMode::amExclusiveExisting}) {
    TPagedFile file;
    Configure(file, path, mode);
    file.Open();
    file.SetHeaderSize(8);
    file.Header()[0] = static_cast<std::byte>(mode == TFileAccessMode::amSharedExisting ? 'S' : 'E');
    file.WriteHeader();
    // Shared: 'S' is on disk at once; exclusive: the disk still shows the earlier 'S'.
    EXPECT_EQ(testing::At(Bytes(path), 0), 'S');
    file.Close();
    EXPECT_EQ(testing::At(Bytes(path), 0), mode == TFileAccessMode::amSharedExisting ? 'S' : 'E');
  }
  // Read-only: nothing is stored and nothing is raised.
  TPagedFile file;
  Configure(file, path, TFileAccessMode::amReadOnly);
  file.Open();
  file.SetHeaderSize(8);
  file.Header()[0] = std::byte{'R'};
  EXPECT_NO_THROW(file.WriteHeader());
  EXPECT_NO_THROW(file.Close());
  EXPECT_EQ(testing::At(Bytes(path), 0), 'E');
}

TEST(PagedFile, TemporaryExclusiveSwitchShutsOutOtherWritersUntilItEnds) {
  ScratchFolder dir;
  const std::string path = dir.File("switch.dat");
  platform::WriteWholeFile(path, std::vector<std::byte>(8));
  TPagedFile file;
  Configure(file, path, TFileAccessMode::amSharedExisting);
  file.Open();
  file.SetHeaderSize(8);
  EXPECT_THROW(file.CheckExclusiveAccess(), EDbfError);
  file.TryExclusive();
  EXPECT_TRUE(file.IsTemporarilyExclusive());
  EXPECT_EQ(file.Mode(), TFileAccessMode::amExclusiveExisting);
  EXPECT_NO_THROW(file.CheckExclusiveAccess());
  EXPECT_THROW(OtherHandle(path), platform::ESharingViolation);
  file.EndExclusive();
  EXPECT_EQ(file.Mode(), TFileAccessMode::amSharedExisting);
  EXPECT_NO_THROW(OtherHandle(path));

  // When another writer holds the file the switch falls back to the shared mode.
  auto other = OtherHandle(path);
  file.TryExclusive();
  EXPECT_FALSE(file.IsTemporarilyExclusive());
  EXPECT_EQ(file.Mode(), TFileAccessMode::amSharedExisting);
  EXPECT_TRUE(file.Active());
}

}  // namespace
}  // namespace lgoty::dbf
