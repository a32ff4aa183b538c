#!/usr/bin/env python3
"""A loopback SMTP server for the notify tests, on aiosmtpd.

Prints {"port": N} once it listens, then one JSON line for each message it
takes, read back with Python's own mail parser: the envelope, the login and
its mechanism, and the headers and body decoded. Ends with its input.
"""
import argparse
import asyncio
import email
import email.policy
import json
import logging
import ssl
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

parser = argparse.ArgumentParser()
parser.add_argument("--security", choices=["starttls", "tls", "none"], default="starttls")
parser.add_argument("--cert")
parser.add_argument("--key")
parser.add_argument("--user")
parser.add_argument("--password")
args = parser.parse_args()

# Refusals are what the tests are after: no tracebacks or warnings for them.
logging.getLogger("mail.log").setLevel(logging.CRITICAL)
warnings.filterwarnings("ignore")


class Recorder:
    async def handle_DATA(self, server, session, envelope):
        message = email.message_from_bytes(envelope.content, policy=email.policy.default)
        print(json.dumps({
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "login": session.auth_data.login.decode() if session.auth_data else "",
            "mechanism": getattr(session, "larkvane_mechanism", ""),
            "tls": session.ssl is not None or args.security == "tls",
            "from": str(message["From"]),
            "to": str(message["To"]),
            "subject": str(message["Subject"]),
            "date": str(message["Date"]),
            "message_id": str(message["Message-ID"]),
            "content_type": message.get_content_type(),
            "charset": message.get_content_charset(),
            "body": message.get_content(),
        }, ensure_ascii=False), flush=True)
        return "250 OK"


def authenticator(server, session, envelope, mechanism, auth_data):
    session.larkvane_mechanism = mechanism
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login.decode() == args.user
          and auth_data.password.decode() == args.password)
    return AuthResult(success=ok, handled=False, auth_data=auth_data)


def make_server():
    options = {"hostname": "larkvane-test"}
    if args.user:
        # STARTTLS sessions are told apart by aiosmtpd; a TLS socket it
        # does not see, so the check is left to the socket.
        options.update(authenticator=authenticator, auth_required=True,
                       auth_require_tls=args.security == "starttls", auth_exclude_mechanism=["PLAIN"])
    if args.security == "starttls":
        options.update(tls_context=context, require_starttls=True)
    return SMTP(Recorder(), **options)


context = None
if args.security != "none" and args.cert:
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(args.cert, args.key)

loop = asyncio.new_event_loop()
server = loop.run_until_complete(loop.create_server(
    make_server, "127.0.0.1", 0, ssl=context if args.security == "tls" else None))
print(json.dumps({"port": server.sockets[0].getsockname()[1]}), flush=True)
loop.add_reader(sys.stdin, lambda: sys.stdin.read() or loop.stop())
loop.run_forever()
