#pragma once

#include <QtGlobal>

// Symbols of the shared hyperlink library.
#if defined(HYPERLINK_BUILD)
#define HYPERLINK_EXPORT Q_DECL_EXPORT
#else
#define HYPERLINK_EXPORT Q_DECL_IMPORT
#endif
