// The network thread's part in finding the peer's Tessaro (see xmpp_peers.h):
// the capabilities in our presence, answers to service discovery, and copying
// disco answers, presence capabilities and archive results into the records the
// link judges. Internal to the transport's sources: it speaks libstrophe's types.
#pragma once

#include <strophe.h>

#include "host/xmpp_peers.h"
#include "host/xmpp_transport.h"

namespace tessaro::host {

struct XmppTransport::Peers {
  using ReadMessage = IncomingStanza (*)(XmppTransport* self, xmpp_stanza_t* message);
  // Adds <c/> with what this transport advertises to an outgoing presence.
  static void AddCaps(XmppTransport* self, xmpp_stanza_t* presence);
  static IncomingPresence ReadPresence(xmpp_stanza_t* presence);
  // Every <iq/>: answers disco#info gets; hands on answers to the link's disco
  // and archive queries (ids "disco-…" and "mam-…"). Registered for "iq".
  static int OnIq(xmpp_conn_t* conn, xmpp_stanza_t* stanza, void* data);
  // A message wrapping an archive result: hands it on and returns true.
  static bool OnArchived(XmppTransport* self, xmpp_stanza_t* message, ReadMessage read);
};

}  // namespace tessaro::host
