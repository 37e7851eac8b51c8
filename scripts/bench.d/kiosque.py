#!/usr/bin/env python3
"""The kiosk on an X display: its start-up (exec to the home screen shown, as the kiosk tells a
service manager with READY=1), what the home screen costs while it waits (the few seconds before
the attract film of each start), then what the film costs, against GStreamer's own player
playing the same file on the same display. Prints "key<TAB>value" lines.
Usage: kiosque.py BIN DOSSIER FOIS SECONDES_FILM"""
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from proc import cpu, commutations, statut  # noqa: E402

# The home screen starts the film 7 s after it shows; its first second, the end of start-up
# (pictures loaded, first paints, the fleet's link), is left out.
FENETRE_ACCUEIL = (1.5, 6.5)


def attendre_pret(sock, limite):
    fin = time.monotonic() + limite
    while time.monotonic() < fin:
        sock.settimeout(max(0.01, fin - time.monotonic()))
        try:
            if b'READY=1' in sock.recv(4096):
                return time.monotonic()
        except socket.timeout:
            break
    return None


def arreter(p):
    p.terminate()
    try:
        p.wait(10)
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait()


class Fenetre:
    """Processor time and switches of a process between two instants."""

    def __init__(self, pid):
        self.pid = pid
        self.debut = (cpu(pid), commutations(pid), time.monotonic())

    def fin(self):
        c, s, t = cpu(self.pid), commutations(self.pid), time.monotonic()
        return c - self.debut[0], s - self.debut[1], t - self.debut[2]


def main():
    binaires, dossier, fois, film = sys.argv[1], sys.argv[2], int(sys.argv[3]), float(sys.argv[4])
    env = dict(os.environ, QT_QPA_PLATFORM='xcb', MOVENDI_BOITES=os.path.join(dossier, 'boites.txt'))
    demarrages, accueil, rss_accueil = [], [0.0, 0, 0.0], 0.0
    with tempfile.TemporaryDirectory() as tmp:
        chemin = os.path.join(tmp, 'notify')
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        sock.bind(chemin)
        env['NOTIFY_SOCKET'] = chemin
        for i in range(fois):
            t0 = time.monotonic()
            p = subprocess.Popen([os.path.join(binaires, 'movendi'), '--dossier', dossier], env=env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            pret = attendre_pret(sock, 30)
            if pret is None:
                arreter(p)
                sys.exit('le kiosque ne dit pas READY=1')
            demarrages.append(pret - t0)
            time.sleep(max(0.0, pret + FENETRE_ACCUEIL[0] - time.monotonic()))
            f = Fenetre(p.pid)
            time.sleep(max(0.0, pret + FENETRE_ACCUEIL[1] - time.monotonic()))
            c, s, t = f.fin()
            accueil = [accueil[0] + c, accueil[1] + s, accueil[2] + t]
            rss_accueil = max(rss_accueil, statut(p.pid, 'VmRSS') / 1024)
            if i == fois - 1:
                # The film is up a second after its timer; its first second is left out.
                time.sleep(max(0.0, pret + 9 - time.monotonic()))
                f = Fenetre(p.pid)
                time.sleep(film)
                c, s, t = f.fin()
                print(f'film.cpu\t{100 * c / t:.2f}')
                print(f'film.reveils\t{s / t:.1f}')
                print(f'film.rss\t{statut(p.pid, "VmRSS") / 1024:.0f}')
                print(f'film.fils\t{statut(p.pid, "Threads")}')
            arreter(p)
    print(f'demarrage.median\t{statistics.median(demarrages):.3f}')
    print(f'demarrage.max\t{max(demarrages):.3f}')
    print(f'accueil.cpu\t{100 * accueil[0] / accueil[2]:.3f}')
    print(f'accueil.reveils\t{accueil[1] / accueil[2]:.2f}')
    print(f'accueil.rss\t{rss_accueil:.0f}')
    print(f'accueil.secondes\t{accueil[2]:.0f}')

    # GStreamer's player, run again each time the film ends, for as long as the kiosk's film
    # was measured; each run from half a second in (its start-up left out) to its end.
    uri = 'file://' + os.path.abspath(os.path.join(dossier, 'video', 'animation.avi'))
    total, rss, fin = [0.0, 0.0], 0.0, time.monotonic() + film
    while time.monotonic() < fin:
        p = subprocess.Popen(['gst-launch-1.0', '-q', 'playbin', f'uri={uri}'], env=env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)
        dernier = (0.0, 0, 0.0)
        try:
            f = Fenetre(p.pid)
            dernier = f.fin()
            while p.poll() is None:
                dernier = f.fin()
                rss = max(rss, statut(p.pid, 'VmRSS') / 1024)
                time.sleep(0.2)
        except (FileNotFoundError, ProcessLookupError):
            pass
        p.wait()
        total = [total[0] + dernier[0], total[1] + dernier[2]]
    print(f'gst.cpu\t{100 * total[0] / max(total[1], 1e-9):.2f}')
    print(f'gst.rss\t{rss:.0f}')


if __name__ == '__main__':
    main()
