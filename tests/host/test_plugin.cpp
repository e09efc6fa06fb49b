// A small plug-in module for the host's tests. It does what a real plug-in does at
// the boundary (hooks "DB/Event/Added", creates a service, adds an ICQ contact-menu
// item, reads events, marks game messages read, sends messages) and reports each
// step as one line of text to the service "HostTest/Record", which the test creates.
//
// Built in several variants from this file:
//   TEST_PLUGIN_OMIT_UNLOAD  does not export Unload
//   TEST_PLUGIN_BAD_SIZE     reports a PLUGININFO of the wrong size
//   TEST_PLUGIN_LOAD_FAILS   hooks an event, then fails its Load
#include <cstdio>
#include <string>

#include "sdk/plugin_api.h"

namespace {

constexpr char kRecordService[] = "HostTest/Record";
constexpr char kInvokeService[] = "TestPlugin/Invoke";

PLUGINLINK* host_link = nullptr;
DWORD host_version_seen = 0;

char short_name[] = "Host test plug-in";
char description[] = "Reports what the host shows it";
char empty[] = "";
#ifdef TEST_PLUGIN_BAD_SIZE
constexpr int kInfoSize = static_cast<int>(sizeof(PLUGININFO)) - 4;
#else
constexpr int kInfoSize = static_cast<int>(sizeof(PLUGININFO));
#endif
PLUGININFO info = {
    kInfoSize, short_name, PLUGIN_MAKE_VERSION(0, 1, 2, 3), description, empty, empty, empty, empty,
    0,         0};

void Record(const std::string& line) {
  if (host_link != nullptr)
    host_link->CallService(kRecordService, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

std::string NameOf(WPARAM contact) {
  return reinterpret_cast<const char*>(
      host_link->CallService(MS_CLIST_GETCONTACTDISPLAYNAME, contact, 0));
}

// Destroyed when the host closes the module; must find the host's services intact.
struct StaticProbe {
  ~StaticProbe() { Record("static destructor"); }
} probe;

int OnEventAdded(WPARAM contact, LPARAM event) {
  BYTE buffer[256];
  DBEVENTINFO dbei{};
  dbei.cbSize = sizeof(dbei);
  dbei.cbBlob = sizeof(buffer);
  dbei.pBlob = buffer;
  if (host_link->CallService(MS_DB_EVENT_GET, static_cast<WPARAM>(event),
                             reinterpret_cast<LPARAM>(&dbei)) != 0) {
    Record("added unreadable");
    return 0;
  }
  // The text runs to the first zero byte, but never past what the host copied.
  std::string text;
  for (DWORD i = 0; i < dbei.cbBlob && buffer[i] != 0; ++i)
    text.push_back(static_cast<char>(buffer[i]));
  Record("added " + NameOf(contact) + " flags=" + std::to_string(dbei.flags) +
         " module=" + dbei.szModule + " type=" + std::to_string(dbei.eventType) + " text=" + text);
  if ((dbei.flags & DBEF_SENT) == 0 && text.rfind("#RQ", 0) == 0) {
    INT_PTR flags = host_link->CallService(MS_DB_EVENT_MARKREAD, contact, event);
    Record("marked flags=" + std::to_string(flags));
  }
  return 0;
}

INT_PTR OnInvoke(WPARAM contact, LPARAM) {
  Record("invoke " + NameOf(contact));
  const std::string text = "ping to " + NameOf(contact);
  CCSDATA ccs{reinterpret_cast<HANDLE>(contact), PSS_MESSAGE, 0,
              reinterpret_cast<LPARAM>(text.c_str())};
  INT_PTR sent =
      host_link->CallService(MS_PROTO_CALLCONTACTSERVICE, 0, reinterpret_cast<LPARAM>(&ccs));
  Record("sent " + std::to_string(sent));
  return 0;
}

}  // namespace

extern "C" {

TESSARO_PLUGIN_EXPORT PLUGININFO* MirandaPluginInfo(DWORD mirandaVersion) {
  host_version_seen = mirandaVersion;
  return &info;
}

TESSARO_PLUGIN_EXPORT int Load(PLUGINLINK* pluginLink) {
  host_link = pluginLink;
  char version[16];
  std::snprintf(version, sizeof(version), "0x%08X", static_cast<unsigned>(host_version_seen));
  Record(std::string("load host=") + version);
  host_link->HookEvent(ME_DB_EVENT_ADDED, OnEventAdded);
#ifdef TEST_PLUGIN_LOAD_FAILS
  host_link->CreateServiceFunction(kInvokeService, OnInvoke);
  return 7;
#else
  host_link->CreateServiceFunction(kInvokeService, OnInvoke);
  char name[] = "&Test";
  char service[] = "TestPlugin/Invoke";
  char owner[] = "ICQ";
  CLISTMENUITEM item{};
  item.cbSize = sizeof(item);
  item.pszName = name;
  item.position = 500;
  item.pszService = service;
  item.pszContactOwner = owner;
  INT_PTR handle =
      host_link->CallService(MS_CLIST_ADDCONTACTMENUITEM, 0, reinterpret_cast<LPARAM>(&item));
  Record(handle != 0 ? "menu item added" : "menu item refused");
  return 0;
#endif
}

#ifndef TEST_PLUGIN_OMIT_UNLOAD
TESSARO_PLUGIN_EXPORT int Unload(void) {
  Record("unload");
  return 0;
}
#endif

}  // extern "C"
