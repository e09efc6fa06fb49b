#include "framework/window_record.h"

#include <cctype>
#include <string>

namespace tessaro {

std::optional<WindowKind> ControlKindOf(std::string_view className) {
  std::string upper(className);
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "EDIT") return WindowKind::Edit;
  if (upper == "BUTTON") return WindowKind::Button;
  if (upper == "STATIC") return WindowKind::Static;
  if (upper == "RICHEDIT" || upper == "RICHEDIT20A" || upper == "RICHEDIT20W" ||
      upper == "RICHEDIT50W")
    return WindowKind::RichEdit;
  return std::nullopt;
}

}  // namespace tessaro
