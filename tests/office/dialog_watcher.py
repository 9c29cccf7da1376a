#!/usr/bin/env python3
"""A watcher of a colleague's line (RFC 4235 dialog event package) for the office tests.

    dialog_watcher.py PORT USER PASSWORD TARGET OUTPUT

Subscribes as USER (digest credentials) at the SIP server on 127.0.0.1:PORT to the dialogs of
TARGET, answers every NOTIFY, and appends one line per NOTIFY to OUTPUT: the states of its
dialogs ("early", "confirmed", "terminated"; "none" for a document without dialogs). Writes
"subscribed" first once the server accepted the subscription. Runs until it is killed.
"""
import hashlib
import random
import re
import socket
import sys

port, user, password, target, output = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
server = ("127.0.0.1", port)
sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sock.bind(("127.0.0.1", 0))
local = sock.getsockname()[1]
uri = "sip:%s@127.0.0.1:%d" % (target, port)
call_id = "watch-%d@127.0.0.1" % random.randint(0, 10**9)


def md5(text):
    return hashlib.md5(text.encode()).hexdigest()


def subscribe(cseq, authorization=""):
    request = (
        "SUBSCRIBE %s SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:%d;rport;branch=z9hG4bK%d\r\n"
        "Max-Forwards: 70\r\nFrom: <sip:%s@127.0.0.1:%d>;tag=watcher\r\nTo: <%s>\r\nCall-ID: %s\r\n"
        "CSeq: %d SUBSCRIBE\r\nContact: <sip:%s@127.0.0.1:%d>\r\nEvent: dialog\r\n"
        "Accept: application/dialog-info+xml\r\nExpires: 300\r\n%sContent-Length: 0\r\n\r\n"
        % (uri, local, random.randint(0, 10**9), user, port, uri, call_id, cseq, user, local, authorization)
    )
    sock.sendto(request.encode(), server)


def note(line):
    with open(output, "a") as out:
        out.write(line + "\n")


def answer(notify):
    copied = [l for l in notify.split("\r\n") if l.split(":")[0] in ("Via", "From", "To", "Call-ID", "CSeq")]
    sock.sendto(("SIP/2.0 200 OK\r\n" + "\r\n".join(copied) + "\r\nContent-Length: 0\r\n\r\n").encode(), server)


subscribe(1)
while True:
    message = sock.recv(65535).decode(errors="replace")
    status = message.split("\r\n", 1)[0]
    if status.startswith("SIP/2.0 407") or status.startswith("SIP/2.0 401"):
        realm, nonce = re.search(r'realm="([^"]+)", nonce="([^"]+)"', message).groups()
        response = md5(md5("%s:%s:%s" % (user, realm, password)) + ":" + nonce + ":" + md5("SUBSCRIBE:" + uri))
        subscribe(2, 'Proxy-Authorization: Digest username="%s", realm="%s", nonce="%s", uri="%s", response="%s"\r\n'
                  % (user, realm, nonce, uri, response))
    elif status.startswith("SIP/2.0 2"):
        note("subscribed")
    elif status.startswith("NOTIFY"):
        answer(message)
        states = re.findall(r"<state[^>]*>\s*(\w+)\s*</state>", message)
        note(" ".join(states) or "none")
