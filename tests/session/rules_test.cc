// The session's parts that need no connection: names, icons, dates, usage,
// the dialogs' requests, folder links, list rows, sizes and speeds, and the
// parameters file.
#include <gtest/gtest.h>

#include "common/expect_error.h"
#include "session/browse_rules.h"
#include "session/dialog_requests.h"
#include "session/file_name_rules.h"
#include "session/list_row.h"
#include "session/list_rows.h"
#include "session/location.h"
#include "session/parameters_file.h"
#include "session/transfer_speed_calc.h"
#include "support/base64.h"
#include "support/text.h"

namespace session {
namespace {

constexpr const char* kChars = "Μη αποδεκτοί χαρακτήρες: \\ / | ? * \" : < >";
constexpr const char* kDot = "Το όνομα δε μπορεί να ξεκινάει από τελεία";
constexpr const char* kTrailing = "Το όνομα δε μπορεί να τελειώνει σε τελεία ή κενό";
constexpr const char* kReserved = "Το όνομα είναι δεσμευμένο από τα Windows";

TEST(NameChecks, EnteredNamesGetTheTextOfTheirFirstProblem) {
  struct Case {
    const char* name;
    const char* text;  ///< "" when the name is accepted
  };
  for (const Case& c :
       {Case{"a\\b", kChars}, Case{"a/b", kChars}, Case{"a|b", kChars}, Case{"a?", kChars},
        Case{"*", kChars}, Case{"\"q\"", kChars}, Case{"c:", kChars}, Case{"<x", kChars},
        Case{"x>", kChars}, Case{".hidden", kDot}, Case{"Νέος φάκελος", ""}, Case{"a.b", ""},
        // Windows drops a trailing dot ("a.b." would be created as "a.b"),
        // reserves device names, and the wire cannot carry what Windows-1253 lacks.
        Case{"a.b.", kTrailing}, Case{"con", kReserved}, Case{"LPT1.txt", kReserved},
        Case{"café", "Μη υποστηριζόμενοι χαρακτήρες: é"},
        Case{"a\tb", "Το όνομα περιέχει χαρακτήρες ελέγχου"},
        // The dialog's own texts keep their place before the Windows rules.
        Case{".con", kDot}, Case{"é?", kChars}}) {
    SCOPED_TRACE(c.name);
    const auto problem = CheckEnteredName(c.name);
    if (*c.text == '\0') {
      EXPECT_FALSE(problem);
      continue;
    }
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->title, "Μη έγκυρο όνομα");
    EXPECT_EQ(problem->text, c.text);
  }
}

TEST(NameChecks, DialogTrimsSpacesAndTreatsBlankAsEmpty) {
  using Kind = NameDialogOutcome::Kind;
  EXPECT_EQ(CheckNameDialogText("   ").kind, Kind::kEmpty);
  const auto ok = CheckNameDialogText("  Αρχεία 2026  ");
  EXPECT_EQ(ok.kind, Kind::kAccepted);
  EXPECT_EQ(ok.name, "Αρχεία 2026");
  const auto dot = CheckNameDialogText("  .x");
  EXPECT_EQ(dot.kind, Kind::kRefused);
  EXPECT_EQ(dot.name, ".x") << "the leading space goes before the dot check";
  EXPECT_EQ(dot.problem.text, kDot);
}

TEST(WindowsNames, EachRuleRefusesItsNamesWithItsText) {
  const std::vector<std::pair<NameFault, std::vector<std::string>>> cases = {
      {NameFault::kNone,
       {"report.pdf", "Τιμολόγιο 2026.xlsx", ".bashrc", "CONSOLE.txt", "COM0", "COM10"}},
      {NameFault::kEmpty, {""}},
      {NameFault::kForbiddenCharacter, {"a\\b.txt", "x?.txt", "q\"t.txt", "a<b", "p|q.txt", "c:d"}},
      {NameFault::kControlCharacter, {"tab\there", "del\x7f", "c1\xc2\x81"}},
      {NameFault::kOutsideCodePage, {"café.txt", "bad\xff.txt"}},
      {NameFault::kTrailingDotOrSpace, {"name.", "name "}},
      {NameFault::kDeviceName, {"CON", "nul.txt", "Aux.tar.gz", "com7", "LPT9.log", "prn .txt"}},
  };
  for (const auto& [fault, names] : cases) {
    for (const auto& name : names) EXPECT_EQ(CheckWindowsName(name), fault) << name;
  }
  EXPECT_FALSE(WindowsNameProblem("ok.txt"));
  ASSERT_TRUE(WindowsNameProblem("p|q.txt"));
  EXPECT_EQ(WindowsNameProblem("p|q.txt")->title, "Μη έγκυρο όνομα");
  EXPECT_EQ(WindowsNameProblem("p|q.txt")->text, kChars);
  EXPECT_EQ(WindowsNameProblem("café crème.txt")->text, "Μη υποστηριζόμενοι χαρακτήρες: é è");
  EXPECT_EQ(WindowsNameProblem("a.txt ")->text, kTrailing);
}

TEST(WindowsNames, OnlyTheLocalSeparatorCutsThePath) {
  EXPECT_EQ(LocalFileName("/home/u/a\\b.txt"), "a\\b.txt");
  EXPECT_EQ(LocalFileName("a\\b.txt"), "a\\b.txt");
  EXPECT_EQ(LocalFileName("/tmp/report.pdf"), "report.pdf");
  EXPECT_EQ(LocalFileName("plain"), "plain");
}

TEST(FileIcons, ExtensionAfterTheLastDotOrDummyfile) {
  EXPECT_EQ(FileExtension("report.final.PDF"), ".PDF");
  EXPECT_EQ(FileExtension("README"), "dummyfile");
  EXPECT_EQ(FileExtension("name."), "dummyfile");
  EXPECT_EQ(FileExtension(".bashrc"), ".bashrc");
  EXPECT_EQ(IconKey(".pdf"), "I.pdf");
  EXPECT_EQ(IconKey("."), "I.");
  EXPECT_EQ(IconKey("dummyfile"), "Idummyfile");
}

TEST(ListDates, ShortDateAndHourMinuteWithoutSeconds) {
  SetShortDatePattern("d/m/yyyy");
  EXPECT_EQ(FormatListDate("20260306090559"), "6/3/2026 9:05");
  EXPECT_EQ(FormatListDate("20261231235959"), "31/12/2026 23:59");
  EXPECT_EQ(FormatListDate(""), "");
  EXPECT_EQ(FormatListDate("2026"), "");
  SetShortDatePattern("dd.mm.yy");
  EXPECT_EQ(FormatListDate("20260306090559"), "06.03.26 9:05");
  SetShortDatePattern("d/m/yyyy");
}

TEST(Usage, LabelBarColourAndOverQuota) {
  support::SetDecimalSeparator(',');
  TransferSpeedCalc calc;
  const auto view = ComputeUsage(1536, 1024 * 1024, calc);
  EXPECT_EQ(view.label, "Χρήση προσωπικού χώρου: 1,5 KB από 1 MB (0,1%)");
  EXPECT_FALSE(view.over_quota);
  EXPECT_EQ(ComputeUsage(0, 0, calc).label, "Χρήση προσωπικού χώρου: 0 bytes από 0 bytes (0%)");
  support::SetDecimalSeparator('.');
  struct Case {
    std::int64_t used;
    std::int64_t quota;
    BarState state;
    double bar;
    bool over;
  };
  for (const Case& c : {Case{849, 1000, BarState::kNormal, 84.9, false},
                        Case{850, 1000, BarState::kPaused, 85, false},
                        Case{989, 1000, BarState::kPaused, 98.9, false},
                        Case{990, 1000, BarState::kError, 99, false},
                        Case{1500, 1000, BarState::kError, 100, true},  // the bar stops at 100
                        Case{10, 0, BarState::kError, 100, true}}) {
    SCOPED_TRACE(c.used);
    const auto usage = ComputeUsage(c.used, c.quota, calc);
    EXPECT_EQ(usage.bar_state, c.state);
    EXPECT_DOUBLE_EQ(usage.bar_value, c.bar);
    EXPECT_EQ(usage.over_quota, c.over);
  }
  EXPECT_NE(ComputeUsage(1500, 1000, calc).label.find("(150%)"), std::string::npos);
}

// ---- What the dialogs are given ----

using Filters = std::vector<FileFilter>;

// What the session hands to the dialogs is checked in upload_guard_test; here
// the rest of their texts and the filters of other names.
TEST(FileDialogs, SaveRequestAndTheFilterOfTheRemoteType) {
  const FileDialogRequest save = SaveFileRequest("report.pdf");
  EXPECT_EQ(save.title, "Επιλογή θέσης αποθήκευσης");
  EXPECT_FALSE(save.must_exist);
  EXPECT_TRUE(OpenFileRequest().initial_name.empty());
  EXPECT_EQ(SaveFileFilters("archive.tar.GZ"),
            (Filters{{"*.GZ", "*.GZ"}, {"Όλα τα αρχεία", "*.*"}}));
  EXPECT_EQ(SaveFileFilters("README"), (Filters{{"Όλα τα αρχεία", "*.*"}}));
  EXPECT_EQ(SaveFileFilters("name."), (Filters{{"Όλα τα αρχεία", "*.*"}}));
}

TEST(ExistsDialog, ButtonsAndIconsOfOtherNames) {
  const ExistsRequest same = BuildExistsRequest("/tmp/README", "README", 10, 10, true);
  EXPECT_EQ(same.replace_caption, "Αντικατάσταση");
  EXPECT_EQ(same.continue_caption, "Συνέχιση");
  EXPECT_EQ(same.cancel_caption, "Άκυρο");
  EXPECT_FALSE(same.allow_continue);
  EXPECT_EQ(same.icon_key, "Idummyfile");
  EXPECT_EQ(BuildExistsRequest("/tmp/setup.EXE", "setup.EXE", 2, 1, true).icon_key, "program");
  EXPECT_EQ(BuildExistsRequest("\\setup.exe", "setup.exe", 2, 1, false).icon_key, "I.exe")
      << "a remote program has no icon of its own to show";
}

TEST(FolderLinks, NamesMatchWithoutLetterCase) {
  FolderLinkMap links;
  links.Set("\u0395\u03B3\u03C7\u03B5\u03B9\u03C1\u03AF\u03B4\u03B9\u03B1", "\\manuals\\");
  EXPECT_TRUE(links.Exists("\u0395\u0393\u03A7\u0395\u0399\u03A1\u038A\u0394\u0399\u0391"));
  EXPECT_EQ(links.Target("\u03B5\u03B3\u03C7\u03B5\u03B9\u03C1\u03AF\u03B4\u03B9\u03B1"),
            "\\manuals\\");
  links.Set("EGX", "\\a\\");
  links.Set("egx", "\\b\\");  // same name: target replaced
  EXPECT_EQ(links.Target("Egx"), "\\b\\");
  links.Remove("EGX");
  EXPECT_FALSE(links.Exists("egx"));
  EXPECT_EQ(links.Target("nothing"), "");
}

// ---- List rows ----

TEST(ListRowText, FileFolderAndLinkedFolderRoundTrip) {
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

TEST(ListRowText, FolderRowEndsWithAnEmptyStampField) {
  EXPECT_EQ(FormatListRow({"a", 0, "", ""}), "a|0|");
  EXPECT_EQ(FormatListRow({"a", 3, "20240101000000", ""}), "a|3|20240101000000");
}

TEST(ListRowText, OnlyRowsThatCannotBeUsedMakeTheListMalformed) {
  for (const char* bad : {"a|1", "a", "a|x|", "a|-1|", "a||", "ok|1|\r\nb"})
    EXPECT_FALSE(ParseListRows(bad)) << bad;
}

TEST(ListRowText, ExtraFieldsAndOddStampsAreTolerated) {
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

TEST(ListRowText, AHundredThousandRowsParseInOrder) {
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

  EXPECT_TRUE(rows.IsFolder(2));
  EXPECT_EQ(rows[3].modified_text, "");
  EXPECT_EQ(rows.Stamp(3), "") << "a stamp that is no date is not kept";
  EXPECT_EQ(links.Target("Linked"), "\\l\\");
  EXPECT_TRUE(rows[4].blue);
  std::vector<std::string> names;  // rows of a second text are read from that text
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

// ---- Sizes, speeds and estimates ----

using test_common::ExpectError;

TEST(SizeFormatting, UnitsRoundingAndTheDecimalSeparator) {
  const double yotta = 1024.0 * 1024 * 1024 * 1024 * 1024 * 1024 * 1024 * 1024;
  struct Case {
    double value;
    int decimals;
    bool keep_zero_decimals;
    char separator;
    const char* text;
  };
  for (const Case& c :
       {Case{1023, 1, true, '.', "1023.0 bytes"}, Case{1023, 1, false, '.', "1023 bytes"},
        Case{0, 1, false, '.', "0 bytes"},
        // The unit changes at exactly 1024.
        Case{1024, 1, true, '.', "1.0 KB"}, Case{1024, 1, false, '.', "1 KB"},
        Case{1536, 1, false, '.', "1.5 KB"}, Case{5.0 * 1024 * 1024 * 1024, 1, false, '.', "5 GB"},
        // The unit is chosen before rounding: 1023.999 KB rounds up within KB.
        Case{1024.0 * 1024 - 1, 1, true, '.', "1024.0 KB"},
        Case{1024.0 * 1024 - 1, 1, false, '.', "1024 KB"},
        // Halves round to even (1.25 KB and 1.75 KB are exact in binary).
        Case{1.25 * 1024, 1, false, '.', "1.2 KB"}, Case{1.75 * 1024, 1, false, '.', "1.8 KB"},
        Case{2.5, 0, false, '.', "2 bytes"},
        Case{3.5, 0, true, '.', "4 bytes"},  // no decimals: plain form
        Case{1536, 1, false, ',', "1,5 KB"}, Case{1024, 1, true, ',', "1,0 KB"},
        // Huge values stay in the largest unit.
        Case{yotta, 1, false, '.', "1 YB"}, Case{yotta * 2048, 0, false, '.', "2048 YB"}}) {
    SCOPED_TRACE(c.text);
    support::SetDecimalSeparator(c.separator);
    EXPECT_EQ(TransferSpeedCalc().FormatSizeUnit(c.value, c.decimals, c.keep_zero_decimals),
              c.text);
  }
  support::SetDecimalSeparator('.');
}

TEST(SpeedRing, AveragesDeltasFromTheInitialSample) {
  TransferSpeedCalc calc;
  calc.Clear();
  EXPECT_EQ(calc.AverageSpeed(), 0.0) << "no sample yet";
  calc.InitialSample(1000);  // bytes already at the destination do not count
  calc.AddSample(1100);
  calc.AddSample(1400);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 200.0);
}

TEST(SpeedRing, TenSlotsAverageTheLastNineTicks) {
  TransferSpeedCalc calc;
  ASSERT_EQ(calc.Samples(), 10);
  calc.Clear();
  std::int64_t pos = 0;
  // Ticks 1..9 move 100 bytes each; tick 10 moves 1000 and overwrites slot 0.
  for (int tick = 1; tick <= 9; ++tick) calc.AddSample(pos += 100);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 100.0);
  calc.AddSample(pos += 1000);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), (8 * 100.0 + 1000.0) / 9);
  calc.AddSample(pos += 1000);  // tick 11 overwrites tick 2
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), (7 * 100.0 + 2000.0) / 9);
}

