#!/usr/bin/python3
"""Prints the sheet and the first rows of an Excel 97 workbook, as the demo shows them.
Usage: apercu-xls.py FILE [ROWS]"""
import sys

import xlrd

book = xlrd.open_workbook(sys.argv[1])
rows = int(sys.argv[2]) if len(sys.argv) > 2 else 3
for sheet in book.sheets():
    print(f"feuille {sheet.name}: {sheet.nrows - 1} ligne(s) sous les noms de colonnes")
    for r in range(min(sheet.nrows, rows + 1)):
        cells = []
        for c in sheet.row(r):
            if c.ctype == xlrd.XL_CELL_DATE:
                cells.append(xlrd.xldate.xldate_as_datetime(c.value, book.datemode).strftime("%d/%m/%Y %H:%M:%S"))
            elif c.ctype == xlrd.XL_CELL_NUMBER:
                cells.append(f"{c.value:g}" if c.value != int(c.value) else str(int(c.value)))
            else:
                text = str(c.value).replace("\r\n", " / ").replace("\n", " / ")
                cells.append(text if len(text) <= 40 else text[:37] + "...")
        print(" | ".join(cells))
