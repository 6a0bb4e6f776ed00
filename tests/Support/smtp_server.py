"""The SMTP server of the tests: aiosmtpd on two loopback ports, one plain
with STARTTLS and one with implicit TLS, AUTH LOGIN and PLAIN against a
file of users, and a script the tests change while it runs.

    smtp_server.py FOLDER CERT KEY

FOLDER/users       "name password" per line; AUTH checks against it
FOLDER/script.json read before each command; optional keys:
                     "mail": "550 5.7.1 refused"      answer to MAIL FROM
                     "rcpt": {"addr": "550 ..."}      answer per recipient
                     "data": "554 ..."                answer to the message
                     "refuse_nth": [2]                refuse these messages
                                                      (1-based count of DATA)
                     "delay_data": 2.5                seconds before taking
                                                      and answering the message
                     "delay_after_store": 2.5         seconds between taking
                                                      the message and the answer
                     "deliver": {"addr": "/Maildir"}  also deliver there
FOLDER/plain_port the plain port to listen on (optional; else a free one)
FOLDER/ports       "plain tls", written once both listen
FOLDER/mail/N.json the envelope of the N-th accepted message
FOLDER/mail/N.eml  its DATA, as received (dot-stuffing undone)
"""
import asyncio
import json
import os
import socket
import ssl
import sys
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword, SMTP

FOLDER, CERT, KEY = sys.argv[1], sys.argv[2], sys.argv[3]
MAIL = os.path.join(FOLDER, "mail")
os.makedirs(MAIL, exist_ok=True)


def script():
    try:
        with open(os.path.join(FOLDER, "script.json")) as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def users():
    result = {}
    try:
        with open(os.path.join(FOLDER, "users")) as f:
            for line in f:
                name, _, password = line.rstrip("\n").partition(" ")
                if name:
                    result[name] = password
    except OSError:
        pass
    return result


def authenticator(server, session, envelope, mechanism, auth_data):
    if isinstance(auth_data, LoginPassword):
        name = auth_data.login.decode("utf-8", "replace")
        password = auth_data.password.decode("utf-8", "replace")
        if users().get(name) == password:
            return AuthResult(success=True, auth_data=name)
    return AuthResult(success=False, handled=False)


class Handler:
    def __init__(self):
        self.count = 0      # messages that reached DATA
        self.stored = 0

    async def handle_MAIL(self, server, session, envelope, address, options):
        answer = script().get("mail")
        if answer:
            return answer
        envelope.mail_from = address
        envelope.mail_options.extend(options)
        return "250 2.1.0 OK"

    async def handle_RCPT(self, server, session, envelope, address, options):
        answer = script().get("rcpt", {}).get(address)
        if answer:
            return answer
        envelope.rcpt_tos.append(address)
        return "250 2.1.5 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        current = script()
        delay = current.get("delay_data", 0)
        if delay:
            await asyncio.sleep(delay)
        if self.count in current.get("refuse_nth", []):
            return "554 5.6.0 message refused by script"
        if current.get("data"):
            return current["data"]
        stored = self.store(session, envelope, current)
        # Taken, but the answer is slow: a client that dies meanwhile
        # cannot know the mail went.
        delay = current.get("delay_after_store", 0)
        if delay:
            await asyncio.sleep(delay)
        return "250 2.0.0 OK queued as %d" % stored

    def store(self, session, envelope, current):
        self.stored += 1
        base = os.path.join(MAIL, str(self.stored))
        content = envelope.original_content or b""
        with open(base + ".eml.tmp", "wb") as f:
            f.write(content)
        with open(base + ".json.tmp", "w") as f:
            json.dump({"from": envelope.mail_from, "to": envelope.rcpt_tos,
                       "login": str(session.auth_data or "")}, f)
        os.rename(base + ".eml.tmp", base + ".eml")
        os.rename(base + ".json.tmp", base + ".json")
        for rcpt in envelope.rcpt_tos:
            maildir = current.get("deliver", {}).get(rcpt)
            if maildir:
                name = "%d.%d.smtp" % (time.time_ns(), self.stored)
                temporary = os.path.join(maildir, "tmp", name)
                with open(temporary, "wb") as f:
                    f.write(content)
                owner = os.stat(maildir)
                os.chown(temporary, owner.st_uid, owner.st_gid)
                os.rename(temporary, os.path.join(maildir, "new", name))
        return self.stored


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wanted_port():
    """The plain port the test asked for in FOLDER/plain_port, else 0."""
    try:
        with open(os.path.join(FOLDER, "plain_port")) as f:
            return int(f.read().strip())
    except (OSError, ValueError):
        return 0


def started(make, port=0):
    """A controller on aPort, else a free port (it cannot take port 0)."""
    for attempt in range(20):
        controller = make(port or free_port())
        try:
            controller.start()
            return controller
        except Exception:
            if attempt == 19:
                raise


def main():
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(CERT, KEY)
    handler = Handler()
    common = dict(hostname="127.0.0.1", authenticator=authenticator, auth_required=False,
                  auth_require_tls=False, data_size_limit=None)
    plain = started(lambda port: Controller(handler, port=port, tls_context=context, require_starttls=False,
                                            **common), wanted_port())
    implicit = started(lambda port: Controller(handler, port=port, ssl_context=context, **common))
    ports = "%d %d" % (plain.port, implicit.port)
    with open(os.path.join(FOLDER, "ports.tmp"), "w") as f:
        f.write(ports)
    os.rename(os.path.join(FOLDER, "ports.tmp"), os.path.join(FOLDER, "ports"))
    try:
        sys.stdin.read()     # runs until the test closes our standard input
    finally:
        plain.stop()
        implicit.stop()


main()
