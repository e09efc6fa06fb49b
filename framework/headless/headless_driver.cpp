#include "framework/headless/headless_driver.h"

#include <chrono>

#include "framework/dialog.h"
#include "framework/platform.h"

namespace tessaro {
namespace {

bool IsButtonOf(int answer, UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK:
      return answer == IDOK;
    case MB_OKCANCEL:
      return answer == IDOK || answer == IDCANCEL;
    case MB_ABORTRETRYIGNORE:
      return answer == IDABORT || answer == IDRETRY || answer == IDIGNORE;
    case MB_YESNOCANCEL:
      return answer == IDYES || answer == IDNO || answer == IDCANCEL;
    case MB_YESNO:
      return answer == IDYES || answer == IDNO;
    case MB_RETRYCANCEL:
      return answer == IDRETRY || answer == IDCANCEL;
    default:
      return false;
  }
}

}  // namespace

// ---- Time and waking ----

void HeadlessDriver::AdvanceClock(uint64_t ms) {
  const uint64_t target = now_ + ms;
  for (;;) {
    if (!platform_->RunUntilIdle()) break;  // a handler keeps making work
    const std::optional<uint64_t> next = platform_->NextTimerDue();
    if (!next || *next > target || *next <= now_) break;
    now_ = *next;
  }
  now_ = std::max(now_, target);
  platform_->RunUntilIdle();
}

bool HeadlessDriver::WaitForWork(std::optional<uint64_t>) {
  // Virtual time does not pass while waiting: only another thread's post can
  // bring work, and it gets a limited real time to do so.
  std::unique_lock<std::mutex> lock(wakeMutex_);
  const bool woken =
      wakeCv_.wait_for(lock, std::chrono::milliseconds(idleWaitMs_), [&] { return woken_; });
  woken_ = false;
  return woken;
}

void HeadlessDriver::Wake() {
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    woken_ = true;
  }
  wakeCv_.notify_all();
}

// ---- Modal boxes ----

void HeadlessDriver::RunOpenBox(const std::function<void()>& whileOpen) {
  platform_->RunUntilIdle();
  if (whileOpen) {
    whileOpen();
    platform_->RunUntilIdle();
  }
}

int HeadlessDriver::RunMessageBox(const MessageBoxRequest& request) {
  const size_t index = shown_.size();
  ShownRecord record;
  record.kind = ShownKind::MessageBox;
  record.text = request.text;
  record.caption = request.caption;
  record.type = request.type;
  record.owner = request.owner;
  shown_.push_back(record);

  std::optional<MessageBoxScript> script;
  if (!boxScripts_.empty() &&
      (boxScripts_.front().expectText.empty() ||
       request.text.find(boxScripts_.front().expectText) != std::string::npos)) {
    script = std::move(boxScripts_.front());
    boxScripts_.pop_front();
  }
  RunOpenBox(script ? script->whileOpen : std::function<void()>());
  const bool fits = script && IsButtonOf(script->answer, request.type);
  const int answer = fits ? script->answer : DismissedAnswer(request.type);
  shown_[index].answered = fits;
  shown_[index].answer = answer;
  return answer;
}

void HeadlessDriver::RunModalDialog(CDialog& dialog) {
  const size_t index = shown_.size();
  ShownRecord record;
  record.kind = ShownKind::Dialog;
  record.templateId = dialog.GetTemplateId();
  dialog.GetWindowText(record.caption);
  const WindowRecord* rec = platform_->Find(dialog.m_hWnd);
  record.owner = rec ? rec->parent : nullptr;
  shown_.push_back(record);

  std::optional<DialogScript> script;
  if (!dialogScripts_.empty() && (dialogScripts_.front().templateId == 0 ||
                                  dialogScripts_.front().templateId == dialog.GetTemplateId())) {
    script = std::move(dialogScripts_.front());
    dialogScripts_.pop_front();
  }
  platform_->RunUntilIdle();
  bool answered = false;
  if (script && !dialog.IsModalEnded()) {
    if (script->whileOpen) {
      script->whileOpen();
      platform_->RunUntilIdle();
    }
    answered = true;
    for (const auto& [id, text] : script->texts) {
      CWnd* control = dialog.IsModalEnded() ? nullptr : dialog.GetDlgItem(id);
      if (!control) {
        answered = false;  // the script names a control the dialog does not have
        continue;
      }
      control->SetWindowText(text);
    }
    if (!dialog.IsModalEnded()) {
      CWnd* button = dialog.GetDlgItem(script->pressButton);
      if (button && !button->IsWindowEnabled()) {
        answered = false;
      } else {
        dialog.SendMessage(WM_COMMAND,
                           MAKEWPARAM(static_cast<UINT>(script->pressButton), BN_CLICKED),
                           reinterpret_cast<LPARAM>(button ? button->m_hWnd : nullptr));
      }
    }
    platform_->RunUntilIdle();
  }
  if (!dialog.IsModalEnded()) {
    // Nobody closed it: the user is taken to have cancelled it.
    answered = false;
    dialog.EndDialog(IDCANCEL);
  }
  shown_[index].answered = answered;
  shown_[index].answer = dialog.GetModalResult();
}

bool HeadlessDriver::RunFileDialog(const FileDialogRequest& request, std::string& path) {
  const size_t index = shown_.size();
  ShownRecord record;
  record.kind = ShownKind::FileDialog;
  record.file = request;
  record.owner = request.owner;
  shown_.push_back(record);

  std::optional<FileDialogScript> script;
  if (!fileScripts_.empty()) {
    script = std::move(fileScripts_.front());
    fileScripts_.pop_front();
  }
  RunOpenBox(script ? script->whileOpen : std::function<void()>());
  shown_[index].answered = script.has_value();
  if (script && script->path) {
    path = *script->path;
    shown_[index].answer = IDOK;
    shown_[index].path = path;
    return true;
  }
  shown_[index].answer = IDCANCEL;
  return false;
}

// ---- Records ----

void HeadlessDriver::WindowIconChanged(HWND hwnd, bool big, HICON icon) {
  icons_[hwnd].push_back(IconRecord{big, icon, platform_->IconResourceId(icon)});
}

void HeadlessDriver::WindowFlashed(HWND hwnd, bool invert) {
  flashes_[hwnd].push_back(invert ? TRUE : FALSE);
}

size_t HeadlessDriver::PendingScripts() const {
  return boxScripts_.size() + dialogScripts_.size() + fileScripts_.size();
}

void HeadlessDriver::ClearScripts() {
  boxScripts_.clear();
  dialogScripts_.clear();
  fileScripts_.clear();
}

std::vector<ShownRecord> HeadlessDriver::MessageBoxes() const {
  std::vector<ShownRecord> out;
  for (const ShownRecord& r : shown_) {
    if (r.kind == ShownKind::MessageBox) out.push_back(r);
  }
  return out;
}

size_t HeadlessDriver::UnansweredCount() const {
  size_t n = 0;
  for (const ShownRecord& r : shown_)
    n += r.answered ? 0 : 1;
  return n;
}

std::vector<BOOL> HeadlessDriver::Flashes(HWND hwnd) const {
  const auto it = flashes_.find(hwnd);
  return it == flashes_.end() ? std::vector<BOOL>() : it->second;
}

std::vector<IconRecord> HeadlessDriver::Icons(HWND hwnd) const {
  const auto it = icons_.find(hwnd);
  return it == icons_.end() ? std::vector<IconRecord>() : it->second;
}

}  // namespace tessaro
