// lgoty-dbf sum over amounts as writers lay them out and as other programs or damage leave
// them: the fast reading of right-aligned amounts and the slower readings of everything else
// must add up to the same totals, record after record, across the runs the file is read in.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/tools/tool_test_support.h"

namespace lgoty::tools {
namespace {

class SumTest : public ToolTest {
 protected:
  // A level-3 table FAMIL:C:5 SUMPAY:N:12:2 WIDE:N:18:4 with one record per amount text,
  // the texts written into the file as they stand (the engine would lay them out itself).
  std::string TableOf(const std::vector<std::string>& amounts, const std::vector<size_t>& deleted) {
    const std::string table = File("sums.dbf");
    EXPECT_EQ(Run("lgoty-dbf", "create " + table + " --level 3 FAMIL:C:5 SUMPAY:N:12:2 WIDE:N:18:4")
                  .status,
              0);
    std::string lines;
    for (size_t i = 0; i < amounts.size(); ++i) lines += R"({"FAMIL":"x","SUMPAY":1})" "\n";
    EXPECT_EQ(Run("lgoty-dbf", "append " + table, lines).status, 0);
    std::vector<char> bytes;
    {
      std::ifstream in(table, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const size_t header = static_cast<unsigned char>(bytes[8]) |
                          (static_cast<size_t>(static_cast<unsigned char>(bytes[9])) << 8);
    const size_t record = static_cast<unsigned char>(bytes[10]) |
                          (static_cast<size_t>(static_cast<unsigned char>(bytes[11])) << 8);
    EXPECT_EQ(record, 36u);
    for (size_t n = 0; n < amounts.size(); ++n) {
      const std::string& text = amounts[n];
      const std::string wide = std::string(18 - text.size(), ' ') + text;
      std::copy(text.begin(), text.end(), bytes.begin() + static_cast<long>(header + n * record + 6));
      std::copy(wide.begin(), wide.end(), bytes.begin() + static_cast<long>(header + n * record + 18));
    }
    for (size_t n : deleted) bytes[header + n * record] = '*';
    std::ofstream(table, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
    return table;
  }

  std::string Sum(const std::string& table, const std::string& field) {
    const Result r = Run("lgoty-dbf", "sum " + table + " " + field);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  }
};

// Right-aligned amounts with the field's decimals, and what older programs, hand edits and
// damage leave: other alignments and decimals, signs, exponents, overflow stars, garbage.
// Null, zero, unreadable and deleted records are not counted in nonzero; records counts all
// live ones. WIDE holds the same texts in a field too wide for the fast reading.
TEST_F(SumTest, EveryKindOfAmountTextIsReadAsBefore) {
  const std::string table = TableOf({"     1234.56", "1234.5      ", "************", "            ",
                                     "       -0.00", "     -100.25", "  +7.125    ", "   1.5e+02  ",
                                     "      999.00", "  12 34.00  ", "         .50", "-        .50"},
                                    {8});
  const std::string expected = "{\"records\":11,\"nonzero\":6,\"sum\":2526.435}\n";
  EXPECT_EQ(Sum(table, "SUMPAY"), expected);
  EXPECT_EQ(Sum(table, "WIDE"), expected);
}

// Twenty thousand records are read in several runs; odd texts sit on both sides of the first
// run boundaries and at the end. The sum is the amounts added in record order as doubles.
TEST_F(SumTest, RunsOfMixedTextsAddUpInRecordOrder) {
  constexpr size_t kRecords = 20000;
  std::vector<std::string> amounts;
  std::vector<size_t> deleted;
  double sum = 0;
  long live = 0, nonzero = 0;
  for (size_t n = 0; n < kRecords; ++n) {
    const long cents = static_cast<long>((n * 7919) % 200000) - 50000;
    char text[32];
    std::snprintf(text, sizeof text, "%12.2f", static_cast<double>(cents) / 100);
    std::string amount = text;
    if (n % 9 == 0) amount = std::string(12, ' ');
    if (n % 997 == 5 || n == 3639 || n == 3640 || n == 7280 || n == kRecords - 1) {
      // The same amount left-aligned, which only the slower readings take.
      std::snprintf(text, sizeof text, "%-12.2f", static_cast<double>(cents) / 100);
      amount = text;
    }
    if (n % 1499 == 7 || n == 3641) amount = "************";
    const bool gone = n % 101 == 3;
    if (gone) deleted.push_back(n);
    amounts.push_back(amount);
    if (gone) continue;
    ++live;
    const double value = std::strtod(amount.c_str(), nullptr);  // 0 for stars and blanks
    if (value != 0) {
      ++nonzero;
      sum += value;
    }
  }
  const std::string table = TableOf(amounts, deleted);
  char expected_sum[40];
  std::snprintf(expected_sum, sizeof expected_sum, "%.15g", sum);
  const std::string expected = "{\"records\":" + std::to_string(live) + ",\"nonzero\":" +
                               std::to_string(nonzero) + ",\"sum\":" + expected_sum + "}\n";
  EXPECT_EQ(Sum(table, "SUMPAY"), expected);
  EXPECT_EQ(Sum(table, "WIDE"), expected);
}

}  // namespace
}  // namespace lgoty::tools
