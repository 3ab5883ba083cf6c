#include <gtest/gtest.h>

#include "core/text_trim.h"

namespace lgoty::core {
namespace {

TEST(TextTrim, TakesOnlyTheNamedBlanksOffTheEnds) {
  EXPECT_EQ(Trim(" \t\r\n a b \n"), "a b");
  EXPECT_EQ(Trim(" \t\n "), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("\r\n x \r\n", " \t"), "\r\n x \r\n");  // INI lines keep their breaks
  EXPECT_EQ(Trim(" Жж "), "Жж");
  EXPECT_EQ(TrimLeft("  a  ", " "), "a  ");
  EXPECT_EQ(TrimLeft("   ", " "), "");
}

}  // namespace
}  // namespace lgoty::core
