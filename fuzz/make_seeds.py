#!/usr/bin/env python3
"""make_seeds.py - writes the seed corpora under fuzz/corpus/<target>/ from the example report, its
CSV file, the option strings of the open tests, a few multibyte samples and a few small zip
archives. Run it again after changing the examples; the files it writes are committed."""

import io
import pathlib
import shutil
import zipfile

FUZZ = pathlib.Path(__file__).resolve().parent
ROOT = FUZZ.parent
SEEDS = FUZZ / "corpus"

# Leading bytes the targets read as a choice (see each target's source).
STATEMENTS_SJIS, STATEMENTS_EUC, STATEMENTS_UTF8 = b"\x01", b"\x02", b"\x03"
CSV_SJIS, TSV_SJIS, CSV_EUC, TSV_EUC, CSV_UTF8, TSV_UTF8 = (bytes([n]) for n in range(1, 7))
CSV_SJIS_AREA, TSV_UTF8_AREA = b"\x07", b"\x0c"
FILE_SJIS_SJIS, FILE_SJIS_UTF8, FILE_EUC_EUC, FILE_UTF8_SJIS, FILE_UTF8_UTF8 = b"\x01", b"\x03", b"\x05", b"\x07", b"\x09"


def sjis(text):
    return text.encode("cp932")


def euc(text):
    return text.encode("euc_jp")


def statement_lines():
    """The example report's statements without comments, in the sections its comments mark."""
    sections, current = [], []
    for line in (ROOT / "examples" / "sales_report.txt").read_text(encoding="utf-8").splitlines():
        if line.startswith("! ----"):
            if current:
                sections.append(current)
            current = []
        elif line and not line.startswith("!"):
            current.append(line)
    if current:
        sections.append(current)
    return sections


def pasted_rows():
    """Statements that put sales.csv where the report pastes it (rows 3 to 15), for the seeds that
    cannot reach the file: a failing paste would stop a statement file there."""
    lines = (ROOT / "examples" / "sales.csv").read_text(encoding="utf-8").splitlines()
    out = []
    for r, line in enumerate(lines, start=3):
        out.append(" ".join(f'{"ABCDE"[c]}{r}="{v}"' for c, v in enumerate(line.split(","))))
    return out, len(lines) + 2


def without_paste(lines):
    rows, last = pasted_rows()
    out = []
    for line in lines:
        if ".CSV=" in line:
            out.extend(rows)
        else:
            out.append(line.replace("$ROWNUM", str(last)))
    return out


def write(target, name, data):
    folder = SEEDS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data if isinstance(data, bytes) else data.encode("utf-8"))


def open_options():
    options = [
        "MODE=CREATE BOOK=report", "BOOK=out/y", "CHARSET=UTF8 ブック=報告", "CHARSET=EUC", "CHARSET=KOI8",
        "MODE=create", "MODE=VIEW", "COLOR=RED", "MODE=CREATE BOOK", "BOOK=", "BOOK=\"quoted name.xlsx\"",
        "VERSION=2.0.4.0", "VERSION=1.0", "XLS_BOOK=24024", "XLS_BOOK=100", "BOOK=" + "n" * 256,
        "MODE=READ READ_MEMORY=TRUE BOOK=not-in-memory.xlsx", "TEMPLATE=none.xlsx BOOK=out",
        "WRITE_MEMORY=TRUE BOOK=report.xlsm", "WRITE_MEMORY=FALSE", "TEMP_WORKBOOK_PATH=tmp BOOK=a.b",
        "EXCEL=book.xls", "CHARSET=UTF8 モード=新規 ブック=報告書", "MODE=LOAD BOOK=x", "MODE=UNLOAD", "MODE=LIST",
    ]
    for n, text in enumerate(options):
        write("fuzz_open_options", f"options_{n:02d}", text)
    write("fuzz_open_options", "options_sjis_key", sjis("キャラクタセット") + b"=utf8")
    write("fuzz_open_options", "options_sjis_book", b"CHARSET=SJIS BOOK=" + sjis("売上報告"))
    write("fuzz_open_options", "options_euc_book", b"CHARSET=EUC BOOK=" + euc("売上報告"))


