#!/usr/bin/python3
"""Looks for card numbers in clear in what the kiosk and the back-office wrote: every run of 13 to
19 digits (single spaces or dashes allowed between them) that passes the Luhn check and starts
as a card of its length does (the card schemes' prefixes), in every file under the paths given,
whatever its kind (stores, journals, exports, workbooks, tickets, printer bytes, mails, logs,
dumps, API answers; LibreOffice's own profile folders aside). SQLite files are read value by value, so that neighbouring columns are not
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


# The card schemes: their first digits (a range of numbers of as many digits) and lengths.
SCHEMAS = [((4, 4), (13, 16, 19)), ((51, 55), (16,)), ((2221, 2720), (16,)), ((34, 34), (15,)),
           ((37, 37), (15,)), ((36, 36), range(14, 20)), ((38, 39), range(14, 20)),
           ((300, 305), range(14, 20)), ((3528, 3589), range(16, 20)), ((50, 50), range(13, 20)),
           ((56, 69), range(13, 20)), ((2200, 2204), range(16, 20))]


def carte_possible(chiffres):
    """Whether a card scheme issues numbers of this length starting so."""
    return any(debut <= int(chiffres[:len(str(debut))]) <= fin and len(chiffres) in longueurs
               for (debut, fin), longueurs in SCHEMAS)


def luhn(chiffres):
    somme = 0
    for k, c in enumerate(reversed(chiffres)):
        d = ord(c) - 48
        if k % 2 == 1:
            d = d * 2 - 9 if d * 2 > 9 else d * 2
        somme += d
    return somme % 10 == 0


def valeurs_sqlite(chemin):
    """Each (column, value) of every table of a SQLite file, read without changing it."""
    base = sqlite3.connect('file:%s?mode=ro&immutable=1' % chemin, uri=True)
    try:
        tables = [t for (t,) in base.execute("SELECT name FROM sqlite_master WHERE type = 'table'")]
        for table in tables:
            colonnes = [c[1] for c in base.execute('PRAGMA table_info("%s")' % table)]
            for ligne in base.execute('SELECT * FROM "%s"' % table):
                for colonne, v in zip(colonnes, ligne):
                    if v is not None:
                        yield colonne, v
    finally:
        base.close()


def est_sqlite(chemin):
    with open(chemin, 'rb') as f:
        return f.read(16).startswith(b'SQLite format 3')


def identifiants_connus(chemins):
    """The IMEI, SIM, serial and EAN numbers of every store and delivery list under the paths."""
    connus = set()
    for chemin in fichiers(chemins, set()):
        if est_sqlite(chemin):
            try:
                connus.update(re.sub(r'\D', '', str(v)) for colonne, v in valeurs_sqlite(chemin)
                              if IDENTIFIANTS.search(colonne))
            except sqlite3.Error:
                pass
        elif chemin.lower().endswith('.xls'):
            try:
                import xlrd
                classeur = xlrd.open_workbook(chemin)
                for feuille in classeur.sheets():
                    for r in range(feuille.nrows):
                        for v in feuille.row_values(r):
                            connus.add(re.sub(r'\D', '', str(v).split('.')[0] if isinstance(v, float) else str(v)))
            except Exception:
                pass
    return {c for c in connus if len(c) >= 13}


def fichiers(chemins, sauf):
    for chemin in chemins:
        if os.path.isfile(chemin):
            yield chemin
            continue
        for dossier, sous, noms in os.walk(chemin):
            # A LibreOffice user profile (the tests convert workbooks with it) holds the
            # office's own sample data, not ours.
            sous[:] = [s for s in sous if os.path.join(dossier, s) not in sauf and not
                       os.path.isfile(os.path.join(dossier, s, 'user', 'registrymodifications.xcu'))]
            for nom in noms:
                complet = os.path.join(dossier, nom)
                if complet not in sauf and os.path.isfile(complet) and not os.path.islink(complet):
                    yield complet


def couper(chiffres, connus, longueurs):
    """The run with each known identifier inside it replaced by '|', from the left, the longest
    first: looked up by length, so that a run costs its length, not the number of identifiers."""
    sortie, i = [], 0
    while i < len(chiffres):
        for n in longueurs:
            if chiffres[i:i + n] in connus:
                sortie.append('|')
                i += n
                break
        else:
            sortie.append(chiffres[i])
            i += 1
    return ''.join(sortie)


def trouvailles(donnees, connus, longueurs):
    """The first card number of each run of digits outside the known identifiers (longueurs:
    their lengths, longest first)."""
    for m in RUN.finditer(donnees):
        chiffres = re.sub(rb'\D', b'', m.group()).decode()
        if len(chiffres) < 13:
            continue
        # The known identifiers inside the run are not card numbers: they cut it.
        chiffres = couper(chiffres, connus, longueurs)
        for morceau in chiffres.split('|'):
            # A card number glued to other digits on one side (a terminal frame's field before
            # or after it): the windows that start or end the run. Windows inside it, cut from
            # fields on both sides (status, amount, currency), would be chance.
            fenetres = [morceau[:n] for n in range(13, min(19, len(morceau)) + 1)] + \
                       [morceau[-n:] for n in range(13, min(19, len(morceau)) + 1)]
            fenetres = iter(fenetres)
            numero = next((f for f in fenetres if luhn(f) and carte_possible(f)), None)
            if numero:
                yield m.start(), numero


def trouvailles_fichier(chemin, connus):
    """Where each card number of the file is: a byte offset, or a column of a SQLite store
    (read value by value, so that neighbouring columns are not read as one number)."""
    longueurs = sorted({len(c) for c in connus}, reverse=True)
    if est_sqlite(chemin):
        try:
            for colonne, v in valeurs_sqlite(chemin):
                if not IDENTIFIANTS.search(colonne):
                    texte = v if isinstance(v, bytes) else str(v).encode('utf-8', 'replace')
                    for _, numero in trouvailles(texte, connus, longueurs):
                        yield colonne, numero
            return
        except sqlite3.Error:
            pass
    with open(chemin, 'rb') as f:
        yield from trouvailles(f.read(), connus, longueurs)


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
            print('%s:%s: numéro de carte en clair %s…%s' % (chemin, position, numero[:6], numero[-4:]))
    print('cartes: %d fichier(s) lu(s), %d identifiant(s) connu(s), %d numéro(s) de carte en clair'
          % (fichiers_lus, len(connus), nombre))
    return 1 if nombre else 0


if __name__ == '__main__':
    sys.exit(main())
