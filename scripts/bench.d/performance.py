#!/usr/bin/env python3
"""Turns the benchmarks' "key<TAB>value" lines into the performance page: machine, command,
each figure beside its goal, a figure that misses its goal marked so with what limits it.
Usage: performance.py MESURES MACHINE_TEXT COMMANDE > docs/performance.md"""
import sys


def lire(chemin):
    m = {}
    with open(chemin) as f:
        for ligne in f:
            if '\t' in ligne:
                cle, valeur = ligne.rstrip('\n').split('\t', 1)
                m[cle] = valeur
    return m


def nombre(m, cle):
    try:
        return float(m[cle])
    except (KeyError, ValueError):
        return None


# What limits a figure that misses its goal, found by profiling it; keyed like LIGNES below.
LIMITES = {
    'film.cpu': "Qt Multimedia's own conversion of each decoded frame to RGB before the widget "
                "paints it (most of the kiosk's samples under perf are in libQt6Multimedia and "
                "memmove), where playbin's videoconvert hands the X server its frames with "
                "GStreamer's vectorised conversion. What our code could remove is gone: no OpenGL "
                "context (Mesa's software rasteriser tripled the cost), no sound output for a film "
                "without sound.",
    'film.rss': "Qt Multimedia's GStreamer pipeline and the sound server's client library, which "
                "Qt loads with the media back-end even without a sound output.",
    'csv.100000.temps': "The staff tool's own start and the export's two other files (top-ups and "
                        "the remittance workbook): an export of an empty period takes 0.06 s. "
                        "The rows themselves are read from SQLite's text and written as they come, "
                        "as sqlite3 does, then converted to Windows-1252 and recorded in the "
                        "store, which sqlite3 does not do. Under perf, SQLite's own work on the "
                        "view is three quarters of the run, the top-ups' query over the same "
                        "lines a tenth, loading Qt's libraries most of the rest.",
    'classeur.65535.memoire': "The Excel 97 format: every distinct text of the sheet (each "
                              "phone's IMEI and SIM numbers are) goes in one string table that "
                              "precedes the cells, and the compound file is laid out once its "
                              "stream is whole, so the sheet's cells (about 370 bytes a line) "
                              "and its distinct texts are held until then. The rows are encoded "
                              "as SQLite hands them over and written from where they were "
                              "encoded (93 MB where the query result, its cells and a copy of "
                              "the stream took 287 MB), and a workbook stops at 65 536 rows: "
                              "the memory grows with the rows up to that bound and no further.",
    'tpe.statut.rapport': "The shortest exchange (about 30 bytes, 31 ms of wire), where every turn "
                          "of the line weighs most: the kiosk's own reactions come to about 1 ms "
                          "(its first 50 ms of each wait are polled every 250 µs), the "
                          "simulator's to under 1 ms, and the relay that plays the wire, a Python "
                          "process, adds its own forwarding to each byte.",
    'accueil.cpu': "Below the measure's resolution here: /proc counts processor time in 10 ms "
                   "ticks, so one tick more or less over the 50 s window moves the figure by "
                   "0.02 %.",
}

# How a section's figures are taken, where the figure's own text does not say it.
NOTES = {
    'Start-up': "The 100 sales: movendi-captures offscreen, the kiosk's own waits (the ticket "
                "prompt, the screens' pauses, the terminal's polls) 20 times shorter through the "
                "scaled clock while the terminal and printer simulators answer in real time; "
                "every other customer takes a top-up.",
    'Terminal link': "One sale (status polls, solvency, debit) and the night (remittance, report) "
                     "through a relay that is the wire: each byte delivered ten bits after the "
                     "one before it in its direction; the simulated terminal with no processing "
                     "delay. An exchange runs from the kiosk's ENQ to the EOT that ends the "
                     "terminal's turn, and its time holds both sides' reactions and the relay's "
                     "own; the worst exchange of each kind is shown.",
    'Recording': "movendi-banc on the demo store (WAL, synchronous FULL, the fleet's outbox fed): "
                 "the nine writes of a sale's journal (authorised, two doors, two items reached, "
                 "debit sent, debit answered, recorded, closed), of which the recording and the "
                 "closing are timed; fsyncs counted by strace over 100 sales.",
    'Upload': "Both timed on the transfer itself (curl's time_total; the kiosk's FTP client from "
              "its session's opening to the server's confirmation), same server (pyftpdlib), "
              "same file.",
}

