--TEST--
TXLS_open_book, TXLS_put_cell on A1 and TXLS_save_book write Book1.xlsx; the handle is 64-bit hex
--EXTENSIONS--
TABSMITH
--FILE--
<?php
require __DIR__ . '/helper.inc';
ts_scratch('create');
$h = TXLS_open_book();
var_dump(is_string($h), (bool)preg_match('/^[0-9a-f]{1,16}$/', $h));
// The address is wider than 32 bits on this platform, so a "%x" handle would have lost it.
var_dump(PHP_INT_SIZE == 8 ? strlen($h) > 8 : true);
var_dump(TXLS_error_code($h), TXLS_error_mesg($h));
var_dump(TXLS_open_sheet($h, 'SHEET_NAME=Report'));
var_dump(TXLS_put_cell($h, 'A1', 'hello'));
var_dump(TXLS_get_cell($h, 'A1'));
// Upper-case digits name the same record.
var_dump(TXLS_get_cell(strtoupper($h), 'A1'));
var_dump(TXLS_save_book($h));
var_dump(file_exists('Book1.xlsx'), substr(file_get_contents('Book1.xlsx'), 0, 2));
echo ts_openpyxl(getcwd() . '/Book1.xlsx', "wb = openpyxl.load_workbook(path)\nprint(wb.sheetnames, wb['Report']['A1'].value)\n");
// Saved means freed: the same text is no longer a book.
var_dump(TXLS_put_cell($h, 'A1', 'again'), TXLS_error_code($h), TXLS_save_book($h));
?>
--EXPECT--
bool(true)
bool(true)
bool(true)
int(0)
string(0) ""
int(0)
int(0)
string(5) "hello"
string(5) "hello"
int(0)
bool(true)
string(2) "PK"
['Report'] hello
int(-3)
NULL
int(-3)
