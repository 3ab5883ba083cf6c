// The register program's sequence around the list report: the register held exclusively
// refuses the query with a sharing error; reopened shared, the query reads it; a record
// another process holds locked for editing is read all the same.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "dbf/dbf_errors.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"
#include "sql/sql_engine.h"
#include "sql_fixture.h"

namespace lgoty::sql {
namespace {

using testing::Cell;
using testing::ScratchFolder;

class RegisterSharing : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::MakeTable(path_, {{"FAMIL", 'C', 20, 0}, {"SUMPAY", 'N', 10, 2}},
                       {{{Cell("Иванов"), Cell("10.00")}}, {{Cell("Петров"), Cell("20.00")}}});
    connection_.SetLoginPrompt(false);
    connection_.SetConnectionString(testing::JetConnectionString(folder_.Path()));
    connection_.Open();
    query_.SetConnection(&connection_);
    query_.SQL().Add("select * from 'reg' WHERE SUMPAY>0 ORDER BY FAMIL ");
  }

  void OpenRegister(dbf::TFileAccessMode mode) {
    table_.Close();
    table_.SetFileName(path_);
    table_.SetMode(mode);
    table_.Open();
  }

  ScratchFolder folder_;
  std::string path_ = folder_.File("reg.dbf");
  dbf::TDbfFile table_;
  TAdoConnection connection_;
  TAdoQuery query_;
};

TEST_F(RegisterSharing, ExclusiveRegisterRefusesThenSharedRegisterIsRead) {
  OpenRegister(dbf::TFileAccessMode::amExclusiveExisting);
  try {
    query_.Open();
    FAIL() << "the query read a register held exclusively";
  } catch (const ESqlError& e) {
    EXPECT_NE(std::string(e.what()).find("being used by another process"), std::string::npos)
        << e.what();
  }
  EXPECT_FALSE(query_.Active());

  // Step 6 of the report: the table reopened shared.
  OpenRegister(dbf::TFileAccessMode::amSharedExisting);
  query_.Open();
  EXPECT_EQ(query_.RecordCount(), 2);
  query_.Close();

  // Step 8: back to exclusive after the report; the closed query holds nothing open.
  OpenRegister(dbf::TFileAccessMode::amExclusiveExisting);
  EXPECT_TRUE(table_.Active());
}

TEST_F(RegisterSharing, RecordLockedByAnotherProcessDoesNotBlockReading) {
  OpenRegister(dbf::TFileAccessMode::amSharedExisting);
  int to_parent[2], to_child[2];
  ASSERT_EQ(pipe(to_parent), 0);
  ASSERT_EQ(pipe(to_child), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Another program editing record 1: shared open, record locked, waiting to post.
    int status = 1;
    try {
      dbf::TDbfFile editor;
      editor.SetFileName(path_);
      editor.SetMode(dbf::TFileAccessMode::amSharedExisting);
      editor.Open();
      std::vector<std::byte> record(editor.RecordSize());
      editor.LockRecord(1, record);
      char ready = 'L';
      if (write(to_parent[1], &ready, 1) == 1) {
        char done = 0;
        if (read(to_child[0], &done, 1) == 1) status = 0;
      }
      editor.CancelRecordLock(1);
    } catch (...) {
      status = 2;
    }
    _exit(status);
  }
  char ready = 0;
  ASSERT_EQ(read(to_parent[0], &ready, 1), 1);
  ASSERT_EQ(ready, 'L');

  // The lock is real: this process cannot take it.
  std::vector<std::byte> record(table_.RecordSize());
  EXPECT_THROW(table_.LockRecord(1, record), dbf::EDbfError);

  query_.Open();
  ASSERT_EQ(query_.RecordCount(), 2);
  EXPECT_EQ(query_.FieldByName("FAMIL").AsString(), "Иванов");
  EXPECT_DOUBLE_EQ(query_.FieldByName("SUMPAY").AsFloat(), 10.0);

  char done = 'D';
  ASSERT_EQ(write(to_child[1], &done, 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (int fd : {to_parent[0], to_parent[1], to_child[0], to_child[1]}) close(fd);
}

TEST_F(RegisterSharing, RecordsAppendedByAnotherProgramAppearAtTheNextOpen) {
  query_.Open();
  EXPECT_EQ(query_.RecordCount(), 2);
  query_.Close();
  OpenRegister(dbf::TFileAccessMode::amSharedExisting);
  std::vector<std::byte> record(table_.RecordSize());
  table_.InitRecord(record);
  const std::string name = core::FromUtf8(866, "Сидоров");
  for (size_t i = 0; i < name.size(); ++i) record[1 + i] = static_cast<std::byte>(name[i]);
  const std::string amount = "      5.00";
  for (size_t i = 0; i < amount.size(); ++i) record[21 + i] = static_cast<std::byte>(amount[i]);
  table_.Insert(record);
  query_.Open();
  EXPECT_EQ(query_.RecordCount(), 3);
  query_.Last();
  EXPECT_EQ(query_.FieldByName("FAMIL").AsString(), "Сидоров");
}

}  // namespace
}  // namespace lgoty::sql