TEST(SpeedRing, TwoSlotsKeepOnlyTheLastTickAndOneSlotAveragesNothing) {
  TransferSpeedCalc calc;
  calc.SetSamples(2);
  calc.Clear();
  calc.AddSample(100);
  calc.AddSample(350);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 250.0);
  calc.AddSample(360);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 10.0);

  calc.SetSamples(1);
  calc.Clear();
  for (int i = 1; i <= 5; ++i) calc.AddSample(i * 100);  // never overruns
  EXPECT_EQ(calc.AverageSpeed(), 0.0);
}

TEST(SpeedRing, ResizingKeepsSlotsAndRestartsBelowTheWriteIndex) {
  TransferSpeedCalc calc;
  calc.Clear();
  calc.AddSample(100);
  calc.AddSample(300);
  calc.SetSamples(20);
  EXPECT_EQ(calc.Samples(), 20);
  // Slots 0 and 1 kept; slots 2..9 still empty, so the walk stops at slot 2.
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 150.0);
  calc.Clear();
  for (int i = 1; i <= 30; ++i) calc.AddSample(i * 10);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 10.0);

  calc.SetSamples(10);
  calc.Clear();
  for (int i = 1; i <= 6; ++i) calc.AddSample(i * 10);  // write index now 6
  calc.SetSamples(4);
  calc.AddSample(1060);  // lands in slot 0
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), (1000.0 + 10 + 10) / 3);
  ExpectError(380, [&] { calc.SetSamples(0); });
  EXPECT_EQ(calc.Samples(), 4) << "a refused size keeps the ring";
}