# section, key, what is measured, unit, goal text, check (value, measures) -> bool or None
LIGNES = [
    ('Idle', 'accueil.cpu', 'home screen: processor', '% of a core', 'under 0.1 %',
     lambda v, m: v < 0.1),
    ('Idle', 'accueil.reveils', 'home screen: context switches', 'per second', 'at most 5',
     lambda v, m: v <= 5),
    ('Idle', 'accueil.rss', 'home screen: resident memory', 'MB', '', None),
    ('Idle', 'film.cpu', 'film playing: processor', '% of a core',
     'at most twice gst-launch playbin', lambda v, m: nombre(m, 'gst.cpu') is not None and
     v <= 2 * nombre(m, 'gst.cpu')),
    ('Idle', 'gst.cpu', 'gst-launch-1.0 playbin, same film and display: processor',
     '% of a core', '', None),
    ('Idle', 'film.reveils', 'film playing: context switches', 'per second', '', None),
    ('Idle', 'film.rss', 'film playing: resident memory', 'MB', 'under 80 MB',
     lambda v, m: v < 80),
    ('Idle', 'gst.rss', 'gst-launch-1.0 playbin: resident memory', 'MB', '', None),
    ('Idle', 'film.fils', 'film playing: threads', '', '', None),
    ('Start-up', 'demarrage.median', 'exec to home screen shown (READY=1), median of 10', 's',
     'under 0.2 s', lambda v, m: v < 0.2),
    ('Start-up', 'demarrage.max', 'exec to home screen shown, slowest of 10', 's', '', None),
    ('Start-up', 'ventes.rss.10', 'resident memory after 10 sales', 'MB', '', None),
    ('Start-up', 'ventes.rss.100', 'resident memory after 100 sales', 'MB', 'under 80 MB',
     lambda v, m: v < 80),
    ('Start-up', 'ventes.croissance', 'growth between the 10th and the 100th sale', 'MB', 'none',
     lambda v, m: v <= 1),
    ('Terminal link', 'tpe.statut.rapport', 'status: exchange time over wire time', '',
     'at most 1.1', lambda v, m: v <= 1.1),
    ('Terminal link', 'tpe.statut.reactions', 'status: time each side took to answer the line',
     '', '', None),
    ('Terminal link', 'tpe.solvabilite.rapport', 'solvency: exchange time over wire time', '',
     'at most 1.1', lambda v, m: v <= 1.1),
    ('Terminal link', 'tpe.debit.rapport', 'debit: exchange time over wire time', '',
     'at most 1.1', lambda v, m: v <= 1.1),
    ('Terminal link', 'tpe.telecollecte.rapport', 'remittance: exchange time over wire time', '',
     'at most 1.1', lambda v, m: v <= 1.1),
    ('Terminal link', 'tpe.rapport.rapport', 'report: exchange time over wire time', '',
     'at most 1.1', lambda v, m: v <= 1.1),
    ('Recording', 'enregistrement.median',
     'EnregistrerCommande (record and close), phone and top-up, median of 1 000', 'ms',
     'under 20 ms', lambda v, m: v < 20),
    ('Recording', 'enregistrement.p99', 'EnregistrerCommande, 99th percentile', 'ms', '', None),
    ('Recording', 'enregistrement.fsync', "fsyncs per sale, the journal's steps included", '',
     "at most one per irreversible step: 9 a sale, and SQLite's checkpoints a fraction",
     lambda v, m: v < 10),
    ('Exports', 'csv.100000.temps', 'sales CSV, 100 000 lines (movendi-admin export), median of 5',
     's', 'no slower than sqlite3', lambda v, m: nombre(m, 'sqlite3.100000.temps') is not None and
     v <= nombre(m, 'sqlite3.100000.temps')),
    ('Exports', 'sqlite3.100000.temps', 'sqlite3 -csv writing the same view, median of 5', 's',
     '', None),
    ('Exports', 'csv.100000.memoire', 'sales CSV, 100 000 lines: peak memory', 'MB',
     'no growth with the lines (10 000 lines: see next)',
     lambda v, m: nombre(m, 'csv.10000.memoire') is not None and
     v <= nombre(m, 'csv.10000.memoire') + 5),
    ('Exports', 'csv.10000.memoire', 'sales CSV, 10 000 lines: peak memory', 'MB', '', None),
    ('Exports', 'sqlite3.100000.memoire', 'sqlite3, 100 000 lines: peak memory', 'MB', '', None),
    ('Exports', 'classeur.65535.temps', 'synchronisation workbook, 65 535 lines, median of 3',
     's', 'at least 5 times faster than xlwt', lambda v, m: nombre(m, 'xlwt.65535.temps') is not None
     and 5 * v <= nombre(m, 'xlwt.65535.temps')),
    ('Exports', 'xlwt.65535.temps', 'python3-xlwt writing the same sheet', 's', '', None),
    ('Exports', 'classeur.65535.memoire', 'synchronisation workbook, 65 535 lines: peak memory',
     'MB', 'no growth with the lines (10 000 lines: see next)',
     lambda v, m: nombre(m, 'classeur.10000.memoire') is not None and
     v <= nombre(m, 'classeur.10000.memoire') + 5),
    ('Exports', 'classeur.10000.memoire', 'synchronisation workbook, 10 000 lines: peak memory',
     'MB', '', None),
    ('Exports', 'xlwt.65535.memoire', 'python3-xlwt, 65 535 lines: peak memory', 'MB', '', None),
    ('Upload', 'ftp.temps', 'the largest workbook to the local FTP server, median of 5', 's',
     'within 10 % of curl', lambda v, m: nombre(m, 'curl.temps') is not None and
     v <= 1.1 * nombre(m, 'curl.temps')),
    ('Upload', 'curl.temps', 'curl -T, same file and server, median of 5', 's', '', None),
    ('Upload', 'ftp.taille', 'the workbook uploaded', 'MB', '', None),
    ('Fleet', 'boite.debit', "kiosk's outbox to the broker after an outage of 10 000 events",
     'events per second', 'at least 1 000', lambda v, m: v >= 1000),
    ('Fleet', 'flotte.1000.retard.median', '1 000 kiosks: lag behind the broker, median', 's',
     '', None),
    ('Fleet', 'flotte.1000.api.median', '1 000 kiosks: GET /api/v1/kiosques, median', 'ms', '',
     None),
    ('Fleet', 'flotte.1000.page.median', '1 000 kiosks: fleet page, median', 'ms', '', None),
    ('Fleet', 'flotte.jour.mo_par_kiosque_an',
     'database per kiosk-year (a simulated day of 200 kiosks)', 'MB', '', None),
    ('Fleet', 'flotte.jour.stockes', 'that day: events stored / published', '', '', None),
    ('Fleet', 'flotte.1000.stockes', '1 000 kiosks: events stored / published', '', '', None),
    ('Fleet', 'flotte.10000.retard.max', '10 000 kiosks: lag behind the broker, maximum', 's',
     'under 5 s', lambda v, m: v < 5),
    ('Fleet', 'flotte.10000.retard.median', '10 000 kiosks: lag behind the broker, median', 's',
     '', None),
    ('Fleet', 'flotte.10000.api.median', '10 000 kiosks: GET /api/v1/kiosques, median', 'ms', '',
     None),
    ('Fleet', 'flotte.10000.page.median', '10 000 kiosks: fleet page, median', 'ms', '', None),
    ('Fleet', 'flotte.10000.stockes', '10 000 kiosks: events stored / published', '', '', None),
    ('Fleet', 'flotte.10000.rattrapage', '10 000 kiosks: last event stored after the last message',
     's', '', None),
]


