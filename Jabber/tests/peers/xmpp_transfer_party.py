#!/usr/bin/python3
"""The other party of the XMPP account tests, on Debian's python3-slixmpp.

Signs in, does what it is asked in this order, prints one EVENT line per step and quits, at the
latest after --seconds:
  --publish-vcard XML   publishes the vCard element XML as its own
  --fetch-vcard JID     asks for the vCard of JID and prints it on one line
  --send-file TO PATH   offers PATH to the full JID TO by stream initiation and sends it over
                        in-band bytestreams once accepted; several are sent at once
"""
import argparse, asyncio, base64, logging, os, sys, uuid
import xml.etree.ElementTree as ET
import slixmpp

ET.register_namespace('', 'vcard-temp')
from slixmpp.xmlstream.handler import CoroutineCallback
from slixmpp.xmlstream.matcher import StanzaPath

ap = argparse.ArgumentParser()
ap.add_argument('--jid', required=True)
ap.add_argument('--password', required=True)
ap.add_argument('--host', default='127.0.0.1')
ap.add_argument('--port', type=int, default=5222)
ap.add_argument('--seconds', type=float, default=60)
ap.add_argument('--publish-vcard')
ap.add_argument('--fetch-vcard')
ap.add_argument('--send-file', nargs=2, action='append', default=[], metavar=('TO', 'PATH'))
ap.add_argument('--block-size', type=int, default=4096)
a = ap.parse_args()
logging.basicConfig(level=logging.ERROR, format='%(levelname)s %(message)s')


def event(*words):
    print('EVENT', *words, flush=True)


class Party(slixmpp.ClientXMPP):
    def __init__(self):
        super().__init__(a.jid, a.password)
        for plugin in ('xep_0030', 'xep_0047', 'xep_0095', 'xep_0096', 'xep_0199'):
            self.register_plugin(plugin)
        # slixmpp 1.8.3 registers its offer handler as a plain callback, so a coroutine is never
        # awaited: registered again as a coroutine callback.
        self.remove_handler('SI Request')
        self.register_handler(CoroutineCallback('SI Request', StanzaPath('iq@type=set/si'),
                                                self['xep_0095']._handle_request))
        self['feature_mechanisms'].unencrypted_plain = True
        self.add_event_handler('session_start', self.start)
        self.add_event_handler('failed_auth', lambda e: event('failed_auth'))
        self.finished = asyncio.Event()

    async def start(self, _):
        event('session_start', self.boundjid)
        try:
            self.send_presence()
            if a.publish_vcard:
                iq = self.make_iq_set()
                iq.append(ET.fromstring(a.publish_vcard))
                reply = await iq.send(timeout=10)
                event('vcard_published', reply['type'])
            if a.fetch_vcard:
                iq = self.make_iq_get(ito=a.fetch_vcard)
                iq.append(ET.Element('{vcard-temp}vCard'))
                reply = await iq.send(timeout=10)
                card = reply.xml.find('{vcard-temp}vCard')
                text = ET.tostring(card, encoding='unicode') if card is not None else ''
                event('vcard', base64.b64encode(text.encode()).decode())
            if a.send_file:
                results = await asyncio.gather(*(self.send_file(to, path) for to, path in a.send_file),
                                               return_exceptions=True)
                for (to, path), result in zip(a.send_file, results):
                    if isinstance(result, Exception):
                        event('file_failed', os.path.basename(path), repr(result).replace('\n', ' '))
        except Exception as e:
            event('failed', repr(e).replace('\n', ' '))
        self.finished.set()

    async def send_file(self, to, path):
        data = open(path, 'rb').read()
        sid = uuid.uuid4().hex
        reply = await self['xep_0096'].request_file_transfer(
            to, sid=sid, name=os.path.basename(path), size=len(data), timeout=20,
            methods=[{'value': 'http://jabber.org/protocol/ibb'}])
        method = reply['si']['feature_neg']['form'].get_values().get('stream-method')
        event('si_accepted', os.path.basename(path), method)
        stream = await self['xep_0047'].open_stream(to, sid=sid, block_size=a.block_size)
        await stream.sendall(data)
        await stream.close()
        event('file_sent', os.path.basename(path), len(data))


async def main():
    party = Party()
    party.connect((a.host, a.port), use_ssl=False, disable_starttls=True)
    try:
        await asyncio.wait_for(party.finished.wait(), a.seconds)
    except asyncio.TimeoutError:
        event('timeout')
    party.disconnect()
    await asyncio.sleep(0.5)


asyncio.get_event_loop().run_until_complete(main())
print('EXIT', flush=True)
