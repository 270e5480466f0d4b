#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/event_loop.h"
#include "net/socket_master.h"
#include "session/frame_reader.h"
#include "session/location.h"
#include "session/loop_timer.h"
#include "session/main_view_state.h"
#include "session/progress_view_state.h"
#include "session/session_services.h"
#include "session/session_ui.h"
#include "session/transfer_speed_calc.h"
#include "support/error.h"
#include "support/file.h"

namespace session {

/// The run-time error raised for a reply that lacks a field or whose field has
/// the wrong form (reported through the receiver's error branch).
support::Error MalformedReply(std::string_view keyword);

/// "Εκτιμώμενος χρόνος:" with the non-zero hours, minutes and seconds of
/// `seconds`, each with its singular or plural word.
std::string EstimateText(std::int32_t seconds);

/// Settings the session starts with (read by the composition root).
struct SessionConfig {
  /// The web host of the parameters file, also the fallback folder server and
  /// the host of client updates.
  std::string parameters_host;
  /// Port of the direct parameters fetch (80). Tests point it at a loopback
  /// server; the program never changes it.
  std::int32_t parameters_port = 80;
  /// Folder server known in advance (PFServer / PFPort); skips the fetch.
  std::string server_name;
  std::int32_t server_port = 0;
  /// Proxy of the parameters fetch: 0 none, 1 HTTP, 2 and 3 refused at connect.
  std::int32_t proxy_type = 0;
  std::string proxy_server;
  std::int32_t proxy_port = 8080;
  std::int32_t chunk_size = 6144;
  /// Interval of the progress refresh, ms (the ProgressRefreshRate setting).
  std::int32_t progress_refresh_rate = 400;
  /// Credentials were handed over by another program: the boxes stay locked.
  bool auto_connect = false;
  /// Major.minor(2 digits).revision, reported at log-in.
  std::string client_version;
  /// While the window waits for the server (a request or a transfer is out)
  /// and no dialog is open, this long without a byte received or sent ends the
  /// connection as lost, ms; 0 waits for ever.
  std::int32_t silence_bound = 120000;
};

/// Keys the file list passes on.
enum class ListKey { kEnter, kBackspace, kCtrlSpace, kF2, kDelete, kF5 };
/// Mouse buttons of a press in the file list.
enum class MouseButton { kLeft, kRight, kMiddle };

/// The folder session: everything said to and heard from the folder server and
/// what the user does with folders and files. It owns the two sockets (`smClient`
/// for the session, `smRedir` for the parameters fetch), the timers, the
/// location model and the row slots; the user sees `View()` and answers through
/// `SessionUi`. Handlers keep the names of the window they stand for.
///
/// Every entry point runs to completion on the loop thread; handlers catch
/// their own errors and report them as the window would.
class FolderSession {
 public:
  FolderSession(net::EventLoop& loop, SessionUi& ui, SessionLog& log, ComputerFacts& facts,
                SessionConfig config);
  ~FolderSession();
  FolderSession(const FolderSession&) = delete;
  FolderSession& operator=(const FolderSession&) = delete;

  const MainViewState& View() const { return view_; }
  /// Called after every change of the view state.
  void SetViewObserver(std::function<void()> observer) { observer_ = std::move(observer); }
  /// Told before and after every change of `View().rows`; nullptr for none.
  /// The observer must outlive the session or be removed first.
  void SetRowsObserver(RowsObserver* observer) { rows_observer_ = observer; }
  /// The proxy of the parameters fetch from the next Connect on (the proxy
  /// dialog changes it while the program runs): 0 none, 1 HTTP, 2 and 3 are
  /// refused at connect.
  void SetProxy(std::int32_t type, std::string server, std::int32_t port);

