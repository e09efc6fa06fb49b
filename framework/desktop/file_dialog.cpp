#include "framework/desktop/file_dialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "framework/desktop/message_box.h"

namespace fs = std::filesystem;

namespace tessaro {
namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// "*" and "?" wildcards over the whole name.
bool Wildcard(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') return Wildcard(pattern + 1, name) || (*name && Wildcard(pattern, name + 1));
  if (*name == '\0') return false;
  return (*pattern == '?' || *pattern == *name) && Wildcard(pattern + 1, name + 1);
}

struct State {
  Platform* platform = nullptr;
  const FileDialogRequest* request = nullptr;
  fs::path folder;
  Fl_Box* where = nullptr;
  Fl_Hold_Browser* list = nullptr;
  Fl_Input* name = nullptr;
  Fl_Choice* filter = nullptr;
  int answer = 0;  // IDOK or IDCANCEL once closed
};

std::string PatternsOf(const State& st) {
  const auto& filters = st.request->filters;
  const int chosen = st.filter ? st.filter->value() : 0;
  if (chosen >= 0 && chosen < static_cast<int>(filters.size())) return filters[chosen].second;
  return "*";
}

void Fill(State& st) {
  st.list->clear();
  st.where->copy_label(st.folder.string().c_str());
  std::vector<std::string> folders, files;
  std::error_code ec;
  for (fs::directory_iterator it(st.folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string leaf = it->path().filename().string();
    if (leaf.empty() || leaf[0] == '.') continue;
    std::error_code kindError;
    if (it->is_directory(kindError)) {
      folders.push_back(leaf + "/");
    } else if (MatchesPatterns(leaf, PatternsOf(st))) {
      files.push_back(leaf);
    }
  }
  std::sort(folders.begin(), folders.end());
  std::sort(files.begin(), files.end());
  if (st.folder.has_parent_path() && st.folder != st.folder.root_path()) st.list->add("../");
  for (const std::string& f : folders)
    st.list->add(f.c_str());
  for (const std::string& f : files)
    st.list->add(f.c_str());
}

void EnterFolder(State& st, const fs::path& folder) {
  std::error_code ec;
  const fs::path canonical = fs::weakly_canonical(folder, ec);
  st.folder = ec ? folder : canonical;
  Fill(st);
}

void ListClicked(Fl_Widget*, void* data) {
  auto& st = *static_cast<State*>(data);
  const int line = st.list->value();
  if (line <= 0) return;
  const std::string text = st.list->text(line);
  const bool folder = !text.empty() && text.back() == '/';
  if (folder) {
    // A double click opens a folder; one click only selects it.
    if (Fl::event_clicks()) {
      EnterFolder(st, text == "../" ? st.folder.parent_path()
                                    : st.folder / text.substr(0, text.size() - 1));
    }
    return;
  }
  st.name->value(text.c_str());
  if (Fl::event_clicks()) st.answer = IDOK;
}

void FilterChosen(Fl_Widget*, void* data) {
  Fill(*static_cast<State*>(data));
}

void Ok(Fl_Widget*, void* data) {
  auto& st = *static_cast<State*>(data);
  const std::string typed = st.name->value();
  if (typed.empty()) return;
  // A typed folder is opened rather than chosen.
  const fs::path candidate = fs::path(typed).is_absolute() ? fs::path(typed) : st.folder / typed;
  std::error_code ec;
  if (fs::is_directory(candidate, ec)) {
    EnterFolder(st, candidate);
    st.name->value("");
    return;
  }
  st.answer = IDOK;
}

void Cancel(Fl_Widget*, void* data) {
  static_cast<State*>(data)->answer = IDCANCEL;
}

}  // namespace

bool MatchesPatterns(const std::string& name, const std::string& patterns) {
  const std::string lowered = Lower(name);
  size_t at = 0;
  while (at <= patterns.size()) {
    const size_t end = std::min(patterns.find(';', at), patterns.size());
    std::string one = Lower(patterns.substr(at, end - at));
    one.erase(0, one.find_first_not_of(' '));
    if (one == "*.*") one = "*";
    if (!one.empty() && Wildcard(one.c_str(), lowered.c_str())) return true;
    at = end + 1;
  }
  return false;
}

bool RunDesktopFileDialog(Platform& platform, const FileDialogRequest& request, Fl_Window* owner,
                          int scale, std::string& path) {
  const int k = std::max(1, scale);
  State st;
  st.platform = &platform;
  st.request = &request;
  std::error_code ec;
  const fs::path proposed(request.fileName);
  st.folder = proposed.has_parent_path() ? proposed.parent_path() : fs::current_path(ec);
  if (!fs::is_directory(st.folder, ec)) st.folder = fs::current_path(ec);

  const int w = 420 * k;
  const int h = 330 * k;
  const int row = 25 * k;
  const int pad = 10 * k;
  Fl_Window box(w, h);
  box.copy_label(request.open ? "Open" : "Save As");
  st.where = new Fl_Box(pad, pad, w - 2 * pad, row);
  st.where->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  st.list = new Fl_Hold_Browser(pad, pad + row, w - 2 * pad, h - 5 * row - 2 * pad);
  st.list->textsize(FL_NORMAL_SIZE);
  st.list->callback(ListClicked, &st);
  const int fieldsY = h - 4 * row - pad + 5 * k;
  st.name = new Fl_Input(pad + 80 * k, fieldsY, w - 2 * pad - 80 * k, row, "File name:");
  st.name->textsize(FL_NORMAL_SIZE);
  st.name->value(proposed.filename().string().c_str());
  st.filter = new Fl_Choice(pad + 80 * k, fieldsY + row + 5 * k, w - 2 * pad - 80 * k, row,
                            "Files of type:");
  for (const auto& [label, patterns] : request.filters) {
    // '/' and '&' are the menu's own: shown as they are.
    std::string item;
    for (char c : label) {
      if (c == '/' || c == '&' || c == '\\' || c == '_') item += '\\';
      item += c;
    }
    st.filter->add(item.c_str());
  }
  if (request.filters.empty()) st.filter->add("All files");
  st.filter->value(0);
  st.filter->callback(FilterChosen, &st);
  auto* ok = new Fl_Return_Button(w - pad - 170 * k, h - pad - row, 80 * k, row,
                                  request.open ? "Open" : "Save");
  ok->callback(Ok, &st);
  auto* cancel = new Fl_Button(w - pad - 80 * k, h - pad - row, 80 * k, row, "Cancel");
  cancel->callback(Cancel, &st);
  box.end();
  box.callback(Cancel, &st);  // Escape and the close box
  box.set_modal();
  Fill(st);
  ShowBeside(box, owner);
  // The name is what a person most often changes: it has the focus, all selected.
  st.name->take_focus();
  st.name->position(st.name->size(), 0);
  platform.RunUntil([&] { return st.answer != 0; });
  box.hide();
  if (st.answer != IDOK) return false;
  const fs::path typed(st.name->value());
  path = (typed.is_absolute() ? typed : st.folder / typed).string();
  return true;
}

}  // namespace tessaro
