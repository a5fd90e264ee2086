--TEST--
TXLS_read_book: a legacy .xls workbook (Excel 97-2003) reads its sheets and values
--EXTENSIONS--
TABSMITH
--SKIPIF--
<?php if (!file_exists(__DIR__ . '/sample.xls')) echo 'skip no sample .xls beside the tests'; ?>
--INI--
tabsmith.charset=UTF8
--FILE--
<?php
$r = TXLS_read_book(__DIR__ . '/sample.xls');
var_dump(TXLS_error_code($r), TXLS_sheet_num($r), TXLS_sheet_name($r, '1'));
var_dump(TXLS_open_sheet2($r, '1'));
foreach (['A1', 'B1', 'A2', 'B2'] as $cell) {
    $value = TXLS_get_cell($r, $cell, $kind);
    printf("%s: %s [%s]\n", $cell, var_export($value, true), var_export($kind, true));
}
TXLS_scrap_book($r);
?>
--EXPECT--
int(0)
int(5)
string(6) "Pareto"
int(0)
A1: 'Month' ['CHARACTER']
B1: 'Total DR\'s Productive & Non-Productive' ['CHARACTER']
A2: '2001/7/1' ['DATE']
B2: '71' ['INTEGER']
