// The plug-in's application object: it owns the game registry (every game
// window of the run) and the module's resources, and routes what the host
// reports to the windows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/afx.h"
#include "framework/resources.h"
#include "plugin/host_calls.h"
#include "sdk/plugin_api.h"
#include "window/game_window.h"

namespace tessaro {

class PluginApp : public CWinApp {
 public:
  PluginApp();
  ~PluginApp() override;

  // The one application object of the module, or null before it is made.
  static PluginApp* Current();

  // ---- Entry points (the module's exports call these) ----

  PLUGININFO* PluginInfo();
  int Load(PLUGINLINK* link);
  int Unload();

  // ---- Routing and registry ----

  // The contact's window, made, registered, set up and hidden on first use.
  GameWindow* FindOrCreateWindow(HANDLE hContact);
  // Queues one game message for the contact's window.
  void DeliverGameMessage(HANDLE hContact, const std::string& text);
  // Shows the contact's window (the contact-menu command).
  void OpenGameWindow(HANDLE hContact);
  // Hook of "DB/Event/Added": picks game messages out of what the host stores.
  int OnEventAdded(WPARAM hContact, LPARAM hDbEvent);
  // Hook of "Proto/MessagesLost": the contact's window brings the game back in step.
  int OnMessagesLost(WPARAM hContact, LPARAM flags);
  // Hook of "Proto/PeerGame": the contact's window says whether moves can be
  // exchanged with the contact's Tessaro.
  int OnPeerGame(WPARAM hContact, LPARAM version);

  const std::vector<std::unique_ptr<GameWindow>>& registry() const { return registry_; }
  // False when the module's resource script did not parse (a build fault).
  bool resourcesLoaded() const { return resourcesLoaded_; }

 private:
  GameWindow* FindWindow(HANDLE hContact) const;

  HostCalls hostCalls_;  // before the windows, which use it
  // Windows in creation order, found by contact handle: two contacts may share
  // a display name and must not share a window.
  std::vector<std::unique_ptr<GameWindow>> registry_;
  ResourceModule resources_;
  bool resourcesLoaded_ = false;
  const ResourceModule* previousResources_ = nullptr;
  bool resourcesInstalled_ = false;
};

// The functions Load registers with the host.
int OnEventAdded(WPARAM wParam, LPARAM lParam);
int OnMessagesLost(WPARAM wParam, LPARAM lParam);
int OnPeerGame(WPARAM wParam, LPARAM lParam);
INT_PTR OnMenuInvoke(WPARAM wParam, LPARAM lParam);

}  // namespace tessaro
