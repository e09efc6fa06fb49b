#include "host/host.h"

#include <cstdlib>
#include <ctime>
#include <utility>

#include "host/icq_protocol.h"
#include "host/module_loader.h"
#include "host/plugin_link.h"

namespace tessaro::host {

namespace {

// The one host of the process, for the C functions of PLUGINLINK.
Host* current_host = nullptr;

constexpr char kUserNameKey[] = "user_name";
constexpr char kAddressKey[] = "xmpp_address";
constexpr char kServerKey[] = "xmpp_server";
constexpr char kPortKey[] = "xmpp_port";
constexpr char kPasswordKey[] = "xmpp_password";
constexpr char kRequireTlsKey[] = "xmpp_require_tls";
constexpr char kCaFileKey[] = "xmpp_ca_file";
constexpr char kTrustedCertificateKey[] = "xmpp_trusted_certificate";

uint32_t SystemClock() {
  return static_cast<uint32_t>(std::time(nullptr));
}

}  // namespace

// ---- Life ----

std::unique_ptr<Host> Host::Create(UiQueue& queue, HostOptions options, std::string* error) {
  if (current_host != nullptr) {
    *error = "a host already runs in this process";
    return nullptr;
  }
  std::unique_ptr<Database> db = Database::Open(options.profile_path, error);
  if (!db) return nullptr;
  std::function<uint32_t()> clock = options.clock ? std::move(options.clock) : SystemClock;
  std::unique_ptr<Host> host(new Host(queue, std::move(db), std::move(clock)));
  current_host = host.get();
  return host;
}

Host::Host(UiQueue& queue, std::unique_ptr<Database> db, std::function<uint32_t()> clock)
    : queue_(queue), clock_(std::move(clock)), db_(std::move(db)), link_(MakePluginLink()) {
  for (ContactRecord& contact : db_->Contacts()) {
    contacts_[contact.handle] = Contact{std::move(contact.name), std::move(contact.protocol)};
    contact_order_.push_back(contact.handle);
  }
  user_name_ = db_->Setting(kUserNameKey).value_or(kDefaultUserName);
  icq_ = std::make_unique<IcqProtocol>(*this, queue_);
  modules_ = std::make_unique<ModuleLoader>(
      &link_, kHostVersion, [this](const void* base) { services_.RemoveOwnedBy(base); });
  RegisterCoreServices();
}

Host::~Host() {
  // Modules go first, while every service of the host still works: their Unload and
  // the static destructors that run when they are closed may call it.
  modules_.reset();
  xmpp_ = nullptr;
  icq_.reset();
  services_.Clear();
  current_host = nullptr;
}

Host* Host::Current() {
  return current_host;
}

INT_PTR Host::CallService(const char* name, WPARAM wParam, LPARAM lParam) {
  return name == nullptr ? CALLSERVICE_NOTFOUND : services_.Call(name, wParam, lParam);
}

// ---- Modules ----

bool Host::LoadModule(const std::string& path, std::string* error) {
  return modules_->Load(path, error);
}

bool Host::LoadBuiltinModule(const std::string& name, const ModuleEntries& entries,
                             std::string* error) {
  return modules_->LoadBuiltin(name, entries, error);
}

std::vector<std::string> Host::ModuleNames() const {
  std::vector<std::string> names;
  for (const LoadedModule& module : modules_->modules())
    names.push_back(module.short_name);
  return names;
}

// ---- Contacts ----

HANDLE Host::AddContact(std::string_view name, std::string_view protocol,
                        std::string_view address) {
  HANDLE contact = db_->AddContact(name, protocol, address);
  if (contact == nullptr) return nullptr;
  contacts_[contact] = Contact{std::string(name), std::string(protocol)};
  contact_order_.push_back(contact);
  if (xmpp_ != nullptr && !address.empty()) xmpp_->Subscribe(contact);
  return contact;
}

std::string Host::AddressOf(HANDLE contact) const {
  return db_->AddressOf(contact);
}

HANDLE Host::ContactByAddress(std::string_view address) const {
  return db_->ContactByAddress(address);
}

bool Host::RenameContact(HANDLE contact, std::string_view name) {
  auto it = contacts_.find(contact);
  if (it == contacts_.end() || !db_->RenameContact(contact, name)) return false;
  it->second.name = std::string(name);
  return true;
}

bool Host::SetUserName(std::string_view name) {
  if (!db_->SetSetting(kUserNameKey, name)) return false;
  user_name_ = std::string(name);
  return true;
}

const char* Host::DisplayName(HANDLE contact) const {
  if (contact == nullptr) return user_name_.c_str();
  auto it = contacts_.find(contact);
  return it == contacts_.end() ? kUnknownContactName : it->second.name.c_str();
}

std::optional<std::string> Host::ProtocolOf(HANDLE contact) const {
  auto it = contacts_.find(contact);
  if (it == contacts_.end()) return std::nullopt;
  return it->second.protocol;
}

std::vector<HANDLE> Host::Contacts() const {
  return contact_order_;
}

std::string Host::StatusOf(HANDLE contact) const {
  const auto it = statuses_.find(contact);
  return it == statuses_.end() ? std::string() : it->second;
}

HANDLE Host::FindContact(std::string_view name) const {
  for (HANDLE contact : contact_order_) {
    if (contacts_.at(contact).name == name) return contact;
  }
  return nullptr;
}

// ---- Contact menu ----

std::vector<MenuItem> Host::MenuItemsFor(HANDLE contact) const {
  auto it = contacts_.find(contact);
  if (it == contacts_.end()) return {};
  return menu_.ItemsFor(it->second.protocol);
}

bool Host::InvokeMenuItem(HANDLE contact, HANDLE item) {
  const MenuItem* found = menu_.Find(item);
  if (found == nullptr) return false;
  std::optional<std::string> protocol = ProtocolOf(contact);
  if (!protocol || (found->owner && *found->owner != *protocol)) return false;
  // Copied: the service may add menu items, which moves the stored ones.
  const std::string service = found->service;
  if (!services_.Exists(service)) return false;
  services_.Call(service, reinterpret_cast<WPARAM>(contact), 0);
  return true;
}

// ---- Events ----

HANDLE Host::AddEvent(EventRecord event) {
  if (event.contact != nullptr && contacts_.count(event.contact) == 0) return nullptr;
  HANDLE handle = db_->AddEvent(event);
  if (handle == nullptr) return nullptr;
  services_.Notify(event_added_, reinterpret_cast<WPARAM>(event.contact),
                   reinterpret_cast<LPARAM>(handle));
  return handle;
}

std::optional<EventRecord> Host::Event(HANDLE event) const {
  return db_->Event(event);
}

std::vector<EventRecord> Host::EventsOf(HANDLE contact, ReadFilter filter) const {
  return db_->EventsOf(contact, filter);
}

std::optional<uint32_t> Host::MarkRead(HANDLE contact, HANDLE event) {
  std::optional<EventRecord> stored = db_->Event(event);
  if (!stored || stored->contact != contact) return std::nullopt;
  return db_->AddFlags(event, DBEF_READ);
}

char* Host::InternModuleName(const std::string& name) {
  auto it = module_names_.insert(name).first;
  // Handed out as DBEVENTINFO.szModule, which readers treat as read-only.
  return const_cast<char*>(it->c_str());
}

// ---- Protocol "ICQ" ----

void Host::SetTransport(std::unique_ptr<Transport> transport) {
  xmpp_ = nullptr;
  icq_->SetTransport(std::move(transport));
}

// ---- XMPP account and link ----

bool Host::SetAccount(const XmppAccount& account) {
  return db_->SetSetting(kAddressKey, account.address) &&
         db_->SetSetting(kServerKey, account.server) &&
         db_->SetSetting(kPortKey, std::to_string(account.port)) &&
         db_->SetSetting(kPasswordKey, account.password) &&
         db_->SetSetting(kRequireTlsKey, account.require_tls ? "1" : "0") &&
         db_->SetSetting(kCaFileKey, account.ca_file) &&
         db_->SetSetting(kTrustedCertificateKey, account.trusted_certificate);
}

bool Host::TrustCertificate(const std::string& fingerprint) {
  const std::string normal = NormalizeFingerprint(fingerprint);
  if (normal.empty() || !db_->SetSetting(kTrustedCertificateKey, normal)) return false;
  if (xmpp_ != nullptr) xmpp_->TrustCertificate(normal);
  return true;
}

std::optional<XmppAccount> Host::Account() const {
  std::optional<std::string> address = db_->Setting(kAddressKey);
  if (!address || address->empty()) return std::nullopt;
  XmppAccount account;
  account.address = *address;
  account.server = db_->Setting(kServerKey).value_or("");
  const std::string port = db_->Setting(kPortKey).value_or("0");
  const unsigned long number = std::strtoul(port.c_str(), nullptr, 10);
  account.port = number <= 65535 ? static_cast<uint16_t>(number) : 0;
  account.password = db_->Setting(kPasswordKey).value_or("");
  account.require_tls = db_->Setting(kRequireTlsKey).value_or("1") != "0";
  account.ca_file = db_->Setting(kCaFileKey).value_or("");
  account.trusted_certificate = db_->Setting(kTrustedCertificateKey).value_or("");
  return account;
}

bool Host::ConnectXmpp(std::string* error, std::function<void()> changed) {
  std::optional<XmppAccount> account = Account();
  if (!account) {
    *error = "the profile has no XMPP account";
    return false;
  }
  if (BareAddress(account->address).empty()) {
    *error = "the profile's XMPP address '" + account->address + "' is not user@domain";
    return false;
  }
  LinkHooks hooks;
  hooks.event_added = [this](HANDLE contact, HANDLE event) {
    services_.Notify(event_added_, reinterpret_cast<WPARAM>(contact),
                     reinterpret_cast<LPARAM>(event));
  };
  hooks.messages_lost = [this](HANDLE contact, bool sent) {
    services_.Notify(messages_lost_, reinterpret_cast<WPARAM>(contact), sent ? DBEF_SENT : 0);
  };
  hooks.peer_version = [this](HANDLE contact, bool other) {
    services_.Notify(peer_game_, reinterpret_cast<WPARAM>(contact),
                     other ? PEERGAME_OTHERVERSION : PEERGAME_SAMEVERSION);
  };
  hooks.changed = std::move(changed);
  hooks.add_contact = [this](const std::string& name, const std::string& address) {
    return AddContact(name, kIcqProtocol, address);
  };
  hooks.clock = clock_;
  auto link = std::make_unique<XmppLink>(*db_, queue_, std::move(*account), std::move(hooks));
  XmppLink* raw = link.get();
  SetTransport(std::move(link));
  xmpp_ = raw;
  xmpp_->Start();
  return true;
}

LinkState Host::ConnectionState() const {
  return xmpp_ != nullptr ? xmpp_->state() : LinkState::kOffline;
}

bool Host::IsOnline(HANDLE contact) const {
  return xmpp_ != nullptr && xmpp_->IsOnline(contact);
}

std::vector<ConnectionLogEntry> Host::ConnectionLog() const {
  return db_->ConnectionLog();
}

// ---- Contact requests ----

std::vector<ContactRequest> Host::ContactRequests() const {
  return db_->Requests();
}

HANDLE Host::AcceptRequest(std::string_view address, std::string_view name) {
  const std::string bare = BareAddress(address);
  if (bare.empty()) return nullptr;
  HANDLE contact = db_->ContactByAddress(bare);
  if (contact == nullptr) contact = AddContact(name, kIcqProtocol, bare);
  if (contact != nullptr) db_->RemoveRequest(bare);
  return contact;
}

bool Host::IgnoreRequest(std::string_view address) {
  return db_->RemoveRequest(BareAddress(address));
}

bool Host::DeclineRequest(std::string_view address) {
  const std::string bare = BareAddress(address);
  bool subscription = false;
  for (const ContactRequest& request : db_->Requests())
    subscription = subscription || (request.address == bare && request.subscription);
  if (!db_->RemoveRequest(bare)) return false;
  if (subscription && xmpp_ != nullptr) xmpp_->Refuse(bare);
  return true;
}

MessageSink& Host::IncomingSink() {
  return *icq_;
}

}  // namespace tessaro::host
