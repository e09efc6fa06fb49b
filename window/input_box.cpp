#include "window/input_box.h"

#include <utility>

#include "window/game_window.h"

namespace tessaro {

namespace {
inline constexpr int kAnswerEdit = 1001;
inline constexpr int kPromptText = 1002;
}  // namespace

InputBox::InputBox(std::string promptText)
    : CDialog(kInputBoxDialogId, nullptr), prompt(std::move(promptText)) {}

BOOL InputBox::OnInitDialog() {
  const BOOL result = CDialog::OnInitDialog();
  SetWindowText(prompt);
  SetDlgItemText(kPromptText, prompt);
  return result;
}

void InputBox::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Text(pDX, kAnswerEdit, answer);
}

}  // namespace tessaro
