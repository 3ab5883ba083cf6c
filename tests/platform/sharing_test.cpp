// Sharing modes between processes and between handles of one process.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>

#include "platform/file.h"
#include "tests/platform/test_support.h"

namespace lgoty::platform {
namespace {

using testing::Bytes;
using testing::ChildProcess;
using testing::Channel;
using testing::ScratchFolder;
using testing::Text;
using testing::TryOpen;

constexpr auto kRead = FileAccess::Read;
constexpr auto kReadWrite = FileAccess::ReadWrite;

class Sharing : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.File("register.dbf");
    WriteWholeFile(path_, Bytes("0123456789"));
  }
  std::unique_ptr<DiskFile> Open(FileAccess access, FileShare share) {
    return DiskFile::Open(path_, access, share, FileCreate::OpenExisting);
  }

  ScratchFolder folder_;
  std::string path_;
};

TEST_F(Sharing, ExclusiveWriterInOtherProcessKeepsWritersOutAndLetsReadersIn) {
  ChildProcess child([&](Channel& parent) {
    auto file = Open(kReadWrite, FileShare::DenyWrite);
    file->WriteAt(0, Bytes("AB"));
    parent.Send('R');
    parent.Receive();  // until told to close
  });
  ASSERT_EQ(child.Receive(), 'R') << "child could not open the file exclusively";

  EXPECT_EQ(TryOpen(path_, kReadWrite, FileShare::DenyNone), 'S')
      << "a shared writer was let in while another process holds the file exclusively";
  EXPECT_EQ(TryOpen(path_, kReadWrite, FileShare::DenyWrite), 'S')
      << "a second exclusive writer was let in";
  EXPECT_EQ(TryOpen(path_, kRead, FileShare::DenyWrite), 'S')
      << "a reader denying writes was let in although another process writes";
  {
    auto reader = Open(kRead, FileShare::DenyNone);
    std::vector<std::byte> buffer(4);
    ASSERT_EQ(reader->ReadAt(0, buffer), 4u);
    EXPECT_EQ(Text(buffer), "AB23") << "the reader must see the exclusive writer's bytes";
  }

  child.Send('C');
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(TryOpen(path_, kReadWrite, FileShare::DenyNone), 'O')
      << "the file must be free again once the exclusive holder has exited";
}

// Every pair of modes between two handles of one process. Rows: the mode of the handle that
// holds the file; letters: whether an open in each mode is then admitted (O) or refused (S),
// in the order Read with DenyNone, DenyWrite, DenyReadWrite, then ReadWrite with the same.
TEST_F(Sharing, EveryPairOfModesFollowsTheSharingRules) {
  struct Mode {
    FileAccess access;
    FileShare share;
  };
  const Mode modes[] = {
      {kRead, FileShare::DenyNone},      {kRead, FileShare::DenyWrite},
      {kRead, FileShare::DenyReadWrite}, {kReadWrite, FileShare::DenyNone},
      {kReadWrite, FileShare::DenyWrite}, {kReadWrite, FileShare::DenyReadWrite},
  };
  const char* const expected[] = {"OOSOOS", "OOSSSS", "SSSSSS",
                                  "OSSOSS", "OSSSSS", "SSSSSS"};
  for (size_t held = 0; held < 6; ++held) {
    auto holder = Open(modes[held].access, modes[held].share);
    for (size_t asked = 0; asked < 6; ++asked) {
      EXPECT_EQ(TryOpen(path_, modes[asked].access, modes[asked].share), expected[held][asked])
          << "holder mode " << held << ", opener mode " << asked;
    }
    // Refused opens must leave no markers behind that keep refusing after the holder closes.
    holder.reset();
    EXPECT_EQ(TryOpen(path_, kReadWrite, FileShare::DenyReadWrite), 'O') << "after mode " << held;
  }
}

TEST_F(Sharing, SharedWritersInTwoProcessesSeeEachOthersBytes) {
  ChildProcess child([&](Channel& parent) {
    auto file = Open(kReadWrite, FileShare::DenyNone);
    file->WriteAt(0, Bytes("child"));
    parent.Send('W');
    if (parent.Receive() != 'W') return;
    std::vector<std::byte> buffer(6);
    file->ReadAt(10, buffer);
    parent.Send(Text(buffer) == "parent" ? 'Y' : 'N');
  });
  auto file = Open(kReadWrite, FileShare::DenyNone);
  ASSERT_EQ(child.Receive(), 'W') << "child could not open the file shared";
  std::vector<std::byte> buffer(5);
  ASSERT_EQ(file->ReadAt(0, buffer), 5u);
  EXPECT_EQ(Text(buffer), "child");
  file->WriteAt(10, Bytes("parent"));
  child.Send('W');
  EXPECT_EQ(child.Receive(), 'Y') << "the child did not see the parent's bytes";
  EXPECT_EQ(file->Size(), 16u);
  EXPECT_EQ(child.Wait(), 0);
}

