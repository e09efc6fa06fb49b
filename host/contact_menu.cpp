#include "host/contact_menu.h"

#include <algorithm>

namespace tessaro::host {

HANDLE ContactMenu::Add(const CLISTMENUITEM* item) {
  if (item == nullptr || item->cbSize != static_cast<int>(sizeof(CLISTMENUITEM))) return nullptr;
  if (item->pszName == nullptr || item->pszService == nullptr) return nullptr;
  MenuItem copy;
  copy.handle = reinterpret_cast<HANDLE>(next_id_++);
  copy.name = item->pszName;
  copy.flags = item->flags;
  copy.position = item->position;
  copy.icon = item->hIcon;
  copy.service = item->pszService;
  if (item->pszPopupName != nullptr) copy.popup = item->pszPopupName;
  copy.popup_position = item->popupPosition;
  copy.hot_key = item->hotKey;
  if (item->pszContactOwner != nullptr) copy.owner = item->pszContactOwner;
  items_.push_back(std::move(copy));
  return items_.back().handle;
}

std::vector<MenuItem> ContactMenu::ItemsFor(std::string_view protocol) const {
  std::vector<MenuItem> offered;
  for (const MenuItem& item : items_) {
    if (!item.owner || *item.owner == protocol) offered.push_back(item);
  }
  std::stable_sort(offered.begin(), offered.end(),
                   [](const MenuItem& a, const MenuItem& b) { return a.position < b.position; });
  return offered;
}

const MenuItem* ContactMenu::Find(HANDLE item) const {
  for (const MenuItem& candidate : items_) {
    if (candidate.handle == item) return &candidate;
  }
  return nullptr;
}

}  // namespace tessaro::host