TEST(Estimate, SecondsLeftRoundHalfToEvenUnknownAtZeroSpeedAndCapped) {
  struct Case {
    std::int64_t total;
    std::int64_t done;
    double speed;
    int seconds;
  };
  for (const Case& c : {Case{1000, 500, 100, 5}, Case{1000, 750, 100, 2},  // 2.5 -> 2
                        Case{1000, 650, 100, 4},                           // 3.5 -> 4
                        Case{1000, 1000, 100, 0}, Case{1000, 1, 0, -1},    // unknown
                        Case{std::int64_t{1} << 62, 1, 0.001, 2147483647}}) {
    SCOPED_TRACE(c.done);
    EXPECT_EQ(TransferSpeedCalc().CalcEstimatedSeconds(c.total, c.done, c.speed), c.seconds);
  }
}

TEST(SpeedCalc, InvalidArgumentsRaiseError5) {
  TransferSpeedCalc calc;
  ExpectError(5, [&] { calc.FormatSizeUnit(-1, 1, false); });
  ExpectError(5, [&] { calc.FormatSizeUnit(1, -1, false); });
  ExpectError(5, [&] { calc.CalcEstimatedSeconds(1000, 0, 10); });
  ExpectError(5, [&] { calc.CalcEstimatedSeconds(-1, 1, 10); });
  ExpectError(5, [&] { calc.CalcEstimatedSeconds(1000, 1, -0.5); });
}

