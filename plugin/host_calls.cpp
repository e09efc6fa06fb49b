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

namespace {

constexpr char kModuleName[] = "Tessaro";

DBCONTACTSETTING Setting(const char* name) {
  DBCONTACTSETTING setting{};
  setting.szModule = kModuleName;
  setting.szSetting = name;
  return setting;
}

}  // namespace

bool WriteKept(HANDLE hContact, const char* name, std::string_view bytes) {
  if (pluginLink == nullptr) return false;
  DBCONTACTSETTING setting = Setting(name);
  setting.cbValue = static_cast<DWORD>(bytes.size());
  setting.pValue = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
  return CallHostService(MS_DB_CONTACT_WRITESETTING, reinterpret_cast<WPARAM>(hContact),
                         reinterpret_cast<LPARAM>(&setting)) == 0;
}

std::optional<std::string> ReadKept(HANDLE hContact, const char* name) {
  if (pluginLink == nullptr) return std::nullopt;
  std::string value(256, '\0');
  // Twice at most: the first call tells the size when the guess was short. A
  // value that grew in between is read again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    DBCONTACTSETTING setting = Setting(name);
    setting.cbValue = static_cast<DWORD>(value.size());
    setting.pValue = reinterpret_cast<BYTE*>(value.data());
    const INT_PTR size =
        CallHostService(MS_DB_CONTACT_GETSETTING, reinterpret_cast<WPARAM>(hContact),
                        reinterpret_cast<LPARAM>(&setting));
    if (size < 0 || size == CALLSERVICE_NOTFOUND) return std::nullopt;
    if (static_cast<size_t>(size) <= value.size()) {
      value.resize(static_cast<size_t>(size));
      return value;
    }
    value.resize(static_cast<size_t>(size));
  }
  return std::nullopt;
}

void HostCalls::SetContactStatus(HANDLE contact, const std::string& status) {
  CallHostService(MS_CLIST_SETCONTACTSTATUS, reinterpret_cast<WPARAM>(contact),
                  reinterpret_cast<LPARAM>(status.c_str()));
}

void DeleteKept(HANDLE hContact, const char* name) {
  DBCONTACTSETTING setting = Setting(name);
  CallHostService(MS_DB_CONTACT_DELETESETTING, reinterpret_cast<WPARAM>(hContact),
                  reinterpret_cast<LPARAM>(&setting));
}

}  // namespace tessaro
