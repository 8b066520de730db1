#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Number lists as other spreadsheet programs write them, for the number list import tests.

  number_list_fixtures.py openpyxl FILE   an .xlsx with real date and time cells, shared and inline strings
  number_list_fixtures.py xlwt FILE       an Excel 97-2003 .xls with real date and time cells

Both hold the same four data rows:
  grid row 1  13800138000 (a number), 2024-05-06 07:05 .. 2024-12-31 23:59 as date and time cells
  grid row 2  +8613900000000, no window, always allowed
  grid row 3  555, the window typed as texts: 2024-01-02 08:00 .. 2025-01-02 18:30
  grid row 4  777, no window, marked for deletion
The .xlsx holds the texts of grid rows 2 and 3 as shared strings, the others inline.
"""
import datetime
import re
import shutil
import sys
import tempfile
import zipfile

HEADINGS = ["Serial", "Authorized number", "Start Date", "Start Time ", "End Date", "End Time",
            "Always(V)", "Delete(V)"]


def openpyxl_file(path):
    import openpyxl
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.append(HEADINGS)
    sheet.append([1, 13800138000, datetime.date(2024, 5, 6), datetime.time(7, 5),
                  datetime.datetime(2024, 12, 31), datetime.time(23, 59), "no", "no"])
    sheet["C2"].number_format = "yyyy-mm-dd"
    sheet["D2"].number_format = "h:mm"
    sheet["E2"].number_format = "yyyy/mm/dd"
    sheet["F2"].number_format = "hh:mm"
    sheet.append([2, "+8613900000000", None, None, None, None, "yes", "no"])
    sheet.append([3, "555", "2024-01-02", "08:00", "2025-01-02", "18:30", "no", "no"])
    sheet.append([4, "777", None, None, None, None, "no", "yes"])
    book.save(path)
    # This openpyxl writes every text inline; give the texts of grid rows 2 and 3 the shared form
    # that Excel and LibreOffice use, so the file holds both.
    shared = []

    def to_shared(match):
        shared.append(match.group(3))
        return '<c r="%s"%s t="s"><v>%d</v></c>' % (match.group(1), match.group(2), len(shared) - 1)

    work = tempfile.mkdtemp()
    try:
        copy = work + "/copy.xlsx"
        with zipfile.ZipFile(path) as src, zipfile.ZipFile(copy, "w", zipfile.ZIP_DEFLATED) as dst:
            for item in src.infolist():
                data = src.read(item.filename)
                if item.filename == "xl/worksheets/sheet1.xml":
                    data = re.sub(r'<c r="([A-H][34])"([^>]*) t="inlineStr"><is><t[^>]*>([^<]*)</t></is></c>',
                                  to_shared, data.decode()).encode()
                    if len(shared) != 10:
                        sys.exit("unexpected sheet: %d texts made shared" % len(shared))
                elif item.filename == "xl/_rels/workbook.xml.rels":
                    data = data.decode().replace(
                        "</Relationships>",
                        '<Relationship Id="rIdS" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
                        'relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>').encode()
                elif item.filename == "[Content_Types].xml":
                    data = data.decode().replace(
                        "</Types>",
                        '<Override PartName="/xl/sharedStrings.xml" ContentType="application/'
                        'vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>').encode()
                dst.writestr(item, data)
            dst.writestr("xl/sharedStrings.xml",
                         '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="%d" '
                         'uniqueCount="%d">%s</sst>' % (len(shared), len(shared),
                                                       "".join("<si><t>%s</t></si>" % t for t in shared)))
        shutil.move(copy, path)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def xlwt_file(path):
    import xlwt
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    date_style = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    time_style = xlwt.easyxf(num_format_str="hh:mm")
    for c, heading in enumerate(HEADINGS):
        sheet.write(0, c, heading)
    rows = [
        [1, 13800138000, (datetime.date(2024, 5, 6), date_style), (datetime.time(7, 5), time_style),
         (datetime.date(2024, 12, 31), date_style), (datetime.time(23, 59), time_style), "no", "no"],
        [2, "+8613900000000", None, None, None, None, "yes", "no"],
        [3, "555", "2024-01-02", "08:00", "2025-01-02", "18:30", "no", "no"],
        [4, "777", None, None, None, None, "no", "yes"],
    ]
    for r, row in enumerate(rows, start=1):
        for c, value in enumerate(row):
            if value is None:
                continue
            if isinstance(value, tuple):
                sheet.write(r, c, value[0], value[1])
            else:
                sheet.write(r, c, value)
    book.save(path)


def main():
    command, target = sys.argv[1], sys.argv[2]
    if command == "openpyxl":
        openpyxl_file(target)
    elif command == "xlwt":
        xlwt_file(target)
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main()
