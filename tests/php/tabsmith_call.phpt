--TEST--
tabsmith(): one call from statements to Book1.xlsx, with the first failing result
--EXTENSIONS--
TABSMITH
--FILE--
<?php
require __DIR__ . '/helper.inc';
ts_scratch('oneshot');
var_dump(tabsmith('SHEET.NAME=Summary A1=Total B1=12 A1.FONT.COLOR=RED'));
var_dump(file_exists('Book1.xlsx'));
echo ts_openpyxl(getcwd() . '/Book1.xlsx', "wb = openpyxl.load_workbook(path)\nws = wb.active\nprint(wb.sheetnames, ws['A1'].value, ws['B1'].value, ws['A1'].font.color.rgb)\n");
unlink('Book1.xlsx');
// A failing statement: its result, and no half-made report on disk.
var_dump(tabsmith('SHEET.NAME=S A1.NOSUCH=1'), file_exists('Book1.xlsx'));
// No sheet named: the value goes to a new Sheet1 rather than being lost.
var_dump(tabsmith('A1=1'), file_exists('Book1.xlsx'));
echo ts_openpyxl(getcwd() . '/Book1.xlsx', "wb = openpyxl.load_workbook(path)\nprint(wb.sheetnames, wb.active['A1'].value)\n");
unlink('Book1.xlsx');
// Open options after the statements.
var_dump(tabsmith('SHEET.NAME=U A1="ä"', 'CHARSET=UTF8'), file_exists('Book1.xlsx'));
echo ts_openpyxl(getcwd() . '/Book1.xlsx', "print(openpyxl.load_workbook(path).active['A1'].value == '\\u00e4')\n");
var_dump(tabsmith('SHEET.NAME=V A1=1', 'BOOK=named.xlsx'), file_exists('named.xlsx'));
var_dump(tabsmith('SHEET.NAME=W A1=1', 'NOT_AN_OPTION=1'));
var_dump(tabsmith(''), tabsmith(), tabsmith([]), tabsmith('a', 'b', 'c'));
?>
--EXPECT--
int(0)
bool(true)
['Summary'] Total 12 FFFF0000
int(-3)
bool(false)
int(0)
bool(true)
['Sheet1'] 1
int(0)
bool(true)
True
int(0)
bool(true)
int(-3)
int(0)
int(-3)
int(-3)
int(-3)
