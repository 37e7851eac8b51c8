#!/ usr / bin / python3
"""A mail server for the tests, on 127.0.0.1 (aiosmtpd from Debian).

smtpserver.py OUTDIR [--refuse ADDRESS]... [--tls CERT KEY [--auth USER PASSWORD]]
Prints its port on the first line. Each mail received becomes OUTDIR/mail-N/ with
envelope.json (mail_from, rcpt_tos), content.eml (the data as received, dots unstuffed) and,
for each uuencoded block of the data, attachments/NAME decoded with binascii.
--tls requires STARTTLS (that certificate) before MAIL; --auth then requires AUTH as USER.
"""
import asyncio
import binascii
import json
import os
import sys

from aiosmtpd.smtp import SMTP, AuthResult


def uudecode_blocks(text):
    blocks = {}
    lines = text.split("\r\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        if line.startswith("begin "):
            name = line.split(" ", 2)[2]
            data = b""
            i += 1
            while i < len(lines) and lines[i] not in ("`", "end"):
                # Only the characters that carry the line's bytes: the kiosk fills the last
                # group with spaces, which binascii would take for trailing garbage.
                count = (ord(lines[i][0]) - 32) & 63
                data += binascii.a2b_uu(lines[i][:1 + (count * 4 + 2) // 3])
                i += 1
            blocks[name] = data
        i += 1
    return blocks


class Handler:
    def __init__(self, outdir, refused):
        self.outdir = outdir
        self.refused = set(refused)
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.refused:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        folder = os.path.join(self.outdir, "mail-%d" % self.count)
        os.makedirs(os.path.join(folder, "attachments"))
        content = envelope.original_content or envelope.content
        with open(os.path.join(folder, "content.eml"), "wb") as f:
            f.write(content)
        text = content.decode("utf-8", "replace")
        for name, data in uudecode_blocks(text).items():
            with open(os.path.join(folder, "attachments", name), "wb") as f:
                f.write(data)
        with open(os.path.join(folder, "envelope.json"), "w") as f:
            json.dump({"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos}, f)
        return "250 Message accepted for delivery"


async def main():
    outdir = sys.argv[1]
    refused = [sys.argv[i + 1] for i, a in enumerate(sys.argv) if a == "--refuse"]
    handler = Handler(outdir, refused)
    options = {}
    args = sys.argv
    if "--tls" in args:
        import ssl
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args[args.index("--tls") + 1], args[args.index("--tls") + 2])
        options.update(tls_context=context, require_starttls=True)
    if "--auth" in args:
        user = args[args.index("--auth") + 1].encode()
        password = args[args.index("--auth") + 2].encode()

        def authenticator(server, session, envelope, mechanism, auth_data):
            # handled=False: aiosmtpd answers 535 itself to a refused login.
            return AuthResult(success=auth_data.login == user and auth_data.password == password,
                              handled=False)

        options.update(authenticator=authenticator, auth_required=True, auth_require_tls=True)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: SMTP(handler, hostname="tests.local", decode_data=False, **options),
        "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
