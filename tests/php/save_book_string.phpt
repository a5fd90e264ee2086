--TEST--
TXLS_save_book_string: the workbook bytes of any open book, which is then freed
--EXTENSIONS--
TABSMITH
--FILE--
<?php
require __DIR__ . '/helper.inc';
ts_scratch('memory');
$a = TXLS_open_book('WRITE_MEMORY=TRUE CHARSET=UTF8');
$b = TXLS_open_book('write_memory = "true"');
var_dump(TXLS_open_sheet($a, 'SHEET_NAME=Alpha'), TXLS_open_sheet($b, 'SHEET_NAME=Beta'));
var_dump(TXLS_put_values($a, 'A1=first B2=2'), TXLS_put_values($b, 'A1=second'));
$bytes_b = TXLS_save_book_string($b);
$bytes_a = TXLS_save_book_string($a);
var_dump(substr($bytes_a, 0, 2), substr($bytes_b, 0, 2), $bytes_a !== $bytes_b);
var_dump(glob('*'));
file_put_contents('a.xlsx', $bytes_a);
file_put_contents('b.xlsx', $bytes_b);
$check = "wb = openpyxl.load_workbook(path)\nws = wb.active\nprint(wb.sheetnames, ws['A1'].value)\n";
echo ts_openpyxl(getcwd() . '/a.xlsx', $check);
echo ts_openpyxl(getcwd() . '/b.xlsx', $check);
// Freed like a save.
var_dump(TXLS_save_book_string($a), TXLS_put_cell($a, 'A1', 'x'), TXLS_error_code($b));

// A book opened for a file on disk gives its bytes too, and writes no file.
$d = TXLS_open_book('CHARSET=UTF8 BOOK=disk.xlsx');
TXLS_open_sheet($d, 'SHEET_NAME=Disk');
$bytes_d = TXLS_save_book_string($d);
var_dump(substr($bytes_d, 0, 2), file_exists('disk.xlsx'), TXLS_sheet_name($d, '0'));
file_put_contents('d.xlsx', $bytes_d);
echo ts_openpyxl(getcwd() . '/d.xlsx', $check);
$off = TXLS_open_book('WRITE_MEMORY=FALSE');
var_dump(substr(TXLS_save_book_string($off), 0, 2));

// TXLS_save_book on a memory book keeps the bytes in memory and writes no file.
$m = TXLS_open_book('WRITE_MEMORY=TRUE');
TXLS_open_sheet($m, 'SHEET_NAME=M');
var_dump(TXLS_save_book($m), file_exists('Book1.xlsx'));

var_dump(TXLS_save_book_string(''), TXLS_save_book_string('abc'), TXLS_save_book_string());
?>
--EXPECT--
int(0)
int(0)
int(0)
int(0)
string(2) "PK"
string(2) "PK"
bool(true)
array(0) {
}
['Alpha'] first
['Beta'] second
NULL
int(-3)
NULL
string(2) "PK"
bool(false)
NULL
['Disk'] None
string(2) "PK"
int(0)
bool(false)
NULL
NULL
NULL