def statements():
    sections = statement_lines()
    for n, lines in enumerate(sections):
        write("fuzz_statements", f"report_{n}", "\n".join(without_paste(lines)) + "\n")
    write("fuzz_statements", "report_1_paste", "\n".join(sections[1]) + "\n")
    # The detail sheet in two halves: styling, and the totals that lean on the row count.
    detail = without_paste(sections[1])
    half = len(detail) // 2
    write("fuzz_statements", "detail_styles", "\n".join(detail[:half]) + "\n")
    write("fuzz_statements", "detail_totals", "\n".join(detail[half:]) + "\n")
    summary = "\n".join(sections[-1]) + "\n"
    write("fuzz_statements", "summary_sjis", STATEMENTS_SJIS + sjis(summary))
    write("fuzz_statements", "summary_euc", STATEMENTS_EUC + euc(summary))
    write("fuzz_statements", "summary_utf8", STATEMENTS_UTF8 + summary.encode("utf-8"))
    write("fuzz_statements", "cells", 'A1=1 B1="two words" C1="=A1*2" D1=2024/04/01\nA1:D1.FONT.COLOR=RED\n'
          'A2.COMMENT="note"\nA2.WRAP=TRUE A2.ALIGN=CENTER_CENTER\nB.WIDTH=20 3.HEIGHT=30\n'
          'SHEET=Second\nA1="=Sales!A1" A1.BORDER=thin A1.FILL.COLOR=#FF8800\n')


def csv():
    text = (ROOT / "examples" / "sales.csv").read_text(encoding="utf-8")
    write("fuzz_csv", "sales", text)
    write("fuzz_csv", "sales_tsv", TSV_UTF8 + text.replace(",", "\t").encode("utf-8"))
    write("fuzz_csv", "sales_area", TSV_UTF8_AREA + text.replace(",", "\t").encode("utf-8"))
    japanese = "月,地域,品名,数量,金額\n2024/04,東,ノート,120,144000\n2024/05,西,\"ペン,セット\",95,\"1,000\"\n"
    write("fuzz_csv", "japanese_sjis", CSV_SJIS + sjis(japanese))
    write("fuzz_csv", "japanese_sjis_area", CSV_SJIS_AREA + sjis(japanese))
    write("fuzz_csv", "japanese_euc", CSV_EUC + euc(japanese))
    write("fuzz_csv", "japanese_tsv_euc", TSV_EUC + euc(japanese.replace(",", "\t")))
    write("fuzz_csv", "japanese_tsv_sjis", TSV_SJIS + sjis(japanese.replace(",", "\t")))
    write("fuzz_csv", "bom_utf8", CSV_UTF8 + b"\xef\xbb\xbf" + japanese.encode("utf-8"))
    write("fuzz_csv", "bom_utf16", CSV_SJIS + b"\xff\xfe" + japanese.encode("utf-16-le"))
    write("fuzz_csv", "quotes", 'a,"b ""quoted""","multi\nline",\r\n"unclosed,x\n,,,\n'
          '!A10="statement inside" A10.FONT.STYLE=bold\n1,2.5,-3e2,=A1+1,$ROWNUM\n')


def statement_file():
    sections = statement_lines()
    body = "\n".join(without_paste([line for lines in sections for line in lines])) + "\n"
    write("fuzz_statement_file", "report", body)
    write("fuzz_statement_file", "report_comments",
          (ROOT / "examples" / "sales_report.txt").read_text(encoding="utf-8").replace("A3.CSV=sales.csv\n", ""))
    for n, lines in enumerate(sections):
        write("fuzz_statement_file", f"section_{n}", "\r\n".join(without_paste(lines)) + "\r\n")
    summary = "\n".join(sections[-1]) + "\n"
    write("fuzz_statement_file", "summary_sjis", FILE_SJIS_SJIS + sjis(summary))
    write("fuzz_statement_file", "summary_euc", FILE_EUC_EUC + euc(summary))
    write("fuzz_statement_file", "summary_utf8_in_sjis_book", FILE_SJIS_UTF8 + summary.encode("utf-8"))
    write("fuzz_statement_file", "summary_sjis_in_utf8_book", FILE_UTF8_SJIS + sjis(summary))
    write("fuzz_statement_file", "summary_bom_utf8", FILE_UTF8_UTF8 + b"\xef\xbb\xbf" + summary.encode("utf-8"))
    write("fuzz_statement_file", "summary_bom_utf16", FILE_SJIS_SJIS + b"\xff\xfe" + summary.encode("utf-16-le"))


