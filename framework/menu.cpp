#include "framework/menu.h"

#include "framework/resources.h"

CMenu::~CMenu() = default;

BOOL CMenu::CreateMenu() {
  if (created_) return FALSE;
  created_ = true;
  return TRUE;
}

BOOL CMenu::CreatePopupMenu() {
  return CreateMenu();
}

BOOL CMenu::DestroyMenu() {
  if (!created_) return FALSE;
  items_.clear();
  created_ = false;
  return TRUE;
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, const char* lpszNewItem) {
  if (!created_ || (nFlags & MF_POPUP) || nIDNewItem > 0xFFFF) return FALSE;
  Item item;
  item.flags = nFlags;
  if (!(nFlags & MF_SEPARATOR)) {
    item.id = static_cast<UINT>(nIDNewItem);
    item.text = lpszNewItem ? lpszNewItem : "";
  }
  items_.push_back(std::move(item));
  return TRUE;
}

UINT CMenu::GetMenuItemCount() const {
  return static_cast<UINT>(items_.size());
}

UINT CMenu::GetMenuItemID(int nPos) const {
  if (nPos < 0 || static_cast<size_t>(nPos) >= items_.size()) return 0xFFFFFFFFu;
  const Item& item = items_[static_cast<size_t>(nPos)];
  return (item.flags & MF_POPUP) ? 0xFFFFFFFFu : item.id;
}

const CMenu::Item* CMenu::FindCommand(UINT id) const {
  for (const Item& item : items_) {
    if (item.popup) {
      if (const Item* inner = item.popup->FindCommand(id)) return inner;
    } else if (!(item.flags & MF_SEPARATOR) && item.id == id) {
      return &item;
    }
  }
  return nullptr;
}

CMenu::Item* CMenu::Locate(UINT nItem, UINT nFlags) {
  if (nFlags & MF_BYPOSITION) return nItem < items_.size() ? &items_[nItem] : nullptr;
  return const_cast<Item*>(FindCommand(nItem));
}

const CMenu::Item* CMenu::Locate(UINT nItem, UINT nFlags) const {
  if (nFlags & MF_BYPOSITION) return nItem < items_.size() ? &items_[nItem] : nullptr;
  return FindCommand(nItem);
}

UINT CMenu::GetMenuState(UINT nID, UINT nFlags) const {
  const Item* item = Locate(nID, nFlags);
  return item ? item->flags : 0xFFFFFFFFu;
}

int CMenu::GetMenuString(UINT nIDItem, std::string& text, UINT nFlags) const {
  const Item* item = Locate(nIDItem, nFlags);
  text = item ? item->text : std::string();
  return static_cast<int>(text.size());
}

CMenu* CMenu::GetSubMenu(int nPos) const {
  if (nPos < 0 || static_cast<size_t>(nPos) >= items_.size()) return nullptr;
  return items_[static_cast<size_t>(nPos)].popup.get();
}

UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable) {
  Item* item = Locate(nIDEnableItem, nEnable);
  if (!item) return 0xFFFFFFFFu;
  const UINT previous = item->flags & (MF_GRAYED | MF_DISABLED);
  item->flags = (item->flags & ~(MF_GRAYED | MF_DISABLED)) | (nEnable & (MF_GRAYED | MF_DISABLED));
  return previous;
}

UINT CMenu::CheckMenuItem(UINT nIDCheckItem, UINT nCheck) {
  Item* item = Locate(nIDCheckItem, nCheck);
  if (!item) return 0xFFFFFFFFu;
  const UINT previous = item->flags & MF_CHECKED;
  item->flags = (item->flags & ~MF_CHECKED) | (nCheck & MF_CHECKED);
  return previous;
}

BOOL CMenu::DeleteMenu(UINT nPosition, UINT nFlags) {
  if (nFlags & MF_BYPOSITION) {
    if (nPosition >= items_.size()) return FALSE;
    items_.erase(items_.begin() + nPosition);
    return TRUE;
  }
  for (size_t i = 0; i < items_.size(); ++i) {
    Item& item = items_[i];
    if (!item.popup && !(item.flags & MF_SEPARATOR) && item.id == nPosition) {
      items_.erase(items_.begin() + static_cast<ptrdiff_t>(i));
      return TRUE;
    }
    if (item.popup && item.popup->DeleteMenu(nPosition, nFlags)) return TRUE;
  }
  return FALSE;
}

void CMenu::AddTemplateItems(const std::vector<tessaro::MenuItemTemplate>& items) {
  for (const tessaro::MenuItemTemplate& t : items) {
    Item item;
    item.flags = t.flags;
    item.id = t.id;
    item.text = t.text;
    if (t.flags & MF_POPUP) {
      item.popup = std::make_unique<CMenu>();
      item.popup->CreatePopupMenu();
      item.popup->AddTemplateItems(t.items);
    }
    items_.push_back(std::move(item));
  }
}

std::unique_ptr<CMenu> CMenu::FromTemplate(const tessaro::MenuTemplate& t) {
  auto menu = std::make_unique<CMenu>();
  menu->CreateMenu();
  menu->AddTemplateItems(t.items);
  return menu;
}

std::unique_ptr<CMenu> CMenu::StandardSystemMenu(DWORD windowStyle) {
  auto menu = std::make_unique<CMenu>();
  menu->CreatePopupMenu();
  auto grayedUnless = [](bool on) { return on ? MF_STRING : MF_STRING | MF_GRAYED; };
  menu->AppendMenu(MF_STRING | MF_GRAYED, SC_RESTORE, "&Restore");
  menu->AppendMenu(MF_STRING, SC_MOVE, "&Move");
  menu->AppendMenu(grayedUnless(windowStyle & WS_THICKFRAME), SC_SIZE, "&Size");
  menu->AppendMenu(grayedUnless(windowStyle & WS_MINIMIZEBOX), SC_MINIMIZE, "Mi&nimize");
  menu->AppendMenu(grayedUnless(windowStyle & WS_MAXIMIZEBOX), SC_MAXIMIZE, "Ma&ximize");
  menu->AppendMenu(MF_SEPARATOR);
  menu->AppendMenu(MF_STRING, SC_CLOSE, "&Close");
  return menu;
}
