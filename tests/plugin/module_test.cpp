// The built module as the host loads it: through dlopen, the three exports and
// PLUGINLINK only, on a headless platform. Nothing here links the plug-in's
// code: what the module does is seen through the host (menu, events, read
// marks) and the framework (windows, their texts and visibility, boxes).
#include <dlfcn.h>
#include <elf.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "apps/platform_queue.h"
#include "framework/headless/headless.h"
#include "host/host.h"

namespace tessaro::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// CmdText "hello" and CmdText "again" as the peer's plug-in frames them.
constexpr char kHelloFrame[] = "#RQ020000000500000068656C6C6F";
constexpr char kAgainFrame[] = "#RQ0200000005000000616761696E";

constexpr int kLogPane = 1007;

// The names a 64-bit shared object defines for other objects to use: the
// defined global or weak symbols of default visibility in its dynamic symbol
// table. Empty when the file is not such an object.
std::set<std::string> ExportedNames(const char* path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> file((std::istreambuf_iterator<char>(in)), {});
  std::set<std::string> names;
  Elf64_Ehdr header;
  if (file.size() < sizeof header) return names;
  std::memcpy(&header, file.data(), sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_shentsize != sizeof(Elf64_Shdr) ||
      header.e_shoff + uint64_t{header.e_shnum} * sizeof(Elf64_Shdr) > file.size()) {
    return names;
  }
  auto sectionAt = [&](size_t index) {
    Elf64_Shdr section;
    std::memcpy(&section, file.data() + header.e_shoff + index * sizeof section, sizeof section);
    return section;
  };
  for (size_t i = 0; i < header.e_shnum; ++i) {
    const Elf64_Shdr symbols = sectionAt(i);
    if (symbols.sh_type != SHT_DYNSYM || symbols.sh_link >= header.e_shnum) continue;
    const Elf64_Shdr strings = sectionAt(symbols.sh_link);
    if (symbols.sh_offset + symbols.sh_size > file.size() ||
        strings.sh_offset + strings.sh_size > file.size()) {
      continue;
    }
    for (uint64_t at = symbols.sh_offset;
         at + sizeof(Elf64_Sym) <= symbols.sh_offset + symbols.sh_size; at += sizeof(Elf64_Sym)) {
      Elf64_Sym symbol;
      std::memcpy(&symbol, file.data() + at, sizeof symbol);
      const unsigned binding = ELF64_ST_BIND(symbol.st_info);
      if (symbol.st_shndx == SHN_UNDEF || symbol.st_name >= strings.sh_size ||
          (binding != STB_GLOBAL && binding != STB_WEAK) ||
          ELF64_ST_VISIBILITY(symbol.st_other) != STV_DEFAULT) {
        continue;
      }
      const char* name = file.data() + strings.sh_offset + symbol.st_name;
      names.insert(std::string(name, strnlen(name, strings.sh_size - symbol.st_name)));
    }
  }
  return names;
}

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The game window writes a test file into the current folder.
    char pattern[] = "/tmp/tessaro-module-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    workDirectory = pattern;
    oldDirectory = std::filesystem::current_path();
    std::filesystem::current_path(workDirectory);

    std::string error;
    host = host::Host::Create(queue, {}, &error);
    ASSERT_NE(host, nullptr) << error;
    host->SetUserName("Me");
    bob = host->AddContact("Bob");
    alice = host->AddContact("Alice");
    msnFriend = host->AddContact("Carl", "MSN");
  }

  void TearDown() override {
    host.reset();
    ui.RunUntilIdle();
    std::filesystem::current_path(oldDirectory);
    std::error_code ignored;
    std::filesystem::remove_all(workDirectory, ignored);
  }

  void LoadPlugin() {
    std::string error;
    ASSERT_TRUE(host->LoadModule(TESSARO_PLUGIN_MODULE, &error)) << error;
  }

  // The contact-menu item "&Tessaro" offered for a contact, or none.
  std::optional<host::MenuItem> GameItem(HANDLE contact) const {
    for (const host::MenuItem& item : host->MenuItemsFor(contact)) {
      if (item.name == "&Tessaro") return item;
    }
    return std::nullopt;
  }

  void ChooseGameItem(HANDLE contact) {
    const auto item = GameItem(contact);
    ASSERT_TRUE(item.has_value());
    ASSERT_TRUE(host->InvokeMenuItem(contact, item->handle));
    ASSERT_TRUE(ui.RunUntilIdle());
  }

  // Stores a message as the protocol would and returns its handle.
  HANDLE AddMessage(HANDLE contact, const std::string& text, uint32_t flags = 0,
                    const std::string& module = "ICQ", uint16_t type = EVENTTYPE_MESSAGE) {
    host::EventRecord event;
    event.contact = contact;
    event.module = module;
    event.flags = flags;
    event.type = type;
    event.blob = text;
    event.blob.push_back('\0');
    return host->AddEvent(event);
  }

  bool IsRead(HANDLE event) const {
    const auto stored = host->Event(event);
    return stored && (stored->flags & DBEF_READ) != 0;
  }

  // The top-level dialogs on the platform: the game windows.
  std::vector<CWnd*> TopLevelDialogs() {
    std::vector<CWnd*> found;
    for (HWND hwnd : ui.platform().Windows()) {
      const WindowRecord* record = ui.platform().Find(hwnd);
      if (record == nullptr || record->child || record->kind != WindowKind::Dialog) continue;
      if (CWnd* wnd = CWnd::FromHandle(hwnd)) found.push_back(wnd);
    }
    return found;
  }

  static std::string TextOf(const CWnd& wnd) {
    std::string text;
    wnd.GetWindowText(text);
    return text;
  }

  static std::string LogOf(const CWnd& wnd) {
    const CWnd* pane = wnd.GetDlgItem(kLogPane);
    return pane != nullptr ? TextOf(*pane) : "(no log pane)";
  }

  // Declared first so that it goes last: the host unloads the module, whose
  // windows live on this platform.
  Headless ui;
  PlatformQueue queue;
  std::unique_ptr<host::Host> host;
  HANDLE bob = nullptr;
  HANDLE alice = nullptr;
  HANDLE msnFriend = nullptr;
  std::filesystem::path oldDirectory;
  std::filesystem::path workDirectory;
};

