#include "plugin/host_calls.h"

namespace tessaro {

PLUGINLINK* pluginLink = nullptr;

INT_PTR CallHostService(const char* name, WPARAM wParam, LPARAM lParam) {
  if (pluginLink == nullptr || pluginLink->CallService == nullptr) return 0;
  return pluginLink->CallService(name, wParam, lParam);
}

std::string ContactDisplayName(HANDLE hContact) {
  const INT_PTR result =
      CallHostService(MS_CLIST_GETCONTACTDISPLAYNAME, reinterpret_cast<WPARAM>(hContact), 0);
  if (result == 0 || result == CALLSERVICE_NOTFOUND) return std::string();
  return std::string(reinterpret_cast<const char*>(result));
}

void SendMessageToContact(HANDLE hContact, const std::string& text) {
  CCSDATA ccs{};
  ccs.hContact = hContact;
  ccs.szProtoService = PSS_MESSAGE;
  ccs.wParam = 0;
  ccs.lParam = reinterpret_cast<LPARAM>(text.c_str());
  CallHostService(MS_PROTO_CALLCONTACTSERVICE, 0, reinterpret_cast<LPARAM>(&ccs));
}

}  // namespace tessaro
