#pragma once

#include <QIcon>
#include <QPixmap>

#include <string>

namespace gui {

/// The program's own picture for an image key of the view state ("connected",
/// "disconnected", "imgGoToDF", "imgGoToPF", "sizepie") or of a button
/// ("up", "refresh", "newfolder", "rename", "delete", "download", "upload",
/// "proxy", "app"). A null icon for an unknown key.
QIcon ArtIcon(const std::string& key);
/// The same picture as a pixmap of `size` logical pixels, sharp at `ratio`.
QPixmap ArtPixmap(const std::string& key, int size, qreal ratio);

}  // namespace gui