// ---- The parameters file ----

using Kind = ParametersResult::Kind;

TEST(ParametersResponse, EachAnswerIsReadAsItsKind) {
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";
  const auto b64 = [](std::string_view text) { return support::Base64Encode(text); };
  std::string broken_lines = b64("1212:1.0.0.721");  // the endpoint stands reversed
  broken_lines.insert(4, "\r\n");
  struct Case {
    std::string response;
    Kind kind;
    std::string server;
    int port;
  };
  for (const Case& c : {
           Case{"", Kind::kIncomplete, "", 0},
           Case{"HTTP/1.1 200 OK\r\nA: b\r\n\r", Kind::kIncomplete, "", 0},
           Case{ok + b64("0009:elpmaxe.selif"), Kind::kEndpoint, "files.example", 9000},
           // Blanks in the body are ignored and any status but a 404 counts.
           Case{"HTTP/1.1 500 Internal Server Error\r\n\r\n" + broken_lines + "\r\n",
                Kind::kEndpoint, "127.0.0.1", 2121},
           Case{ok + b64("0808 tsoh.rehto"), Kind::kEndpoint, "other.host", 8080},  // no colon
           Case{"HTTP/1.1 404 Not Found\r\n\r\nabc", Kind::kNotFound, "", 0},
           Case{ok, Kind::kEmptyBody, "", 0}, Case{ok + "<html>oops</html>", Kind::kInvalid, "", 0},
           Case{ok + b64("tsohon"), Kind::kInvalid, "", 0},  // no separator
           Case{ok + b64(":tsoh"), Kind::kInvalid, "", 0},   // no port
           Case{ok + b64("x9:tsoh"), Kind::kInvalid, "", 0},
           Case{ok + b64("99999:tsoh"), Kind::kInvalid, "", 0},
           Case{ok + b64("0808:"), Kind::kInvalid, "", 0},  // no server
       }) {
    SCOPED_TRACE(c.response);
    const auto r = ParseParametersResponse(c.response);
    EXPECT_EQ(r.kind, c.kind);
    if (c.kind != Kind::kEndpoint) continue;
    EXPECT_EQ(r.server, c.server);
    EXPECT_EQ(r.port, c.port);
  }
  const auto r = ParseParametersResponse(ok + "!!!");
  EXPECT_FALSE(r.error.empty());
  EXPECT_GT(r.statement, 0);
}

TEST(ParametersRequest, DirectAndThroughAProxy) {
  EXPECT_EQ(BuildParametersRequest("params.example", false),
            "GET /webftp/pf.txt HTTP/1.1\r\nHost: params.example\r\n\r\n");
  EXPECT_EQ(BuildParametersRequest("params.example", true),
            "GET http://params.example/webftp/pf.txt HTTP/1.1\r\nHost: params.example\r\n\r\n");
}

}  // namespace
}  // namespace session
