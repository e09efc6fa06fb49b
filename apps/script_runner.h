// Plays a script of what people do at a messenger with the game plug-in, and
// checks what they should see. The host loads the real plug-in module; the
// window framework runs headless with virtual time.
//
// A script is one command a line; '#' starts a comment. Windows are named by
// their title, which is the contact's display name. Board points are written
// as on the board (a..o, 1..15 from the bottom, e.g. h8) or as "x,y". The
// commands (this list is ScriptCommandHelp(), the runner's own table):
//
//   user NAME                   the user's own display name
//   contact NAME [PROTOCOL]     a contact (protocol ICQ unless given)
//   pair NAME NAME              the two contacts are mirrors: what is sent to
//                               one arrives as received from the other
//   open NAME                   choose "&Tessaro" in NAME's contact menu
//   click WINDOW POINT          a left click on a board point
//   clickpx WINDOW X Y          a left click at a client pixel
//   menu WINDOW ITEM            a menu command, by its text ("Set Timer") or id
//   key WINDOW space|enter|escape
//   chat WINDOW TEXT            type TEXT into the chat line and press Enter
//   burst WINDOW N TEXT         chat N lines, "TEXT 1" to "TEXT N", one by one
//   button WINDOW ID            press a control (1009 is "&sim")
//   answer yes|no|ok|cancel [TEXT]   the answer to the next message box (whose
//                               text must contain TEXT, when given)
//   answer input TEXT|cancel    the answer to the next input box
//   answer file PATH|cancel     the answer to the next file dialog
//   advance SECONDS             let the clock run
//   expect log WINDOW TEXT      the log holds TEXT (line breaks of the wrap ignored)
//   expect nolog WINDOW TEXT    ... and does not
//   expect lines WINDOW TEXT N  the log holds "TEXT 1" to "TEXT N", each once
//                               and in order (as a burst sends them)
//   expect cell WINDOW POINT black|white|proposal|forbidden|empty|simwhite
//   expect text WINDOW ID TEXT  a control's text
//   expect box TEXT             a message box with TEXT was shown (in order)
//   expect visible WINDOW yes|no
//   expect side WINDOW none|black|white   the window's icon
//   png WINDOW FILE             a picture of the window
//   print log WINDOW            the window's log on standard output
//   print board WINDOW          the board as text, with its coordinates
//   print result WINDOW         the result the log announced
//   say TEXT                    TEXT on standard output
//   hold TEXT                   TEXT on standard output, then only what arrives is
//                               handled and a box that opens stays open ("a box is
//                               open: " and its text), until a test kills the player
//
// A game between two players, each a host process of its own, is one script
// whose lines start with the player's name ("Alice: click Bob h8"); each
// process plays the lines of its own player and skips the others. There the
// other player's moves arrive over the network when they arrive, so "expect"
// waits for what it expects (up to ScriptOptions::waitSeconds of real time),
// each stone that the player's own input puts on a board is printed as it is
// played ("move 1: Alice plays h8 (black)"), and the script ends once every
// message the player sent was confirmed by the other side.
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace tessaro {

namespace host {
class Host;
struct ModuleEntries;
}  // namespace host

struct ScriptOptions {
  std::string modulePath;  // the plug-in module to load
  // Instead: the plug-in built into this executable (the fuzz target of
  // script files, whose coverage must not be unmapped between inputs).
  const host::ModuleEntries* builtinModule = nullptr;

  // ---- One player of a game between two processes ----
  std::string player;       // empty: every line is played, in one process
  std::string profilePath;  // the player's profile; empty: one in memory
  // Called once the host exists, before the module loads: makes the profile
  // the player's (name, contacts) and gives the host its link to the other
  // player. False with *error when it cannot.
  std::function<bool(host::Host&, std::string* error)> connect;
  // How many sent messages still wait for the other side's confirmation.
  std::function<std::size_t()> unconfirmed;
  double waitSeconds = 30;
};

// Runs the script read from `in` (named `name` in messages). Output and
// "print" go to `out`; failures, one line each naming the script line and
// what was seen, to `err`. Returns 0 when every line ran and every
// expectation held, 1 otherwise, and 2 for a script that holds no command or
// cannot be read to its end, or when `out` fails: a run that checked nothing,
// or whose printout was lost, must not pass.
int RunScript(std::istream& in, const std::string& name, const ScriptOptions& options,
              std::ostream& out, std::ostream& err);

// The commands a script can use and what each does, one or more lines each
// (the list above), from the table the runner looks commands up in.
std::string ScriptCommandHelp();

// RunScript on the file at `path`; 2, with a message, when it is not a
// regular file (a folder, say) or cannot be opened.
int RunScriptFile(const std::string& path, const ScriptOptions& options, std::ostream& out,
                  std::ostream& err);

}  // namespace tessaro
