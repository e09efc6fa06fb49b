// A one-line question box (template 131): the prompt is its title and the
// line above its edit control; the answer is exchanged with the edit control.
// OK stores the edit's text in the answer; Cancel leaves the answer as it was.
#pragma once

#include <string>

#include "framework/afx.h"

namespace tessaro {

class InputBox : public CDialog {
 public:
  explicit InputBox(std::string promptText);

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;

  std::string answer;
  std::string prompt;
};

}  // namespace tessaro
