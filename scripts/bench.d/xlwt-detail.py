#!/usr/bin/python3
"""What python3-xlwt takes to write the synchronisation workbook's sheet: the same unsent
details, the same 23 columns and cell kinds (numbers, dates, amounts in euros, text).
Usage: xlwt-detail.py BASE.db SORTIE.xls"""
import datetime
import sqlite3
import sys

import xlwt

COLONNES = [
    ('NumVente', 'n'), ('LaDate', 'd'), ('NoCBClient', 't'), ('TypeMouvement', 'n'),
    ('IdentMachine', 't'), ('NoRemiseTelecollecte', 'n'), ('DateTelecollecte', 'd'),
    ('Ticket', 't'), ('NoVente', 'n'), ('Montant', 'm'), ('EcoTaxe', 'm'), ('TVA', 'n'),
    ('RefProduit', 't'), ('Designation', 't'), ('Marque', 't'), ('NoIMEI', 't'), ('NoSIM', 't'),
    ('Quantite', 'n'), ('NoFamille', 'n'), ('EAN13recharge', 't'), ('NoSerieRecharge', 't'),
    ('SynchroServ', 'n'), ('NoCommande', 't'),
]


def main():
    base = sqlite3.connect(sys.argv[1])
    classeur = xlwt.Workbook(encoding='utf-8')
    feuille = classeur.add_sheet('Detail')
    date = xlwt.easyxf(num_format_str='dd/mm/yyyy hh:mm:ss')
    montant = xlwt.easyxf(num_format_str='#,##0.00 [$€-40C]')
    for c, (nom, _) in enumerate(COLONNES):
        feuille.write(0, c, nom)
    requete = 'SELECT %s FROM Detail ORDER BY IdDetail LIMIT 65535' % ', '.join(
        n for n, _ in COLONNES)
    for r, ligne in enumerate(base.execute(requete), start=1):
        for c, ((_, genre), v) in enumerate(zip(COLONNES, ligne)):
            if v is None:
                continue
            if genre == 'd':
                feuille.write(r, c, datetime.datetime.fromisoformat(v), date)
            elif genre == 'm':
                feuille.write(r, c, v / 10000.0, montant)
            elif genre == 'n':
                feuille.write(r, c, float(v))
            else:
                feuille.write(r, c, str(v))
    classeur.save(sys.argv[2])


if __name__ == '__main__':
    main()