def charset():
    samples = {
        "ascii": b"A1=\"Quarterly sales\" SHEET=Sales",
        "utf8_japanese": "四半期売上報告 ｶﾀｶﾅ ①Ⅲ㈱ 髙﨑".encode("utf-8"),
        "sjis_japanese": "四半期売上報告 ｶﾀｶﾅ ①Ⅲ㈱ 髙﨑".encode("cp932"),
        "euc_japanese": "四半期売上報告 ｶﾀｶﾅ".encode("euc_jp"),
        "euc_jisx0212": b"\x8f\xb0\xa1\x8f\xb0\xa2 \x8e\xb1",
        "utf16le": "売上 sales ✓".encode("utf-16-le"),
        "utf16_surrogates": "𠀋 😀".encode("utf-16-le") + b"\x00\xd8A\x00" + b"\x00\xdc",
        "utf8_4byte": "𠀋😀".encode("utf-8"),
        "utf8_invalid": b"\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \xe3\x81 \xff\xfe \x80",
        "sjis_cut": b"\x82\xa0\x82\x81\x9f\xfc\xfc\x82",
        "euc_cut": b"\xa4\xa2\xa4\x8e\x8f\xa1\xfe",
        "mixed_case": b"Book.Title=\xe5\xa3\xb2 sheet.NAME=abc zz",
    }
    for name, data in samples.items():
        write("fuzz_charset", name, data)


# The picture target's first byte picks the type its input is measured as: 201 + byte % 7.
PICTURE_TYPES = {"bmp": 0, "jpeg": 1, "png": 2, "gif": 3, "tiff": 4, "emf": 5, "wmf": 6}


