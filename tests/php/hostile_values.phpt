--TEST--
Values that look like markup are written as text: the saved book loads and gives them back
--EXTENSIONS--
TABSMITH
--FILE--
<?php
require __DIR__ . '/helper.inc';
ts_scratch('hostile');
$values = ['=<B1', '=</c></row></sheetData><x>', '=<![CDATA[x]]>', '=&amp;', "=\"a\x01b\"", '</c><x>'];
$book = TXLS_open_book('CHARSET=UTF8 BOOK=hostile.xlsx');
TXLS_open_sheet($book, 'SHEET_NAME=Sheet1');
foreach ($values as $i => $value) var_dump(TXLS_put_cell($book, 'A' . ($i + 1), $value));
var_dump(TXLS_save_book($book));

$read = TXLS_read_book('hostile.xlsx');
foreach ($values as $i => $value) {
    $got = TXLS_get_cell($read, 'A' . ($i + 1), $kind);
    echo $kind === 'FORMULA:' . substr($value, 1) || $got === $value ? "same\n" : "differs: $kind $got\n";
}
TXLS_scrap_book($read);
echo ts_openpyxl(getcwd() . '/hostile.xlsx', "ws = openpyxl.load_workbook(path).active\nprint([c.value for c in ws['A']])\n");
?>
--EXPECT--
int(0)
int(0)
int(0)
int(0)
int(0)
int(0)
int(0)
same
same
same
same
same
same
['=<B1', '=</c></row></sheetData><x>', '=<![CDATA[x]]>', '=&amp;', '="a_x0001_b"', '</c><x>']