  // ---- What the user types and does ----
  void SetIdText(std::string text);
  void SetPasswordText(std::string text);
  void SetUploadText(std::string text);
  void dcbConnect_Click();
  void lnkDF_Click();
  void dcbUp_Click();
  void dcbRefresh_Click();
  void dcbNewFolder_Click();
  void dcbRename_Click();
  void dcbDelete_Click();
  /// A press in the list: `row` is the zero-based row hit, or -1 for none.
  void lvFiles_MouseDown(MouseButton button, int row);
  void lvFiles_DblClick();
  void lvFiles_KeyDown(ListKey key);
  /// Keyboard navigation moved the selection (-1 for none).
  void lvFiles_SelectRow(int row);
  /// Starts the hand-over auto-connect (enables tmrAdminAutoConnect).
  void StartAutoConnect();
  /// Ctrl+Alt+F10: the protocol version in an information box.
  void ShowProtocolVersion();

  // ---- Transfers ----
  /// Chooses the file to upload (open dialog) into the upload box.
  void dcbBrowse_Click();
  /// Uploads the file named in the upload box into the current folder.
  void dcbUpload_Click();
  /// Downloads the selected file row to a place the save dialog chooses.
  void dcbDownload_Click();
  /// Starts an upload of `local_path` into the current folder.
  void UploadFile(const std::string& local_path);
  /// Starts a download of the selected row to `local_path`.
  void DownloadFile(const std::string& local_path);
  /// The progress window's Cancel button (or its close box).
  void cmdCancel_Click();
  const ProgressViewState& Progress() const { return progress_; }
  /// True while an upload or a download is under way (requested, streaming or
  /// awaiting its confirmation).
  bool TransferActive() const;

  // ---- Read-outs for the windows and tests ----
  const SessionConfig& Config() const { return config_; }
  const RemoteLocation& Location() const { return location_; }
  std::int64_t UsedBytes() const { return used_bytes_; }
  std::int64_t QuotaBytes() const { return quota_bytes_; }
  bool InDealersFolder() const { return in_dealers_folder_; }
  const std::string& LoginTime() const { return login_time_; }
  /// The log-in chain has run to its end (PCINFO sent) on the open connection.
  bool LoggedIn() const {
    return smClient_.State() == net::SocketState::kConnected && !login_time_.empty() &&
           !login_chain_pending_;
  }
  /// The sizes in bytes and the stamps (ListRows::Stamp) of the rows, in list order.
  std::vector<std::int64_t> RowSizes() const;
  std::vector<std::string> RowStamps() const;
  net::SocketState ClientState() const { return smClient_.State(); }
  net::SocketState RedirState() const { return smRedir_.State(); }
  bool KeepAliveEnabled() const { return tmrKeepAlive_.Enabled(); }
  /// Runs one tick of the keep-alive timer now (tests drive the minutes).
  void TickKeepAlive() { tmrKeepAlive_Timer(); }

  /// Builds the PCINFO payload fields from the computer facts.
  static std::vector<std::string> PcInfoFields(ComputerFacts& facts,
                                               const std::string& client_version);

 private:
  // ---- Common (folder_session.cc) ----
  void Changed();
  void ResetToDisconnected();
  bool CheckConnected();
  /// After a modal dialog (a nested loop ran while it was open), for a live
  /// session: whether the answer still applies. A reset while the dialog was
  /// open (`resets_` moved past `resets_before`) makes it stale: the listing,
  /// selection and transfer state it was asked about are gone. A stale answer
  /// is dropped, and a lost connection reported as CheckConnected does.
  bool AnswerApplies(std::uint64_t resets_before);
  /// "Χάθηκε η σύνδεση με ..." for the personal or the dealers folder.
  void ShowConnectionLost(bool dealers);
  void SetBusy(bool busy);
  /// Sends a complete frame on smClient.
  void SendFrame(const std::string& frame);
  void ShowCentered(const std::string& text, MessageIcon icon,
                    MessageButtons buttons = MessageButtons::kOk, const std::string& title = {});
  void Layout() { ++view_.layout_generation; }
  /// Every change of view_.rows is bracketed by these two (RowsObserver).
  void RowsAboutToChange(RowsChange::Kind kind, int first, int count);
  void RowsChanged(RowsChange::Kind kind, int first, int count);
  /// Returns the transfer state to rest (counters, file, flags).
  void ResetTransfers();