def emf_picture(width, height):
    """An enhanced metafile of a header (frame in 0.01 mm at 96 pixels an inch) and an end record."""
    import struct
    frame = (0, 0, width * 2540 // 96, height * 2540 // 96)
    header = struct.pack("<II4i4i4sIIIHHIII2i2i", 1, 88, 0, 0, width - 1, height - 1, *frame, b" EMF", 0x10000,
                         108, 2, 1, 0, 0, 0, 0, 1920, 1080, 508, 286)
    return header + struct.pack("<5I", 14, 20, 0, 16, 20)


def wmf_picture(width, height, placeable=True):
    """A metafile with a window extent; the placeable header gives it a size at 96 units an inch."""
    import struct
    records = struct.pack("<IHhh", 5, 0x020B, 0, 0) + struct.pack("<IHhh", 5, 0x020C, height, width)
    records += struct.pack("<IH", 3, 0)
    body = struct.pack("<HHHIHIH", 1, 9, 0x0300, (18 + len(records)) // 2, 0, 5, 0) + records
    if not placeable:
        return body
    head = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, width, height, 96, 0)
    checksum = 0
    for k in range(0, 20, 2):
        checksum ^= struct.unpack_from("<H", head, k)[0]
    return head + struct.pack("<H", checksum) + body


def picture_size():
    from PIL import Image
    picture = Image.new("RGB", (23, 17), (200, 120, 40))
    for kind, pil_format, options in [("bmp", "BMP", {}), ("jpeg", "JPEG", {}),
                                      ("jpeg_progressive", "JPEG", {"progressive": True}), ("png", "PNG", {}),
                                      ("gif", "GIF", {}), ("tiff", "TIFF", {}),
                                      ("tiff_big_endian", "TIFF", {})]:
        buffer = io.BytesIO()
        picture.save(buffer, pil_format, **options)
        data = buffer.getvalue()
        if kind == "tiff_big_endian":
            data = tiff_to_big_endian(data)  # PIL writes little-endian only
        write("fuzz_picture_size", kind, bytes([PICTURE_TYPES[kind.split("_")[0]]]) + data)
    write("fuzz_picture_size", "emf", bytes([PICTURE_TYPES["emf"]]) + emf_picture(23, 17))
    write("fuzz_picture_size", "wmf", bytes([PICTURE_TYPES["wmf"]]) + wmf_picture(23, 17))
    write("fuzz_picture_size", "wmf_plain", bytes([PICTURE_TYPES["wmf"]]) + wmf_picture(23, 17, placeable=False))


def tiff_to_big_endian(data):
    """The header and first directory of a little-endian TIFF rewritten big-endian (enough for a
    seed: the size fields are what the target reads)."""
    import struct
    offset = struct.unpack_from("<I", data, 4)[0]
    count = struct.unpack_from("<H", data, offset)[0]
    out = bytearray(b"MM\x00*" + struct.pack(">I", offset) + data[8:])
    struct.pack_into(">H", out, offset, count)
    for k in range(count):
        at = offset + 2 + 12 * k
        tag, kind, n = struct.unpack_from("<HHI", data, at)
        out[at:at + 8] = struct.pack(">HHI", tag, kind, n)
        if kind == 3 and n == 1:
            out[at + 8:at + 12] = struct.pack(">HH", struct.unpack_from("<H", data, at + 8)[0], 0)
        elif n == 1 or kind == 4:
            out[at + 8:at + 12] = struct.pack(">I", struct.unpack_from("<I", data, at + 8)[0])
    return bytes(out)


# Targets whose seeds are real files copied in by hand (small workbooks of the shared corpus),
# not made here: this script leaves them alone.
COPIED = {"fuzz_compound_file", "fuzz_open_xlsx", "fuzz_open_xls"}


class Unseekable:
    """A stream zipfile cannot seek back in, so that it writes data descriptors."""

    def __init__(self, buffer):
        self.buffer = buffer

    def write(self, data):
        return self.buffer.write(data)

    def flush(self):
        pass


def archive(entries, zip64=False, stream=False):
    buffer = io.BytesIO()
    with zipfile.ZipFile(Unseekable(buffer) if stream else buffer, "w") as z:
        for name, data, method in entries:
            info = zipfile.ZipInfo(name, (2024, 4, 1, 12, 0, 0))
            info.compress_type = method
            with z.open(info, "w", force_zip64=zip64) as f:
                f.write(data)
    return buffer.getvalue()


def zip_reader():
    """Small archives in the shapes a workbook package comes in: stored and deflated entries, an
    empty one, a UTF-8 name, a folder entry, zip64 records, data descriptors. Beside them sit a few
    small workbooks saved by spreadsheet programs, committed as "corpus-" files and kept here."""
    rows = "".join(f'<row r="{r}"><c r="A{r}"><v>{r * 37}</v></c></row>' for r in range(1, 60))
    entries = [
        ("[Content_Types].xml", b'<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>',
         zipfile.ZIP_DEFLATED),
        ("xl/workbook.xml", b'<workbook><sheets><sheet name="Sheet1" sheetId="1"/></sheets></workbook>',
         zipfile.ZIP_DEFLATED),
        ("xl/worksheets/sheet1.xml", f"<worksheet><sheetData>{rows}</sheetData></worksheet>".encode(),
         zipfile.ZIP_DEFLATED),
        ("xl/media/", b"", zipfile.ZIP_STORED),
        ("xl/media/image1.bin", bytes(range(256)) * 2, zipfile.ZIP_STORED),
        ("docProps/empty.xml", b"", zipfile.ZIP_DEFLATED),
        ("xl/worksheets/シート.xml", "<sheet name=\"売上\"/>".encode(), zipfile.ZIP_DEFLATED),
    ]
    write("fuzz_zip_reader", "mixed.zip", archive(entries))
    write("fuzz_zip_reader", "zip64.zip", archive(entries[:3], zip64=True))
    write("fuzz_zip_reader", "descriptors.zip", archive(entries[:5], stream=True))


def main():
    # Regression seeds (inputs of fixed faults) and copied workbooks are kept; the generated
    # seeds are made anew.
    if SEEDS.exists():
        for path in SEEDS.glob("*/*"):
            if path.parent.name not in COPIED and not path.name.startswith(("regression-", "corpus-")):
                path.unlink()
    open_options()
    statements()
    csv()
    statement_file()
    charset()
    zip_reader()
    picture_size()


if __name__ == "__main__":
    main()
