#include "session/folder_session.h"

#include "session/browse_rules.h"
#include "session/protocol.h"
#include "support/text.h"

namespace session {
namespace {

constexpr const char* kUpRow = "..";

}  // namespace

std::optional<ListItemView> FolderSession::SelectedItem() const {
  const int row = view_.selected_row;
  if (row < 0 || row >= static_cast<int>(view_.rows.size())) return std::nullopt;
  return view_.rows[static_cast<std::size_t>(row)];
}

std::vector<std::int64_t> FolderSession::RowSizes() const {
  std::vector<std::int64_t> sizes;
  for (std::size_t i = 0; i < view_.rows.size(); ++i) sizes.push_back(view_.rows.ByteSize(i));
  return sizes;
}

std::vector<std::string> FolderSession::RowStamps() const {
  std::vector<std::string> stamps;
  for (std::size_t i = 0; i < view_.rows.size(); ++i) stamps.push_back(view_.rows.Stamp(i));
  return stamps;
}

ListItemView FolderSession::MakeListItem(std::string name, std::string size_text,
                                         std::string modified_text, std::string_view extension,
                                         bool is_folder) const {
  ListItemView item;
  item.blue = location_.InLink() || location_.links.Exists(name);
  item.name = std::move(name);
  item.size_text = std::move(size_text);
  item.modified_text = std::move(modified_text);
  item.icon_key = IconKey(extension);
  item.is_folder = is_folder;
  return item;
}

void FolderSession::RemoveListItem(int position) {
  const auto index = static_cast<std::size_t>(position - 1);
  if (position < 1 || index >= view_.rows.size()) return;
  used_bytes_ -= view_.rows.ByteSize(index);
  location_.links.Remove(view_.rows.Name(index));
  RowsAboutToChange(RowsChange::Kind::kRemoved, position - 1, 1);
  view_.rows.erase(index);
  RowsChanged(RowsChange::Kind::kRemoved, position - 1, 1);
  if (view_.selected_row == position - 1) view_.selected_row = -1;
}

void FolderSession::OnList(std::string payload, std::size_t rows_at) {
  // The rows keep the reply text; names, sizes and dates are made into texts
  // when the list shows them. A stamp that is no usable date shows no date and
  // is not kept, so the download of the row leaves the local file's time alone.
  // A malformed reply leaves the list as it was.
  ListRows listed;
  if (!location_.AtRoot()) listed.push_back(MakeListItem(kUpRow, {}, {}, ".", true));
  if (!listed.AppendListText(std::move(payload), rows_at, location_.InLink(), location_.links)) {
    throw MalformedReply(keyword::kList);
  }

  RowsAboutToChange(RowsChange::Kind::kReset, 0, 0);
  view_.rows = std::move(listed);
  view_.selected_row = -1;
  view_.dcbDownload.enabled = false;
  view_.dcbUp.enabled = !location_.AtRoot();
  RowsChanged(RowsChange::Kind::kReset, 0, static_cast<int>(view_.rows.size()));

  view_.dcbRename.enabled = false;
  view_.dcbDelete.enabled = false;
  SetUploadControls(location_.link_display_prefix.empty() && !in_dealers_folder_);
  SendListFollowUp();
  view_.lblPath.caption = location_.DisplayPath();
  view_.window_enabled = !login_chain_pending_;
  view_.cursor = login_chain_pending_ ? Cursor::kHourglass : Cursor::kNormal;
  Changed();
}

void FolderSession::SendList() {
  SendFrame(EncodeList({location_.ServerPath(), location_.InLink()}));
}

void FolderSession::OpenFolder(bool go_up) {
  const auto item = SelectedItem();
  const std::string name = item ? item->name : std::string();
  if (name == kUpRow) go_up = true;
  if (!go_up && (!item || !item->is_folder)) return;
  try {
    SetBusy(true);
    if (go_up) {
      location_.GoUp();
    } else {
      location_.Enter(name);
    }
    log_.WriteLog("Άνοιγμα του φακέλου " + location_.DisplayPath());
    usage_total_wanted_ = false;
    // Whether the folder now shown lies in a linked folder is whether a link
    // target is in force after the move (entering a linked folder sets one).
    // The selected row only tells where the user would have gone: going up
    // with a linked-folder row selected lands in a plain folder, so asking
    // the map about that row would list it as linked and lock the upload.
    const bool linked = location_.InLink();
    if (!linked) location_.link_display_prefix.clear();
    SetUploadControls(!in_dealers_folder_ && !linked);
    SendList();
    Changed();
  } catch (const support::Error& e) {
    log_.ShowError(e.Description(), "OpenFolder");
    ResetToDisconnected();
  }
}

void FolderSession::dcbUp_Click() { OpenFolder(true); }

void FolderSession::dcbRefresh_Click() {
  try {
    SetBusy(true);
    usage_total_wanted_ = true;
    SendList();
  } catch (const support::Error& e) {
    log_.ShowError(e.Description(), "dcbRefresh_Click");
    ResetToDisconnected();
  }
}

void FolderSession::DisableItemButtons() {
  view_.dcbRename.enabled = false;
  view_.dcbDelete.enabled = false;
  view_.dcbDownload.enabled = false;
}

void FolderSession::UpdateItemButtons(int row) {
  if (row < 0 || row >= static_cast<int>(view_.rows.size())) {
    DisableItemButtons();
    return;
  }
  const ListItemView item = view_.rows[static_cast<std::size_t>(row)];
  if (item.name == kUpRow) {
    DisableItemButtons();
    return;
  }
  if (!in_dealers_folder_) {
    const bool editable = !location_.InLink() && !location_.links.Exists(item.name);
    view_.dcbRename.enabled = editable;
    view_.dcbDelete.enabled = editable;
  }
  view_.dcbDownload.enabled = !item.is_folder;
}

void FolderSession::lvFiles_MouseDown(MouseButton button, int row) {
  if (button == MouseButton::kMiddle) return;
  const bool hit = row >= 0 && row < static_cast<int>(view_.rows.size());
  last_press_left_on_row_ = button == MouseButton::kLeft && hit;
  view_.selected_row = hit ? row : -1;
  if (hit) {
    UpdateItemButtons(row);
  } else {
    DisableItemButtons();
  }
  Changed();
}

void FolderSession::lvFiles_SelectRow(int row) {
  const bool hit = row >= 0 && row < static_cast<int>(view_.rows.size());
  view_.selected_row = hit ? row : -1;
  UpdateItemButtons(view_.selected_row);
  Changed();
}

void FolderSession::lvFiles_DblClick() {
  if (!last_press_left_on_row_ || !view_.window_enabled) return;
  const auto item = SelectedItem();
  if (!item) return;
  if (item->is_folder) {
    OpenFolder(false);
  } else {
    RunDownloadCommand();
  }
}

void FolderSession::lvFiles_KeyDown(ListKey key) {
  if (!view_.window_enabled) return;
  const auto item = SelectedItem();
  switch (key) {
    case ListKey::kEnter:
      if (!view_.rows.empty() && item) {
        if (item->is_folder) {
          OpenFolder(false);
        } else {
          RunDownloadCommand();
        }
      }
      break;
    case ListKey::kBackspace:
      if (!location_.AtRoot()) OpenFolder(true);
      break;
    case ListKey::kCtrlSpace:
      DisableItemButtons();
      Changed();
      break;
    case ListKey::kF2:
      if (!in_dealers_folder_ && view_.dcbRename.enabled && item && item->name != kUpRow) {
        dcbRename_Click();
      }
      break;
    case ListKey::kDelete:
      if (!in_dealers_folder_ && view_.dcbDelete.enabled && item && item->name != kUpRow) {
        dcbDelete_Click();
      }
      break;
    case ListKey::kF5:
      dcbRefresh_Click();
      break;
  }
}

void FolderSession::SetUploadControls(bool enable) {
  view_.lblUploadPrompt.enabled = enable;
  view_.txtUpload.locked = !enable;
  view_.txtUpload.background = enable ? BoxBackground::kWindow : BoxBackground::kButtonFace;
  if (!enable) view_.txtUpload.text.clear();
  view_.dcbBrowse.enabled = enable;
  view_.dcbUpload.enabled = enable;
  view_.dcbNewFolder.enabled = enable;
}

void FolderSession::ShowUsagePie(bool show) { view_.usage_visible = show; }

void FolderSession::UpdateUsageDisplay() {
  const UsageView usage = ComputeUsage(used_bytes_, quota_bytes_, speed_calc_);
  view_.lblPFSize.caption = usage.label;
  view_.pbPFSize_value = usage.bar_value;
  view_.pbPFSize_state = usage.bar_state;
  if (!cleanup_notice_shown_) {
    if (over_quota_warning_) {
      view_.lblCleanupWarning.caption =
          "Προσοχή: Έχει ξεπεραστεί το διαθέσιμο όριο του προσωπικού σας χώρου. Τα αρχεία "
          "που βρίσκονται στον προσωπικό σας χώρο μπορεί να διαγραφούν χωρίς προειδοποίηση.";
    }
    view_.lblCleanupWarning.visible = usage.over_quota && over_quota_warning_;
  }
  Layout();
  Changed();
}

void FolderSession::OnTotalSize(std::string_view arguments) {
  const auto used = ParseTotalSize(arguments);
  if (!used) throw MalformedReply(keyword::kTotalSize);
  used_bytes_ = *used;
  UpdateUsageDisplay();
}

void FolderSession::dcbNewFolder_Click() {
  if (location_.current_path.empty() || in_dealers_folder_) {
    view_.dcbNewFolder.enabled = false;
    Changed();
    return;
  }
  const auto alive = alive_;
  const std::uint64_t resets = resets_;
  const auto dialog = DialogOpen();
  const auto name =
      ui_.AskName({"Νέος φάκελος", "Εισάγετε το όνομα του νέου φακέλου:", ""}, CheckEnteredName);
  if (!*alive || !name || !AnswerApplies(resets)) return;
  if (!CheckConnected()) return;
  try {
    SetBusy(true);
    entered_name_ = *name;
    SendFrame(EncodeNewDir({location_.current_path + *name}));
  } catch (const support::Error& e) {
    log_.ShowError(e.Description(), "dcbNewFolder_Click");
    ResetToDisconnected();
  }
}

void FolderSession::OnNewDirOk() {
  log_.WriteLog("Δημιουργία φακέλου");
  const int at = static_cast<int>(view_.rows.size());
  RowsAboutToChange(RowsChange::Kind::kInserted, at, 1);
  view_.rows.push_back(MakeListItem(entered_name_, {}, {}, ".", true));
  RowsChanged(RowsChange::Kind::kInserted, at, 1);
  view_.window_enabled = true;
  view_.cursor = Cursor::kNormal;
  Changed();
}

void FolderSession::dcbRename_Click() {
  if (in_dealers_folder_) {
    view_.dcbRename.enabled = false;
    Changed();
    return;
  }
  const auto item = SelectedItem();
  if (!item || item->name == kUpRow) return;
  const std::string old_name = item->name;
  const bool folder = item->is_folder;
  const auto alive = alive_;
  const std::uint64_t resets = resets_;
  const auto dialog = DialogOpen();
  const auto name = ui_.AskName(
      {folder ? "Μετονομασία φακέλου" : "Μετονομασία αρχείου",
       folder ? "Εισάγετε το νέο όνομα του φακέλου:" : "Εισάγετε το νέο όνομα του αρχείου:",
       old_name},
      CheckEnteredName);
  if (!*alive || !name || !AnswerApplies(resets) || *name == old_name) return;
  if (!CheckConnected()) return;
  try {
    SetBusy(true);
    renamed_to_ = *name;
    SendFrame(EncodeRename({location_.current_path + old_name, location_.current_path + *name}));
  } catch (const support::Error& e) {
    log_.ShowError(e.Description(), "dcbRename_Click");
    ResetToDisconnected();
  }
}

void FolderSession::OnRenameOk() {
  log_.WriteLog("Μετονομασία αρχείου/φακέλου");
  if (view_.selected_row >= 0 && view_.selected_row < static_cast<int>(view_.rows.size())) {
    const int at = view_.selected_row;
    RowsAboutToChange(RowsChange::Kind::kChanged, at, 1);
    view_.rows.Rename(static_cast<std::size_t>(at), renamed_to_);
    RowsChanged(RowsChange::Kind::kChanged, at, 1);
  }
  view_.window_enabled = true;
  view_.cursor = Cursor::kNormal;
  Changed();
}

void FolderSession::dcbDelete_Click() {
  if (in_dealers_folder_) {
    view_.dcbDelete.enabled = false;
    Changed();
    return;
  }
  const auto item = SelectedItem();
  if (!item || item->name == kUpRow) return;
  const std::string name = item->name;
  const std::string question = std::string("Θέλετε σίγουρα να διαγράψετε το ") +
                               (item->is_folder ? "φάκελο" : "αρχείο") + " " + name +
                               (item->is_folder ? " και όλα τα περιεχόμενά του" : "") + ";";
  const auto alive = alive_;
  const std::uint64_t resets = resets_;
  const auto dialog = DialogOpen();
  const auto answer =
      ui_.ShowMessage(question, MessageIcon::kQuestion, MessageButtons::kYesNo, "Διαγραφή");
  if (!*alive || answer != MessageAnswer::kYes || !AnswerApplies(resets)) return;
  if (!CheckConnected()) return;
  try {
    SetBusy(true);
    SendFrame(EncodeDelete({location_.current_path + name}));
  } catch (const support::Error& e) {
    log_.ShowError(e.Description(), "dcbDelete_Click");
    ResetToDisconnected();
  }
}

void FolderSession::OnDeleteOk() {
  log_.WriteLog("Διαγραφή αρχείου/φακέλου");
  RemoveListItem(view_.selected_row + 1);
  DisableItemButtons();
  UpdateUsageDisplay();
  view_.window_enabled = true;
  view_.cursor = Cursor::kNormal;
  Changed();
}

}  // namespace session
