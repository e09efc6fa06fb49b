#include "apps/script_runner.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <istream>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>

#include "apps/platform_queue.h"
#include "framework/afx.h"
#include "framework/headless/headless.h"
#include "host/host.h"
#include "host/module_loader.h"
#include "host/transport.h"

namespace tessaro {

namespace {

inline constexpr UINT kGameDialog = 102;
inline constexpr UINT kInputBox = 131;
inline constexpr int kInputEdit = 1001;
inline constexpr int kChatLine = 1008;
inline constexpr int kLogPane = 1007;
inline constexpr char kMenuItemName[] = "&Tessaro";
inline constexpr int kBoardSize = 15;
// How often a waiting player looks again at what the network brought.
inline constexpr std::chrono::milliseconds kPollPeriod{2};

// A script line that failed, with what was seen.
struct Failure {
  std::string message;
};

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// Splits off the first word of `rest`.
std::string NextWord(std::string& rest) {
  rest = Trim(rest);
  const size_t end = rest.find_first_of(" \t");
  std::string word = rest.substr(0, end);
  rest = end == std::string::npos ? std::string() : Trim(rest.substr(end));
  return word;
}

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// "h8" (column letter, row number from the bottom) or "7,7".
std::optional<CPoint> ParsePoint(const std::string& text) {
  if (const size_t comma = text.find(','); comma != std::string::npos) {
    char* end = nullptr;
    const long x = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + comma) return std::nullopt;
    const long y = std::strtol(text.c_str() + comma + 1, &end, 10);
    if (*end != '\0' || x < 0 || x > 14 || y < 0 || y > 14) return std::nullopt;
    return CPoint(static_cast<int>(x), static_cast<int>(y));
  }
  if (text.size() < 2 || text[0] < 'a' || text[0] > 'o') return std::nullopt;
  char* end = nullptr;
  const long row = std::strtol(text.c_str() + 1, &end, 10);
  if (*end != '\0' || row < 1 || row > 15) return std::nullopt;
  return CPoint(text[0] - 'a', static_cast<int>(15 - row));
}

// "h8" for the point (7,7): the column letter, the row from the bottom.
std::string PointName(int x, int y) {
  std::string name(1, static_cast<char>('a' + x));
  name += std::to_string(kBoardSize - y);
  return name;
}

std::string Unwrapped(std::string log) {
  std::string text;
  for (char c : log) {
    if (c != '\n' && c != '\r') text += c;
  }
  return text;
}

class ScriptRunner {
 public:
  ScriptRunner(const ScriptOptions& options, std::ostream& out) : options_(options), out_(out) {}
  ~ScriptRunner() {
    host_.reset();  // unloads the module and with it every game window
  }

  void Start();
  void Run(const std::string& line);
  void Finish();

  // A script command: its name, the lines of the list at the top of
  // script_runner.h that describe it, and what runs it with the rest of its
  // line.
  struct Command {
    const char* name;
    // A person's input: in a game between two processes the stones that it
    // puts on a board are printed as the player's moves.
    bool input;
    void (ScriptRunner::*run)(std::string rest);
    const char* help;
  };
  static const Command kCommands[];
  static const Command* FindCommand(const std::string& name);

 private:
  void User(std::string rest);
  void AddContact(std::string rest);
  void Pair(std::string rest);
  void Open(std::string rest);
  void Click(std::string rest);
  void ClickPixel(std::string rest);
  void ClickAt(CWnd& window, CPoint at);
  void Menu(std::string rest);
  void Key(std::string rest);
  void ChatLine(std::string rest);
  void Burst(std::string rest);
  void Button(std::string rest);
  void Answer(std::string rest);
  void Advance(std::string rest);
  void ExpectCommand(std::string rest);
  void Png(std::string rest);
  void Print(std::string rest);
  void Say(std::string rest);
  void Hold(std::string rest);
  // Expect, retried until it holds or the wait is over.
  void ExpectInTime(const std::string& rest);
  bool TwoProcesses() const { return !options_.player.empty(); }
  void Settle();
  // Runs what arrived, then waits a moment of real time for more.
  void Pump();
  // Every game window's board as one character a point ('X' black, 'O' white,
  // '*' a proposal, '.' anything else), row by row from the top.
  std::map<HWND, std::string> Boards();
  // Prints the stones that appeared since `before` as moves of this player.
  void PrintMoves(const std::map<HWND, std::string>& before);
  void PrintBoard(CWnd& window);
  HANDLE Contact(const std::string& name);
  CWnd& Window(const std::string& title);
  CWnd* FindWindow(const std::string& title);
  UINT MenuCommand(CWnd& window, const std::string& item);
  // Types `text` into the window's chat line and presses Enter.
  void Chat(CWnd& window, const std::string& text);
  void Expect(std::string rest);
  std::string CellAt(CWnd& window, CPoint point);
  static std::string CellIn(const Image& board, CPoint point);

