#!/usr/bin/env python3
"""The serial wire between the kiosk and the terminal simulator, at 9600 baud both ways: a
pseudo-terminal for the kiosk (LIEN, a symbolic link to it) relayed to the simulator's device,
each byte delivered 10 bits after the one before it in its direction. On SIGTERM it prints,
for each exchange (the kiosk's ENQ to the EOT that ends the terminal's turn), its time over
the wire time of the bytes that crossed, as "tpe.<request>.rapport<TAB>worst ratio" lines
with the time each side took to answer the line in that exchange, and "tpe.rapport.max" for
the worst of all.
Usage: ligne9600.py SIMULATEUR LIEN"""
import os
import pty
import select
import signal
import sys
import time
import tty

OCTET_S = 10 / 9600
ENQ, EOT, STX = 0x05, 0x04, 0x02
NOMS = {b'AA': 'statut', b'AK': 'solvabilite', b'AL': 'debit', b'AU': 'demarrage'}


def nom_requete(trame):
    if trame.startswith(b'AJ002'):
        return {b'04': 'telecollecte', b'03': 'rapport'}.get(trame[5:7], 'AJ')
    return NOMS.get(trame[:2], trame[:2].decode('latin-1'))


class Sens:
    """One direction: the bytes waiting (with when each came) and when the wire is free."""

    def __init__(self, vers):
        self.vers, self.file, self.arrivees, self.libre = vers, bytearray(), [], 0.0

    def echeance(self):
        """When the first byte waiting has wholly crossed: ten bits after it could start."""
        return max(self.arrivees[0], self.libre) + OCTET_S


def analyser(journal):
    """journal: (arrival time, delivery time, from the kiosk, byte) in delivery order.
    Returns, per request, the worst exchange: (ratio, ms the kiosk took to answer the line,
    ms the terminal took)."""
    pires = {}
    debut = None
    for arrivee, livre, kiosque, b in journal:
        if debut is None:
            if not (kiosque and b == ENQ):
                continue
            debut, octets, trame, requete, enTrame = arrivee, 0, bytearray(), None, False
            reaction = {True: 0.0, False: 0.0}
            dernier = None  # (delivery time, delivered to the kiosk)
        octets += 1
        # A side answering what was last delivered to it: its reaction time.
        if dernier is not None and dernier[1] == kiosque and arrivee > dernier[0]:
            reaction[kiosque] += arrivee - dernier[0]
        dernier = (livre, not kiosque)
        if kiosque and requete is None:
            if b == STX:
                enTrame, trame = True, bytearray()
            elif enTrame:
                trame.append(b)
                if len(trame) >= 7:
                    requete, enTrame = nom_requete(bytes(trame[:7])), False
        if not kiosque and b == EOT and requete is not None:
            rapport = (livre - debut) / (octets * OCTET_S)
            if rapport > pires.get(requete, (0,))[0]:
                pires[requete] = (rapport, reaction[True] * 1000, reaction[False] * 1000)
            debut = None
    return pires


def main():
    simulateur, lien = sys.argv[1], sys.argv[2]
    terminal = os.open(simulateur, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(terminal)
    maitre, esclave = pty.openpty()
    tty.setraw(esclave)
    nom = os.ttyname(esclave)
    if os.path.islink(lien):
        os.unlink(lien)
    os.symlink(nom, lien)
    sens = {maitre: Sens(terminal), terminal: Sens(maitre)}
    journal = []
    fini = []
    signal.signal(signal.SIGTERM, lambda *_: fini.append(1))
    while not fini:
        maintenant = time.monotonic()
        attente = min([max(0.0, s.echeance() - maintenant) for s in sens.values() if s.file]
                      or [0.05])
        try:
            prets, _, _ = select.select([maitre, terminal], [], [], attente)
        except InterruptedError:
            continue
        maintenant = time.monotonic()
        for fd in prets:
            try:
                donnees = os.read(fd, 4096)
            except OSError:
                donnees = b''
            sens[fd].file += donnees
            sens[fd].arrivees += [maintenant] * len(donnees)
        for fd, s in sens.items():
            while s.file and time.monotonic() >= s.echeance():
                s.libre = s.echeance()
                b = s.file.pop(0)
                os.write(s.vers, bytes([b]))
                journal.append((s.arrivees.pop(0), time.monotonic(), fd == maitre, b))
    pires = analyser(journal)
    for requete, (rapport, kiosque, terminal) in sorted(pires.items()):
        print('tpe.%s.rapport\t%.2f' % (requete, rapport))
        print('tpe.%s.reactions\tkiosk %.1f ms, terminal %.1f ms' % (requete, kiosque, terminal))
    if pires:
        print('tpe.rapport.max\t%.2f' % max(p[0] for p in pires.values()))
    os.unlink(lien)


if __name__ == '__main__':
    main()
