// The messenger host: loads plug-in modules and gives them the PLUGINLINK services,
// the event database, the contact list with its contact menu, and the protocol
// "ICQ" over a transport.
//
// One host per process, as on the original platform: the C functions of PLUGINLINK
// find it through Host::Current(). Everything runs on the user-interface thread
// behind the UiQueue; only MessageSink::Receive of IncomingSink() may be called from
// other threads. No call throws.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/contact_menu.h"
#include "host/database.h"
#include "host/service_table.h"
#include "host/transport.h"
#include "host/ui_queue.h"
#include "host/xmpp_link.h"
#include "sdk/plugin_api.h"

namespace tessaro::host {

class IcqProtocol;
class ModuleLoader;
struct ModuleEntries;

// ---- Names and values of this host ----

inline constexpr DWORD kHostVersion = PLUGIN_MAKE_VERSION(1, 0, 0, 0);
inline constexpr char kIcqProtocol[] = "ICQ";
// What "CList/GetContactDisplayName" answers for a handle it does not know.
inline constexpr char kUnknownContactName[] = "(Unknown Contact)";
// The user's own name until one is set.
inline constexpr char kDefaultUserName[] = "Me";

struct HostOptions {
  std::string profile_path;         // empty: a fresh profile in memory
  std::function<uint32_t()> clock;  // event timestamps in seconds; empty: the system clock
};

class Host {
 public:
  // ---- Life ----
  // Opens the profile and registers the host's services. Returns nullptr and a
  // message when the profile cannot be opened or another host exists. `queue` must
  // outlive the host.
  static std::unique_ptr<Host> Create(UiQueue& queue, HostOptions options, std::string* error);
  // Unloads every module (Unload, then the module is closed), then takes the
  // services down. Tasks the host posted and that have not run yet are dropped.
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;
  // The host of this process, or nullptr.
  static Host* Current();

  // ---- Services and events ----
  ServiceTable& services() { return services_; }
  PLUGINLINK* link() { return &link_; }
  INT_PTR CallService(const char* name, WPARAM wParam, LPARAM lParam);

  // ---- Modules ----
  // Opens a module, checks its exports and PLUGININFO, and calls its Load. On
  // failure the module is closed and *error names the module and the reason.
  bool LoadModule(const std::string& path, std::string* error);
  // The same for a module built into the executable (the fuzz target of
  // script files runs one, as a module that is never unmapped).
  bool LoadBuiltinModule(const std::string& name, const ModuleEntries& entries, std::string* error);
  std::vector<std::string> ModuleNames() const;  // PLUGININFO short names, load order

  // ---- Contacts ----
  // Returns the new contact's handle, or nullptr when the profile cannot store it.
  // `address` is the contact's bare XMPP address; while the link runs, the contact
  // is added to the server's roster and asked for its presence.
  HANDLE AddContact(std::string_view name, std::string_view protocol = kIcqProtocol,
                    std::string_view address = {});
  std::string AddressOf(HANDLE contact) const;              // empty: none
  HANDLE ContactByAddress(std::string_view address) const;  // nullptr: not a contact
  bool RenameContact(HANDLE contact, std::string_view name);
  bool SetUserName(std::string_view name);
  // The display name as the service gives it: contact 0 is the user, an unknown
  // handle gives kUnknownContactName. Valid until that name changes.
  const char* DisplayName(HANDLE contact) const;
  std::optional<std::string> ProtocolOf(HANDLE contact) const;  // nullopt: unknown
  std::vector<HANDLE> Contacts() const;                         // in the order added
  // The status a module set for the contact ("CList/SetContactStatus"); "" for none.
  std::string StatusOf(HANDLE contact) const;
  // Runs on the user-interface thread after a contact's status changed.
  void OnStatusChanged(std::function<void()> changed) { status_changed_ = std::move(changed); }
  HANDLE FindContact(std::string_view name) const;  // first match, or nullptr

  // ---- Contact menu ----
  // The items offered for the contact (none for the user or an unknown contact).
  std::vector<MenuItem> MenuItemsFor(HANDLE contact) const;
  // Calls the item's service with (contact, 0). False when the item is not offered
  // for that contact or its service does not exist.
  bool InvokeMenuItem(HANDLE contact, HANDLE item);

  // ---- Events ----
  // Stores the event of a known contact (or of the user, contact 0), then notifies
  // "DB/Event/Added" with (contact, handle). Returns the handle, or nullptr.
  HANDLE AddEvent(EventRecord event);
  std::optional<EventRecord> Event(HANDLE event) const;
  std::vector<EventRecord> EventsOf(HANDLE contact, ReadFilter filter = ReadFilter::kAll) const;
  // Sets DBEF_READ. Returns the flags after the change; nullopt when the event is
  // unknown or not the contact's.
  std::optional<uint32_t> MarkRead(HANDLE contact, HANDLE event);
  uint32_t Now() const { return clock_(); }