def main():
    m = lire(sys.argv[1])
    machine, commande = sys.argv[2], sys.argv[3]
    print('# Performance\n')
    print('What the kiosk and the back-office cost, measured by `%s` against the wire, the disk '
          'and the tools an operator would use instead. Figures are from the run below; a '
          'figure that misses its goal is marked **missed**, with what limits it.\n' % commande)
    print('Machine: %s\n' % machine)
    section = None
    manques = []
    for sec, cle, quoi, unite, objectif, test in LIGNES:
        if sec != section:
            section = sec
            print('\n## %s\n' % sec)
            if sec in NOTES:
                print(NOTES[sec] + '\n')
            print('| figure | value | goal | |')
            print('|---|---|---|---|')
        valeur = m.get(cle)
        if valeur is None:
            etat = 'not measured'
        elif test is None:
            etat = ''
        else:
            v = nombre(m, cle)
            ok = v is not None and test(v, m)
            etat = 'met' if ok else '**missed**'
            if not ok:
                manques.append((cle, quoi))
        texte = '—' if valeur is None else (valeur + (' ' + unite if unite else ''))
        print('| %s | %s | %s | %s |' % (quoi, texte, objectif, etat))
    if manques:
        print('\n## What limits the figures that miss their goal\n')
        for cle, quoi in manques:
            print('- **%s**: %s' % (quoi, LIMITES.get(cle, 'not yet analysed.')))


if __name__ == '__main__':
    main()
