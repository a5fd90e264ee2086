#!/usr/bin/python3
# make_template.py - builds examples/invoice_template.xlsx, the template that examples/invoice.txt
# fills: a styled invoice sheet with a logo, merged cells, number formats and formula totals, and a
# monthly sheet with a bar chart. Needs Debian's python3-openpyxl and python3-pil (openpyxl reads
# the logo through PIL); the logo itself is drawn here as PNG bytes with zlib and struct.
#
# Usage: /usr/bin/python3 examples/make_template.py [OUT.xlsx]
#        (default: invoice_template.xlsx beside this script)
import datetime
import io
import os
import re
import struct
import sys
import zlib

from openpyxl import Workbook
from openpyxl.chart import BarChart, Reference
from openpyxl.drawing.image import Image
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side
from openpyxl.worksheet.properties import PageSetupProperties

NAVY = "1F3864"
PALE = "D9E2F3"
LINE_ROWS = range(8, 16)          # the eight invoice lines the statements may fill


def png_bytes(width, height, pixel):
    """A truecolour PNG of `pixel(x, y) -> (r, g, b)`."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    rows = bytearray()
    for y in range(height):
        rows.append(0)    # no filter
        for x in range(width):
            rows.extend(pixel(x, y))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
            + chunk(b"IEND", b""))


def logo_pixel(x, y):
    """A navy badge with a gold ring and three rising bars, on white."""
    navy, gold, white = (0x1F, 0x38, 0x64), (0xE8, 0xB0, 0x30), (0xFF, 0xFF, 0xFF)
    cx, cy = 24, 24
    d2 = (x - cx) ** 2 + (y - cy) ** 2
    if d2 <= 21 ** 2:
        if d2 >= 18 ** 2:
            return gold
        for i, top in enumerate((30, 22, 14)):
            left = 14 + i * 8
            if left <= x < left + 6 and top <= y <= 34:
                return white
        return navy
    # A band to the right of the badge, fading from navy to pale blue.
    if 52 <= x < 156 and 16 <= y < 32:
        t = (x - 52) / 104
        return tuple(round(a + (b - a) * t) for a, b in zip(navy, (0xD9, 0xE2, 0xF3)))
    return white


def thin_box():
    side = Side(style="thin", color="808080")
    return Border(left=side, right=side, top=side, bottom=side)


def invoice_sheet(ws):
    ws.title = "Invoice"
    for column, width in zip("ABCDEF", (12, 34, 10, 14, 16, 4)):
        ws.column_dimensions[column].width = width

    ws["A1"] = "INVOICE"
    ws["A1"].font = Font(size=22, bold=True, color=NAVY)
    ws["A1"].alignment = Alignment(horizontal="left", vertical="center")
    ws.merge_cells("A1:C1")
    ws.row_dimensions[1].height = 40

    logo = Image(io.BytesIO(png_bytes(160, 48, logo_pixel)))
    logo.anchor = "D1"
    ws.add_image(logo)

    labels = {"A3": "Invoice No.", "A4": "Date", "A5": "Customer", "D3": "Due date", "D4": "Currency"}
    for cell, text in labels.items():
        ws[cell] = text
        ws[cell].font = Font(bold=True, color=NAVY)
    # The year/month/day form spreadsheet programs offer first; readers render it as 2024/4/30.
    ws["B4"].number_format = "yyyy/m/d;@"
    ws["E3"].number_format = "yyyy/m/d;@"
    ws["E4"] = "JPY"
    ws.merge_cells("B5:C5")
    for cell in ("B3", "B4", "B5", "E3"):
        ws[cell].border = Border(bottom=Side(style="thin", color="808080"))
        ws[cell].alignment = Alignment(horizontal="left")

    headers = ["No.", "Description", "Qty", "Unit price", "Amount"]
    fill = PatternFill("solid", fgColor=NAVY)
    for column, text in zip("ABCDE", headers):
        cell = ws[f"{column}7"]
        cell.value = text
        cell.font = Font(bold=True, color="FFFFFF")
        cell.fill = fill
        cell.alignment = Alignment(horizontal="center", vertical="center")
        cell.border = thin_box()
    ws.row_dimensions[7].height = 20

    band = PatternFill("solid", fgColor=PALE)
    for row in LINE_ROWS:
        for column in "ABCDE":
            cell = ws[f"{column}{row}"]
            cell.border = thin_box()
            if row % 2 == 1:
                cell.fill = band
        ws[f"A{row}"].alignment = Alignment(horizontal="center")
        ws[f"C{row}"].number_format = "#,##0"
        ws[f"D{row}"].number_format = "#,##0"
        # Empty lines compute to 0, which the format's third section leaves blank.
        ws[f"E{row}"] = f"=C{row}*D{row}"
        ws[f"E{row}"].number_format = '#,##0;-#,##0;""'

    first, last = LINE_ROWS[0], LINE_ROWS[-1]
    totals = [
        (16, "Subtotal", f"=SUM(E{first}:E{last})"),
        (17, "Tax", "=ROUND(E16*C17,0)"),
        (18, "Total", "=E16+E17"),
    ]
    for row, label, formula in totals:
        ws[f"D{row}"] = label
        ws[f"D{row}"].font = Font(bold=True)
        ws[f"D{row}"].alignment = Alignment(horizontal="right")
        ws[f"E{row}"] = formula
        ws[f"E{row}"].number_format = "#,##0"
        ws[f"E{row}"].border = thin_box()
    ws["C17"].number_format = "0%"
    ws["C17"].alignment = Alignment(horizontal="right")
    ws["E18"].font = Font(bold=True, size=12)
    ws["E18"].fill = PatternFill("solid", fgColor="FFF2CC")
    ws["E18"].border = Border(top=Side(style="double"), bottom=Side(style="double"),
                              left=Side(style="thin", color="808080"), right=Side(style="thin", color="808080"))

    ws["A20"] = "Notes"
    ws["A20"].font = Font(bold=True, color=NAVY)
    ws.merge_cells("B20:E21")
    ws["B20"].alignment = Alignment(wrap_text=True, vertical="top")

    ws.page_setup.orientation = "portrait"
    ws.page_setup.paperSize = ws.PAPERSIZE_A4
    ws.sheet_properties.pageSetUpPr = PageSetupProperties(fitToPage=True)
    ws.page_setup.fitToWidth = 1
    ws.page_setup.fitToHeight = 0
    ws.print_area = "A1:F21"


def monthly_sheet(ws):
    ws.title = "Monthly"
    ws.column_dimensions["A"].width = 12
    ws.column_dimensions["B"].width = 14
    ws["A1"], ws["B1"] = "Month", "Sales"
    for cell in (ws["A1"], ws["B1"]):
        cell.font = Font(bold=True, color="FFFFFF")
        cell.fill = PatternFill("solid", fgColor=NAVY)
        cell.alignment = Alignment(horizontal="center")
        cell.border = thin_box()
    for row in range(2, 8):
        ws[f"A{row}"].border = thin_box()
        ws[f"B{row}"].border = thin_box()
        ws[f"B{row}"].number_format = "#,##0"
    ws["A8"] = "Total"
    ws["A8"].font = Font(bold=True)
    ws["B8"] = "=SUM(B2:B7)"
    ws["B8"].number_format = "#,##0"
    ws["B8"].font = Font(bold=True)
    ws["B8"].border = Border(top=Side(style="double"))

    chart = BarChart()
    chart.type = "col"
    chart.title = "Sales by month"
    chart.y_axis.title = "JPY"
    chart.x_axis.title = "Month"
    chart.legend = None
    chart.add_data(Reference(ws, min_col=2, min_row=1, max_row=7), titles_from_data=True)
    chart.set_categories(Reference(ws, min_col=1, min_row=2, max_row=7))
    chart.width, chart.height = 16, 8
    # Anchored by two cells, as spreadsheet programs anchor charts (gnumeric reads a chart in a
    # one-cell anchor as a missing object).
    from openpyxl.drawing.spreadsheet_drawing import AnchorMarker, TwoCellAnchor
    chart.anchor = TwoCellAnchor(_from=AnchorMarker(col=3, row=1), to=AnchorMarker(col=11, row=17))
    ws.add_chart(chart)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "invoice_template.xlsx")
    wb = Workbook()
    invoice_sheet(wb.active)
    monthly_sheet(wb.create_sheet())
    # Fixed document dates, so that rebuilding the template changes only what the script changed.
    stamp = datetime.datetime(2024, 4, 1, 9, 0, 0)
    wb.properties.creator = "Tabsmith examples"
    wb.properties.title = "Invoice template"
    wb.properties.created = wb.properties.modified = stamp
    wb.save(out)
    drop_empty_workbook_protection(out)
    print(f"wrote {out}")


# Declared on a drawing's root, where gnumeric looks for them, not only on the inner elements.
DRAWING_NAMESPACES = (b'xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
                      b'xmlns:c="http://schemas.openxmlformats.org/drawingml/2006/chart" '
                      b'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"')


def drop_empty_workbook_protection(path):
    """openpyxl writes an empty <workbookProtection/>, which protects nothing, and drawings in a
    default namespace, where gnumeric misses the chart; both are put the usual way."""
    import zipfile
    with zipfile.ZipFile(path) as source:
        entries = [(info, source.read(info.filename)) for info in source.infolist()]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as target:
        for info, data in entries:
            if info.filename == "xl/workbook.xml":
                data = data.replace(b"<workbookProtection/>", b"")
            elif info.filename.startswith("xl/charts/chart"):
                # The chart's root declares the drawing namespace its text runs use.
                data = re.sub(rb"<(c:)?chartSpace ", lambda m: m.group(0) + DRAWING_NAMESPACES.split(b" ")[0] + b" ",
                              data, count=1)
            elif info.filename.startswith("xl/drawings/drawing") and info.filename.endswith(".xml"):
                # The same drawing with its elements named by the usual "xdr" prefix.
                data = re.sub(rb"<(/?)([A-Za-z]+)(?=[ />])", rb"<\1xdr:\2", data)
                data = data.replace(b'<xdr:wsDr xmlns="', b'<xdr:wsDr ' + DRAWING_NAMESPACES + b' xmlns:xdr="', 1)
            target.writestr(info, data)


if __name__ == "__main__":
    main()
