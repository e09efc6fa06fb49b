// The services the host itself provides to modules. Each one checks what a module
// passes in before it uses it: a NULL record, a wrong cbSize or an unknown handle
// gets the documented failure value and changes nothing.
#include <algorithm>
#include <cstring>
#include <string>

#include "host/host.h"
#include "host/icq_protocol.h"

namespace tessaro::host {

namespace {

HANDLE AsHandle(UINT_PTR value) {
  return reinterpret_cast<HANDLE>(value);
}
HANDLE AsHandle(INT_PTR value) {
  return reinterpret_cast<HANDLE>(value);
}

// The failure value of services that answer 0 on success.
constexpr INT_PTR kRefused = 1;

}  // namespace

void Host::RegisterCoreServices() {
  event_added_ = services_.CreateEvent(ME_DB_EVENT_ADDED);
  messages_lost_ = services_.CreateEvent(ME_PROTO_MESSAGESLOST);
  peer_game_ = services_.CreateEvent(ME_PROTO_PEERGAME);
  const struct {
    const char* name;
    INT_PTR (Host::*method)(WPARAM, LPARAM);
  } services[] = {
      {MS_DB_EVENT_GET, &Host::ServiceEventGet},
      {MS_DB_EVENT_GETBLOBSIZE, &Host::ServiceEventGetBlobSize},
      {MS_DB_EVENT_MARKREAD, &Host::ServiceEventMarkRead},
      {MS_DB_EVENT_ADD, &Host::ServiceEventAdd},
      {MS_DB_CONTACT_WRITESETTING, &Host::ServiceWriteSetting},
      {MS_DB_CONTACT_GETSETTING, &Host::ServiceGetSetting},
      {MS_DB_CONTACT_DELETESETTING, &Host::ServiceDeleteSetting},
      {MS_CLIST_GETCONTACTDISPLAYNAME, &Host::ServiceGetDisplayName},
      {MS_CLIST_ADDCONTACTMENUITEM, &Host::ServiceAddContactMenuItem},
      {MS_CLIST_SETCONTACTSTATUS, &Host::ServiceSetContactStatus},
      {MS_PROTO_CALLCONTACTSERVICE, &Host::ServiceCallContactService},
  };
  for (const auto& service : services) {
    services_.CreateService(service.name, [this, method = service.method](WPARAM w, LPARAM l) {
      return (this->*method)(w, l);
    });
  }
  services_.CreateService(std::string(kIcqProtocol) + PSS_MESSAGE,
                          [this](WPARAM w, LPARAM l) { return icq_->SendMessage(w, l); });
}

// ---- Event database ----

INT_PTR Host::ServiceEventGet(WPARAM wParam, LPARAM lParam) {
  auto* info = reinterpret_cast<DBEVENTINFO*>(lParam);
  if (info == nullptr || info->cbSize != static_cast<int>(sizeof(DBEVENTINFO))) return kRefused;
  if (info->pBlob == nullptr && info->cbBlob != 0) return kRefused;
  std::optional<EventRecord> event = db_->Event(AsHandle(wParam));
  if (!event) return kRefused;
  info->szModule = InternModuleName(event->module);
  info->timestamp = event->timestamp;
  info->flags = event->flags;
  info->eventType = event->type;
  // Never past the caller's buffer; cbBlob tells how much of the blob is there.
  const std::size_t copied = std::min<std::size_t>(info->cbBlob, event->blob.size());
  if (copied != 0) std::memcpy(info->pBlob, event->blob.data(), copied);
  info->cbBlob = static_cast<DWORD>(copied);
  return 0;
}

INT_PTR Host::ServiceEventGetBlobSize(WPARAM wParam, LPARAM) {
  std::optional<uint32_t> size = db_->BlobSize(AsHandle(wParam));
  return size ? static_cast<INT_PTR>(*size) : -1;
}

INT_PTR Host::ServiceEventMarkRead(WPARAM wParam, LPARAM lParam) {
  std::optional<uint32_t> flags = MarkRead(AsHandle(wParam), AsHandle(lParam));
  return flags ? static_cast<INT_PTR>(*flags) : -1;
}

INT_PTR Host::ServiceEventAdd(WPARAM wParam, LPARAM lParam) {
  const auto* info = reinterpret_cast<const DBEVENTINFO*>(lParam);
  if (info == nullptr || info->cbSize != static_cast<int>(sizeof(DBEVENTINFO))) return 0;
  if (info->szModule == nullptr || (info->pBlob == nullptr && info->cbBlob != 0)) return 0;
  EventRecord event;
  event.contact = AsHandle(wParam);
  event.module = info->szModule;
  event.timestamp = info->timestamp;
  event.flags = info->flags;
  event.type = info->eventType;
  if (info->cbBlob != 0)
    event.blob.assign(reinterpret_cast<const char*>(info->pBlob), info->cbBlob);
  return reinterpret_cast<INT_PTR>(AddEvent(std::move(event)));
}

// ---- Settings of a module for a contact ----

namespace {

// The record with both names, or null when it is refused.
const DBCONTACTSETTING* SettingRecord(LPARAM lParam) {
  const auto* setting = reinterpret_cast<const DBCONTACTSETTING*>(lParam);
  if (setting == nullptr || setting->szModule == nullptr || setting->szSetting == nullptr)
    return nullptr;
  return setting;
}

}  // namespace

INT_PTR Host::ServiceWriteSetting(WPARAM wParam, LPARAM lParam) {
  const DBCONTACTSETTING* setting = SettingRecord(lParam);
  if (setting == nullptr || (setting->pValue == nullptr && setting->cbValue != 0)) return kRefused;
  const HANDLE contact = AsHandle(wParam);
  if (contact != nullptr && !contacts_.contains(contact)) return kRefused;
  const std::string_view value(reinterpret_cast<const char*>(setting->pValue), setting->cbValue);
  return db_->SetContactSetting(contact, setting->szModule, setting->szSetting, value) ? 0
                                                                                       : kRefused;
}

INT_PTR Host::ServiceGetSetting(WPARAM wParam, LPARAM lParam) {
  auto* setting = reinterpret_cast<DBCONTACTSETTING*>(lParam);
  if (SettingRecord(lParam) == nullptr || (setting->pValue == nullptr && setting->cbValue != 0))
    return -1;
  std::optional<std::string> value =
      db_->ContactSetting(AsHandle(wParam), setting->szModule, setting->szSetting);
  if (!value) return -1;
  // Never past the caller's buffer; cbValue tells how much of the value is there.
  const std::size_t copied = std::min<std::size_t>(setting->cbValue, value->size());
  if (copied != 0) std::memcpy(setting->pValue, value->data(), copied);
  setting->cbValue = static_cast<DWORD>(copied);
  return static_cast<INT_PTR>(value->size());
}

INT_PTR Host::ServiceDeleteSetting(WPARAM wParam, LPARAM lParam) {
  const DBCONTACTSETTING* setting = SettingRecord(lParam);
  if (setting == nullptr) return kRefused;
  return db_->DeleteContactSetting(AsHandle(wParam), setting->szModule, setting->szSetting)
             ? 0
             : kRefused;
}

// ---- Contact list ----

INT_PTR Host::ServiceGetDisplayName(WPARAM wParam, LPARAM) {
  return reinterpret_cast<INT_PTR>(DisplayName(AsHandle(wParam)));
}

INT_PTR Host::ServiceAddContactMenuItem(WPARAM, LPARAM lParam) {
  return reinterpret_cast<INT_PTR>(menu_.Add(reinterpret_cast<const CLISTMENUITEM*>(lParam)));
}

INT_PTR Host::ServiceSetContactStatus(WPARAM wParam, LPARAM lParam) {
  const HANDLE contact = AsHandle(wParam);
  if (!contacts_.contains(contact)) return kRefused;
  const char* text = reinterpret_cast<const char*>(lParam);
  // Bounded: a module's missing terminator must not make the host read on forever.
  std::string status = text ? std::string(text, strnlen(text, MAX_CONTACTSTATUS)) : std::string();
  // A UTF-8 sequence cut in the middle is dropped whole.
  if (status.size() == MAX_CONTACTSTATUS) {
    size_t end = status.size();
    size_t lead = end;
    while (lead > 0 && (static_cast<unsigned char>(status[lead - 1]) & 0xC0) == 0x80)
      --lead;
    if (lead > 0) {
      const auto first = static_cast<unsigned char>(status[lead - 1]);
      const size_t need = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
      if (end - (lead - 1) < need) status.resize(lead - 1);
    }
  }
  if (StatusOf(contact) == status) return 0;
  if (status.empty()) {
    statuses_.erase(contact);
  } else {
    statuses_[contact] = std::move(status);
  }
  if (status_changed_) status_changed_();
  return 0;
}

// ---- Protocols ----

INT_PTR Host::ServiceCallContactService(WPARAM, LPARAM lParam) {
  const auto* ccs = reinterpret_cast<const CCSDATA*>(lParam);
  if (ccs == nullptr || ccs->szProtoService == nullptr) return CALLSERVICE_NOTFOUND;
  std::optional<std::string> protocol = ProtocolOf(ccs->hContact);
  if (!protocol) return CALLSERVICE_NOTFOUND;
  // The protocol's service reads the contact and its own arguments from the record.
  return services_.Call(*protocol + ccs->szProtoService, 0, lParam);
}

}  // namespace tessaro::host
