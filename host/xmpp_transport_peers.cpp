#include "host/xmpp_transport_peers.h"

#include <cstring>
#include <string>
#include <utility>

namespace tessaro::host {

namespace {

std::string Text(const char* text) {
  return text != nullptr ? std::string(text) : std::string();
}

bool Is(const char* text, const char* expected) {
  return text != nullptr && std::strcmp(text, expected) == 0;
}

xmpp_stanza_t* Element(xmpp_ctx_t* ctx, const char* name, const char* ns) {
  xmpp_stanza_t* element = xmpp_stanza_new(ctx);
  xmpp_stanza_set_name(element, name);
  if (ns != nullptr) xmpp_stanza_set_ns(element, ns);
  return element;
}

void Adopt(xmpp_stanza_t* parent, xmpp_stanza_t* child) {
  xmpp_stanza_add_child(parent, child);
  xmpp_stanza_release(child);
}

// The text of the first child `name` of `parent`; empty when there is none.
std::string ChildText(xmpp_ctx_t* ctx, xmpp_stanza_t* parent, const char* name) {
  xmpp_stanza_t* child = parent != nullptr ? xmpp_stanza_get_child_by_name(parent, name) : nullptr;
  char* text = child != nullptr ? xmpp_stanza_get_text(child) : nullptr;
  std::string out = Text(text);
  if (text != nullptr) xmpp_free(ctx, text);
  return out;
}

// The answer to a disco#info get: what `info` says, for the node asked when it
// is ours, else item-not-found.
void AnswerDisco(xmpp_conn_t* conn, xmpp_ctx_t* ctx, xmpp_stanza_t* get, xmpp_stanza_t* query,
                 const DiscoInfo& info, const std::string& ver) {
  const std::string node = Text(xmpp_stanza_get_attribute(query, "node"));
  const bool ours = node.empty() || node == std::string(kCapsNode) + '#' + ver;
  xmpp_stanza_t* answer = xmpp_iq_new(ctx, ours ? "result" : "error", xmpp_stanza_get_id(get));
  if (const char* from = xmpp_stanza_get_from(get)) xmpp_stanza_set_to(answer, from);
  xmpp_stanza_t* out = Element(ctx, "query", kDiscoInfoNamespace);
  if (!node.empty()) xmpp_stanza_set_attribute(out, "node", node.c_str());
  if (ours) {
    for (const DiscoIdentity& identity : info.identities) {
      xmpp_stanza_t* element = Element(ctx, "identity", nullptr);
      xmpp_stanza_set_attribute(element, "category", identity.category.c_str());
      xmpp_stanza_set_attribute(element, "type", identity.type.c_str());
      if (!identity.lang.empty())
        xmpp_stanza_set_attribute(element, "xml:lang", identity.lang.c_str());
      if (!identity.name.empty()) xmpp_stanza_set_attribute(element, "name", identity.name.c_str());
      Adopt(out, element);
    }
    for (const std::string& feature : info.features) {
      xmpp_stanza_t* element = Element(ctx, "feature", nullptr);
      xmpp_stanza_set_attribute(element, "var", feature.c_str());
      Adopt(out, element);
    }
    Adopt(answer, out);
  } else {
    Adopt(answer, out);
    xmpp_stanza_t* error = Element(ctx, "error", nullptr);
    xmpp_stanza_set_type(error, "cancel");
    Adopt(error, Element(ctx, "item-not-found", "urn:ietf:params:xml:ns:xmpp-stanzas"));
    Adopt(answer, error);
  }
  xmpp_send(conn, answer);
  xmpp_stanza_release(answer);
}

}  // namespace

void XmppTransport::Peers::AddCaps(XmppTransport* self, xmpp_stanza_t* presence) {
  xmpp_ctx_t* ctx = static_cast<xmpp_ctx_t*>(self->ctx_);
  xmpp_stanza_t* caps = Element(ctx, "c", kCapsNamespace);
  xmpp_stanza_set_attribute(caps, "hash", "sha-1");
  xmpp_stanza_set_attribute(caps, "node", kCapsNode);
  xmpp_stanza_set_attribute(caps, "ver", self->caps_ver_.c_str());
  Adopt(presence, caps);
}

IncomingPresence XmppTransport::Peers::ReadPresence(xmpp_stanza_t* presence) {
  IncomingPresence in;
  in.from = Text(xmpp_stanza_get_from(presence));
  in.type = Text(xmpp_stanza_get_type(presence));
  if (xmpp_stanza_t* status = xmpp_stanza_get_child_by_name(presence, "status")) {
    if (char* text = xmpp_stanza_get_text(status)) {
      in.status = text;
      xmpp_free(xmpp_stanza_get_context(presence), text);
    }
  }
  if (xmpp_stanza_t* caps = xmpp_stanza_get_child_by_name_and_ns(presence, "c", kCapsNamespace)) {
    in.has_caps = true;
    in.caps_hash = Text(xmpp_stanza_get_attribute(caps, "hash"));
    in.caps_node = Text(xmpp_stanza_get_attribute(caps, "node"));
    in.caps_ver = Text(xmpp_stanza_get_attribute(caps, "ver"));
  }
  return in;
}

int XmppTransport::Peers::OnIq(xmpp_conn_t* conn, xmpp_stanza_t* stanza, void* data) {
  auto* self = static_cast<XmppTransport*>(data);
  xmpp_ctx_t* ctx = static_cast<xmpp_ctx_t*>(self->ctx_);
  const char* type = xmpp_stanza_get_type(stanza);
  const std::string id = Text(xmpp_stanza_get_id(stanza));
  if (Is(type, "get")) {
    if (xmpp_stanza_t* query =
            xmpp_stanza_get_child_by_name_and_ns(stanza, "query", kDiscoInfoNamespace)) {
      AnswerDisco(conn, ctx, stanza, query, self->advertised_, self->caps_ver_);
    }
    return 1;
  }
  if (!Is(type, "result") && !Is(type, "error")) return 1;
  if (id.starts_with("disco-")) {
    IncomingDiscoInfo in;
    in.from = Text(xmpp_stanza_get_from(stanza));
    in.type = Text(type);
    in.id = id;
    if (xmpp_stanza_t* query =
            xmpp_stanza_get_child_by_name_and_ns(stanza, "query", kDiscoInfoNamespace)) {
      in.has_query = true;
      in.node = Text(xmpp_stanza_get_attribute(query, "node"));
      for (xmpp_stanza_t* child = xmpp_stanza_get_children(query); child != nullptr;
           child = xmpp_stanza_get_next(child)) {
        const char* name = xmpp_stanza_get_name(child);
        if (Is(name, "identity")) {
          in.info.identities.push_back({Text(xmpp_stanza_get_attribute(child, "category")),
                                        Text(xmpp_stanza_get_attribute(child, "type")),
                                        Text(xmpp_stanza_get_attribute(child, "xml:lang")),
                                        Text(xmpp_stanza_get_attribute(child, "name"))});
        } else if (Is(name, "feature")) {
          in.info.features.push_back(Text(xmpp_stanza_get_attribute(child, "var")));
        }
        // More than a client has: the link refuses the answer whole.
        if (in.info.identities.size() + in.info.features.size() > 2 * kMaxDiscoItems + 1) break;
      }
    }
    if (!self->stop_) self->listener_.OnDiscoInfo(std::move(in));
  } else if (id.starts_with("mam-")) {
    IncomingArchiveEnd in;
    in.from = Text(xmpp_stanza_get_from(stanza));
    in.id = id;
    in.type = Text(type);
    if (xmpp_stanza_t* fin = xmpp_stanza_get_child_by_name_and_ns(stanza, "fin", kMamNamespace)) {
      in.has_fin = true;
      in.complete = Text(xmpp_stanza_get_attribute(fin, "complete"));
      in.last =
          ChildText(ctx, xmpp_stanza_get_child_by_name_and_ns(fin, "set", kRsmNamespace), "last");
    }
    if (!self->stop_) self->listener_.OnArchiveEnd(std::move(in));
  }
  return 1;
}

bool XmppTransport::Peers::OnArchived(XmppTransport* self, xmpp_stanza_t* message,
                                      ReadMessage read) {
  xmpp_stanza_t* result = xmpp_stanza_get_child_by_name_and_ns(message, "result", kMamNamespace);
  if (result == nullptr) return false;
  IncomingArchived in;
  in.from = Text(xmpp_stanza_get_from(message));
  in.query_id = Text(xmpp_stanza_get_attribute(result, "queryid"));
  in.archive_id = Text(xmpp_stanza_get_attribute(result, "id"));
  xmpp_stanza_t* forwarded =
      xmpp_stanza_get_child_by_name_and_ns(result, "forwarded", kForwardNamespace);
  xmpp_stanza_t* inner =
      forwarded != nullptr ? xmpp_stanza_get_child_by_name(forwarded, "message") : nullptr;
  if (inner != nullptr) {
    in.message = read(self, inner);
    in.to = Text(xmpp_stanza_get_to(inner));
    // When the archive took it: the server's stamp, not one inside the message.
    in.message.delay_stamp.clear();
    if (xmpp_stanza_t* delay =
            xmpp_stanza_get_child_by_name_and_ns(forwarded, "delay", kDelayNamespace)) {
      in.message.delay_stamp = Text(xmpp_stanza_get_attribute(delay, "stamp"));
    }
  }
  if (!self->stop_) self->listener_.OnArchived(std::move(in));
  return true;
}

}  // namespace tessaro::host
