#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/list_rows.h"

namespace session {

/// Background of an edit box: the window colour when editable, the button-face
/// colour when locked.
enum class BoxBackground { kWindow, kButtonFace };

/// Mouse pointer over the main window.
enum class Cursor { kNormal, kHourglass, kWorkingInBackground };

/// Colour state of the usage bar.
enum class BarState { kNormal, kPaused, kError };

struct ButtonView {
  std::string caption;
  std::string tooltip;
  std::string image_key;  ///< image-list key of its picture, empty for none
  bool enabled = true;
  bool visible = true;
  bool is_default = false;
};

struct EditView {
  std::string text;
  bool locked = false;  ///< read-only
  bool enabled = true;
  BoxBackground background = BoxBackground::kWindow;
};

struct LabelView {
  std::string caption;
  bool enabled = true;
  bool visible = true;
};

struct LinkView {
  std::string caption;
  std::string icon_key;  ///< "imgGoToDF" or "imgGoToPF"
  bool visible = false;
};

/// A change of `MainViewState::rows`: a whole new list (kReset), `count` rows
/// added at `first` (kInserted), removed from `first` (kRemoved), or changed in
/// place (kChanged). For kReset, `count` is the number of rows after it.
struct RowsChange {
  enum class Kind { kReset, kInserted, kRemoved, kChanged };
  Kind kind;
  int first = 0;
  int count = 0;
};

/// Told about every change of the rows, so that a list view can keep its
/// selection and scroll position.
class RowsObserver {
 public:
  virtual ~RowsObserver() = default;
  /// Called before view().rows changes: the rows still have their old contents.
  virtual void RowsAboutToChange(const RowsChange& change) = 0;
  /// Called right after the change.
  virtual void RowsChanged(const RowsChange& change) = 0;
};

/// Everything the main window shows, as plain data. The session changes it and
/// then notifies its observer; the window renders it. Names follow the
/// window's controls.
struct MainViewState {
  std::string window_caption;
  bool window_enabled = true;
  Cursor cursor = Cursor::kNormal;

  EditView txtID;
  EditView txtPassword;
  bool chkSaveLogin_enabled = true;
  bool chkSaveLogin_checked = false;

  ButtonView dcbConnect;
  ButtonView dcbProxy;
  LinkView lnkDF;

  LabelView lblPath;
  ButtonView dcbUp;
  ButtonView dcbRefresh;
  ButtonView dcbNewFolder;
  ButtonView dcbRename;
  ButtonView dcbDelete;
  ButtonView dcbDownload;

  bool lvFiles_enabled = false;
  ListRows rows;
  int selected_row = -1;  ///< zero-based list index of the selected row, -1 for none
  /// Bumped on every whole replacement of the rows (RowsChange::Kind::kReset).
  int rows_generation = 0;

  LabelView lblUploadPrompt;
  EditView txtUpload;
  ButtonView dcbBrowse;
  ButtonView dcbUpload;

  bool usage_visible = false;  ///< picPFSize with the "sizepie" image and pbPFSize
  LabelView lblPFSize;
  double pbPFSize_value = 0;  ///< 0..100
  BarState pbPFSize_state = BarState::kNormal;
  LabelView lblCleanupWarning;

  /// The view should give the focus to txtID (and select its text) ...
  bool focus_id_requested = false;
  /// ... each time this is bumped (the session was reset to disconnected).
  int focus_id_generation = 0;
  /// Bumped whenever the window layout should be redone.
  int layout_generation = 0;
};

}  // namespace session
