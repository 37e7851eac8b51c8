#!/usr/bin/python3
"""An FTP server for the tests, on 127.0.0.1 (pyftpdlib from Debian).

ftpserver.py HOME USER PASSWORD [--refuse-login] [--silent-after BYTES]
Prints its port on the first line. USER logs in with PASSWORD and sees HOME as "/".
--refuse-login answers 530 to every login, at once.
--silent-after BYTES stops reading an upload once BYTES have arrived and never answers
again on that session, as a server that died mid-transfer.
"""
import logging
import sys

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


class RefusingAuthorizer(DummyAuthorizer):
    def validate_authentication(self, username, password, handler):
        raise AuthenticationFailed("Authentication failed.")


class SilentDTPHandler(DTPHandler):
    silent_after = None

    def handle_read(self):
        left = self.silent_after - self.tot_bytes_received
        if left <= 0:
            # Out of the loop without closing: the client sees a peer that stopped.
            self.del_channel()
            return
        # Never past the limit in one read, whatever the buffer size.
        saved = self.ac_in_buffer_size
        self.ac_in_buffer_size = min(saved, left)
        try:
            super().handle_read()
        finally:
            self.ac_in_buffer_size = saved

    # The base class reads through this alias.
    handle_read_event = handle_read


def main():
    args = sys.argv[1:]
    home, user, password = args[0], args[1], args[2]
    refuse = "--refuse-login" in args
    silent_after = None
    if "--silent-after" in args:
        silent_after = int(args[args.index("--silent-after") + 1])

    logging.basicConfig(level=logging.WARNING)
    authorizer = RefusingAuthorizer() if refuse else DummyAuthorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.auth_failed_timeout = 0
    handler.permit_foreign_addresses = False
    if silent_after is not None:
        SilentDTPHandler.silent_after = silent_after
        handler.dtp_handler = SilentDTPHandler
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
