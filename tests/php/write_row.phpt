--TEST--
TXLS_write_row: rows above STREAM_AFTER leave memory and still reach the saved workbook
--EXTENSIONS--
TABSMITH
--INI--
tabsmith.charset=UTF8
--FILE--
<?php
require __DIR__ . '/helper.inc';
$dir = ts_scratch('write_row');
$path = $dir . '/streamed.xlsx';

$w = TXLS_open_book('STREAM_AFTER=2 BOOK="' . $path . '"');
TXLS_open_sheet($w, 'SHEET_NAME=Rows');
for ($r = 1; $r <= 5; $r++) {
    TXLS_put_cell($w, "A$r", "row $r");
    TXLS_put_cell($w, "B$r", (string)($r * 10));
    echo $r, ': ', TXLS_write_row($w, (string)$r), ' ', var_export(TXLS_get_cell($w, "A$r"), true), "\n";
}
var_dump(TXLS_write_row($w, '1048577'), TXLS_write_row('not a handle', '3'));
var_dump(TXLS_save_book($w));

$r = TXLS_read_book($path);
for ($k = 1; $k <= 5; $k++) echo TXLS_get_cell($r, "A$k"), ' ', TXLS_get_cell($r, "B$k"), "\n";
TXLS_scrap_book($r);

// Without the option nothing is streamed.
$plain = TXLS_open_book();
TXLS_put_cell($plain, 'A9', 'stays');
var_dump(TXLS_write_row($plain, '9'), TXLS_get_cell($plain, 'A9'), TXLS_scrap_book($plain));
?>
--EXPECT--
1: 0 'row 1'
2: 0 'row 2'
3: 0 NULL
4: 0 NULL
5: 0 NULL
int(-3)
int(-3)
int(0)
row 1 10
row 2 20
row 3 30
row 4 40
row 5 50
int(0)
string(5) "stays"
int(0)
