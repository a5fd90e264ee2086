--TEST--
TXLS_cell_name, TXLS_cell_range and TXLS_column_name: numbers read from strings
--EXTENSIONS--
TABSMITH
--FILE--
<?php
var_dump(TXLS_column_name('28'));
var_dump(TXLS_column_name('1'), TXLS_column_name('26'), TXLS_column_name('16384'));
var_dump(TXLS_column_name('0'), TXLS_column_name('16385'), TXLS_column_name('abc'), TXLS_column_name(''));
var_dump(TXLS_column_name(28));
var_dump(TXLS_cell_name('1', '1'), TXLS_cell_name('10', '28'), TXLS_cell_name('1048576', '16384'));
var_dump(TXLS_cell_name('0', '1'), TXLS_cell_name('1', '0'), TXLS_cell_name('1048577', '1'));
var_dump(TXLS_cell_name(' 7', '2x'));
var_dump(TXLS_cell_range('1', '1', '3', '4'), TXLS_cell_range('2', '28', '10', '30'));
var_dump(TXLS_cell_range('0', '1', '3', '4'));
?>
--EXPECT--
string(2) "AB"
string(1) "A"
string(1) "Z"
string(3) "XFD"
NULL
NULL
NULL
NULL
string(2) "AB"
string(2) "A1"
string(4) "AB10"
string(10) "XFD1048576"
NULL
NULL
NULL
string(2) "B7"
string(5) "A1:D3"
string(8) "AB2:AD10"
NULL
