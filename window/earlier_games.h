// The Earlier Games box (template 135): the games kept for the contact, one a
// line with its number, and the number of the one to open on the what-if
// board or to save as a game library. DoModal returns IDOK for Open,
// kSaveEarlierButton for Save as .lib and IDCANCEL for Close; `chosen` then
// holds the number as typed.
#pragma once

#include <string>

#include "framework/afx.h"

namespace tessaro {

inline constexpr int kEarlierList = 1001;
inline constexpr int kEarlierNumber = 1002;
inline constexpr int kSaveEarlierButton = 1003;

class EarlierGamesBox : public CDialog {
 public:
  EarlierGamesBox(std::string listText, CWnd* parent);

  void DoDataExchange(CDataExchange* pDX) override;
  void OnSave();

  const AFX_MSGMAP* GetMessageMap() const override;
  static const AFX_MSGMAP* GetThisMessageMap();

  std::string list;
  std::string chosen = "1";
};

}  // namespace tessaro