  ScriptOptions options_;
  std::ostream& out_;
  Headless ui_;
  PlatformQueue queue_;
  std::unique_ptr<host::Host> host_;
  host::LoopbackTransport* loopback_ = nullptr;  // only within one process
  size_t boxesSeen_ = 0;
};

void ScriptRunner::Start() {
  std::string error;
  host::HostOptions hostOptions;
  hostOptions.profile_path = options_.profilePath;
  host_ = host::Host::Create(queue_, hostOptions, &error);
  if (!host_) throw Failure{"the host did not start: " + error};
  if (TwoProcesses()) {
    if (!options_.connect || !options_.connect(*host_, &error)) {
      throw Failure{"cannot reach the other player: " + error};
    }
  } else {
    auto loopback = std::make_unique<host::LoopbackTransport>(host_->IncomingSink());
    loopback_ = loopback.get();
    host_->SetTransport(std::move(loopback));
  }
  const bool loaded =
      options_.builtinModule != nullptr
          ? host_->LoadBuiltinModule("built-in plug-in", *options_.builtinModule, &error)
          : host_->LoadModule(options_.modulePath, &error);
  if (!loaded) throw Failure{error};
  Settle();
}

void ScriptRunner::Settle() {
  if (!ui_.RunUntilIdle()) throw Failure{"the windows did not come to rest"};
}

void ScriptRunner::Pump() {
  Settle();
  std::this_thread::sleep_for(kPollPeriod);
  Settle();
}

std::map<HWND, std::string> ScriptRunner::Boards() {
  std::map<HWND, std::string> boards;
  for (HWND hwnd : ui_.platform().Windows()) {
    auto* dialog = dynamic_cast<CDialog*>(CWnd::FromHandle(hwnd));
    if (dialog == nullptr || dialog->GetTemplateId() != kGameDialog) continue;
    const Image image = ui_.Snapshot(*dialog);
    std::string& board = boards[hwnd];
    for (int y = 0; y < kBoardSize; ++y) {
      for (int x = 0; x < kBoardSize; ++x) {
        const std::string cell = CellIn(image, CPoint(x, y));
        board += cell == "black" ? 'X' : cell == "white" ? 'O' : cell == "proposal" ? '*' : '.';
      }
    }
  }
  return boards;
}

void ScriptRunner::PrintMoves(const std::map<HWND, std::string>& before) {
  for (const auto& [hwnd, board] : Boards()) {
    const auto old = before.find(hwnd);
    if (old == before.end()) continue;
    const int stones = static_cast<int>(
        std::count_if(board.begin(), board.end(), [](char c) { return c == 'X' || c == 'O'; }));
    for (size_t i = 0; i < board.size(); ++i) {
      const char now = board[i];
      if (now == old->second[i] || now == '.') continue;
      const std::string point =
          PointName(static_cast<int>(i) % kBoardSize, static_cast<int>(i) / kBoardSize);
      if (now == '*') {
        out_ << options_.player << " proposes " << point << "\n";
      } else {
        // A stone where a proposal lay is white's choice of black's fifth.
        out_ << "move " << stones << ": " << options_.player
             << (old->second[i] == '*' ? " chooses " : " plays ") << point
             << (now == 'X' ? " (black)" : " (white)") << "\n";
      }
    }
  }
  out_.flush();
}

void ScriptRunner::PrintBoard(CWnd& window) {
  const std::string board = Boards()[window.GetSafeHwnd()];
  std::string letters = "   ";
  for (int x = 0; x < kBoardSize; ++x)
    letters += std::string(" ") + static_cast<char>('a' + x);
  out_ << letters << "\n";
  for (int y = 0; y < kBoardSize; ++y) {
    const std::string row = std::to_string(kBoardSize - y);
    out_ << std::string(3 - row.size(), ' ') << row;
    for (int x = 0; x < kBoardSize; ++x)
      out_ << ' ' << board[static_cast<size_t>(y * kBoardSize + x)];
    out_ << "  " << row << "\n";
  }
  out_ << letters << "\n(X black, O white, * a proposal)\n";
}

HANDLE ScriptRunner::Contact(const std::string& name) {
  HANDLE contact = host_->FindContact(name);
  if (contact == nullptr) throw Failure{"no contact named \"" + name + "\""};
  return contact;
}

CWnd* ScriptRunner::FindWindow(const std::string& title) {
  for (HWND hwnd : ui_.platform().Windows()) {
    auto* dialog = dynamic_cast<CDialog*>(CWnd::FromHandle(hwnd));
    if (dialog == nullptr || dialog->GetTemplateId() != kGameDialog) continue;
    std::string text;
    dialog->GetWindowText(text);
    if (text == title) return dialog;
  }
  return nullptr;
}

CWnd& ScriptRunner::Window(const std::string& title) {
  CWnd* window = FindWindow(title);
  if (window == nullptr) throw Failure{"no game window titled \"" + title + "\""};
  return *window;
}

UINT ScriptRunner::MenuCommand(CWnd& window, const std::string& item) {
  char* end = nullptr;
  const unsigned long id = std::strtoul(item.c_str(), &end, 10);
  if (!item.empty() && *end == '\0') return static_cast<UINT>(id);
  CMenu* bar = window.GetMenu();
  for (UINT i = 0; bar != nullptr && i < bar->GetMenuItemCount(); ++i) {
    CMenu* popup = bar->GetSubMenu(static_cast<int>(i));
    for (UINT j = 0; popup != nullptr && j < popup->GetMenuItemCount(); ++j) {
      const UINT command = popup->GetMenuItemID(static_cast<int>(j));
      std::string text;
      popup->GetMenuString(j, text, MF_BYPOSITION);
      std::string plain;
      for (char c : text) {
        if (c != '&') plain += c;
      }
      if (Lower(plain) == Lower(item)) return command;
    }
  }
  throw Failure{"the window has no menu item \"" + item + "\""};
}

void ScriptRunner::Chat(CWnd& window, const std::string& text) {
  if (!ui_.TypeText(window, kChatLine, text) || !ui_.KeyDown(VK_RETURN)) {
    throw Failure{"cannot type into the chat line"};
  }
}

// What a person sees a little off the crossing of a point: the stone's body
// (outside the last-move ring), the red cross of a mark, or the board.
std::string ScriptRunner::CellAt(CWnd& window, CPoint point) {
  return CellIn(ui_.Snapshot(window), point);
}

namespace {

// What a point can show, by the colour a little off its crossing; any other
// colour is the board: "empty".
struct CellColour {
  COLORREF colour;
  const char* name;
};
constexpr CellColour kCellColours[] = {
    {RGB(0, 0, 0), "black"},      {RGB(255, 255, 255), "white"}, {RGB(255, 255, 0), "simwhite"},
    {RGB(0, 128, 0), "proposal"}, {RGB(255, 0, 0), "forbidden"},
};

bool IsCellName(const std::string& name) {
  return name == "empty" || std::any_of(std::begin(kCellColours), std::end(kCellColours),
                                        [&](const CellColour& cell) { return name == cell.name; });
}

}  // namespace

std::string ScriptRunner::CellIn(const Image& board, CPoint point) {
  const int x = 19 + 17 * point.x + 3;
  const int y = 15 + 17 * point.y + 3;
  if (!board.Contains(x, y)) return "empty";
  const COLORREF seen = ColorrefFromArgb(board.At(x, y));
  for (const CellColour& cell : kCellColours) {
    if (cell.colour == seen) return cell.name;
  }
  return "empty";
}

void ScriptRunner::Run(const std::string& line) {
  std::string rest = line;
  const std::string name = NextWord(rest);
  const Command* command = FindCommand(name);
  if (command == nullptr) throw Failure{"unknown command \"" + name + "\""};
  const bool input = TwoProcesses() && command->input;
  std::map<HWND, std::string> before;
  if (input) {
    Settle();
    before = Boards();
  }
  (this->*command->run)(rest);
  if (input) PrintMoves(before);
}

// The commands in the order of the list at the top of script_runner.h, which
// is the text of their `help` (a test holds the two together).
const ScriptRunner::Command ScriptRunner::kCommands[] = {
    {"user", false, &ScriptRunner::User,  //
     "user NAME                   the user's own display name\n"},
    {"contact", false, &ScriptRunner::AddContact,
     "contact NAME [PROTOCOL]     a contact (protocol ICQ unless given)\n"},
    {"pair", false, &ScriptRunner::Pair,
     "pair NAME NAME              the two contacts are mirrors: what is sent to\n"
     "                            one arrives as received from the other\n"},
    {"open", false, &ScriptRunner::Open,
     "open NAME                   choose \"&Tessaro\" in NAME's contact menu\n"},
    {"click", true, &ScriptRunner::Click,
     "click WINDOW POINT          a left click on a board point\n"},
    {"clickpx", true, &ScriptRunner::ClickPixel,
     "clickpx WINDOW X Y          a left click at a client pixel\n"},
    {"menu", true, &ScriptRunner::Menu,
     "menu WINDOW ITEM            a menu command, by its text (\"Set Timer\") or id\n"},
    {"key", true, &ScriptRunner::Key,  //
     "key WINDOW space|enter|escape\n"},
    {"chat", true, &ScriptRunner::ChatLine,
     "chat WINDOW TEXT            type TEXT into the chat line and press Enter\n"},
    {"burst", true, &ScriptRunner::Burst,
     "burst WINDOW N TEXT         chat N lines, \"TEXT 1\" to \"TEXT N\", one by one\n"},
    {"button", true, &ScriptRunner::Button,
     "button WINDOW ID            press a control (1009 is \"&sim\")\n"},
    {"answer", false, &ScriptRunner::Answer,
     "answer yes|no|ok|cancel [TEXT]   the answer to the next message box (whose\n"
     "                            text must contain TEXT, when given)\n"
     "answer input TEXT|cancel    the answer to the next input box\n"
     "answer file PATH|cancel     the answer to the next file dialog\n"},
    {"advance", false, &ScriptRunner::Advance,  //
     "advance SECONDS             let the clock run\n"},
    {"expect", false, &ScriptRunner::ExpectCommand,
     "expect log WINDOW TEXT      the log holds TEXT (line breaks of the wrap ignored)\n"
     "expect nolog WINDOW TEXT    ... and does not\n"
     "expect lines WINDOW TEXT N  the log holds \"TEXT 1\" to \"TEXT N\", each once\n"
     "                            and in order (as a burst sends them)\n"
     "expect cell WINDOW POINT black|white|proposal|forbidden|empty|simwhite\n"
     "expect text WINDOW ID TEXT  a control's text\n"
     "expect box TEXT             a message box with TEXT was shown (in order)\n"
     "expect visible WINDOW yes|no\n"
     "expect side WINDOW none|black|white   the window's icon\n"},
    {"png", false, &ScriptRunner::Png,  //
     "png WINDOW FILE             a picture of the window\n"},
    {"print", false, &ScriptRunner::Print,
     "print log WINDOW            the window's log on standard output\n"
     "print board WINDOW          the board as text, with its coordinates\n"
     "print result WINDOW         the result the log announced\n"},
    {"say", false, &ScriptRunner::Say,  //
     "say TEXT                    TEXT on standard output\n"},
    {"hold", false, &ScriptRunner::Hold,
     "hold TEXT                   TEXT on standard output, then only what arrives is\n"
     "                            handled and a box that opens stays open (\"a box is\n"
     "                            open: \" and its text), until a test kills the player\n"},
};

const ScriptRunner::Command* ScriptRunner::FindCommand(const std::string& name) {
  for (const Command& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

void ScriptRunner::User(std::string rest) {
  host_->SetUserName(rest);
}

void ScriptRunner::AddContact(std::string rest) {
  const std::string name = NextWord(rest);
  const std::string protocol = rest.empty() ? "ICQ" : NextWord(rest);
  if (name.empty() || host_->AddContact(name, protocol) == nullptr) {
    throw Failure{"cannot add the contact"};
  }
}

void ScriptRunner::Pair(std::string rest) {
  const std::string first = NextWord(rest);
  const std::string second = NextWord(rest);
  if (loopback_ == nullptr) throw Failure{"pair works only within one process"};
  if (!loopback_->Pair(Contact(first), Contact(second))) throw Failure{"cannot pair them"};
}

void ScriptRunner::Open(std::string rest) {
  const HANDLE contact = Contact(rest);
  bool opened = false;
  for (const host::MenuItem& item : host_->MenuItemsFor(contact)) {
    if (item.name == kMenuItemName) opened = host_->InvokeMenuItem(contact, item.handle);
  }
  if (!opened) throw Failure{"the contact menu offers no \"&Tessaro\""};
  Settle();
}

void ScriptRunner::Click(std::string rest) {
  CWnd& window = Window(NextWord(rest));
  const auto point = ParsePoint(NextWord(rest));
  if (!point) throw Failure{"not a board point"};
  ClickAt(window, CPoint(19 + 17 * point->x, 15 + 17 * point->y));
}

void ScriptRunner::ClickPixel(std::string rest) {
  CWnd& window = Window(NextWord(rest));
  CPoint at;
  at.x = std::atoi(NextWord(rest).c_str());
  at.y = std::atoi(NextWord(rest).c_str());
  ClickAt(window, at);
}

void ScriptRunner::ClickAt(CWnd& window, CPoint at) {
  if (!ui_.Click(window, at)) throw Failure{"the window cannot be clicked (hidden?)"};
  Settle();
}

void ScriptRunner::Menu(std::string rest) {
  CWnd& window = Window(NextWord(rest));
  if (!ui_.ChooseMenu(window, MenuCommand(window, rest))) throw Failure{"menu refused"};
  Settle();
}

void ScriptRunner::Key(std::string rest) {
  CWnd& window = Window(NextWord(rest));
  const std::string key = Lower(rest);
  const UINT vk = key == "space"    ? VK_SPACE
                  : key == "enter"  ? VK_RETURN
                  : key == "escape" ? VK_ESCAPE
                                    : 0;
  if (vk == 0) throw Failure{"unknown key"};
  if (!ui_.Focus(window) || !ui_.KeyDown(vk)) throw Failure{"the key did not reach the window"};
  Settle();
}

void ScriptRunner::ChatLine(std::string rest) {
  Chat(Window(NextWord(rest)), rest);
  Settle();
}

void ScriptRunner::Burst(std::string rest) {
  CWnd& window = Window(NextWord(rest));
  const long count = std::strtol(NextWord(rest).c_str(), nullptr, 10);
  if (count <= 0 || rest.empty()) throw Failure{"burst how many lines of what?"};
  for (long i = 1; i <= count; ++i)
    Chat(window, rest + " " + std::to_string(i));
  Settle();
}

void ScriptRunner::Button(std::string rest) {
  CWnd& window = Window(NextWord(rest));
  if (!ui_.PressButton(window, std::atoi(rest.c_str()))) throw Failure{"cannot press it"};
  Settle();
}

void ScriptRunner::Answer(std::string rest) {
  const std::string kind = Lower(NextWord(rest));
  if (kind == "input") {
    if (Lower(rest) == "cancel") {
      ui_.AnswerDialog(DialogScript{kInputBox, {}, IDCANCEL, {}});
    } else {
      ui_.AnswerDialog(DialogScript{kInputBox, {{kInputEdit, rest}}, IDOK, {}});
    }
  } else if (kind == "file") {
    ui_.AnswerFileDialog(Lower(rest) == "cancel" ? std::nullopt : std::optional(rest));
  } else {
    const std::map<std::string, int> answers = {
        {"yes", IDYES}, {"no", IDNO}, {"ok", IDOK}, {"cancel", IDCANCEL}};
    const auto found = answers.find(kind);
    if (found == answers.end()) throw Failure{"answer what?"};
    ui_.AnswerMessageBox(found->second, {}, rest);
  }
}

void ScriptRunner::Advance(std::string rest) {
  const double seconds = std::atof(rest.c_str());
  if (seconds <= 0) throw Failure{"advance how far?"};
  ui_.AdvanceClock(static_cast<uint64_t>(seconds * 1000));
  Settle();
}

void ScriptRunner::ExpectCommand(std::string rest) {
  if (TwoProcesses()) {
    ExpectInTime(rest);
  } else {
    Expect(rest);
  }
}

void ScriptRunner::Png(std::string rest) {
  CWnd& window = Window(NextWord(rest));
  Settle();
  if (!ui_.SavePng(window, rest)) throw Failure{"cannot write " + rest};
  if (TwoProcesses()) {
    std::error_code ec;
    out_ << "the picture of the board: " << std::filesystem::absolute(rest, ec).string() << "\n"
         << std::flush;
  }
}

void ScriptRunner::Print(std::string rest) {
  const std::string what = NextWord(rest);
  CWnd& window = Window(rest);
  Settle();
  std::string log;
  window.GetDlgItemText(kLogPane, log);
  if (what == "log") {
    out_ << "== log of the window \"" << rest << "\" ==\n" << log;
    if (!log.empty() && log.back() != '\n') out_ << '\n';
  } else if (what == "board") {
    PrintBoard(window);
  } else if (what == "result") {
    // The last announcement of a winner ("BLACK win, 5 in row").
    std::string result = "none yet";
    std::istringstream lines(log);
    for (std::string entry; std::getline(lines, entry);) {
      if (entry.find(" win, ") != std::string::npos) result = Trim(entry);
    }
    out_ << "result: " << result << "\n";
  } else {
    throw Failure{"print what?"};
  }
  out_.flush();
}

void ScriptRunner::Say(std::string rest) {
  out_ << rest << "\n" << std::flush;
}

// A player that a test kills at a moment of its choosing: it stops playing,
// and whatever arrives is handled as an idle player's host handles it.
void ScriptRunner::Hold(std::string rest) {
  if (!TwoProcesses()) throw Failure{"hold is for one player of a game between two processes"};
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(options_.waitSeconds);
  const auto idle = [this, deadline] {
    while (std::chrono::steady_clock::now() < deadline)
      Pump();
  };
  ui_.AnswerMessageBox(IDCANCEL, [this, idle] {
    out_ << "a box is open: " << ui_.driver().Shown().back().text << "\n" << std::flush;
    idle();
  });
  out_ << rest << "\n" << std::flush;
  idle();
  throw Failure{"held " + std::to_string(options_.waitSeconds) + " s and was not killed"};
}

void ScriptRunner::Expect(std::string rest) {
  const std::string what = NextWord(rest);
  if (what == "box") {
    const auto& shown = ui_.driver().Shown();
    for (size_t i = boxesSeen_; i < shown.size(); ++i) {
      if (shown[i].kind == ShownKind::MessageBox && shown[i].text.find(rest) != std::string::npos) {
        boxesSeen_ = i + 1;
        return;
      }
    }
    std::string seen;
    for (size_t i = boxesSeen_; i < shown.size(); ++i)
      seen += " \"" + shown[i].text + "\"";
    throw Failure{"no such box; shown since:" + (seen.empty() ? std::string(" none") : seen)};
  }
  CWnd& window = Window(NextWord(rest));
  Settle();
  std::string log;
  window.GetDlgItemText(kLogPane, log);
  if (what == "log" || what == "nolog") {
    const bool found = Unwrapped(log).find(rest) != std::string::npos;
    if (found != (what == "log")) throw Failure{"the log reads:\n" + log};
  } else if (what == "lines") {
    // "TEXT 7" counts when TEXT is followed by a space and digits.
    const size_t space = rest.find_last_of(' ');
    if (space == std::string::npos) throw Failure{"expect which lines?"};
    const std::string prefix = rest.substr(0, space) + " ";
    const long count = std::strtol(rest.c_str() + space + 1, nullptr, 10);
    const std::string text = Unwrapped(log);
    long expected = 1;
    for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1)) {
      const char* digits = text.c_str() + at + prefix.size();
      char* end = nullptr;
      const long number = std::strtol(digits, &end, 10);
      if (end == digits) continue;
      if (number != expected) {
        throw Failure{"line \"" + prefix + std::to_string(number) + "\" came where \"" + prefix +
                      std::to_string(expected) + "\" belonged"};
      }
      ++expected;
    }
    if (expected - 1 != count) {
      throw Failure{"the log holds " + std::to_string(expected - 1) + " of the " +
                    std::to_string(count) + " lines"};
    }
  } else if (what == "cell") {
    const auto point = ParsePoint(NextWord(rest));
    if (!point) throw Failure{"not a board point"};
    if (!IsCellName(rest)) {
      throw Failure{"unknown colour \"" + rest +
                    "\"; a point shows black, white, proposal, forbidden, empty or simwhite"};
    }
    const std::string seen = CellAt(window, *point);
    if (seen != rest) throw Failure{"the point shows " + seen};
  } else if (what == "text") {
    const int id = std::atoi(NextWord(rest).c_str());
    std::string text;
    window.GetDlgItemText(id, text);
    if (text != rest) throw Failure{"the control reads \"" + text + "\""};
  } else if (what == "visible") {
    if (Lower(rest) != "yes" && Lower(rest) != "no") throw Failure{"visible yes or no?"};
    const bool visible = window.IsWindowVisible();
    if (visible != (Lower(rest) == "yes"))
      throw Failure{visible ? "it is visible" : "it is hidden"};
  } else if (what == "side") {
    const auto icons = ui_.driver().Icons(window.GetSafeHwnd());
    UINT id = 0;
    for (const IconRecord& icon : icons) {
      if (!icon.big) id = icon.resourceId;
    }
    const std::string seen = id == 161 ? "black" : id == 162 ? "white" : "none";
    const std::string wanted = Lower(rest);
    if (wanted != "black" && wanted != "white" && wanted != "none") {
      throw Failure{"unknown side \"" + rest + "\"; an icon shows none, black or white"};
    }
    if (seen != wanted) throw Failure{"the icon shows " + seen};
  } else {
    throw Failure{"expect what?"};
  }
}

void ScriptRunner::ExpectInTime(const std::string& rest) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(options_.waitSeconds);
  for (;;) {
    try {
      Expect(rest);
      return;
    } catch (const Failure& failure) {
      if (std::chrono::steady_clock::now() >= deadline) {
        throw Failure{failure.message + "\n  (waited " + std::to_string(options_.waitSeconds) +
                      " s)"};
      }
    }
    Pump();
  }
}

