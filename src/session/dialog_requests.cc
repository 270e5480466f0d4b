#include "session/dialog_requests.h"

#include "session/browse_rules.h"
#include "session/window_texts.h"
#include "support/text.h"

namespace session {

FileFilter AllFilesFilter() { return {"Όλα τα αρχεία", "*.*"}; }

std::vector<FileFilter> SaveFileFilters(std::string_view remote_name) {
  const auto dot = remote_name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == remote_name.size()) return {AllFilesFilter()};
  const std::string pattern = "*." + std::string(remote_name.substr(dot + 1));
  return {{pattern, pattern}, AllFilesFilter()};
}

FileDialogRequest OpenFileRequest() {
  FileDialogRequest request;
  request.title = "Επιλογή αρχείου";
  request.filters = {AllFilesFilter()};
  request.must_exist = true;
  return request;
}

FileDialogRequest SaveFileRequest(std::string_view remote_name) {
  FileDialogRequest request;
  request.title = "Επιλογή θέσης αποθήκευσης";
  request.initial_name = std::string(remote_name);
  request.filters = SaveFileFilters(remote_name);
  return request;
}

ExistsRequest BuildExistsRequest(const std::string& file_name, const std::string& name,
                                 std::int64_t source_size, std::int64_t destination_size,
                                 bool upload) {
  ExistsRequest request;
  request.caption = texts::kFileExistsCaption;
  request.file_name = file_name;
  request.upload = upload;
  request.allow_continue = destination_size < source_size;
  request.same_size = destination_size == source_size;
  request.text = "Το αρχείο " + name + " υπάρχει ήδη.";
  if (!request.allow_continue) {
    request.text += "\r\nΘέλετε να αντικατασταθεί;";
  } else {
    request.text += std::string(" Φαίνεται ότι μπορείτε να συνεχίσετε ") +
                    (upload ? "την αποστολή" : "τη λήψη") +
                    " του αρχείου από το σημείο που διακόπηκε.";
  }
  const std::string extension = FileExtension(name);
  // A local program shows its own icon; anything else the icon of its type.
  request.icon_key =
      upload && support::EqualsIgnoreCase(extension, ".exe") ? "program" : IconKey(extension);
  request.replace_caption = texts::kFileExistsReplace;
  request.continue_caption = texts::kFileExistsContinue;
  request.cancel_caption = texts::kFileExistsCancel;
  return request;
}

}  // namespace session
