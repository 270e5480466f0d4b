#include "session/list_row.h"

#include <gtest/gtest.h>

namespace session {
namespace {

class ListRows : public ::testing::Test {};

TEST_F(ListRows, FileFolderAndLinkedFolderRoundTrip) {
  const std::vector<ListRow> rows = {
      {"τιμολόγιο.pdf", 5368709120, "20240131093000", ""},
      {"Φάκελος", 0, "", ""},
      {"Εγχειρίδια", 0, "", "\\manuals\\"},
  };
  const std::string wire = FormatListRows(rows);
  EXPECT_EQ(wire.find("\r\n"), wire.find('\r'));
  EXPECT_NE(wire.find("\xC5\xe3\xf7\xe5\xe9\xf1\xdf\xe4\xe9\xe1|0||\\manuals\\"),
            std::string::npos);
  const auto parsed = ParseListRows(wire);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(*parsed, rows);
  EXPECT_TRUE((*parsed)[1].IsFolder());
  EXPECT_FALSE((*parsed)[0].IsFolder());
}

TEST_F(ListRows, FolderRowEndsWithAnEmptyStampField) {
  EXPECT_EQ(FormatListRow({"a", 0, "", ""}), "a|0|");
  EXPECT_EQ(FormatListRow({"a", 3, "20240101000000", ""}), "a|3|20240101000000");
}

TEST_F(ListRows, OnlyRowsThatCannotBeUsedMakeTheListMalformed) {
  for (const char* bad : {"a|1", "a", "a|x|", "a|-1|", "a||", "ok|1|\r\nb"})
    EXPECT_FALSE(ParseListRows(bad)) << bad;
}

TEST_F(ListRows, ExtraFieldsAndOddStampsAreTolerated) {
  const auto rows = ParseListRows(
      "odd.txt|1|2024\r\n"
      "file.txt|2|20240101000000|\r\n"
      "file2.txt|3|20240101000000|\\l\\|more\r\n"
      "Linked|0||\\l\\|extra|fields");
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->size(), 4u);
  EXPECT_EQ((*rows)[0], (ListRow{"odd.txt", 1, "2024", ""})) << "a file whose stamp is no date";
  EXPECT_EQ((*rows)[1], (ListRow{"file.txt", 2, "20240101000000", ""}));
  EXPECT_EQ((*rows)[2], (ListRow{"file2.txt", 3, "20240101000000", ""}))
      << "a file row carries no link";
  EXPECT_EQ((*rows)[3], (ListRow{"Linked", 0, "", "\\l\\"}));
}

TEST_F(ListRows, EmptyLinkFieldIsAPlainFolder) {
  const auto row = ParseListRow("f|0||");
  ASSERT_TRUE(row);
  EXPECT_TRUE(row->IsFolder());
  EXPECT_TRUE(row->link_target.empty());
}

TEST_F(ListRows, AHundredThousandRowsParseInOrder) {
  std::vector<ListRow> rows;
  for (int i = 0; i < 100000; ++i)
    rows.push_back({"file" + std::to_string(i), i, "20240101000000", ""});
  const auto parsed = ParseListRows(FormatListRows(rows));
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->size(), rows.size());
  EXPECT_EQ((*parsed)[99999].name, "file99999");
}

}  // namespace
}  // namespace session