  // ---- Protocol "ICQ" ----
  // Replaces the transport (the old one is destroyed first). nullptr: none, so
  // "/SendMsg" fails.
  void SetTransport(std::unique_ptr<Transport> transport);
  // Where transports hand received texts; thread-safe.
  MessageSink& IncomingSink();

  // ---- XMPP account and link ----
  // The account lives in the profile; the password is never printed or logged.
  bool SetAccount(const XmppAccount& account);
  std::optional<XmppAccount> Account() const;  // nullopt: none stored
  // Keeps the certificate's SHA-256 fingerprint in the profile as the one the
  // player trusts (replacing any other) and, while the link runs, tries again
  // with it at once. False when the fingerprint is not 64 hex digits or the
  // profile cannot store it.
  bool TrustCertificate(const std::string& fingerprint);
  // Makes the XMPP link with the stored account the transport of "ICQ" and starts
  // it. `changed` runs on the user-interface thread whenever the connection
  // state, a contact's presence or the contact requests change. False with a
  // message when no account is stored or its address is not user@domain.
  bool ConnectXmpp(std::string* error, std::function<void()> changed = {});
  XmppLink* Link() { return xmpp_; }  // nullptr: not connected over XMPP
  const XmppLink* Link() const { return xmpp_; }
  LinkState ConnectionState() const;
  // Whether any resource of the contact is online (false without the link).
  bool IsOnline(HANDLE contact) const;
  // Changes of the connection, oldest first, across runs.
  std::vector<ConnectionLogEntry> ConnectionLog() const;

  // ---- Contact requests: messages and subscription requests of strangers ----
  std::vector<ContactRequest> ContactRequests() const;
  // Makes the address a contact (asking for its presence and letting it see
  // ours) and drops the request. Returns the contact, or nullptr.
  HANDLE AcceptRequest(std::string_view address, std::string_view name);
  // Drops the request without a word to the address.
  bool IgnoreRequest(std::string_view address);
  // Drops the request; one that asked to see our presence is refused (while the
  // link runs, or at its next login), so the asker's client stops waiting. A
  // stranger who merely wrote is told nothing. False when there is no request.
  bool DeclineRequest(std::string_view address);
  UiQueue& queue() { return queue_; }

 private:
  struct Contact {
    std::string name;
    std::string protocol;
  };

  Host(UiQueue& queue, std::unique_ptr<Database> db, std::function<uint32_t()> clock);
  void RegisterCoreServices();  // host_services.cpp
  // The host-owned copy of a module name for DBEVENTINFO.szModule.
  char* InternModuleName(const std::string& name);

  // Services, each (wParam, lParam) as documented in sdk/plugin_api.h.
  INT_PTR ServiceEventGet(WPARAM wParam, LPARAM lParam);
  INT_PTR ServiceEventGetBlobSize(WPARAM wParam, LPARAM lParam);
  INT_PTR ServiceEventMarkRead(WPARAM wParam, LPARAM lParam);
  INT_PTR ServiceEventAdd(WPARAM wParam, LPARAM lParam);
  INT_PTR ServiceWriteSetting(WPARAM wParam, LPARAM lParam);
  INT_PTR ServiceGetSetting(WPARAM wParam, LPARAM lParam);
  INT_PTR ServiceDeleteSetting(WPARAM wParam, LPARAM lParam);
  INT_PTR ServiceGetDisplayName(WPARAM wParam, LPARAM lParam);
  INT_PTR ServiceAddContactMenuItem(WPARAM wParam, LPARAM lParam);
  INT_PTR ServiceSetContactStatus(WPARAM wParam, LPARAM lParam);
  INT_PTR ServiceCallContactService(WPARAM wParam, LPARAM lParam);

  UiQueue& queue_;
  std::function<uint32_t()> clock_;
  std::unique_ptr<Database> db_;
  ServiceTable services_;
  PLUGINLINK link_;
  HANDLE event_added_ = nullptr;
  HANDLE messages_lost_ = nullptr;
  HANDLE peer_game_ = nullptr;
  ContactMenu menu_;
  std::map<HANDLE, Contact> contacts_;
  std::vector<HANDLE> contact_order_;
  std::map<HANDLE, std::string> statuses_;
  std::function<void()> status_changed_;
  std::string user_name_;
  std::set<std::string, std::less<>> module_names_;  // nodes never move: stable c_str()
  std::unique_ptr<IcqProtocol> icq_;
  XmppLink* xmpp_ = nullptr;  // owned by icq_ as its transport
  std::unique_ptr<ModuleLoader> modules_;
};

}  // namespace tessaro::host
