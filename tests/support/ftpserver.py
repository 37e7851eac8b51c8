#!/usr/bin/python3
"""An FTP server for the tests, on 127.0.0.1 (pyftpdlib from Debian).

ftpserver.py HOME USER PASSWORD [--refuse-login] [--silent-after BYTES] [--trickle SECONDS]
             [--close-mid-reply]
Prints its port on the first line. USER logs in with PASSWORD and sees HOME as "/".
--refuse-login answers 530 to every login, at once.
--silent-after BYTES stops reading an upload once BYTES have arrived and never answers
again on that session, as a server that died mid-transfer.
--trickle SECONDS sends every reply on the commands a byte at a time, one each SECONDS, as a
server on a line that barely moves: never silent for long, never done.
--close-mid-reply sends the first half of its greeting and closes the connection.
--tls CERT KEY requires explicit TLS (AUTH TLS) on the commands and the data, with that
certificate; a client in clear is refused its login.
"""
import logging
import sys

from pyftpdlib.handlers import asynchat
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


class TricklingFTPHandler(FTPHandler):
    """Replies go out a byte at a time, one each `interval` seconds."""

    interval = 1.0

    def push(self, data):
        if isinstance(data, str):
            data = data.encode("utf8")
        pending = getattr(self, "_pending", b"")
        self._pending = pending + data
        if not pending:
            self._next_byte()

    def _next_byte(self):
        if not self.connected or not self._pending:
            return
        asynchat.async_chat.push(self, self._pending[:1])
        self._pending = self._pending[1:]
        if self._pending:
            self.ioloop.call_later(self.interval, self._next_byte, _errback=self.handle_error)


class ClosingFTPHandler(FTPHandler):
    """Half a greeting, then the connection goes."""

    def handle(self):
        asynchat.async_chat.push(self, b"220 pyftpdlib rea")
        self.close_when_done()


def handshaking_dtp_handler():
    from pyftpdlib.handlers import TLS_DTPHandler

    class HandshakingDTPHandler(TLS_DTPHandler):
        # A client starts the data connection's TLS handshake before it sends STOR; pyftpdlib
        # 1.5.7 takes those bytes on a channel not yet receiving for a disconnection.
        def readable(self):
            if self._ssl_accepting or self._ssl_want_read:
                return True
            return super().readable()

    return HandshakingDTPHandler


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
    if "--trickle" in args:
        handler = TricklingFTPHandler
        handler.interval = float(args[args.index("--trickle") + 1])
    if "--close-mid-reply" in args:
        handler = ClosingFTPHandler
    if "--tls" in args:
        from OpenSSL import SSL
        from pyftpdlib.handlers import TLS_FTPHandler
        handler = TLS_FTPHandler
        context = SSL.Context(SSL.SSLv23_METHOD)
        context.set_options(SSL.OP_NO_SSLv2 | SSL.OP_NO_SSLv3 | SSL.OP_NO_COMPRESSION)
        context.use_certificate_chain_file(args[args.index("--tls") + 1])
        context.use_privatekey_file(args[args.index("--tls") + 2])
        # The data connections resume the control connection's TLS session, as FTPS clients
        # do: OpenSSL resets a resumption on a context without a session id.
        context.set_session_id(b"movendi-tests")
        handler.ssl_context = context
        handler.dtp_handler = handshaking_dtp_handler()
        handler.tls_control_required = True
        handler.tls_data_required = True
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
