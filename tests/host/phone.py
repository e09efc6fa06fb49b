#!/usr/bin/python3
# Another client of an account, as people's phones and desktop clients are:
# slixmpp (Debian's python3-slixmpp) with message carbons on and delivery
# receipts answered, also for messages that ask for none.
#
#   phone.py ADDRESS PASSWORD HOST PORT
#
# Prints "online" once it is logged in with carbons on, then one line for each
# message it gets: "message FROM ID body|nobody"; a carbon copy as
# "carbon FROM ID body|nobody". Runs until its standard input closes.
import asyncio
import sys

import slixmpp
from slixmpp.xmlstream.handler import Callback
from slixmpp.xmlstream.matcher import StanzaPath


class Phone(slixmpp.ClientXMPP):
    def __init__(self, address, password):
        super().__init__(address, password)
        self.register_plugin("xep_0030")
        self.register_plugin("xep_0184")
        self.register_plugin("xep_0280")
        # The test servers offer no TLS, and a server that checks passwords
        # itself (ejabberd's external login) can only take them in plain.
        self["feature_mechanisms"].unencrypted_plain = True
        self.plugin["xep_0184"].auto_ack = True
        self.add_event_handler("session_start", self.started)
        # Every message, with a body or not (slixmpp's "message" event is only
        # for those with one).
        self.register_handler(Callback("every message", StanzaPath("message"), self.got))
        self.add_event_handler("carbon_received", lambda m: self.copy(m["carbon_received"]))
        self.add_event_handler("carbon_sent", lambda m: self.copy(m["carbon_sent"]))

    async def started(self, _):
        self.send_presence()
        await self.get_roster()
        await self.plugin["xep_0280"].enable()
        say("online")

    def got(self, message):
        if message.xml.find("{urn:xmpp:carbons:2}received") is not None:
            return
        if message.xml.find("{urn:xmpp:carbons:2}sent") is not None:
            return
        say("message %s %s %s" % (message["from"], message["id"] or "-", kind(message)))
        # As the clients people use: every message with an id is answered, so
        # that a receipt never counts for more than this client having it.
        if message["id"] and not message["receipt"] and message["from"].resource:
            reply = self.make_message(message["from"])
            reply["receipt"] = message["id"]
            reply.send()

    def copy(self, message):
        say("carbon %s %s %s" % (message["from"], message["id"] or "-", kind(message)))


def kind(message):
    return "body" if message.xml.find("{jabber:client}body") is not None else "nobody"


def say(line):
    print(line, flush=True)


def main():
    address, password, host, port = sys.argv[1:5]
    phone = Phone(address, password)
    phone.connect(address=(host, int(port)), disable_starttls=True, force_starttls=False)
    loop = asyncio.get_event_loop()
    closed = loop.run_in_executor(None, sys.stdin.read)
    loop.run_until_complete(closed)
    phone.disconnect()


if __name__ == "__main__":
    main()
