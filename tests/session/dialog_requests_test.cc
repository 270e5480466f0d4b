#include "session/dialog_requests.h"

#include <gtest/gtest.h>

namespace session {
namespace {

using Filters = std::vector<FileFilter>;

TEST(FileDialogs, SaveFilterOffersTheRemoteTypeFirst) {
  EXPECT_EQ(SaveFileFilters("report.pdf"), (Filters{{"*.pdf", "*.pdf"}, {"Όλα τα αρχεία", "*.*"}}));
  EXPECT_EQ(SaveFileFilters("archive.tar.GZ"),
            (Filters{{"*.GZ", "*.GZ"}, {"Όλα τα αρχεία", "*.*"}}));
  EXPECT_EQ(SaveFileFilters("README"), (Filters{{"Όλα τα αρχεία", "*.*"}}));
  EXPECT_EQ(SaveFileFilters("name."), (Filters{{"Όλα τα αρχεία", "*.*"}}));
}

TEST(FileDialogs, OpenAndSaveRequests) {
  const FileDialogRequest open = OpenFileRequest();
  EXPECT_EQ(open.title, "Επιλογή αρχείου");
  EXPECT_EQ(open.filters, (Filters{{"Όλα τα αρχεία", "*.*"}}));
  EXPECT_TRUE(open.must_exist);
  EXPECT_TRUE(open.initial_name.empty());

  const FileDialogRequest save = SaveFileRequest("report.pdf");
  EXPECT_EQ(save.title, "Επιλογή θέσης αποθήκευσης");
  EXPECT_EQ(save.initial_name, "report.pdf");
  EXPECT_EQ(save.filters.front(), (FileFilter{"*.pdf", "*.pdf"}));
  EXPECT_FALSE(save.must_exist);
  EXPECT_FALSE(save.confirm_overwrite) << "the Replace / Continue dialog asks instead";
}

TEST(ExistsDialog, CarriesCaptionButtonsTargetAndIcon) {
  const ExistsRequest shorter =
      BuildExistsRequest("\\docs\\report.pdf", "report.pdf", 10, 4, false);
  EXPECT_EQ(shorter.caption, "Επιβεβαίωση");
  EXPECT_EQ(shorter.replace_caption, "Αντικατάσταση");
  EXPECT_EQ(shorter.continue_caption, "Συνέχιση");
  EXPECT_EQ(shorter.cancel_caption, "Άκυρο");
  EXPECT_EQ(shorter.file_name, "\\docs\\report.pdf");
  EXPECT_EQ(shorter.icon_key, "I.pdf");
  EXPECT_FALSE(shorter.upload);
  EXPECT_TRUE(shorter.allow_continue);
  EXPECT_EQ(shorter.text,
            "Το αρχείο report.pdf υπάρχει ήδη. Φαίνεται ότι μπορείτε να συνεχίσετε τη λήψη του "
            "αρχείου από το σημείο που διακόπηκε.");

  const ExistsRequest same = BuildExistsRequest("/tmp/README", "README", 10, 10, true);
  EXPECT_FALSE(same.allow_continue);
  EXPECT_TRUE(same.upload);
  EXPECT_EQ(same.icon_key, "Idummyfile");
  EXPECT_EQ(same.text, "Το αρχείο README υπάρχει ήδη.\r\nΘέλετε να αντικατασταθεί;");
}

TEST(ExistsDialog, OnlyALocalProgramShowsTheProgramIcon) {
  EXPECT_EQ(BuildExistsRequest("/tmp/setup.EXE", "setup.EXE", 2, 1, true).icon_key, "program");
  EXPECT_EQ(BuildExistsRequest("/tmp/setup.exe", "setup.exe", 2, 1, true).icon_key, "program");
  EXPECT_EQ(BuildExistsRequest("\\setup.exe", "setup.exe", 2, 1, false).icon_key, "I.exe")
      << "a remote program has no icon of its own to show";
}

}  // namespace
}  // namespace session
