// Positioned I/O, sizes, open options and whole-file helpers of DiskFile and MemoryFile.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "platform/file.h"
#include "tests/platform/test_support.h"

namespace lgoty::platform {
namespace {

using testing::Bytes;
using testing::Channel;
using testing::ChildProcess;
using testing::ScratchFolder;
using testing::Text;

std::string ReadText(RandomAccessFile& file, uint64_t offset, size_t length) {
  std::vector<std::byte> buffer(length);
  buffer.resize(file.ReadAt(offset, buffer));
  return Text(buffer);
}

TEST(DiskFile, WritesReadsAndResizesAtPositionsPastFourGigabytes) {
  ScratchFolder folder;
  auto file = DiskFile::Open(folder.File("a.dat"), FileAccess::ReadWrite, FileShare::DenyNone,
                             FileCreate::OpenOrCreate);
  EXPECT_EQ(file->Size(), 0u);
  EXPECT_EQ(file->WriteAt(0, Bytes("hello")), 5u);
  EXPECT_EQ(file->WriteAt(8, Bytes("world")), 5u);
  EXPECT_EQ(file->Size(), 13u);
  EXPECT_EQ(ReadText(*file, 0, 13), std::string("hello\0\0\0world", 13)) << "gap must be zeros";
  EXPECT_EQ(ReadText(*file, 10, 100), "rld") << "a read at the end returns what is there";
  EXPECT_EQ(ReadText(*file, 13, 4), "");
  EXPECT_EQ(ReadText(*file, UINT64_MAX - 1, 4), "") << "reads far past the end give nothing";

  // Offsets above 32 bits must not wrap (the file stays sparse).
  constexpr uint64_t kFar = (uint64_t{1} << 32) + 3;
  EXPECT_EQ(file->WriteAt(kFar, Bytes("far")), 3u);
  EXPECT_EQ(file->Size(), kFar + 3);
  EXPECT_EQ(ReadText(*file, kFar, 3), "far");
  EXPECT_EQ(ReadText(*file, 3, 2), "lo");
  EXPECT_THROW(file->WriteAt(UINT64_MAX - 1, Bytes("xy")), EFileError);

  file->SetSize(3);
  EXPECT_EQ(file->Size(), 3u);
  file->SetSize(6);
  EXPECT_EQ(ReadText(*file, 0, 10), std::string("hel\0\0\0", 6)) << "extension must be zeros";
  file->Flush();
}

TEST(DiskFile, ReadOnlyHandleRefusesChanges) {
  ScratchFolder folder;
  const std::string path = folder.File("a.dat");
  WriteWholeFile(path, Bytes("data"));
  auto file = DiskFile::Open(path, FileAccess::Read, FileShare::DenyNone, FileCreate::OpenExisting);
  EXPECT_FALSE(file->IsWritable());
  EXPECT_THROW(file->WriteAt(0, Bytes("x")), EFileError);
  EXPECT_THROW(file->SetSize(0), EFileError);
  EXPECT_NO_THROW(file->Flush());
  EXPECT_EQ(ReadText(*file, 0, 4), "data");
  EXPECT_THROW(DiskFile::Open(path, FileAccess::Read, FileShare::DenyNone,
                              FileCreate::CreateAlways),
               EFileError);
  EXPECT_EQ(ReadWholeFile(path).size(), 4u);
}

TEST(DiskFile, MissingFileIsAnErrorNamingTheFileUnlessCreationIsAllowed) {
  ScratchFolder folder;
  const std::string path = folder.File("missing.dbf");
  try {
    DiskFile::Open(path, FileAccess::ReadWrite, FileShare::DenyWrite, FileCreate::OpenExisting);
    FAIL() << "a missing file was opened";
  } catch (const ESharingViolation&) {
    FAIL() << "a missing file is not a sharing violation";
  } catch (const EFileError& error) {
    EXPECT_EQ(error.Message(), "Cannot open file \"" + path + "\". No such file or directory");
  }
  EXPECT_FALSE(FileExists(path)) << "OpenExisting must not create";

  DiskFile::Open(path, FileAccess::Read, FileShare::DenyNone, FileCreate::OpenOrCreate);
  EXPECT_TRUE(FileExists(path));
  EXPECT_THROW(DiskFile::Open(folder.File("no/such/folder.dbf"), FileAccess::ReadWrite,
                              FileShare::DenyNone, FileCreate::OpenOrCreate),
               EFileError);
}

TEST(DiskFile, CreateAlwaysEmptiesAndOpenOrCreateKeeps) {
  ScratchFolder folder;
  const std::string path = folder.File("a.dat");
  WriteWholeFile(path, Bytes("old contents"));
  DiskFile::Open(path, FileAccess::ReadWrite, FileShare::DenyNone, FileCreate::OpenOrCreate);
  EXPECT_EQ(ReadWholeFile(path).size(), 12u);
  auto file =
      DiskFile::Open(path, FileAccess::ReadWrite, FileShare::DenyNone, FileCreate::CreateAlways);
  EXPECT_EQ(file->Size(), 0u);
}

TEST(DiskFile, RefusesFoldersAndNamedPipesWithoutBlocking) {
  ScratchFolder folder;
  EXPECT_THROW(DiskFile::Open(folder.Path(), FileAccess::Read, FileShare::DenyNone,
                              FileCreate::OpenExisting),
               EFileError);
  const std::string fifo = folder.File("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(DiskFile::Open(fifo, FileAccess::Read, FileShare::DenyNone,
                              FileCreate::OpenExisting),
               EFileError);
}

// A file size limit makes the kernel store only part of a write, as a full disk does.
TEST(DiskFile, WritePastTheSizeLimitIsShortNotAnError) {
  ScratchFolder folder;
  const std::string path = folder.File("a.dat");
  ChildProcess child([&](Channel& parent) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1000, 1000};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return;
    auto file = DiskFile::Open(path, FileAccess::ReadWrite, FileShare::DenyNone,
                               FileCreate::OpenOrCreate);
    const size_t first = file->WriteAt(990, Bytes("0123456789abcdefghij"));
    const size_t second = file->WriteAt(1000, Bytes("x"));
    parent.Send(first == 10 && second == 0 ? 'Y' : 'N');
  });
  EXPECT_EQ(child.Receive(), 'Y') << "expected 10 bytes stored, then none";
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(ReadWholeFile(path).size(), 1000u);
}

