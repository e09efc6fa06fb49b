#include "plugin/plugin_app.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "plugin/host_calls.h"
#include "resources/embedded.h"

namespace tessaro {

namespace {

PluginApp* currentApp = nullptr;

inline constexpr const char* kGamePrefix = "#RQ";
inline constexpr const char* kGameProtocol = "ICQ";
inline constexpr size_t kEventBufferSize = 16384;
// No game command comes near this: the longest, a chat line, travels in
// frames of about 8 KiB. A longer message is dropped rather than held.
inline constexpr size_t kMaxMessageBytes = size_t{1} << 20;

char kShortName[] = "Tessaro plugin";
char kDescription[] = "Allows to play renju with a person from your contact list";
char kAuthor[] = "The Tessaro developers";
char kAuthorEmail[] = "";
char kCopyright[] = "Copyright the Tessaro developers";
char kHomepage[] = "";

PLUGININFO pluginInfo = {
    sizeof(PLUGININFO),
    kShortName,
    PLUGIN_MAKE_VERSION(1, 0, 0, 0),
    kDescription,
    kAuthor,
    kAuthorEmail,
    kCopyright,
    kHomepage,
    0,
    0,
};

}  // namespace

PluginApp::PluginApp() : CWinApp("Tessaro") {
  currentApp = this;
  std::string error;
  resourcesLoaded_ = ResourceModule::Parse(
      PluginResourceScript(),
      [](std::string_view path) -> std::optional<std::vector<uint8_t>> {
        const auto file = PluginResourceFile(path);
        if (!file) return std::nullopt;
        return std::vector<uint8_t>(file->begin(), file->end());
      },
      resources_, error);
}

PluginApp::~PluginApp() {
  // Every game window goes with the module, in registry order.
  for (auto& window : registry_)
    window.reset();
  registry_.clear();
  if (resourcesInstalled_) {
    if (Platform* platform = Platform::Current();
        platform != nullptr && platform->GetResourceModule() == &resources_) {
      platform->SetResourceModule(previousResources_);
    }
  }
  if (currentApp == this) currentApp = nullptr;
}

PluginApp* PluginApp::Current() {
  return currentApp;
}

// ---- Entry points ----

PLUGININFO* PluginApp::PluginInfo() {
  return &pluginInfo;
}

int PluginApp::Load(PLUGINLINK* link) {
  if (!AfxInitRichEdit()) {
    AfxMessageBox("AfxInitRichEdit failed", MB_OK);
    return 0;
  }
  if (Platform* platform = Platform::Current(); platform != nullptr && resourcesLoaded_) {
    previousResources_ = platform->SetResourceModule(&resources_);
    resourcesInstalled_ = true;
  }
  pluginLink = link;
  if (link == nullptr) return 0;
  link->HookEvent(ME_DB_EVENT_ADDED, &tessaro::OnEventAdded);
  link->HookEvent(ME_PROTO_MESSAGESLOST, &tessaro::OnMessagesLost);
  link->HookEvent(ME_PROTO_PEERGAME, &tessaro::OnPeerGame);
  link->CreateServiceFunction(MS_SRMSG_INVOKE, &tessaro::OnMenuInvoke);

  static char menuText[] = "&Tessaro";
  static char menuService[] = MS_SRMSG_INVOKE;
  static char menuProtocol[] = "ICQ";
  CLISTMENUITEM item{};
  item.cbSize = sizeof(CLISTMENUITEM);
  item.pszName = menuText;
  item.flags = 0;
  item.position = -2000090000;
  item.hIcon = ::LoadIcon(kPluginIconId);
  item.pszService = menuService;
  item.pszPopupName = nullptr;
  item.pszContactOwner = menuProtocol;
  CallHostService(MS_CLIST_ADDCONTACTMENUITEM, 0, reinterpret_cast<LPARAM>(&item));
  return 0;
}

// The hook, the service and the menu item are left to the host; the windows
// stay until the module goes.
int PluginApp::Unload() {
  return 0;
}

// ---- Routing ----

int PluginApp::OnEventAdded(WPARAM hContact, LPARAM hDbEvent) {
  // The whole blob is read, so a long message is never cut inside a frame
  // (the cut frame would spoil the rest of the text and the next message).
  // Beyond kMaxMessageBytes a game message is dropped with a line in the log.
  const INT_PTR blobSize =
      CallHostService(MS_DB_EVENT_GETBLOBSIZE, static_cast<WPARAM>(hDbEvent), 0);
  const size_t wanted = blobSize > 0 ? static_cast<size_t>(blobSize) : 0;
  const size_t capacity = std::clamp<size_t>(wanted, kEventBufferSize, kMaxMessageBytes);
  std::vector<BYTE> blob(capacity);
  DBEVENTINFO event{};
  event.cbSize = sizeof(DBEVENTINFO);
  event.cbBlob = static_cast<DWORD>(capacity);
  event.pBlob = blob.data();
  // An event the host cannot return is not a game message.
  if (CallHostService(MS_DB_EVENT_GET, static_cast<WPARAM>(hDbEvent),
                      reinterpret_cast<LPARAM>(&event)) != 0) {
    return 0;
  }
  // The text runs to its first zero byte, and never past the buffer.
  const size_t filled = std::min<size_t>(event.cbBlob, capacity);
  const auto* bytes = reinterpret_cast<const char*>(blob.data());
  const std::string text(bytes, strnlen(bytes, filled));

  if (event.flags & DBEF_SENT) return 0;
  if (event.szModule == nullptr || std::strcmp(event.szModule, kGameProtocol) != 0) return 0;
  if (event.eventType != EVENTTYPE_MESSAGE) return 0;
  if (text.compare(0, 3, kGamePrefix) != 0) return 0;

  CallHostService(MS_DB_EVENT_MARKREAD, hContact, hDbEvent);
  if (wanted > kMaxMessageBytes && text.size() == filled) {
    // Cut at the buffer's end: none of it can be trusted to line up.
    FindOrCreateWindow(reinterpret_cast<HANDLE>(hContact))
        ->AppendLog("A game message of " + std::to_string(wanted) + " bytes was too long; dropped");
    return 0;
  }
  DeliverGameMessage(reinterpret_cast<HANDLE>(hContact), text);
  return 0;
}

int PluginApp::OnMessagesLost(WPARAM hContact, LPARAM flags) {
  FindOrCreateWindow(reinterpret_cast<HANDLE>(hContact))->MessagesLost((flags & DBEF_SENT) != 0);
  return 0;
}

int PluginApp::OnPeerGame(WPARAM hContact, LPARAM version) {
  FindOrCreateWindow(reinterpret_cast<HANDLE>(hContact))
      ->PeerSpeaksOtherVersion(version == PEERGAME_OTHERVERSION);
  return 0;
}

void PluginApp::DeliverGameMessage(HANDLE hContact, const std::string& text) {
  GameWindow* window = FindOrCreateWindow(hContact);
  window->incomingText += text;
  window->link.QueueIncoming();
  // The message is marked read already: until it is applied, the kept game
  // holds it.
  window->KeepGame();
}

GameWindow* PluginApp::FindWindow(HANDLE hContact) const {
  for (const auto& window : registry_) {
    if (window->hContact == hContact) return window.get();
  }
  return nullptr;
}

GameWindow* PluginApp::FindOrCreateWindow(HANDLE hContact) {
  const std::string name = ContactDisplayName(hContact);
  if (GameWindow* found = FindWindow(hContact)) return found;

  m_pMainWnd = nullptr;
  auto created = std::make_unique<GameWindow>();
  GameWindow* window = created.get();
  window->game.peerName = name;
  window->game.myName = ContactDisplayName(nullptr);
  window->hContact = hContact;
  window->host = &hostCalls_;
  registry_.push_back(std::move(created));
  window->CreateModeless();
  if (window->m_hWnd != nullptr) window->PostMessage(WM_INITDIALOG, 0, 0);
  window->InitWindow();
  window->LoadViewOptions();
  window->RestoreKept();
  if (window->m_hWnd != nullptr) window->ShowWindow(SW_HIDE);
  return window;
}

void PluginApp::OpenGameWindow(HANDLE hContact) {
  GameWindow* window = FindOrCreateWindow(hContact);
  if (window->m_hWnd == nullptr) return;
  window->PostMessage(WM_INITDIALOG, 0, 0);
  window->ShowWindow(SW_SHOW);
}

// ---- Host callbacks ----

int OnEventAdded(WPARAM wParam, LPARAM lParam) {
  if (PluginApp* app = PluginApp::Current()) app->OnEventAdded(wParam, lParam);
  return 0;
}

int OnMessagesLost(WPARAM wParam, LPARAM lParam) {
  if (PluginApp* app = PluginApp::Current()) app->OnMessagesLost(wParam, lParam);
  return 0;
}

int OnPeerGame(WPARAM wParam, LPARAM lParam) {
  if (PluginApp* app = PluginApp::Current()) app->OnPeerGame(wParam, lParam);
  return 0;
}

INT_PTR OnMenuInvoke(WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  if (PluginApp* app = PluginApp::Current()) app->OpenGameWindow(reinterpret_cast<HANDLE>(wParam));
  return 0;
}

}  // namespace tessaro
