// CMenu: a menu bar, a pop-up menu or a window's system menu. Menus made from a
// template and system menus belong to their window; a CMenu made with
// CreateMenu/CreatePopupMenu belongs to its object.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/win_const.h"
#include "framework/win_types.h"

namespace tessaro {
struct MenuTemplate;
struct MenuItemTemplate;
}  // namespace tessaro

class CMenu {
 public:
  struct Item {
    UINT flags = MF_STRING;  // MF_SEPARATOR, MF_POPUP, MF_GRAYED, MF_MENUBARBREAK, ...
    UINT id = 0;
    std::string text;
    std::unique_ptr<CMenu> popup;  // for MF_POPUP
  };

  CMenu() = default;
  ~CMenu();
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  BOOL CreateMenu();
  BOOL CreatePopupMenu();
  BOOL DestroyMenu();
  bool IsCreated() const { return created_; }

  // Appends an item: MF_STRING with a command id and text, or MF_SEPARATOR.
  // Pop-ups come only from templates; MF_POPUP is refused.
  BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const char* lpszNewItem = nullptr);
  UINT GetMenuItemCount() const;
  // The command id at a position; 0xFFFFFFFF for a pop-up or a bad position.
  UINT GetMenuItemID(int nPos) const;
  // The flags of an item (MF_BYCOMMAND searches pop-ups too); 0xFFFFFFFF if absent.
  UINT GetMenuState(UINT nID, UINT nFlags) const;
  int GetMenuString(UINT nIDItem, std::string& text, UINT nFlags) const;
  CMenu* GetSubMenu(int nPos) const;
  // Sets MF_GRAYED / MF_DISABLED of an item; returns its previous state or
  // 0xFFFFFFFF when absent.
  UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable);
  // Sets or clears MF_CHECKED of an item, which shows it ticked; returns its
  // previous state (MF_CHECKED or 0) or 0xFFFFFFFF when absent.
  UINT CheckMenuItem(UINT nIDCheckItem, UINT nCheck);
  BOOL DeleteMenu(UINT nPosition, UINT nFlags);

  // The items in order.
  const std::vector<Item>& Items() const { return items_; }
  // The item with command id `id` here or in a pop-up, or null.
  const Item* FindCommand(UINT id) const;

  // Framework use: builds a menu from a template; the standard system menu.
  static std::unique_ptr<CMenu> FromTemplate(const tessaro::MenuTemplate& t);
  static std::unique_ptr<CMenu> StandardSystemMenu(DWORD windowStyle);

 private:
  Item* Locate(UINT nItem, UINT nFlags);
  const Item* Locate(UINT nItem, UINT nFlags) const;
  void AddTemplateItems(const std::vector<tessaro::MenuItemTemplate>& items);

  bool created_ = false;
  std::vector<Item> items_;
};
