#include "framework/modal_box.h"

#include "framework/platform.h"

namespace tessaro {

int ShowMessageBox(const std::string& text, const std::string& caption, UINT type, HWND owner) {
  Platform* p = Platform::Current();
  if (!p || !p->IsUiThread()) return 0;
  if (owner && !p->Find(owner)) owner = nullptr;
  // The owner takes no input while the box is open.
  const bool disable = owner && p->IsEnabled(owner);
  if (disable) p->SetEnabled(owner, false);
  MessageBoxRequest request;
  request.text = text;
  request.caption = caption;
  request.type = type;
  request.owner = owner;
  const int answer = p->GetDriver().RunMessageBox(request);
  if (disable && p->Find(owner)) p->SetEnabled(owner, true);
  return answer;
}

}  // namespace tessaro