TEST_F(Sharing, RefusedCreatingOpenLeavesTheHeldFileIntactAndNamesIt) {
  auto holder = Open(kReadWrite, FileShare::DenyWrite);
  try {
    DiskFile::Open(path_, kReadWrite, FileShare::DenyNone, FileCreate::CreateAlways);
    FAIL() << "the open was not refused";
  } catch (const ESharingViolation& error) {
    EXPECT_EQ(error.Message(), "Cannot open file \"" + path_ +
                                   "\". The process cannot access the file because it is "
                                   "being used by another process.");
  }
  EXPECT_EQ(holder->Size(), 10u) << "a refused CreateAlways emptied a file someone else holds";
}

// A reader that may not write the file cannot take the exclusive guard lock and falls back
// to a shared one; the sharing rules must hold all the same.
TEST_F(Sharing, ReaderWithoutWritePermissionStillFollowsTheRules) {
  ASSERT_EQ(chmod(folder_.Path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
  ChildProcess child([&](Channel& parent) {
    if (geteuid() == 0 && setuid(65534) != 0) {  // root could write regardless of the mode
      parent.Send('!');
      return;
    }
    parent.Send(TryOpen(path_, kRead, FileShare::DenyReadWrite));
    auto reader = Open(kRead, FileShare::DenyWrite);
    parent.Send('R');
    parent.Receive();
  });
  const char first = child.Receive();
  if (first == '!') GTEST_SKIP() << "cannot drop privileges to test an unwritable file";
  EXPECT_EQ(first, 'O') << "an unwritable file could not be opened for reading at all";
  ASSERT_EQ(child.Receive(), 'R');
  EXPECT_EQ(TryOpen(path_, kRead, FileShare::DenyNone), 'O');
  ASSERT_EQ(chmod(path_.c_str(), 0644), 0);
  EXPECT_EQ(TryOpen(path_, kReadWrite, FileShare::DenyNone), 'S')
      << "the unprivileged reader's deny-write was not honoured";
  child.Send('C');
  EXPECT_EQ(child.Wait(), 0);
}

// Two processes race to open the file exclusively many times. Each one that gets in raises a
// flag in a witness file and checks that nobody else's flag is up. How often each gets in is
// the scheduler's business; the file system only promises that they never get in together,
// and that a process is let in once the other has closed the file. So each races its rounds
// and then goes on until it has been in at least once (the other ends its rounds and closes).
TEST_F(Sharing, RacingExclusiveOpenersAreNeverAdmittedTogether) {
  const std::string witness = folder_.File("witness");
  WriteWholeFile(witness, Bytes("00"));
  constexpr int kRounds = 3000;
  auto race = [&](int slot) {
    int admitted = 0;
    bool overlap = false;
    for (int round = 0; round < kRounds || admitted == 0; ++round) {
      std::unique_ptr<DiskFile> file;
      try {
        file = DiskFile::Open(path_, kReadWrite, FileShare::DenyReadWrite,
                              FileCreate::OpenExisting);
      } catch (const ESharingViolation&) {
        sched_yield();
        continue;
      }
      ++admitted;
      auto flags = DiskFile::Open(witness, kReadWrite, FileShare::DenyNone,
                                  FileCreate::OpenExisting);
      std::vector<std::byte> other(1);
      flags->WriteAt(slot, Bytes("1"));
      sched_yield();
      flags->ReadAt(1 - slot, other);
      if (Text(other) != "0") overlap = true;
      flags->WriteAt(slot, Bytes("0"));
    }
    return std::make_pair(admitted, overlap);
  };
  ChildProcess child([&](Channel& parent) {
    parent.Send('S');
    parent.Receive();
    const auto [admitted, overlap] = race(1);
    parent.Send(overlap ? 'X' : admitted > 0 ? 'A' : 'N');
  });
  ASSERT_EQ(child.Receive(), 'S');
  child.Send('G');
  const auto [admitted, overlap] = race(0);
  EXPECT_FALSE(overlap) << "both processes held the file exclusively at once";
  EXPECT_GT(admitted, 0);
  // No time limit of our own: the child ends once it has been in (the suite's limit
  // catches a child that never could).
  const char report = child.Receive(-1);
  EXPECT_EQ(report, 'A') << "child reported '" << report << "'";
  EXPECT_EQ(child.Wait(), 0);
}

}  // namespace
}  // namespace lgoty::platform