TEST(MemoryFile, CapacityMakesWritesShortAndGapsAreZero) {
  MemoryFile file("memo");
  file.SetCapacity(10);
  EXPECT_EQ(file.WriteAt(0, Bytes("abcdef")), 6u);
  EXPECT_EQ(file.WriteAt(8, Bytes("ghij")), 2u);
  EXPECT_EQ(file.Size(), 10u);
  EXPECT_EQ(ReadText(file, 0, 20), std::string("abcdef\0\0gh", 10));
  EXPECT_EQ(file.WriteAt(10, Bytes("k")), 0u);
  EXPECT_EQ(file.WriteAt(UINT64_MAX, Bytes("k")), 0u);
  EXPECT_THROW(file.SetSize(11), EFileError);
  file.SetSize(4);
  EXPECT_EQ(ReadText(file, 0, 20), "abcd");
  EXPECT_EQ(ReadText(file, UINT64_MAX, 1), "");

  MemoryFile unlimited("big");
  EXPECT_EQ(unlimited.WriteAt(uint64_t{1} << 63, Bytes("x")), 0u) << "no memory is a full disk";
  EXPECT_THROW(unlimited.SetSize(uint64_t{1} << 63), EFileError);

  MemoryFile given("t.dbf", Bytes("xyz"));
  EXPECT_EQ(given.WriteAt(1, Bytes("Q")), 1u);
  EXPECT_EQ(Text(given.Contents()), "xQz");
}

TEST(WholeFile, RoundTripsAcrossReadChunkBoundaries) {
  ScratchFolder folder;
  const std::string path = folder.File("blob");
  for (size_t size : {size_t{0}, size_t{65536}, size_t{65537}, size_t{200000}}) {
    std::vector<std::byte> data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<std::byte>(i * 7 + size);
    WriteWholeFile(path, data);
    EXPECT_EQ(ReadWholeFile(path), data) << "size " << size;
  }
  EXPECT_THROW(ReadWholeFile(folder.File("none")), EFileError);
}

TEST(WholeFile, RenameRefusesToReplaceAndDeleteReportsFailure) {
  ScratchFolder folder;
  const std::string a = folder.File("a");
  const std::string b = folder.File("b");
  WriteWholeFile(a, Bytes("A"));
  WriteWholeFile(b, Bytes("B"));
  EXPECT_FALSE(RenameFile(a, b)) << "an existing file was replaced";
  EXPECT_EQ(Text(ReadWholeFile(b)), "B");
  EXPECT_TRUE(DeleteFile(b));
  EXPECT_FALSE(DeleteFile(b));
  EXPECT_TRUE(RenameFile(a, b));
  EXPECT_FALSE(FileExists(a));
  EXPECT_EQ(Text(ReadWholeFile(b)), "A");
  EXPECT_FALSE(FileExists(folder.Path())) << "a folder is not a file";
  EXPECT_FALSE(DeleteFile(folder.Path()));
}

}  // namespace
}  // namespace lgoty::platform
