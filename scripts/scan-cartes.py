#!/usr/bin/python3
"""Looks for card numbers in clear in what the kiosk and the back-office wrote: every run of 13 to
19 digits (single spaces or dashes allowed between them) that passes the Luhn check and starts
as a card of its length does (the card schemes' prefixes), in every file under the paths given,
whatever its kind (stores, journals, exports, workbooks, tickets, printer bytes, mails, logs,
dumps, API answers). SQLite files are read value by value, so that neighbouring columns are not
read as one number. Identifiers that pass the same check by design (IMEI, SIM, voucher serial
and EAN numbers: the stores' columns naming them and the delivery lists' cells) are not
findings.

scan-cartes.py [--sauf DIR_OR_FILE]... PATH...    exit 1 when a card number is found"""
import os
import re
import sqlite3
import sys

RUN = re.compile(rb'\d(?:[ -]?\d)+')
IDENTIFIANTS = re.compile(r'imei|sim|serie|ean', re.I)


def carte_possible(chiffres):
    """Whether a card scheme issues numbers of this length starting so."""
    n, p = len(chiffres), chiffres
    return ((p[0] == '4' and n in (13, 16, 19)) or
            (51 <= int(p[:2]) <= 55 and n == 16) or (2221 <= int(p[:4]) <= 2720 and n == 16) or
            (p[:2] in ('34', '37') and n == 15) or
            (int(p[:2]) in (36, 38, 39) or 300 <= int(p[:3]) <= 305) and 14 <= n <= 19 or
            (3528 <= int(p[:4]) <= 3589 and 16 <= n <= 19) or
            (p[:2] == '50' or 56 <= int(p[:2]) <= 69) and 13 <= n <= 19 or
            (2200 <= int(p[:4]) <= 2204 and 16 <= n <= 19))


def luhn(chiffres):
    somme = 0
    for k, c in enumerate(reversed(chiffres)):
        d = ord(c) - 48
        if k % 2 == 1:
            d = d * 2 - 9 if d * 2 > 9 else d * 2
        somme += d
    return somme % 10 == 0


def identifiants_connus(chemins):
    """The IMEI, SIM and serial numbers of every store and delivery list under the paths."""
    connus = set()
    for chemin in fichiers(chemins, set()):
        with open(chemin, 'rb') as f:
            tete = f.read(16)
        if tete.startswith(b'SQLite format 3'):
            try:
                base = sqlite3.connect('file:%s?mode=ro' % chemin, uri=True)
                for (table,) in base.execute("SELECT name FROM sqlite_master WHERE type = 'table'"):
                    for colonne in base.execute('PRAGMA table_info("%s")' % table):
                        if IDENTIFIANTS.match(colonne[1]):
                            for (v,) in base.execute('SELECT "%s" FROM "%s"' % (colonne[1], table)):
                                if v is not None:
                                    connus.add(re.sub(r'\D', '', str(v)))
                base.close()
            except sqlite3.Error:
                pass
        elif chemin.lower().endswith('.xls'):
            try:
                import xlrd
                classeur = xlrd.open_workbook(chemin)
                for feuille in classeur.sheets():
                    for r in range(feuille.nrows):
                        for v in feuille.row_values(r):
                            t = re.sub(r'\D', '', str(v).split('.')[0] if isinstance(v, float) else str(v))
                            if len(t) >= 13:
                                connus.add(t)
            except Exception:
                pass
    return {c for c in connus if len(c) >= 13}


def fichiers(chemins, sauf):
    for chemin in chemins:
        if os.path.isfile(chemin):
            yield chemin
            continue
        for dossier, sous, noms in os.walk(chemin):
            sous[:] = [s for s in sous if os.path.join(dossier, s) not in sauf]
            for nom in noms:
                complet = os.path.join(dossier, nom)
                if complet not in sauf and os.path.isfile(complet) and not os.path.islink(complet):
                    yield complet


def trouvailles(donnees, connus):
    for m in RUN.finditer(donnees):
        chiffres = re.sub(rb'\D', b'', m.group()).decode()
        if len(chiffres) < 13:
            continue
        # The known identifiers inside the run are not card numbers: they cut it.
        for ident in connus:
            if ident in chiffres:
                chiffres = chiffres.replace(ident, '|')
        for morceau in chiffres.split('|'):
            for debut in range(0, len(morceau) - 12):
                for n in range(13, min(19, len(morceau) - debut) + 1):
                    fenetre = morceau[debut:debut + n]
                    if luhn(fenetre) and carte_possible(fenetre):
                        yield m.start(), fenetre
                        break
                else:
                    continue
                break


def trouvailles_fichier(chemin, connus):
    with open(chemin, 'rb') as f:
        donnees = f.read()
    if not donnees.startswith(b'SQLite format 3'):
        yield from trouvailles(donnees, connus)
        return
    try:
        base = sqlite3.connect('file:%s?mode=ro&immutable=1' % chemin, uri=True)
        for (table,) in base.execute("SELECT name FROM sqlite_master WHERE type = 'table'"):
            colonnes = [c[1] for c in base.execute('PRAGMA table_info("%s")' % table)]
            for rang, ligne in enumerate(base.execute('SELECT * FROM "%s"' % table)):
                for colonne, v in zip(colonnes, ligne):
                    if v is None or IDENTIFIANTS.search(colonne):
                        continue
                    texte = v if isinstance(v, bytes) else str(v).encode('utf-8', 'replace')
                    for _, numero in trouvailles(texte, connus):
                        yield rang, numero
        base.close()
    except sqlite3.Error:
        yield from trouvailles(donnees, connus)


def main():
    args = sys.argv[1:]
    sauf = set()
    while args and args[0] == '--sauf':
        sauf.add(os.path.abspath(args[1]).rstrip('/'))
        args = args[2:]
    if not args:
        print(__doc__, file=sys.stderr)
        return 64
    chemins = [os.path.abspath(a) for a in args]
    connus = identifiants_connus(chemins)
    nombre, fichiers_lus = 0, 0
    for chemin in fichiers(chemins, sauf):
        fichiers_lus += 1
        for position, numero in trouvailles_fichier(chemin, connus):
            nombre += 1
            print('%s:%d: numéro de carte en clair %s…%s' % (chemin, position, numero[:6], numero[-4:]))
    print('cartes: %d fichier(s) lu(s), %d identifiant(s) connu(s), %d numéro(s) de carte en clair'
          % (fichiers_lus, len(connus), nombre))
    return 1 if nombre else 0


if __name__ == '__main__':
    sys.exit(main())
