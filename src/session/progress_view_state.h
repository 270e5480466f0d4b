#pragma once

#include <string>

namespace session {

/// What the transfer progress window shows, as plain data.
struct ProgressViewState {
  bool visible = false;  ///< the window is loaded (the main window is hidden meanwhile)
  std::string caption;  ///< main caption + " - Αποστολή αρχείου" / " - Λήψη αρχείου"
  bool upload = false;  ///< direction of the animation and of the progress words
  std::string source;
  std::string destination;
  std::string progress_text;  ///< "Ελήφθησαν 1.5 MB από 3.0 MB (50%)"
  int percent = 0;            ///< bar value, 0..100
  std::string speed_text;     ///< "Ταχύτητα: 1.5 MB/s"
  std::string time_text;  ///< "Εκτιμώμενος χρόνος: 1 λεπτό 5 δευτ/τα"
  bool time_visible = true;
  int animation_frame = 0;  ///< 0..5
};

}  // namespace session
