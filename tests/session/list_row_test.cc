#include "session/list_row.h"

#include <gtest/gtest.h>

#include "session/list_rows.h"
#include "session/location.h"

namespace session {
namespace {

class ListRowText : public ::testing::Test {};

TEST_F(ListRowText, FileFolderAndLinkedFolderRoundTrip) {
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

TEST_F(ListRowText, FolderRowEndsWithAnEmptyStampField) {
  EXPECT_EQ(FormatListRow({"a", 0, "", ""}), "a|0|");
  EXPECT_EQ(FormatListRow({"a", 3, "20240101000000", ""}), "a|3|20240101000000");
}

TEST_F(ListRowText, OnlyRowsThatCannotBeUsedMakeTheListMalformed) {
  for (const char* bad : {"a|1", "a", "a|x|", "a|-1|", "a||", "ok|1|\r\nb"})
    EXPECT_FALSE(ParseListRows(bad)) << bad;
}

TEST_F(ListRowText, ExtraFieldsAndOddStampsAreTolerated) {
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

TEST_F(ListRowText, EmptyLinkFieldIsAPlainFolder) {
  const auto row = ParseListRow("f|0||");
  ASSERT_TRUE(row);
  EXPECT_TRUE(row->IsFolder());
  EXPECT_TRUE(row->link_target.empty());
}

TEST_F(ListRowText, AHundredThousandRowsParseInOrder) {
  std::vector<ListRow> rows;
  for (int i = 0; i < 100000; ++i)
    rows.push_back({"file" + std::to_string(i), i, "20240101000000", ""});
  const auto parsed = ParseListRows(FormatListRows(rows));
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->size(), rows.size());
  EXPECT_EQ((*parsed)[99999].name, "file99999");
}

// The rows the window shows keep the reply text and point into it; what they
// read must be what the reply says, wherever the rows start in the text.
TEST(ListRowsTest, RowsReadFromTheirPlaceInTheKeptText) {
  FolderLinkMap links;
  ListRows rows;
  rows.push_back({"..", "", "", "I.", true, false});
  const std::string reply = "LIST|\xd4\xe9\xec\xde.pdf|2048|20240131093000\r\nDocs|0|";
  ASSERT_TRUE(rows.AppendListText(reply, 5, false, links));
  ASSERT_TRUE(rows.AppendListText("x|1|bad\r\nLinked|0||\\l\\", 0, false, links));
  ASSERT_EQ(rows.size(), 5u);

  const ListItemView file = rows[1];
  EXPECT_EQ(file.name, "Τιμή.pdf");
  EXPECT_EQ(file.size_text, "2 KB");
  EXPECT_EQ(file.modified_text, "31/1/2024 9:30");
  EXPECT_EQ(file.icon_key, "I.pdf");
  EXPECT_FALSE(file.is_folder);
  EXPECT_EQ(rows.ByteSize(1), 2048);
  EXPECT_EQ(rows.Stamp(1), "20240131093000");

  EXPECT_EQ(rows.Name(2), "Docs");
  EXPECT_TRUE(rows.IsFolder(2));
  EXPECT_EQ(rows[2].icon_key, "I.");
  EXPECT_FALSE(rows[2].blue);

  EXPECT_EQ(rows.Name(3), "x") << "rows of a second text are read from that text";
  EXPECT_EQ(rows[3].modified_text, "");
  EXPECT_EQ(rows.Stamp(3), "") << "a stamp that is no date is not kept";
  EXPECT_EQ(links.Target("Linked"), "\\l\\");
  EXPECT_TRUE(rows[4].blue);
  EXPECT_EQ(rows[0].name, "..");

  std::vector<std::string> names;
  for (const ListItemView& row : rows) names.push_back(row.name);
  EXPECT_EQ(names, (std::vector<std::string>{"..", "Τιμή.pdf", "Docs", "x", "Linked"}));
}

TEST(ListRowsTest, AMalformedTextChangesNeitherRowsNorLinks) {
  FolderLinkMap links;
  ListRows rows;
  ASSERT_TRUE(rows.AppendListText("a|1|20240101000000", 0, false, links));
  EXPECT_FALSE(rows.AppendListText("L|0||\\l\\\r\nb|x|", 0, true, links));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows.Name(0), "a");
  EXPECT_FALSE(links.Exists("L"));
}

TEST(ListRowsTest, ChangedRowsKeepWhatDidNotChange) {
  FolderLinkMap links;
  ListRows rows;
  ASSERT_TRUE(rows.AppendListText("a.txt|10|20240101000000\r\nb.txt|20|20240102000000\r\nc|0|", 0,
                                  true, links));
  rows.Rename(0, "a.pdf");
  rows.SetSizeAndDate(1, "30 bytes", "later", 30, "20250101000000");
  rows.erase(2);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, "a.pdf");
  EXPECT_EQ(rows[0].icon_key, "I.txt") << "the picture stays the one it was listed with";
  EXPECT_EQ(rows[0].size_text, "10 bytes");
  EXPECT_TRUE(rows[0].blue);
  EXPECT_EQ(rows.Stamp(0), "20240101000000");
  EXPECT_EQ(rows.Name(1), "b.txt");
  EXPECT_EQ(rows[1].size_text, "30 bytes");
  EXPECT_EQ(rows[1].modified_text, "later");
  EXPECT_EQ(rows.ByteSize(1), 30);
  EXPECT_EQ(rows.Stamp(1), "20250101000000");
}

}  // namespace
}  // namespace session
