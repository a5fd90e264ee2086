--TEST--
Sheets and cells: TXLS_open_sheet, open_sheet2, sheet_name, sheet_num, row_num, column_num, put/get cells, statements
--EXTENSIONS--
TABSMITH
--FILE--
<?php
require __DIR__ . '/helper.inc';
ts_scratch('sheets');
$h = TXLS_open_book('CHARSET=UTF8');
var_dump(TXLS_sheet_num($h));
var_dump(TXLS_open_sheet($h, 'SHEET_NAME=First'), TXLS_open_sheet($h, 'SHEET_NAME=Second'));
var_dump(TXLS_open_sheet($h, 'SHEET_NAME=First'), TXLS_error_code($h), TXLS_error_mesg($h));
var_dump(TXLS_open_sheet($h, 'BOGUS=1'), TXLS_error_code($h));
var_dump(TXLS_sheet_num($h), TXLS_sheet_name($h, '0'), TXLS_sheet_name($h, '1'), TXLS_sheet_name($h, '2'));
var_dump(TXLS_open_sheet2($h, '0'), TXLS_open_sheet2($h, '2'), TXLS_open_sheet2($h, '-1'), TXLS_open_sheet2($h, 'x'));
var_dump(TXLS_put_cell($h, 'A1', 'Name'), TXLS_put_cell($h, 'B3', '42'), TXLS_put_cell($h, 'nonsense', '1'));
var_dump(TXLS_row_num($h), TXLS_column_num($h, '0'), TXLS_column_num($h, '2'));
var_dump(TXLS_get_cell($h, 'A1'), TXLS_get_cell($h, 'B3'), TXLS_get_format_cell($h, 'B3'));
var_dump(TXLS_put_values($h, 'C1=3.5 A1.FONT.COLOR=RED B2:D4.BORDER=THIN'));
var_dump(TXLS_get_cell($h, 'C1'), TXLS_get_format_cell($h, 'C1'));
var_dump(TXLS_put_values($h, 'A1.NOSUCH=1'), TXLS_error_code($h), TXLS_error_mesg($h));
var_dump(TXLS_put_values($h, ''), TXLS_error_code($h));
var_dump(TXLS_open_sheet2($h, '1'), TXLS_get_cell($h, 'A1'), TXLS_put_values($h, 'First!D9=x'), TXLS_open_sheet2($h, '0'), TXLS_get_cell($h, 'D9'));
var_dump(TXLS_scrap_book($h), file_exists('Book1.xlsx'));
?>
--EXPECT--
int(0)
int(0)
int(0)
int(-3)
int(-3)
string(65) "TXLS-02321 既に存在しているシート名です("First")。"
int(-3)
int(-3)
int(2)
string(5) "First"
string(6) "Second"
NULL
int(0)
int(-801)
int(-801)
int(0)
int(0)
int(0)
int(-3)
int(3)
int(1)
int(2)
string(4) "Name"
string(2) "42"
string(2) "42"
int(0)
string(3) "3.5"
string(3) "3.5"
int(-3)
int(-3)
string(63) "TXLS-02200 サポート外のキーワードです("NOSUCH")。"
int(0)
int(0)
int(0)
NULL
int(0)
int(0)
string(1) "x"
int(0)
bool(false)
