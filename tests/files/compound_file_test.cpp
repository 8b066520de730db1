// SPDX-License-Identifier: GPL-3.0-or-later
// The .xls container on its own: what the writer builds, the reader takes apart, on either platform's
// library; and what is no container, or lacks the stream, is told apart.
#include "files/compound_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace torvane::sheetfile {
namespace {

std::string Pattern(size_t size, int seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed) & 0xFF);
  return bytes;
}

TEST(CompoundFile, StreamsWrittenReadBackWhole) {
  // Below and above the 4096 bytes where a stream leaves the small-block area, and an empty one.
  const std::vector<std::vector<TCompoundStream>> cases = {
      {{"Workbook", Pattern(4096, 1)}},
      {{"Workbook", Pattern(100, 2)}},
      {{"Workbook", Pattern(300000, 3)}, {"Extra", Pattern(17, 4)}, {"Empty", ""}},
  };
  for (const auto& streams : cases) {
    const std::string file = BuildCompoundFile(streams);
    ASSERT_GE(file.size(), 512u);
    EXPECT_EQ(file.substr(0, 8), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    const TCompoundFileReader reader(file);
    for (const TCompoundStream& s : streams) {
      EXPECT_TRUE(reader.HasStream(s.Name)) << s.Name;
      EXPECT_EQ(reader.ReadStream(s.Name, 1 << 20), s.Bytes) << s.Name;
    }
    EXPECT_FALSE(reader.HasStream("Book"));
    EXPECT_THROW(reader.ReadStream("Book", 1 << 20), ECompoundFileError);
  }
}

TEST(CompoundFile, RefusesWhatIsNoContainerAndStreamsTooLarge) {
  for (const std::string& bytes : {std::string("PK\3\4 not a compound file"), std::string(4096, '\0'),
                                   std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)})
    EXPECT_THROW(TCompoundFileReader{bytes}, ECompoundFileError) << bytes.size();
  const std::string file = BuildCompoundFile({{"Workbook", Pattern(5000, 5)}});
  const TCompoundFileReader reader(file);
  EXPECT_THROW(reader.ReadStream("Workbook", 4999), ECompoundFileError);
  EXPECT_EQ(reader.ReadStream("Workbook", 5000).size(), 5000u);
}

}  // namespace
}  // namespace torvane::sheetfile
