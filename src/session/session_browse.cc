#include "session/folder_session.h"

#include "session/browse_rules.h"
#include "session/protocol.h"
#include "support/text.h"

namespace session {
namespace {

constexpr const char* kUpRow = "..";

}  // namespace

const ListItemView* FolderSession::SelectedItem() const {
  const int row = view_.selected_row;
  if (row < 0 || row >= static_cast<int>(view_.rows.size())) return nullptr;
  return &view_.rows[static_cast<std::size_t>(row)];
}

void FolderSession::AddListItem(std::string name, std::string size_text, std::string modified_text,
                                std::string_view extension, bool is_folder) {
  ListItemView& item = view_.rows.emplace_back();
  item.blue = location_.InLink() || location_.links.Exists(name);
  item.name = std::move(name);
  item.size_text = std::move(size_text);
  item.modified_text = std::move(modified_text);
  item.icon_key = IconKey(extension);
  item.is_folder = is_folder;
}

void FolderSession::RemoveListItem(int position) {
  const auto index = static_cast<std::size_t>(position - 1);
  if (position < 1 || index >= view_.rows.size()) return;
  if (index < row_sizes_.size()) {
    used_bytes_ -= row_sizes_[index];
    row_sizes_.erase(row_sizes_.begin() + static_cast<std::ptrdiff_t>(index));
  }
  if (index < row_stamps_.size()) {
    row_stamps_.erase(row_stamps_.begin() + static_cast<std::ptrdiff_t>(index));
  }
  location_.links.Remove(view_.rows[index].name);
  RowsAboutToChange(RowsChange::Kind::kRemoved, position - 1, 1);
  view_.rows.erase(view_.rows.begin() + static_cast<std::ptrdiff_t>(index));
  RowsChanged(RowsChange::Kind::kRemoved, position - 1, 1);
  if (view_.selected_row == position - 1) view_.selected_row = -1;
}

void FolderSession::OnList(std::string_view arguments) {
  auto rows = ParseListReply(arguments);
  if (!rows) throw MalformedReply(keyword::kList);

  RowsAboutToChange(RowsChange::Kind::kReset, 0, 0);
  view_.rows.clear();
  view_.selected_row = -1;
  row_sizes_.clear();
  row_stamps_.clear();
  view_.dcbDownload.enabled = false;

  if (location_.AtRoot()) {
    view_.dcbUp.enabled = false;
  } else {
    AddListItem(kUpRow, {}, {}, ".", true);
    row_sizes_.push_back(0);
    row_stamps_.emplace_back();
    view_.dcbUp.enabled = true;
  }
  row_sizes_.reserve(row_sizes_.size() + rows->size());
  row_stamps_.reserve(row_stamps_.size() + rows->size());
  view_.rows.reserve(view_.rows.size() + rows->size());
  for (auto& row : *rows) {
    row_sizes_.push_back(row.size);
    if (row.IsFolder()) {
      if (!row.link_target.empty()) location_.links.Set(row.name, row.link_target);
      row_stamps_.emplace_back();
      AddListItem(std::move(row.name), {}, {}, ".", true);
    } else {
      const std::string extension = FileExtension(row.name);
      std::string size_text = speed_calc_.FormatSizeUnit(static_cast<double>(row.size), 1, false);
      // A stamp that is not a usable date shows no date, and is not kept:
      // the download of the row then leaves the local file's time alone.
      std::string modified = FormatListDate(row.stamp);
      row_stamps_.push_back(modified.empty() ? std::string() : std::move(row.stamp));
      AddListItem(std::move(row.name), std::move(size_text), std::move(modified), extension, false);
    }
  }
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
  const ListItemView* item = SelectedItem();
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
  const ListItemView& item = view_.rows[static_cast<std::size_t>(row)];
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
  const ListItemView* item = SelectedItem();
  if (!item) return;
  if (item->is_folder) {
    OpenFolder(false);
  } else {
    RunDownloadCommand();
  }
}

void FolderSession::lvFiles_KeyDown(ListKey key) {
  if (!view_.window_enabled) return;
  const ListItemView* item = SelectedItem();
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
  AddListItem(entered_name_, {}, {}, ".", true);
  RowsChanged(RowsChange::Kind::kInserted, at, 1);
  row_sizes_.push_back(0);
  row_stamps_.emplace_back();
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
  const ListItemView* item = SelectedItem();
  if (!item || item->name == kUpRow) return;
  const std::string old_name = item->name;
  const bool folder = item->is_folder;
  const auto alive = alive_;
  const std::uint64_t resets = resets_;
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
    view_.rows[static_cast<std::size_t>(at)].name = renamed_to_;
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
  const ListItemView* item = SelectedItem();
  if (!item || item->name == kUpRow) return;
  const std::string name = item->name;
  const std::string question = std::string("Θέλετε σίγουρα να διαγράψετε το ") +
                               (item->is_folder ? "φάκελο" : "αρχείο") + " " + name +
                               (item->is_folder ? " και όλα τα περιεχόμενά του" : "") + ";";
  const auto alive = alive_;
  const std::uint64_t resets = resets_;
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