void ScriptRunner::Finish() {
  Settle();
  if (TwoProcesses() && options_.unconfirmed) {
    // What this player sent must reach the other before the process ends.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(options_.waitSeconds);
    while (options_.unconfirmed() != 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        throw Failure{std::to_string(options_.unconfirmed()) +
                      " sent message(s) were not confirmed by the other player"};
      }
      Pump();
    }
  }
  if (const size_t unanswered = ui_.driver().UnansweredCount(); unanswered != 0) {
    std::string texts;
    for (const ShownRecord& record : ui_.driver().Shown()) {
      if (!record.answered)
        texts += " \"" + (record.text.empty() ? record.caption : record.text) + "\"";
    }
    throw Failure{"the script answered no box for" + texts};
  }
  if (ui_.driver().PendingScripts() != 0) throw Failure{"an answer was given but no box came"};
}

}  // namespace

std::string ScriptCommandHelp() {
  std::string help;
  for (const ScriptRunner::Command& command : ScriptRunner::kCommands)
    help += command.help;
  return help;
}

int RunScript(std::istream& in, const std::string& name, const ScriptOptions& options,
              std::ostream& out, std::ostream& err) {
  ScriptRunner runner(options, out);
  size_t number = 0;
  size_t commands = 0;
  std::string line;
  try {
    runner.Start();
    while (std::getline(in, line)) {
      ++number;
      std::string text = Trim(line);
      if (text.empty() || text[0] == '#') continue;
      ++commands;
      if (!options.player.empty()) {
        // "Alice: click Bob h8" is Alice's line; the other player plays the rest.
        const size_t colon = text.find(':');
        const size_t space = text.find_first_of(" \t");
        if (colon == std::string::npos || colon == 0 || colon > space) {
          throw Failure{"a line of a two-player script starts with the player's name"};
        }
        if (text.compare(0, colon, options.player) != 0 || colon != options.player.size()) continue;
        text = Trim(text.substr(colon + 1));
      }
      runner.Run(text);
    }
    if (in.bad()) {
      err << name << ":" << number << ": cannot read the script further\n";
      return 2;
    }
    if (commands == 0) {
      err << name << ": the script holds no command; nothing was played or checked\n";
      return 2;
    }
    line = "(end of script)";
    runner.Finish();
  } catch (const Failure& failure) {
    err << name << ":" << number << ": " << Trim(line) << "\n  " << failure.message << "\n";
    return 1;
  }
  // What "print" wrote must have arrived: a full disk is no success.
  if (!out.flush()) {
    err << name << ": cannot write the output\n";
    return 2;
  }
  return 0;
}

int RunScriptFile(const std::string& path, const ScriptOptions& options, std::ostream& out,
                  std::ostream& err) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    err << "tessaro-host: " << path
        << (std::filesystem::exists(path, error) ? " is not a regular file" : " does not exist")
        << "; --script takes a script file\n";
    return 2;
  }
  std::ifstream in(path);
  if (!in) {
    err << "tessaro-host: cannot read " << path << "\n";
    return 2;
  }
  return RunScript(in, path, options, out, err);
}

}  // namespace tessaro
