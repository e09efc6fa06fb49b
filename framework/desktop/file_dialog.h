// The desktop backend's Open and Save As dialog. Internal to the backend.
#pragma once

#include <string>
#include <vector>

#include "framework/driver.h"
#include "framework/platform.h"

class Fl_Window;

namespace tessaro {

// Whether a file name matches a filter's patterns ("*.lib;*.txt"; "*.*" and
// "*" match every name). Case does not matter, as on the platform's dialogs.
bool MatchesPatterns(const std::string& name, const std::string& patterns);

// Shows the dialog beside `owner` and runs the platform's loop until the user
// chooses (true, `path` set to the folder joined with the typed name) or
// cancels. The name field is an ordinary text field that starts with the
// proposed name selected; the list shows the folder's subfolders and the files
// of the chosen filter, and a click on a file copies its name into the field.
bool RunDesktopFileDialog(Platform& platform, const FileDialogRequest& request, Fl_Window* owner,
                          int scale, std::string& path);

}  // namespace tessaro
