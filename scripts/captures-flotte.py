#!/usr/bin/env python3
"""Screenshots of the back-office's pages as an operator sees them: Debian's headless Chromium
driven through ChromeDriver on loopback logs in and saves each page as a PNG (1280x1024).

captures-flotte.py BASE_URL OPERATOR PAGE=FILE.png...   (the password on standard input)"""
import base64
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request


def free_port():
    s = socket.socket()
    s.bind(('127.0.0.1', 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Driver:
    def __init__(self, port):
        self.base = 'http://127.0.0.1:%d' % port
        self.session = None

    def call(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={'Content-Type': 'application/json'})
        with urllib.request.urlopen(request, timeout=60) as answer:
            return json.load(answer)['value']

    def s(self, path):
        return '/session/%s%s' % (self.session, path)

    def element(self, css):
        e = self.call('POST', self.s('/element'), {'using': 'css selector', 'value': css})
        return next(iter(e.values()))

    def wait_url(self, end, seconds=10):
        limit = time.monotonic() + seconds
        while not self.call('GET', self.s('/url')).endswith(end):
            if time.monotonic() > limit:
                raise RuntimeError('page %s not reached' % end)
            time.sleep(0.1)


def main():
    base, operator, pages = sys.argv[1], sys.argv[2], sys.argv[3:]
    password = sys.stdin.readline().rstrip('\n')
    port = free_port()
    with tempfile.TemporaryDirectory() as profile:
        driver = subprocess.Popen(['chromedriver', '--port=%d' % port, '--allowed-ips=127.0.0.1'],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            d = Driver(port)
            for _ in range(100):
                try:
                    if d.call('GET', '/status').get('ready'):
                        break
                except OSError:
                    pass
                time.sleep(0.1)
            args = ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                    '--no-first-run', '--no-proxy-server', '--disable-background-networking',
                    '--disable-component-update', '--disable-sync', '--hide-scrollbars',
                    '--user-data-dir=' + profile, '--window-size=1280,1024']
            d.session = d.call('POST', '/session', {'capabilities': {'alwaysMatch': {
                'goog:chromeOptions': {'binary': '/usr/bin/chromium', 'args': args}}}})['sessionId']
            d.call('POST', d.s('/url'), {'url': base + '/connexion'})
            d.call('POST', d.s('/element/%s/value' % d.element('#nom')), {'text': operator})
            d.call('POST', d.s('/element/%s/value' % d.element('#motdepasse')), {'text': password})
            d.call('POST', d.s('/element/%s/click' % d.element('button[type=submit]')), {})
            d.wait_url('/flotte')
            for page in pages:
                path, _, out = page.partition('=')
                d.call('POST', d.s('/url'), {'url': base + path})
                with open(out, 'wb') as f:
                    f.write(base64.b64decode(d.call('GET', d.s('/screenshot'))))
                print('%s -> %s' % (path, out))
            d.call('DELETE', d.s(''))
        finally:
            driver.terminate()
            driver.wait(10)
    return 0


if __name__ == '__main__':
    sys.exit(main())
