#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "session/session_ui.h"

namespace session {

/// "Όλα τα αρχεία" with "*.*".
FileFilter AllFilesFilter();

/// The type list of the save dialog for a remote file name: "*." + extension
/// (shown as its own pattern), then every file; a name without an extension
/// (no ".", or nothing after the last one) has only the every-file entry.
std::vector<FileFilter> SaveFileFilters(std::string_view remote_name);

/// The open dialog of an upload: titled "Επιλογή αρχείου", every file, and the
/// file must exist.
FileDialogRequest OpenFileRequest();

/// The save dialog of a download: titled "Επιλογή θέσης αποθήκευσης", the
/// remote name as initial name, SaveFileFilters, no overwrite question.
FileDialogRequest SaveFileRequest(std::string_view remote_name);

/// The Replace / Continue / Cancel dialog for a target that exists.
/// `file_name` is the target's path (local for an upload, remote for a
/// download) and `name` its file-name part, which the message shows. Continue
/// is offered only when the existing copy (`destination_size`) is shorter than
/// the source.
ExistsRequest BuildExistsRequest(const std::string& file_name, const std::string& name,
                                 std::int64_t source_size, std::int64_t destination_size,
                                 bool upload);

}  // namespace session
