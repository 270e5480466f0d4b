#pragma once

#include <QColor>
#include <QPalette>

#include "hyperlink/export.h"

namespace hyperlink {

/// A colour as the control's properties hold it: either an RGB colour
/// (0x00BBGGRR) or a system colour, 0x80000000 + the colour's index, which is
/// looked up in the widget's palette when drawn so the control follows the
/// desktop theme.
using OleColor = quint32;

inline constexpr OleColor kSystemColorFlag = 0x80000000u;
inline constexpr OleColor kColorButtonFace = 0x8000000Fu;
inline constexpr OleColor kColorGrayText = 0x80000011u;
inline constexpr OleColor kColorButtonText = 0x80000012u;
inline constexpr OleColor kColorWindow = 0x80000005u;
inline constexpr OleColor kColorWindowText = 0x80000008u;
inline constexpr OleColor kColorHighlight = 0x8000000Du;

/// The colour to draw for `color`. System colours map onto palette roles:
/// button face -> Button, button text -> ButtonText, grey text -> the
/// disabled Text, window -> Base, window text -> Text, highlight ->
/// Highlight, and so on; an unknown system colour is black.
HYPERLINK_EXPORT QColor ResolveOleColor(OleColor color, const QPalette& palette);
/// The RGB value (0x00BBGGRR) of a colour.
HYPERLINK_EXPORT OleColor ToOleColor(const QColor& color);

}  // namespace hyperlink