  // ---- Receiver (session_receiver.cc) ----
  void smClient_DataArrival(std::int64_t bytes_total);
  void DispatchFrame(std::string payload);
  bool HandleErrorReply(std::string_view keyword);
  /// The transfer half of INUSE / FILENOTFOUND / FILEEXISTS / DIREXISTS.
  void EndTransferOnErrorReply(std::string_view keyword);
  void ReportMalformed(const std::string& description);

  // ---- Log-in chain, keep-alive, folder switch (session_login.cc) ----
  void smClient_Connect();
  void smClient_CloseSck();
  void smClient_Error(net::SocketErrorEvent& event);
  void OnLoginOk(std::string_view arguments);
  void OnDealerOk();
  /// Connect tooltip and switch link for the personal or the dealers side.
  void ShowFolderSide(bool dealers);
  void OnLoginTime(std::string_view arguments);
  void OnSchCleanupInfo(std::string_view arguments);
  void ShowCleanupNotice(std::int32_t days, std::int32_t interval);
  void SendListFollowUp();
  void tmrKeepAlive_Timer();
  void tmrAdminAutoConnect_Timer();

  // ---- Browsing and folder commands (session_browse.cc) ----
  /// The LIST reply `payload`, its rows from offset `rows_at`.
  void OnList(std::string payload, std::size_t rows_at);
  void OpenFolder(bool go_up);
  void SendList();
  void UpdateItemButtons(int row);
  void DisableItemButtons();
  void SetUploadControls(bool enable);
  void UpdateUsageDisplay();
  void ShowUsagePie(bool show);
  /// A row kept whole (the ".." row, a new folder, an uploaded file).
  ListItemView MakeListItem(std::string name, std::string size_text, std::string modified_text,
                            std::string_view extension, bool is_folder) const;
  void RemoveListItem(int position);
  void OnNewDirOk();
  void OnRenameOk();
  void OnDeleteOk();
  void OnTotalSize(std::string_view arguments);
  int SelectedRow() const { return view_.selected_row; }
  std::optional<ListItemView> SelectedItem() const;
  void RunDownloadCommand();

  // ---- Transfers (session_transfer.cc, session_upload.cc, session_download.cc) ----
  enum class TransferPhase {
    kIdle,
    kUploadRequested,    ///< UPLOAD sent, waiting for DO UPLOAD
    kUploadSending,      ///< Uploading: chunks go out
    kUploadAwaitingOk,   ///< every byte sent, waiting for UPLOADOK
    kDownloadRequested,  ///< DOWNLOAD sent, waiting for DO DOWNLOAD
    kDownloadStreaming,  ///< Downloading: every arrival belongs to the file
  };
  bool Uploading() const { return phase_ == TransferPhase::kUploadSending; }
  bool Downloading() const { return phase_ == TransferPhase::kDownloadStreaming; }
  void AbortTransfer();
  /// Cancels a transfer whose request is out but whose go-ahead has not come:
  /// the server cannot be told, so the connection is dropped and re-opened.
  void DropConnectionAndReconnect();
  /// `file_name` is the target's path, `name` its file-name part.
  ExistsAnswer AskReplaceOrResume(const std::string& file_name, const std::string& name,
                                  std::int64_t source_size, std::int64_t destination_size,
                                  bool upload);
  /// Closes the local file; a download that has written nothing deletes the
  /// file it created or emptied.
  void CloseTransferFile(bool delete_empty_download);
  /// Puts the window back after a transfer that failed before streaming.
  void RestoreAfterFailedStart();

  void OnDoUpload();
  void OnUploadOk();
  void SendNextChunk();
  void OnChunkSent();
  void smClient_SendComplete();
  void tmrSend_Timer();

