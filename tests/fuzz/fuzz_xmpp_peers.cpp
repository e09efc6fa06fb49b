// What the host judges of its contacts' clients and of its account's archive:
// presence capabilities, disco#info answers, archive results and ends. The first
// byte chooses (its low two bits) and sets flags (the rest); the others are
// fields separated by zero bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/xmpp_peers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaro::host;
  if (size == 0) return 0;
  std::vector<std::string> fields(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0) {
      fields.emplace_back();
    } else {
      fields.back().push_back(static_cast<char>(data[i]));
    }
  }
  const auto field = [&](size_t i) { return i < fields.size() ? fields[i] : std::string(); };
  const uint8_t flags = data[0] >> 2;
  switch (data[0] & 3) {
    case 0: {
      IncomingPresence presence{field(0), field(1), (flags & 1) != 0, field(2),
                                field(3), field(4), field(5)};
      const std::string ver = UsableCapsVer(presence);
      if (!ver.empty() && (ver != presence.caps_ver || ver.size() != 28)) std::abort();
      break;
    }
    case 1: {
      IncomingDiscoInfo answer{field(0), field(1), field(2), (flags & 1) != 0, field(3), {}};
      // Then identities of four fields while flags say so, then features.
      size_t next = 4;
      for (int i = 0; i < (flags >> 1) && next + 4 <= fields.size(); ++i, next += 4)
        answer.info.identities.push_back(
            {field(next), field(next + 1), field(next + 2), field(next + 3)});
      for (; next < fields.size(); ++next)
        answer.info.features.push_back(fields[next]);
      const ParsedDiscoInfo parsed = ParseDiscoInfo(answer);
      if (parsed.ok && (answer.type != "result" || !answer.has_query)) std::abort();
      if (!parsed.ver.empty() && parsed.ver.size() != 28) std::abort();
      if (parsed.game.kind == PeerGame::Kind::kSame && parsed.game.version != kLinkVersion)
        std::abort();
      break;
    }
    case 2: {
      IncomingArchived item;
      item.from = field(0);
      item.query_id = field(1);
      item.archive_id = field(2);
      item.to = field(3);
      item.message.from = field(4);
      item.message.id = field(5);
      item.message.has_game = (flags & 1) != 0;
      item.message.has_ack = (flags & 2) != 0;
      item.message.game_text = field(6);
      item.message.seq = field(7);
      item.message.epoch = field(8);
      item.message.ack_id = field(9);
      item.message.upto = field(10);
      item.message.delay_stamp = field(11);
      const std::string own = "alice@localhost/tessaro-1";
      const ParsedArchived parsed = ParseArchived(item, own, "q");
      if (parsed.kind != ParsedArchived::Kind::kIgnore && item.query_id != "q") std::abort();
      if (parsed.kind == ParsedArchived::Kind::kForUs &&
          (BareAddress(item.to) != "alice@localhost" ||
           (item.to != own && item.to.find('/') != std::string::npos) ||
           parsed.stanza.from == "alice@localhost")) {
        std::abort();
      }
      if (parsed.kind == ParsedArchived::Kind::kOwnAck &&
          (parsed.stanza.kind != ParsedStanza::Kind::kAck || parsed.peer.empty())) {
        std::abort();
      }
      break;
    }
    case 3: {
      IncomingArchiveEnd end{field(0), field(1), field(2), (flags & 1) != 0, field(3), field(4)};
      const ParsedArchiveEnd parsed = ParseArchiveEnd(end, "alice@localhost");
      if (!parsed.complete && (parsed.last.empty() || !parsed.ok)) std::abort();
      uint64_t at = 0;
      for (size_t i = 1; i < size && i < 9; ++i)
        at = at << 8 | data[i];
      at %= 253402300800000000;  // before the year 10000
      if (ParseStamp(FormatStamp(at)) != at) std::abort();
      break;
    }
  }
  return 0;
}
