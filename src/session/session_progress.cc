#include "session/folder_session.h"
#include "support/text.h"

namespace session {

std::string EstimateText(std::int32_t seconds) {
  const std::int32_t h = seconds / 3600;
  const std::int32_t m = seconds / 60 - 60 * h;
  const std::int32_t s = seconds - 60 * (60 * h + m);
  std::string text = "Εκτιμώμενος χρόνος:";
  const auto part = [&](std::int32_t n, const char* one, const char* many) {
    if (n != 0) text += " " + std::to_string(n) + " " + (n == 1 ? one : many);
  };
  part(h, "ώρα", "ώρες");
  part(m, "λεπτό", "λεπτά");
  part(s, "δευτ/το", "δευτ/τα");
  return text;
}

void FolderSession::PrepareProgressForm(bool upload, const std::string& source,
                                        const std::string& destination) {
  speed_calc_.Clear();
  speed_calc_.InitialSample(next_byte_);
  idle_ticks_ = 0;
  tmrSpeed_.SetEnabled(true);
  tmrProgress_.SetEnabled(true);
  log_.WriteLog("SetIcon()", "frmProgress_Load", 2);
  progress_ = ProgressViewState{};
  progress_.visible = true;
  progress_.upload = upload;
  progress_.caption = view_.window_caption + " - " + (upload ? "Αποστολή αρχείου" : "Λήψη αρχείου");
  progress_.source = source;
  progress_.destination = destination;
  progress_.percent = -1;  // so that the first update sets the bar and the taskbar
  tmrAnimation_.SetEnabled(true);
  UpdateProgress();
  Changed();
}

void FolderSession::UpdateProgress() {
  if (!progress_.visible) return;
  int percent = 100;  // an empty file is complete as soon as it starts
  if (file_size_ > 0) {
    const double exact = support::RoundHalfEven(static_cast<double>(next_byte_) /
                                                static_cast<double>(file_size_) * 100.0);
    percent = exact > 100 ? 100 : (exact < 0 ? 0 : static_cast<int>(exact));
  }
  const auto size = [&](std::int64_t bytes) {
    return speed_calc_.FormatSizeUnit(static_cast<double>(bytes < 0 ? 0 : bytes), 1, true);
  };
  progress_.progress_text = std::string(progress_.upload ? "Εστάλησαν" : "Ελήφθησαν") + " " +
                            size(next_byte_) + " από " + size(file_size_) + " (" +
                            std::to_string(percent) + "%)";
  if (progress_.percent != percent) {
    progress_.percent = percent;
    ui_.SetTaskbarProgress(percent);
  }
  Changed();
}

void FolderSession::tmrSpeed_Timer() {
  if (!progress_.visible) return;
  speed_calc_.AddSample(next_byte_);
  const double speed = speed_calc_.AverageSpeed();
  if (speed > 0 && next_byte_ > 0) {
    const std::int32_t seconds = speed_calc_.CalcEstimatedSeconds(file_size_, next_byte_, speed);
    if (seconds != 0) {
      progress_.time_text = EstimateText(seconds);
    } else {
      progress_.time_visible = false;  // stays hidden for this window
    }
  } else {
    progress_.time_text = "Εκτιμώμενος χρόνος: Άγνωστο";
  }
  progress_.speed_text =
      "Ταχύτητα: " + speed_calc_.FormatSizeUnit(speed < 0 ? 0 : speed, 1, false) + "/s";
  Changed();

  // Watchdog: every byte counted, nothing moving, and still no end.
  if (Downloading() && next_byte_ >= file_size_ && support::RoundHalfEven(speed) == 0) {
    if (++idle_ticks_ == 10) {
      log_.WriteLog(
          "Αδρανής σύνδεση για πάνω από 10 δευτερόλεπτα κατά την ολοκλήρωση [Debug: NextByte=" +
          std::to_string(next_byte_) + ", FileSize=" + std::to_string(file_size_) + "]");
      FinishDownload();
    }
  }
}

void FolderSession::tmrAnimation_Timer() {
  if (!progress_.visible) return;
  progress_.animation_frame = progress_.animation_frame >= 5 ? 0 : progress_.animation_frame + 1;
  Changed();
}

void FolderSession::UnloadProgress(bool abort) {
  if (!progress_.visible) return;
  progress_.visible = false;
  tmrProgress_.SetEnabled(false);
  tmrSpeed_.SetEnabled(false);
  tmrAnimation_.SetEnabled(false);
  ui_.SetTaskbarProgress(-1);
  if (abort) {
    log_.WriteLog("AbortTransfer()", "frmProgress_Unload", 2);
    try {
      AbortTransfer();
    } catch (const support::Error& e) {
      log_.ShowError(e.Description(), "AbortTransfer");
      ResetToDisconnected();
    }
  }
  // A cancel that came after the last chunk leaves the upload awaiting its
  // UPLOADOK: the window stays disabled until that reply (or a reset).
  if (!TransferActive()) {
    view_.window_enabled = true;
    view_.cursor = Cursor::kNormal;
  }
  view_.txtUpload.text.clear();
  Changed();
}

}  // namespace session