  void OnDoDownload();
  /// Writes the waiting download bytes; answers whether bytes beyond the file
  /// are left to be read as messages.
  bool ReceiveRawDownload();
  void FinishDownload();

  // ---- Progress window (session_progress.cc) ----
  void PrepareProgressForm(bool upload, const std::string& source, const std::string& destination);
  void UpdateProgress();
  void tmrSpeed_Timer();
  void tmrAnimation_Timer();
  /// Watches a server that keeps the connection open and stops answering.
  void StartSilenceWatch();
  void tmrSilence_Timer();
  /// Counts the dialogs open while the returned guard lives (a wait the user
  /// causes is no silence of the server); safe when the session goes away
  /// meanwhile.
  std::shared_ptr<void> DialogOpen();
  /// Unloads the progress window. `abort` runs AbortTransfer as the window's
  /// own unload does (cancel button, close box); the engines and the session
  /// reset close it without.
  void UnloadProgress(bool abort);

  // ---- Connection bootstrap (session_bootstrap.cc) ----
  void smRedir_Connect();
  void smRedir_DataArrival(std::int64_t bytes_total);
  void smRedir_Error(net::SocketErrorEvent& event);
  void smRedir_CloseSck();
  void ShowConnectFailure(const std::string& reason);
  void WriteDisconnectLine();

  net::EventLoop& loop_;
  SessionUi& ui_;
  SessionLog& log_;
  ComputerFacts& facts_;
  SessionConfig config_;
  std::function<void()> observer_;
  RowsObserver* rows_observer_ = nullptr;

  MainViewState view_;
  ProgressViewState progress_;
  net::SocketMaster smClient_;
  net::SocketMaster smRedir_;
  LoopTimer tmrKeepAlive_;
  LoopTimer tmrAdminAutoConnect_;
  TransferSpeedCalc speed_calc_;

  // Receiver.
  FrameReader reader_;

  // Session fields.
  bool in_dealers_folder_ = false;
  bool reconnect_pending_ = false;
  bool aborting_ = false;
  std::string login_time_;
  std::int64_t used_bytes_ = 0;
  std::int64_t quota_bytes_ = 0;
  bool over_quota_warning_ = false;
  bool cleanup_notice_shown_ = false;
  bool usage_total_wanted_ = false;
  /// The log-in time chain (MYLOGINTIME or LOGINTIME, SCHCLEANUPINFO, PCINFO)
  /// is under way: its replies send requests of their own, so the window stays
  /// busy until PCINFO is out, or a command could be answered out of turn.
  bool login_chain_pending_ = false;
  int keep_alive_ticks_ = 0;

  // Location and rows.
  RemoteLocation location_;
  std::string entered_name_;
  bool last_press_left_on_row_ = false;
  std::string renamed_to_;

  // Transfer state.
  TransferPhase phase_ = TransferPhase::kIdle;
  std::int64_t next_byte_ = 0;
  std::int64_t file_size_ = 0;
  std::string local_file_;
  support::File transfer_file_;
  std::string transfer_buffer_;
  int upload_row_index_ = 0;  ///< 1-based row replaced or continued; 0 for a new file
  std::string upload_stamp_;
  int send_depth_ = 0;
  std::int64_t download_start_ = 0;
  std::string download_stamp_;  ///< row stamp of the file being downloaded
  int idle_ticks_ = 0;
  LoopTimer tmrSend_;
  LoopTimer tmrProgress_;
  LoopTimer tmrSpeed_;
  LoopTimer tmrAnimation_;

  LoopTimer tmrSilence_;
  /// A byte went either way since the last tick of tmrSilence_.
  bool wire_activity_ = false;
  int silent_ticks_ = 0;
  std::shared_ptr<int> dialogs_open_;

  /// Shared with handlers that call out to the user; cleared by the destructor
  /// so a handler notices when the session went away during a modal dialog.
  std::shared_ptr<bool> alive_;
  /// Counts ResetToDisconnected calls (see AnswerApplies).
  std::uint64_t resets_ = 0;
};

}  // namespace session
