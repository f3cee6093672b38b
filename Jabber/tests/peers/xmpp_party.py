#!/usr/bin/python3
"""The other party of the XMPP tests, on Debian's python3-slixmpp.

Signs in, accepts subscription requests and asks back, announces a status (show, priority and the
extended status "zel:x:status"), answers receipt requests and "jabber:x:event" delivery requests,
and echoes every chat message with a body, asking for both and telling it is typing first. With
--caps its presence announces entity capabilities, whose discovery query it answers with chat
states among its features. A chat
message whose body is ASK_AGAIN makes it ask for the sender's presence instead, so a test gets a
fresh subscription request whenever it needs one. Every
event is one line in the events file. Once its session has started it listens on the ready port,
which tells the test runner it is ready; it ends after --seconds.
"""
import argparse
import asyncio
import logging
import socket
from xml.sax.saxutils import escape, quoteattr

import slixmpp
from slixmpp.xmlstream.handler import Callback
from slixmpp.xmlstream.matcher import MatchXPath

ap = argparse.ArgumentParser()
ap.add_argument('--jid', required=True)
ap.add_argument('--password', required=True)
ap.add_argument('--host', default='127.0.0.1')
ap.add_argument('--port', type=int, required=True)
ap.add_argument('--ready-port', type=int, required=True)
ap.add_argument('--events', required=True)
ap.add_argument('--seconds', type=float, default=120)
ap.add_argument('--subscribe', help='a JID to ask for its presence')
ap.add_argument('--show', default='')
ap.add_argument('--xstatus', default='')
ap.add_argument('--priority', type=int, default=0)
ap.add_argument('--echo', action='store_true')
ap.add_argument('--caps', action='store_true')
a = ap.parse_args()
logging.basicConfig(level=logging.WARNING)

EVENT = '{jabber:x:event}'
RECEIPTS = '{urn:xmpp:receipts}'
STATES = '{http://jabber.org/protocol/chatstates}'
ASK_AGAIN = 'ask for my presence'
DISCO = '{http://jabber.org/protocol/disco#info}'
CAPS_NODE = 'http://party.invalid/caps'
CAPS_VER = 'party-1'
FEATURES = ('http://jabber.org/protocol/disco#info', 'http://jabber.org/protocol/chatstates', 'urn:xmpp:receipts')


def log(*words):
    with open(a.events, 'a', encoding='utf-8') as out:
        out.write(' '.join(str(w).replace('\n', '\\n') for w in words) + '\n')


class Party(slixmpp.ClientXMPP):
    def __init__(self):
        super().__init__(a.jid, a.password)
        self.auto_authorize = True
        self.auto_subscribe = True
        self['feature_mechanisms'].unencrypted_plain = True
        self['feature_mechanisms'].unencrypted_digest = True
        self.echoes = 0
        self.ready = None
        self.add_event_handler('session_start', self.start)
        self.add_event_handler('presence_subscribe', self.on_subscribe)
        self.add_event_handler('presence_subscribed', lambda p: log('subscribed', p['from'].bare))
        self.add_event_handler('presence_unsubscribed', lambda p: log('unsubscribed', p['from'].bare))
        self.add_event_handler('failed_auth', lambda e: log('failed_auth'))
        self.register_handler(Callback('party messages', MatchXPath('{jabber:client}message'), self.on_message))
        self.register_handler(Callback('party presence', MatchXPath('{jabber:client}presence'), self.on_presence))
        self.register_handler(Callback('party disco', MatchXPath('{jabber:client}iq/%squery' % DISCO), self.on_disco))

    def announce(self):
        show = '<show>%s</show>' % escape(a.show) if a.show else ''
        xstatus = "<x xmlns='zel:x:status' value=%s/>" % quoteattr(a.xstatus) if a.xstatus else ''
        caps = ("<c xmlns='http://jabber.org/protocol/caps' node=%s ver=%s/>" % (quoteattr(CAPS_NODE), quoteattr(CAPS_VER))
                if a.caps else '')
        self.send_raw('<presence>%s<priority>%d</priority>%s%s</presence>' % (show, a.priority, xstatus, caps))

    def on_disco(self, iq):
        if iq.xml.get('type') != 'get':
            return
        node = iq.xml.find(DISCO + 'query').get('node') or ''
        log('disco', iq['from'].full, node)
        features = ''.join("<feature var=%s/>" % quoteattr(f) for f in FEATURES)
        self.send_raw("<iq type='result' to=%s id=%s><query xmlns='http://jabber.org/protocol/disco#info' node=%s>"
                      "<identity category='client' type='pc' name='party'/>%s</query></iq>"
                      % (quoteattr(iq['from'].full), quoteattr(iq['id']), quoteattr(node), features))

    def on_subscribe(self, presence):
        log('subscribe', presence['from'].bare)
        # The library answers with a plain presence of its own; ours follows it.
        self.loop.call_later(0.5, self.announce)

    async def start(self, event):
        await self.get_roster()
        self.announce()
        if a.subscribe:
            self.send_raw('<presence to=%s type="subscribe"/>' % quoteattr(a.subscribe))
        self.ready = socket.socket()
        self.ready.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.ready.bind(('127.0.0.1', a.ready_port))
        self.ready.listen(1)
        log('ready', self.boundjid.full)

    def on_presence(self, presence):
        if presence.xml.get('type') not in (None, 'available'):
            return
        x = presence.xml.find('{zel:x:status}x')
        log('presence', presence['from'].full, presence['show'] or '-',
            x.get('value') if x is not None else '-', presence['priority'])

    def on_message(self, msg):
        sender = msg['from'].full
        body = msg.xml.find('{jabber:client}body')
        event = msg.xml.find(EVENT + 'x')
        received = msg.xml.find(RECEIPTS + 'received')
        if received is not None:
            log('receipt', received.get('id'))
        if body is None:
            if event is not None and event.find(EVENT + 'delivered') is not None:
                log('delivered', event.findtext(EVENT + 'id'))
            return
        log('message', sender, msg['id'], body.text or '')
        if msg.xml.find(STATES + 'active') is not None:
            log('active', sender)
        if body.text == ASK_AGAIN:
            self.send_raw('<presence to=%s type="subscribe"/>' % quoteattr(msg['from'].bare))
            return
        if event is not None and event.find(EVENT + 'delivered') is not None and msg['id']:
            self.send_raw("<message to=%s><x xmlns='jabber:x:event'><delivered/><id>%s</id></x></message>"
                          % (quoteattr(sender), escape(msg['id'])))
        if msg.xml.find(RECEIPTS + 'request') is not None:
            self.send_raw("<message to=%s><received xmlns='urn:xmpp:receipts' id=%s/></message>"
                          % (quoteattr(sender), quoteattr(msg['id'] or '')))
        if a.echo and not (body.text or '').startswith('echo: '):
            self.echoes += 1
            self.send_raw("<message to=%s><composing xmlns='http://jabber.org/protocol/chatstates'/></message>"
                          % quoteattr(sender))
            self.send_raw("<message to=%s type='chat' id='echo%d'><body>%s</body>"
                          "<request xmlns='urn:xmpp:receipts'/>"
                          "<x xmlns='jabber:x:event'><delivered/><composing/></x></message>"
                          % (quoteattr(sender), self.echoes, escape('echo: ' + (body.text or ''))))


party = Party()
party.connect((a.host, a.port), use_ssl=False, disable_starttls=True)
loop = asyncio.get_event_loop()
loop.run_until_complete(asyncio.sleep(a.seconds))
party.disconnect()
loop.run_until_complete(asyncio.sleep(0.5))
log('exit')
