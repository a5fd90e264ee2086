--TEST--
TXLS_read_book and TXLS_open_template: a handle even when the open fails, with its code and message
--EXTENSIONS--
TABSMITH
--FILE--
<?php
require __DIR__ . '/helper.inc';
$dir = ts_scratch('read');
$missing = $dir . '/missing.xlsx';
$h = TXLS_read_book($missing);
var_dump(is_string($h), TXLS_error_code($h) < 0);
$mesg = TXLS_error_mesg($h);
var_dump(strncmp($mesg, 'TXLS-03101', 10) === 0, strpos($mesg, $missing) !== false);
var_dump(TXLS_scrap_book($h), TXLS_error_code($h));

// An existing workbook opens through both functions.
$w = TXLS_open_book();
TXLS_open_sheet($w, 'SHEET_NAME=Data');
TXLS_put_cell($w, 'A1', '1');
var_dump(TXLS_save_book($w));
$r = TXLS_read_book('Book1.xlsx', 'CHARSET=UTF8');
var_dump(is_string($r), is_int(TXLS_error_code($r)), TXLS_error_code($r) === 0, TXLS_sheet_name($r, '0') === 'Data');
var_dump(TXLS_scrap_book($r));

$t = TXLS_open_template($dir . '/no-template.xlsx');
var_dump(is_string($t), TXLS_error_code($t), strpos(TXLS_error_mesg($t), 'no-template.xlsx') !== false);
var_dump(TXLS_scrap_book($t));
$t = TXLS_open_template('Book1.xlsx');
var_dump(is_string($t), TXLS_error_code($t) === 0);
var_dump(TXLS_scrap_book($t));

// Options the engine refuses still leave a handle carrying the reason.
$o = TXLS_open_book('NOT_AN_OPTION=1');
var_dump(is_string($o), TXLS_error_code($o), TXLS_error_mesg($o) !== '');
var_dump(TXLS_scrap_book($o));
// A mode in the caller's options cannot override the opening function's own.
$c = TXLS_open_book('MODE=READ');
var_dump(TXLS_error_code($c), TXLS_open_sheet($c, 'SHEET_NAME=Ok'), TXLS_scrap_book($c));
?>
--EXPECT--
bool(true)
bool(true)
bool(true)
bool(true)
int(0)
NULL
int(0)
bool(true)
bool(true)
bool(true)
bool(true)
int(0)
bool(true)
int(-101)
bool(true)
int(0)
bool(true)
bool(true)
int(0)
bool(true)
int(-3)
bool(true)
int(0)
int(0)
int(0)
int(0)
