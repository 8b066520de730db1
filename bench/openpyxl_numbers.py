#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""openpyxl doing what the number list's "Export .XLS" and "Import .XLS" do, for comparison.

    openpyxl_numbers.py LIST.xlsx SCRATCH_DIR [REPEATS]

LIST.xlsx is the full number list as the configurator exported it. Export: a new workbook, the
column widths, every one of the 3001 x 8 cells given the text format "@" and its text, saved.
Import: the file opened, its heading checked, every row's window checked as the import checks it,
and the cells taken into a table of rows. Prints one JSON line with the median milliseconds of each.
"""
import json
import os
import statistics
import sys
import time

import openpyxl

ROWS = 3000
WIDTHS = {"A": 4, "B": 20, "C": 16, "D": 16, "E": 16, "F": 16}


def text(v):
    return "" if v is None else str(v)


def number(t):
    return 0 < len(t) <= 9 and all("0" <= c <= "9" for c in t)


def date_valid(t):
    return number(t[5:7]) and number(t[-2:]) and number(t[2:4]) and len(t) == 10


def time_valid(t):
    return number(t[0:2]) and number(t[-2:]) and len(t) == 5


def export(cells, path):
    book = openpyxl.Workbook()
    sheet = book.active
    for column, width in WIDTHS.items():
        sheet.column_dimensions[column].width = width
    for r, row in enumerate(cells, start=1):
        for c, value in enumerate(row, start=1):
            cell = sheet.cell(row=r, column=c)
            cell.number_format = "@"
            cell.value = value
    book.save(path)


def checked_import(path):
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    if text(sheet.cell(row=1, column=1).value) != "Serial":
        raise ValueError("wrong format")
    wrong = []
    for j in range(1, ROWS + 1):
        row = j + 1
        if (text(sheet.cell(row=row, column=2).value) == "" or text(sheet.cell(row=row, column=7).value) == "yes"
                or text(sheet.cell(row=row, column=8).value) == "yes"):
            continue
        window = [text(sheet.cell(row=row, column=c).value) for c in (3, 4, 5, 6)]
        if not (date_valid(window[0]) and time_valid(window[1]) and date_valid(window[2]) and time_valid(window[3])):
            wrong.append(j)
    if wrong:
        raise ValueError("wrong rows: %s" % wrong[:3])
    grid = []
    for j in range(1, ROWS + 1):
        row = j + 1
        cells = [text(sheet.cell(row=row, column=c).value) for c in range(2, 7)]
        cells.append("yes" if text(sheet.cell(row=row, column=7).value) == "yes" else "no")
        grid.append(cells)
    return grid


def median_ms(action, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        action()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times)


def main():
    source, scratch = sys.argv[1], sys.argv[2]
    repeats = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    sheet = openpyxl.load_workbook(source).worksheets[0]
    cells = [[text(sheet.cell(row=r, column=c).value) for c in range(1, 9)] for r in range(1, ROWS + 2)]
    out = os.path.join(scratch, "telinf_openpyxl.xlsx")
    export_ms = median_ms(lambda: export(cells, out), repeats)
    grid = checked_import(source)
    if len(grid) != ROWS or grid[0] != cells[1][1:7]:
        raise SystemExit("openpyxl read the list differently")
    import_ms = median_ms(lambda: checked_import(source), repeats)
    print(json.dumps({"openpyxl_export_ms": export_ms, "openpyxl_import_ms": import_ms,
                      "openpyxl": openpyxl.__version__, "repeats": repeats}))


if __name__ == "__main__":
    main()
