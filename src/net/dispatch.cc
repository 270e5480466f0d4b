#include "net/dispatch.h"

#include <iostream>
#include <memory>
#include <stdexcept>
#include <unordered_map>

#include "net/host_resolver.h"
#include "net/socket_errors.h"
#include "net/socket_master.h"
#include "support/error.h"

namespace net {
namespace {

struct Module {
  EventLoop* loop_setting = nullptr;
  HostResolver* resolver_setting = nullptr;
  ErrorDisplayHook display_hook;

  bool started = false;
  int live_objects = 0;
  EventLoop* loop = nullptr;
  std::unique_ptr<SocketNotifier> notifier;
  std::unique_ptr<ThreadResolver> own_resolver;
  HostResolver* resolver = nullptr;
  std::unordered_map<int, SocketMaster*> registry;
  std::unordered_map<int, std::unique_ptr<SocketMaster>> accept_list;
  RoutingTable<SocketMaster> socket_routes;
  RoutingTable<SocketMaster> lookup_routes;
  // Never reset, so a late result of an earlier service run cannot match a new look-up.
  std::int32_t next_lookup = 0;
};

Module& M() {
  static Module module;
  return module;
}

void RouteSocket(int fd, int event, int error) {
  // Notifications for a handle nobody owns any more are dropped.
  if (SocketMaster* owner = M().socket_routes.Find(fd)) owner->PostSocket(event, error);
}

void RouteLookup(std::int32_t handle, LookupResult result) {
  if (SocketMaster* owner = M().lookup_routes.Find(handle)) {
    owner->HostLookupDone(handle, result.error, result.address);
  }
}

}  // namespace

void SetEventLoop(EventLoop* loop) { M().loop_setting = loop; }
EventLoop* CurrentEventLoop() { return M().started ? M().loop : M().loop_setting; }
void SetHostResolver(HostResolver* resolver) { M().resolver_setting = resolver; }
void SetErrorDisplayHook(ErrorDisplayHook hook) { M().display_hook = std::move(hook); }

void DisplayError(const std::string& text, const std::string& title) {
  if (M().display_hook) {
    M().display_hook(text, title);
  } else {
    std::cerr << title << ": " << text << std::endl;
  }
}

namespace dispatch {

void InitiateProcesses() {
  Module& m = M();
  if (!m.started) {
    if (!m.loop_setting) {
      throw support::Error(kWsaNotInitialised, "modSocketMaster.InitiateProcesses",
                           GetErrorDescription(kWsaNotInitialised));
    }
    m.loop = m.loop_setting;
    if (m.resolver_setting) {
      m.resolver = m.resolver_setting;
    } else {
      m.own_resolver = std::make_unique<ThreadResolver>(*m.loop);
      m.resolver = m.own_resolver.get();
    }
    m.started = true;
  }
  ++m.live_objects;
}

void FinalizeProcesses() {
  Module& m = M();
  --m.live_objects;
  if (!m.started || m.live_objects > 0) return;
  m.live_objects = 0;
  m.notifier.reset();
  m.registry.clear();
  m.accept_list.clear();
  m.socket_routes.Reset();
  m.lookup_routes.Reset();
  m.resolver = nullptr;
  m.own_resolver.reset();
  m.loop = nullptr;
  m.started = false;
}

bool RegisterSocket(int fd, SocketMaster* owner, SocketRole role) {
  Module& m = M();
  if (!m.notifier) m.notifier = std::make_unique<SocketNotifier>(*m.loop, RouteSocket);
  try {
    m.notifier->Select(fd, role);
  } catch (const std::runtime_error&) {
    // The loop could not watch the socket (its watch table is full).
    if (m.registry.empty()) m.notifier.reset();
    throw support::Error(kWsaNoBufferSpace, "modSocketMaster.RegisterSocket",
                         GetErrorDescription(kWsaNoBufferSpace));
  }
  m.socket_routes.Add(fd, owner);
  m.registry.emplace(fd, owner);
  return true;
}

void UnregisterSocket(int fd) {
  Module& m = M();
  m.socket_routes.Remove(fd);
  if (m.notifier) m.notifier->Forget(fd);
  m.registry.erase(fd);
  // Like the notification window of the original platform, the source lives only
  // while a socket is registered.
  if (m.registry.empty()) m.notifier.reset();
}

bool IsSocketRegistered(int fd) { return M().registry.count(fd) != 0; }

SocketMaster* SocketOwner(int fd) { return M().socket_routes.Find(fd); }

void ReassignSocketOwner(int fd, SocketMaster* owner) {
  Module& m = M();
  m.socket_routes.Reassign(fd, owner);
  auto it = m.registry.find(fd);
  if (it != m.registry.end()) it->second = owner;
}

void RegisterAccept(int fd) {
  auto parked = std::make_unique<SocketMaster>();
  parked->Accept(fd);
  M().accept_list[fd] = std::move(parked);
}

bool IsAcceptRegistered(int fd) { return M().accept_list.count(fd) != 0; }

void UnregisterAccept(int fd) {
  Module& m = M();
  auto it = m.accept_list.find(fd);
  if (it == m.accept_list.end()) return;
  std::unique_ptr<SocketMaster> parked = std::move(it->second);
  m.accept_list.erase(it);
  parked.reset();
}

SocketMaster* GetAcceptSocket(int fd) {
  auto it = M().accept_list.find(fd);
  return it == M().accept_list.end() ? nullptr : it->second.get();
}

std::int32_t StartHostLookup(const std::string& host, SocketMaster* owner, int* error) {
  Module& m = M();
  if (!m.started || !m.resolver) {
    *error = kWsaNotInitialised;
    return 0;
  }
  std::int32_t handle = ++m.next_lookup;
  if (handle <= 0) handle = m.next_lookup = 1;
  const int rc =
      m.resolver->Start(handle, host, [handle](LookupResult r) { RouteLookup(handle, r); });
  if (rc != 0) {
    *error = rc;
    return 0;
  }
  m.lookup_routes.Add(handle, owner);
  *error = 0;
  return handle;
}

bool CancelHostLookup(std::int32_t handle) {
  Module& m = M();
  return m.resolver ? m.resolver->Cancel(handle) : true;
}

void UnregisterLookup(std::int32_t handle) { M().lookup_routes.Remove(handle); }

void SetRole(int fd, SocketRole role) {
  if (M().notifier) M().notifier->SetRole(fd, role);
}

void Reenable(int fd, NetEvent event) {
  if (M().notifier) M().notifier->Reenable(fd, event);
}

bool IsServiceStarted() { return M().started; }
int LiveObjectCount() { return M().live_objects; }
bool HasNotifier() { return M().notifier != nullptr; }
const RoutingTable<SocketMaster>& SocketRoutes() { return M().socket_routes; }
const RoutingTable<SocketMaster>& LookupRoutes() { return M().lookup_routes; }
std::size_t AcceptCount() { return M().accept_list.size(); }

}  // namespace dispatch
}  // namespace net
