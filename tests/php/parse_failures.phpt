--TEST--
Arguments that cannot be parsed give NULL (or -3 where a number is returned), without exceptions
--EXTENSIONS--
TABSMITH
--FILE--
<?php
$h = TXLS_open_book();
$calls = [
    'read_book' => fn() => TXLS_read_book(),
    'open_book' => fn() => TXLS_open_book([]),
    'open_template' => fn() => TXLS_open_template(),
    'open_sheet' => fn() => TXLS_open_sheet($h),
    'open_sheet2' => fn() => TXLS_open_sheet2($h, []),
    'sheet_name' => fn() => TXLS_sheet_name($h),
    'sheet_num' => fn() => TXLS_sheet_num(),
    'row_num' => fn() => TXLS_row_num($h, '1'),
    'column_num' => fn() => TXLS_column_num($h),
    'put_cell' => fn() => TXLS_put_cell($h, 'A1'),
    'put_values' => fn() => TXLS_put_values($h),
    'get_cell' => fn() => TXLS_get_cell($h),
    'get_format_cell' => fn() => TXLS_get_format_cell($h, new stdClass),
    'cell_name' => fn() => TXLS_cell_name('1'),
    'cell_range' => fn() => TXLS_cell_range('1', '1', '1'),
    'column_name' => fn() => TXLS_column_name(),
    'save_book' => fn() => TXLS_save_book(),
    'scrap_book' => fn() => TXLS_scrap_book($h, 'x'),
    'error_code' => fn() => TXLS_error_code(),
    'error_mesg' => fn() => TXLS_error_mesg([]),
    'read_file' => fn() => TXLS_read_file($h),
];
foreach ($calls as $name => $call) echo $name, ': ', var_export($call(), true), "\n";
// Numbers and other scalars are taken as their string form.
var_dump(TXLS_cell_name(2, 3), TXLS_open_sheet2($h, 0), TXLS_column_name(1.0));
// The book survived every refused call.
var_dump(TXLS_error_code($h), TXLS_scrap_book($h));
?>
--EXPECT--
read_book: NULL
open_book: NULL
open_template: NULL
open_sheet: -3
open_sheet2: -3
sheet_name: NULL
sheet_num: -3
row_num: -3
column_num: -3
put_cell: -3
put_values: -3
get_cell: NULL
get_format_cell: NULL
cell_name: NULL
cell_range: NULL
column_name: NULL
save_book: -3
scrap_book: -3
error_code: NULL
error_mesg: NULL
read_file: -3
string(2) "C2"
int(-801)
string(1) "A"
int(0)
int(0)
