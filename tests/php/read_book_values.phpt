--TEST--
TXLS_read_book: a workbook the script saved first comes back with its sheets, values, kinds and formula results
--EXTENSIONS--
TABSMITH
--INI--
tabsmith.charset=UTF8
--FILE--
<?php
require __DIR__ . '/helper.inc';
$dir = ts_scratch('readback');
$path = $dir . '/written.xlsx';

$w = TXLS_open_book('BOOK="' . $path . '"');
TXLS_open_sheet($w, 'SHEET_NAME=Orders');
$values = ['A1' => 'Item', 'B1' => 'Qty', 'C1' => 'Price', 'D1' => 'Amount',
           'A2' => '東京, "quoted"', 'B2' => '1,200', 'C2' => '2.5', 'D2' => '=B2*C2',
           'A3' => 'Ship date', 'B3' => '2024/04/01', 'C3' => '2024/04/01 13:45:00', 'E5' => 'corner'];
foreach ($values as $cell => $value) TXLS_put_cell($w, $cell, $value);
TXLS_put_values($w, 'B2.FORMAT=カンマ');
TXLS_open_sheet($w, 'SHEET_NAME="Second sheet"');
TXLS_put_cell($w, 'B2', 'x');
var_dump(TXLS_save_book($w), file_exists($path));

$r = TXLS_read_book($path);
var_dump(TXLS_error_code($r), TXLS_sheet_num($r), TXLS_sheet_name($r, '0'), TXLS_sheet_name($r, '1'));
var_dump(TXLS_open_sheet2($r, '0'), TXLS_row_num($r), TXLS_column_num($r, '0'), TXLS_column_num($r, '3'), TXLS_column_num($r, '4'));
foreach (['A1', 'A2', 'B2', 'C2', 'D2', 'B3', 'C3', 'E5', 'A4'] as $cell) {
    $value = TXLS_get_cell($r, $cell, $kind);
    printf("%s: %s [%s]\n", $cell, var_export($value, true), var_export($kind, true));
}
// Through the number formats the file gives the cells.
foreach (['B2', 'C2', 'B3', 'C3'] as $cell) {
    $shown = TXLS_get_format_cell($r, $cell, $kind);
    printf("%s shown: %s [%s]\n", $cell, var_export($shown, true), var_export($kind, true));
}
// The kind argument is optional and a failed read leaves it NULL.
var_dump(TXLS_get_cell($r, 'A1'), TXLS_get_cell($r, 'Z99', $kind), $kind, TXLS_get_cell($r, 'not a cell', $kind), $kind);

// Sheets are found by name; a book read from a file takes no new sheet, and formula cells keep
// their formulas.
var_dump(TXLS_open_sheet($r, 'MODE=READ SHEET_NAME="Second sheet"'), TXLS_get_cell($r, 'B2'));
var_dump(TXLS_open_sheet($r, 'SHEET_NAME=Extra'), substr(TXLS_error_mesg($r), 0, 10));
var_dump(TXLS_open_sheet($r, 'MODE=READ SHEET_NAME=Missing'), substr(TXLS_error_mesg($r), 0, 10));
TXLS_open_sheet2($r, '0');
var_dump(TXLS_put_cell($r, 'D2', '7'), substr(TXLS_error_mesg($r), 0, 10), TXLS_get_cell($r, 'D2'));
var_dump(TXLS_put_cell($r, 'A3', 'Shipped'), TXLS_get_cell($r, 'A3'));
// Scrapping a book that was read leaves its file as it was.
$before = md5_file($path);
var_dump(TXLS_scrap_book($r), md5_file($path) === $before);

// A file that is no workbook: a handle carrying the open error.
file_put_contents($dir . '/notes.txt', str_repeat("not a workbook\n", 4));
$bad = TXLS_read_book($dir . '/notes.txt');
var_dump(is_string($bad), TXLS_error_code($bad) < 0, strncmp(TXLS_error_mesg($bad), 'TXLS-', 5) === 0,
         TXLS_sheet_num($bad), TXLS_get_cell($bad, 'A1'), TXLS_scrap_book($bad));
?>
--EXPECT--
int(0)
bool(true)
int(0)
int(2)
string(6) "Orders"
string(12) "Second sheet"
int(0)
int(5)
int(4)
int(0)
int(5)
A1: 'Item' ['CHARACTER']
A2: '東京, "quoted"' ['CHARACTER']
B2: '1200' ['INTEGER']
C2: '2.5' ['FLOAT']
D2: '3000' ['FORMULA:B2*C2']
B3: '2024/4/1' ['DATE']
C3: '2024/4/1 13:45' ['DATE_TIME']
E5: 'corner' ['CHARACTER']
A4: NULL [NULL]
B2 shown: '1,200' ['INTEGER']
C2 shown: '2.5' ['FLOAT']
B3 shown: '2024/4/1' ['DATE']
C3 shown: '2024/4/1 13:45' ['DATE_TIME']
string(4) "Item"
NULL
NULL
NULL
NULL
int(0)
string(1) "x"
int(-3)
string(10) "TXLS-02209"
int(-801)
string(10) "TXLS-02320"
int(-3)
string(10) "TXLS-03203"
string(4) "3000"
int(0)
string(7) "Shipped"
int(0)
bool(true)
bool(true)
bool(true)
bool(true)
int(0)
NULL
int(0)
