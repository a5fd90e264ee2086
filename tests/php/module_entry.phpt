--TEST--
TABSMITH module: name, version and every function registered
--EXTENSIONS--
TABSMITH
--FILE--
<?php
var_dump(extension_loaded('TABSMITH'));
var_dump(phpversion('TABSMITH'));
$ext = new ReflectionExtension('TABSMITH');
var_dump($ext->getName(), $ext->getINIEntries(), $ext->getDependencies());
$names = array_map('strtolower', array_keys($ext->getFunctions()));
sort($names);
echo implode("\n", $names), "\n";
echo count($names), "\n";
?>
--EXPECT--
bool(true)
string(7) "2.0.0.0"
string(8) "TABSMITH"
array(1) {
  ["tabsmith.charset"]=>
  string(4) "SJIS"
}
array(0) {
}
tabsmith
txls_cell_name
txls_cell_range
txls_column_name
txls_column_num
txls_error_code
txls_error_mesg
txls_get_cell
txls_get_format_cell
txls_open_book
txls_open_sheet
txls_open_sheet2
txls_open_template
txls_put_cell
txls_put_values
txls_read_book
txls_read_file
txls_row_num
txls_save_book
txls_save_book_string
txls_scrap_book
txls_sheet_name
txls_sheet_num
txls_write_row
24
