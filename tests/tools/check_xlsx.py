"""Reads a listing written by KELPRINT's XLSX device with openpyxl, a reader
that is not our writer, and checks what the sheet must show: the headings,
the sheet set-up, number and date cells, bold headings and totals, and data
rows whose amounts add up to the TOTAL GENERAL row. Prints "ok" or what is
wrong, one line each."""
import datetime
import sys

import openpyxl

HEADER = ["REBUT", "DEPART.", "TITULAR", "TELÈFON", "D.EXPED.", "D.COBR.",
          "PENDENT", "TORNAT", "TOTAL PENDENT", "TOTAL TORNAT"]


def check(path):
    faults = []
    ws = openpyxl.load_workbook(path).active

    def expect(ok, what):
        if not ok:
            faults.append(what)

    expect(ws.title == "RBPNDLST", f"sheet name {ws.title!r}")
    expect([c.value for c in ws[1]] == HEADER, f"header {[c.value for c in ws[1]]}")
    expect(all(c.font.b for c in ws[1]), "header not bold")
    expect(ws.freeze_panes == "A2", f"frozen at {ws.freeze_panes}")
    expect(ws.auto_filter.ref == f"A1:J{ws.max_row}", f"autofilter {ws.auto_filter.ref}")
    setup = ws.page_setup
    expect(setup.orientation == "landscape", f"orientation {setup.orientation}")
    expect(int(setup.paperSize) == 9, f"paper {setup.paperSize}")
    expect(ws.sheet_properties.pageSetUpPr.fitToPage, "not fitted to the page")
    # An absent fitToWidth is 1, the file format's default.
    fit = (setup.fitToWidth or 1, setup.fitToHeight)
    expect(fit == (1, 0), f"fit {fit}")

    sums = [0.0, 0.0]
    general = None
    data_rows = 0
    for row in ws.iter_rows(min_row=2):
        texts = [c.value for c in row if isinstance(c.value, str)]
        bold = any(c.font.b for c in row if c.value is not None)
        label = " ".join(texts)
        heading_or_total = label.startswith("FINCA ") or label.startswith("TOTAL")
        expect(bold == heading_or_total, f"row {row[0].row} bold={bold}: {label}")
        if label == "TOTAL GENERAL":
            general = (row[8].value, row[9].value)
        if heading_or_total:
            continue
        data_rows += 1
        for k in (4, 5):
            expect(isinstance(row[k].value, datetime.datetime) and
                   row[k].number_format == "d/m/yyyy",
                   f"row {row[0].row} date {row[k].value!r} {row[k].number_format}")
        for k in (6, 7):
            value = row[k].value
            if value is None:
                continue
            expect(isinstance(value, (int, float)) and row[k].number_format == "#,##0.00",
                   f"row {row[0].row} amount {value!r} {row[k].number_format}")
            sums[k - 6] += value
    expect(data_rows > 70, f"{data_rows} data rows")
    expect(general is not None and all(isinstance(v, float) for v in general),
           f"TOTAL GENERAL {general}")
    if general is not None:
        for total, added in zip(general, sums):
            expect(round(total, 2) == round(added, 2), f"TOTAL GENERAL {total} != {added}")
    return faults


if __name__ == "__main__":
    found = check(sys.argv[1])
    print("\n".join(found) if found else "ok")
    sys.exit(1 if found else 0)
