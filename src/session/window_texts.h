#pragma once

/// The fixed texts of the windows and dialogs, in one place so that the core,
/// the windows and the tests use the same words. Texts that change with the
/// session (captions while connected, messages) stay with the code that
/// builds them.
namespace session::texts {

// ---- Main window ----
inline constexpr const char kWindowCaption[] = "Προσωπικός χώρος";
/// Written at load, followed by the version text.
inline constexpr const char kLoadLogLine[] = "Εφαρμογή διαχείρισης προσωπικού χώρου - Έκδοση ";
inline constexpr const char kUnloadLogLine[] = "Κλείσιμο εφαρμογής.";
/// Ctrl+Alt+F10 shows this, ": " and the protocol version.
inline constexpr const char kProtocolVersionCaption[] = "Έκδοση πρωτοκόλλου";

inline constexpr const char kLblConnectPrompt[] = "Στοιχεία σύνδεσης στα Deskora";
inline constexpr const char kLblId[] = "Χρήστης:";
inline constexpr const char kLblPassword[] = "Κωδικός:";
inline constexpr const char kChkSaveLogin[] = "Αποθήκευση στοιχείων σύνδεσης";
inline constexpr const char kDcbConnectCaption[] = "Σύνδεση";
inline constexpr const char kDcbConnectTooltip[] = "Σύνδεση στον προσωπικό χώρο";
inline constexpr const char kDcbProxyTooltip[] = "Ρυθμίσεις διακομιστή μεσολάβησης";
inline constexpr const char kLnkDFCaption[] = "Μετάβαση στο χώρο συνεργατών";
inline constexpr const char kDcbUpTooltip[] = "Προηγούμενος φάκελος";
inline constexpr const char kDcbRefreshTooltip[] = "Ανανέωση λίστας";
inline constexpr const char kDcbNewFolderTooltip[] = "Νέος φάκελος";
inline constexpr const char kDcbRenameTooltip[] = "Μετονομασία";
inline constexpr const char kDcbDeleteTooltip[] = "Διαγραφή";
inline constexpr const char kDcbDownloadCaption[] = "Λήψη";
inline constexpr const char kDcbDownloadTooltip[] =
    "Λήψη του επιλεγμένου αρχείου στον υπολογιστή σας";
inline constexpr const char kLblUploadPrompt[] = "Αποστολή αρχείου στον προσωπικό χώρο";
inline constexpr const char kDcbBrowseCaption[] = "Εύρεση...";
inline constexpr const char kDcbBrowseTooltip[] = "Αναζήτηση ενός αρχείου προς αποστολή";
inline constexpr const char kDcbUploadCaption[] = "Αποστολή";
inline constexpr const char kDcbUploadTooltip[] = "Αποστολή του αρχείου στον προσωπικό χώρο";
inline constexpr const char kLnkHelpCaption[] = "Οδηγίες χρήσης";
inline constexpr const char kLnkHelpTooltip[] = "Λήψη οδηγιών χρήσης για το εργαλείο";

// ---- File list columns (keys "name", "size", "modified") ----
inline constexpr const char kColumnName[] = "Όνομα";
inline constexpr const char kColumnSize[] = "Μέγεθος";
inline constexpr const char kColumnModified[] = "Τροποποιήθηκε";

// ---- Progress window ----
inline constexpr const char kProgressCaption[] = "Πρόοδος μεταφοράς";
inline constexpr const char kLblSourceTitle[] = "Από:";
inline constexpr const char kLblDestinationTitle[] = "Προς:";
inline constexpr const char kProgressCmdCancel[] = "Άκυρο";

// ---- Name dialog ----
inline constexpr const char kNameCmdOk[] = "OK";
inline constexpr const char kNameCmdCancel[] = "Άκυρο";

// ---- File-exists dialog ----
inline constexpr const char kFileExistsCaption[] = "Επιβεβαίωση";
inline constexpr const char kFileExistsReplace[] = "Αντικατάσταση";
inline constexpr const char kFileExistsContinue[] = "Συνέχιση";
inline constexpr const char kFileExistsCancel[] = "Άκυρο";

// ---- Proxy dialog ----
inline constexpr const char kProxyCaption[] = "Διακομιστής μεσολάβησης";
inline constexpr const char kProxyLblType[] = "Τύπος:";
inline constexpr const char kProxyLblName[] = "Όνομα:";
inline constexpr const char kProxyLblPort[] = "Πόρτα:";
inline constexpr const char kProxyCmdOk[] = "OK";
inline constexpr const char kProxyCmdCancel[] = "Άκυρο";
/// The entries of the type list; the entry index is the proxy type.
inline constexpr const char kProxyTypeNone[] = "Τίποτα";
inline constexpr const char kProxyTypeHttp[] = "HTTP";
// The balloons of a refused OK are built with the proxy dialog's rules (app).

}  // namespace session::texts
