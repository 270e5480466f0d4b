#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/event_loop.h"
#include "net/routing_table.h"
#include "net/socket_notifier.h"

/// The process-wide half of the socket layer: starts and stops the socket service as
/// socket objects come and go, routes every socket notification and finished host
/// look-up to the `SocketMaster` that owns it, and parks connections accepted by a
/// listening socket until an owner takes them.
///
/// Everything here belongs to the loop thread. The program names its loop once with
/// `SetEventLoop` before it creates the first `SocketMaster`; the service starts with
/// the first object and stops, forgetting every table, when the last one is destroyed,
/// so a test can set a loop, use sockets, destroy them and start afresh.
namespace net {

class SocketMaster;
class HostResolver;

/// The loop the socket layer runs on (not owned). Takes effect when the service
/// starts; change it only while no `SocketMaster` exists.
void SetEventLoop(EventLoop* loop);
EventLoop* CurrentEventLoop();

/// A resolver to use instead of the worker-thread one (not owned; nullptr restores
/// the default). Takes effect when the service starts.
void SetHostResolver(HostResolver* resolver);

/// Shows the text of a socket error an `Error` handler asked to display (the GUI
/// installs a modal message box). Without a hook the text goes to stderr.
using ErrorDisplayHook = std::function<void(const std::string& text, const std::string& title)>;
void SetErrorDisplayHook(ErrorDisplayHook hook);
/// Displays through the hook (or stderr).
void DisplayError(const std::string& text, const std::string& title);

namespace dispatch {

/// Counts a new socket object and starts the service with the first one. Throws
/// support::Error 10093 (source "modSocketMaster.InitiateProcesses") when no event
/// loop has been set; the count is not changed then.
void InitiateProcesses();
/// Uncounts a destroyed socket object; the last one stops the service and resets
/// every table.
void FinalizeProcesses();

/// Routes notifications of `fd` to `owner` and starts them with the given role. An
/// accepted socket keeps the notifications it already has.
bool RegisterSocket(int fd, SocketMaster* owner, SocketRole role);
/// Stops routing `fd` (call before closing it). An unknown handle is ignored.
void UnregisterSocket(int fd);
bool IsSocketRegistered(int fd);
/// The owner `fd` is routed to, or nullptr.
SocketMaster* SocketOwner(int fd);
void ReassignSocketOwner(int fd, SocketMaster* owner);

/// Parks an accepted connection in a new socket object that holds its data and close
/// until an owner takes it with `Accept`.
void RegisterAccept(int fd);
bool IsAcceptRegistered(int fd);
/// Forgets a parked connection and releases its parking object (the handle stays open).
void UnregisterAccept(int fd);
SocketMaster* GetAcceptSocket(int fd);

/// Starts an asynchronous look-up of `host` for `owner`, whose `HostLookupDone` is
/// called later on the loop thread. Answers the look-up handle, or 0 with `*error` set.
std::int32_t StartHostLookup(const std::string& host, SocketMaster* owner, int* error);
/// Cancels a pending look-up; answers whether it was cancelled.
bool CancelHostLookup(std::int32_t handle);
/// Removes a look-up from the routing table; its result will be dropped.
void UnregisterLookup(std::int32_t handle);

/// Changes the one-shot notifications of `fd` (see SocketNotifier).
void SetRole(int fd, SocketRole role);
void Reenable(int fd, NetEvent event);

/// Inspection for tests.
bool IsServiceStarted();
int LiveObjectCount();
/// Whether the notification source exists (only while a socket is registered).
bool HasNotifier();
const RoutingTable<SocketMaster>& SocketRoutes();
const RoutingTable<SocketMaster>& LookupRoutes();
std::size_t AcceptCount();

}  // namespace dispatch
}  // namespace net
