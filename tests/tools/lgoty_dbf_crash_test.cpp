// An appender stopped or killed between its keys and its row, and the readers and appenders
// that come after it: lookups never return a row for a key it does not hold, and the next
// append that takes the record number replaces what the dead one left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "dbf/dbf_file.h"
#include "platform/file.h"
#include "tests/tools/tool_test_support.h"

namespace lgoty::tools {
namespace {

class AppendBetweenKeyAndRow : public ToolTest {
 protected:
  void MakeTable(const std::string& tag_options = "") {
    table_ = File("reg.dbf");
    ASSERT_EQ(Run("lgoty-dbf", "create " + table_ + " --level 4 --ldid 0x65 FAMIL:C:10").status, 0);
    ASSERT_EQ(Run("lgoty-dbf", "append " + table_,
                  "{\"FAMIL\":\"B\"}\n{\"FAMIL\":\"D\"}\n{\"FAMIL\":\"F\"}\n")
                  .status,
              0);
    ASSERT_EQ(Run("lgoty-dbf", "index " + table_ + " --tag FAMIL --expr FAMIL" + tag_options).status,
              0);
  }

  // A child process appends famil in shared mode and, once every key is written and before
  // the row is, calls at_keys (which may kill the child or wait for the parent). Returns the
  // child's id.
  template <typename AtKeys>
  pid_t StartAppender(const std::string& famil, AtKeys at_keys) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    int status = 3;
    try {
      dbf::TDbfFile file;
      file.SetFileName(table_);
      file.SetMode(dbf::TFileAccessMode::amSharedExisting);
      file.Open();
      std::vector<std::byte> record(file.BlankRecord().begin(), file.BlankRecord().end());
      std::memcpy(record.data() + 1, famil.data(), famil.size());
      file.SetOnKeysWritten([&](uint32_t) { at_keys(); });
      file.Insert(record);
      file.Close();
      status = 0;
    } catch (...) {
    }
    _exit(status);
  }

  static void ExpectKilled(pid_t pid) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
  }

  std::string Famils(const std::string& args) {
    const Result r = Run("lgoty-dbf", args);
    EXPECT_EQ(r.status, 0) << args << "\n" << r.err;
    std::string famils;
    for (const core::JsonValue& line : Lines(r.out)) {
      famils += line.Find("FAMIL")->AsString() + "@" + line.Find("_recno")->Text() + " ";
    }
    return famils;
  }

  std::string table_;
};

TEST_F(AppendBetweenKeyAndRow, KeyOfAKilledAppenderIsNeverTrusted) {
  MakeTable();
  ExpectKilled(StartAppender("DEAD", [] { raise(SIGKILL); }));
  EXPECT_EQ(Famils("dump " + table_ + " --index FAMIL"), "B@1 D@2 F@3 ");
  EXPECT_EQ(Run("lgoty-dbf", "seek " + table_ + " --index FAMIL DEAD").status, 1);

  // The next append takes record 4 with another key: the dead key does not find it.
  const Result appended = Run("lgoty-dbf", "append --shared " + table_, "{\"FAMIL\":\"A\"}\n");
  ASSERT_EQ(appended.status, 0) << appended.err;
  EXPECT_EQ(appended.out, "{\"_recno\":4}\n");
  EXPECT_EQ(Famils("dump " + table_ + " --index FAMIL"), "A@4 B@1 D@2 F@3 ");
  EXPECT_EQ(Run("lgoty-dbf", "seek " + table_ + " --index FAMIL DEAD").status, 1);
  EXPECT_EQ(Famils("seek " + table_ + " --index FAMIL A"), "A@4 ");

  // Killed again before record 5's row; the next record 5 has the dead one's key: one entry.
  ExpectKilled(StartAppender("E", [] { raise(SIGKILL); }));
  ASSERT_EQ(Run("lgoty-dbf", "append " + table_, "{\"FAMIL\":\"E\"}\n").status, 0);
  EXPECT_EQ(Famils("dump " + table_ + " --index FAMIL"), "A@4 B@1 D@2 E@5 F@3 ");
}

TEST_F(AppendBetweenKeyAndRow, DistinctKeyOfAKilledAppenderIsReplaced) {
  MakeTable(" --distinct");
  ExpectKilled(StartAppender("C", [] { raise(SIGKILL); }));
  // Record 4 goes to another key; then C is appended for real as record 5: the dead entry
  // (C, 4) names a record that holds A, so it gives way instead of refusing C.
  ASSERT_EQ(Run("lgoty-dbf", "append --shared " + table_, "{\"FAMIL\":\"A\"}\n").status, 0);
  const Result c = Run("lgoty-dbf", "append --shared " + table_, "{\"FAMIL\":\"C\"}\n");
  ASSERT_EQ(c.status, 0) << c.err;
  EXPECT_EQ(c.out, "{\"_recno\":5}\n");
  EXPECT_EQ(Famils("dump " + table_ + " --index FAMIL"), "A@4 B@1 C@5 D@2 F@3 ");
  const Result check = Run("lgoty-dbf", "check " + table_);
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  // A live holder still refuses its key.
  EXPECT_EQ(Run("lgoty-dbf", "append " + table_, "{\"FAMIL\":\"D\"}\n").status, 1);
}

TEST_F(AppendBetweenKeyAndRow, ReadersBesideAnAppenderSeeOneConsistentState) {
  MakeTable();
  int to_child[2], to_parent[2];
  ASSERT_EQ(pipe(to_child), 0);
  ASSERT_EQ(pipe(to_parent), 0);
  const pid_t pid = StartAppender("C", [&] {
    char c = 'k';
    if (write(to_parent[1], &c, 1) != 1) _exit(4);
    if (read(to_child[0], &c, 1) != 1) _exit(5);
  });
  char c = 0;
  ASSERT_EQ(read(to_parent[0], &c, 1), 1);
  // The child holds record 4 with its key in the index and no row yet.
  EXPECT_EQ(Famils("dump " + table_ + " --index FAMIL"), "B@1 D@2 F@3 ");
  EXPECT_EQ(Run("lgoty-dbf", "seek " + table_ + " --index FAMIL C").status, 1);
  const Result busy = Run("lgoty-dbf", "check " + table_);
  EXPECT_EQ(busy.status, 1);
  EXPECT_NE(busy.err.find("cannot be checked now"), std::string::npos) << busy.out << busy.err;

  ASSERT_EQ(write(to_child[1], &c, 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Famils("dump " + table_ + " --index FAMIL"), "B@1 C@4 D@2 F@3 ");
  const Result check = Run("lgoty-dbf", "check " + table_);
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  for (int fd : {to_child[0], to_child[1], to_parent[0], to_parent[1]}) close(fd);
}

}  // namespace
}  // namespace lgoty::tools