// ---- Exports and registration ----

TEST_F(ModuleTest, ExportsOnlyTheThreeEntryPoints) {
  EXPECT_THAT(ExportedNames(TESSARO_PLUGIN_MODULE),
              ::testing::ElementsAre("Load", "MirandaPluginInfo", "Unload"));
  LoadPlugin();
  void* module = dlopen(TESSARO_PLUGIN_MODULE, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(module, nullptr);
  for (const char* name : {"MirandaPluginInfo", "Load", "Unload"}) {
    EXPECT_NE(dlsym(module, name), nullptr) << name;
  }
  // Internal names of the plug-in's core, as the compiler mangles them: the
  // host link, the receive flag, the hook and the application object.
  for (const char* name :
       {"_ZN7tessaro10pluginLinkE", "_ZN7tessaro11receiveBusyE", "_ZN7tessaro12OnEventAddedEml",
        "_ZN7tessaro12OnMenuInvokeEml", "_ZN7tessaro9PluginApp7CurrentEv",
        "_ZN7tessaro10GameWindow9DrawBoardEv", "OnEventAdded", "pluginLink", "theApp"}) {
    EXPECT_EQ(dlsym(module, name), nullptr) << name;
  }
  dlclose(module);
}

TEST_F(ModuleTest, DescribesItselfTheSameOnEveryCall) {
  LoadPlugin();
  EXPECT_THAT(host->ModuleNames(), ElementsAre("Tessaro plugin"));
  void* module = dlopen(TESSARO_PLUGIN_MODULE, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(module, nullptr);
  auto info = reinterpret_cast<MIRANDAPLUGININFO_FN>(dlsym(module, "MirandaPluginInfo"));
  ASSERT_NE(info, nullptr);
  PLUGININFO* first = info(0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(info(0xFFFFFFFF), first);
  EXPECT_EQ(info(PLUGIN_MAKE_VERSION(0, 1, 2, 3)), first);
  EXPECT_EQ(first->cbSize, static_cast<int>(sizeof(PLUGININFO)));
  EXPECT_STREQ(first->shortName, "Tessaro plugin");
  EXPECT_EQ(first->version, 0x01000000u);
  EXPECT_STREQ(first->description, "Allows to play renju with a person from your contact list");
  EXPECT_EQ(first->isTransient, 0);
  EXPECT_EQ(first->replacesDefaultModule, 0);
  auto unload = reinterpret_cast<UNLOAD_FN>(dlsym(module, "Unload"));
  ASSERT_NE(unload, nullptr);
  EXPECT_EQ(unload(), 0);
  dlclose(module);
}

TEST_F(ModuleTest, MenuItemIsOfferedForIcqContactsOnly) {
  LoadPlugin();
  for (HANDLE contact : {bob, alice}) {
    const auto item = GameItem(contact);
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(item->position, -2000090000);
    EXPECT_EQ(item->service, "SRMsg/Invoke");
    EXPECT_EQ(item->owner, std::optional<std::string>("ICQ"));
    EXPECT_FALSE(item->popup.has_value());
    EXPECT_EQ(item->flags, 0u);
    EXPECT_EQ(ui.platform().IconResourceId(item->icon), 128u);
  }
  EXPECT_FALSE(GameItem(msnFriend).has_value());
  EXPECT_FALSE(GameItem(nullptr).has_value());
  EXPECT_TRUE(host->services().Exists("SRMsg/Invoke"));
  EXPECT_EQ(host->services().HookCount(ME_DB_EVENT_ADDED), 1u);
  EXPECT_TRUE(TopLevelDialogs().empty());  // no window before it is asked for
}

// ---- The menu command ----

TEST_F(ModuleTest, MenuShowsTheContactsWindowAndTheSameOneAgain) {
  LoadPlugin();
  ChooseGameItem(bob);
  auto windows = TopLevelDialogs();
  ASSERT_EQ(windows.size(), 1u);
  CWnd* bobs = windows[0];
  EXPECT_EQ(TextOf(*bobs), "Bob");
  EXPECT_TRUE(bobs->IsWindowVisible());

  bobs->ShowWindow(SW_HIDE);
  ChooseGameItem(bob);
  windows = TopLevelDialogs();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0], bobs);
  EXPECT_TRUE(bobs->IsWindowVisible());

  ChooseGameItem(alice);
  windows = TopLevelDialogs();
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(TextOf(*windows[1]), "Alice");
  EXPECT_TRUE(ui.driver().MessageBoxes().empty());
}

// ---- Routing of stored events ----

TEST_F(ModuleTest, GameMessageIsMarkedReadAndMakesAHiddenWindow) {
  LoadPlugin();
  const HANDLE first = AddMessage(bob, kHelloFrame);
  const HANDLE second = AddMessage(bob, kAgainFrame);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(IsRead(first));
  EXPECT_TRUE(IsRead(second));
  ASSERT_TRUE(ui.RunUntilIdle());

  const auto windows = TopLevelDialogs();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(TextOf(*windows[0]), "Bob");
  EXPECT_FALSE(windows[0]->IsWindowVisible());
  // The hidden window acted on both commands.
  EXPECT_EQ(LogOf(*windows[0]), "hello\nagain\n");

  // The menu then shows that very window, log and all.
  ChooseGameItem(bob);
  ASSERT_EQ(TopLevelDialogs().size(), 1u);
  EXPECT_TRUE(windows[0]->IsWindowVisible());
  EXPECT_EQ(LogOf(*windows[0]), "hello\nagain\n");
}

TEST_F(ModuleTest, OtherEventsStayUnreadAndMakeNoWindow) {
  LoadPlugin();
  struct Case {
    const char* what;
    HANDLE contact;
    std::string text;
    uint32_t flags;
    std::string module;
    uint16_t type;
  };
  const Case cases[] = {
      {"sent by the user", bob, kHelloFrame, DBEF_SENT, "ICQ", EVENTTYPE_MESSAGE},
      {"another protocol", msnFriend, kHelloFrame, 0, "MSN", EVENTTYPE_MESSAGE},
      {"another protocol's module on an ICQ contact", bob, kHelloFrame, 0, "MSN", 0},
      {"module name differs in case", bob, kHelloFrame, 0, "icq", EVENTTYPE_MESSAGE},
      {"module name with a suffix", bob, kHelloFrame, 0, "ICQ2", EVENTTYPE_MESSAGE},
      {"not a message", bob, kHelloFrame, 0, "ICQ", 2},
      {"a large event type", bob, kHelloFrame, 0, "ICQ", 0xFFFF},
      {"an ordinary message", bob, "hello Bob", 0, "ICQ", EVENTTYPE_MESSAGE},
      {"lower-case prefix", bob, "#rq020000000500000068656C6C6F", 0, "ICQ", 0},
      {"prefix not at the start", bob, std::string(" ") + kHelloFrame, 0, "ICQ", 0},
      {"prefix cut short", bob, "#R", 0, "ICQ", EVENTTYPE_MESSAGE},
      {"empty text", bob, "", 0, "ICQ", EVENTTYPE_MESSAGE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const HANDLE event = AddMessage(c.contact, c.text, c.flags, c.module, c.type);
    ASSERT_NE(event, nullptr);
    ASSERT_TRUE(ui.RunUntilIdle());
    EXPECT_FALSE(IsRead(event));
    EXPECT_TRUE(TopLevelDialogs().empty());
  }
  EXPECT_TRUE(ui.driver().MessageBoxes().empty());

  // The same contact's game message still gets through afterwards.
  const HANDLE game = AddMessage(bob, kHelloFrame);
  ASSERT_TRUE(ui.RunUntilIdle());
  EXPECT_TRUE(IsRead(game));
  EXPECT_EQ(TopLevelDialogs().size(), 1u);
}

TEST_F(ModuleTest, HookLeavesTheOtherHooksRunningAndSkipsUnknownEvents) {
  LoadPlugin();
  std::vector<HANDLE> seenLater;
  ASSERT_NE(host->services().Hook(ME_DB_EVENT_ADDED,
                                  [&](WPARAM, LPARAM event) {
                                    seenLater.push_back(reinterpret_cast<HANDLE>(event));
                                    return 0;
                                  }),
            nullptr);
  const HANDLE game = AddMessage(bob, kHelloFrame);
  const HANDLE chat = AddMessage(bob, "hi");
  EXPECT_THAT(seenLater, ElementsAre(game, chat));

  // A notification for an event the host cannot return is no game message.
  const HANDLE added = host->services().FindEvent(ME_DB_EVENT_ADDED);
  EXPECT_EQ(host->services().Notify(added, reinterpret_cast<WPARAM>(alice), 0x7FFFFF), 0);
  ASSERT_TRUE(ui.RunUntilIdle());
  const auto windows = TopLevelDialogs();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(TextOf(*windows[0]), "Bob");
}

// ---- Unload ----

TEST_F(ModuleTest, DestroyingTheHostDeletesEveryWindow) {
  LoadPlugin();
  ChooseGameItem(bob);
  AddMessage(alice, kHelloFrame);
  ASSERT_TRUE(ui.RunUntilIdle());
  ASSERT_EQ(TopLevelDialogs().size(), 2u);

  host.reset();
  ASSERT_TRUE(ui.RunUntilIdle());
  EXPECT_THAT(ui.platform().Windows(), IsEmpty());  // the controls went with their dialogs
  void* module = dlopen(TESSARO_PLUGIN_MODULE, RTLD_NOW | RTLD_NOLOAD);
  EXPECT_EQ(module, nullptr);  // and the module itself is gone
  if (module != nullptr) dlclose(module);
}

// ---- Without a rich edit control ----

TEST_F(ModuleTest, WithoutRichEditTheModuleStaysIdle) {
  ui.driver().SetRichEditAvailable(false);
  LoadPlugin();
  const auto boxes = ui.driver().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "AfxInitRichEdit failed");
  EXPECT_EQ(boxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_OK));

  EXPECT_THAT(host->ModuleNames(), ElementsAre("Tessaro plugin"));  // still loaded
  EXPECT_FALSE(GameItem(bob).has_value());
  EXPECT_FALSE(host->services().Exists("SRMsg/Invoke"));
  EXPECT_EQ(host->services().HookCount(ME_DB_EVENT_ADDED), 0u);

  const HANDLE event = AddMessage(bob, kHelloFrame);
  ASSERT_TRUE(ui.RunUntilIdle());
  EXPECT_FALSE(IsRead(event));
  EXPECT_TRUE(TopLevelDialogs().empty());
}

}  // namespace
}  // namespace tessaro::testing
