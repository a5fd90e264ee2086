--TEST--
Bad handles: a non-hex character, random hex, empty, too long, freed, scrapped - -3 or NULL, never used
--EXTENSIONS--
TABSMITH
--FILE--
<?php
require __DIR__ . '/helper.inc';
ts_scratch('bad');
$live = TXLS_open_book();
TXLS_open_sheet($live, 'SHEET_NAME=Keep');
TXLS_put_cell($live, 'A1', 'still here');

var_dump(TXLS_put_cell('12g', 'A1', 'x'));
var_dump(TXLS_put_cell($live . 'g', 'A1', 'x'));
ts_show_bad('g', '7f00dead12g');
ts_show_bad('random', '7f3a9c2b1e40');
ts_show_bad('one', '1');
ts_show_bad('zero', '0');
ts_show_bad('empty', '');
ts_show_bad('blank', ' ');
ts_show_bad('sign', '-' . $live);
ts_show_bad('prefix', '0x' . $live);
ts_show_bad('long', str_repeat('0', 79 - strlen($live)) . $live . '0');
ts_show_bad('eighty', str_repeat('0', 80 - strlen($live)) . $live);
ts_show_bad('wide', '1' . str_repeat('0', 16 - strlen($live)) . $live);
ts_show_bad('nul', $live . "\0");

$freed = TXLS_open_book();
var_dump(TXLS_scrap_book($freed));
ts_show_bad('scrapped', $freed);
$saved = TXLS_open_book();
TXLS_open_sheet($saved, 'SHEET_NAME=S');
var_dump(TXLS_save_book($saved));
ts_show_bad('saved', $saved);

// A freed book's handle never comes back to life, though the next record may reuse its memory.
$old = TXLS_open_book();
var_dump(TXLS_scrap_book($old));
$new = TXLS_open_book();
var_dump($new !== $old, TXLS_sheet_num($old), TXLS_sheet_num($new), TXLS_scrap_book($new));

// Leading zeros up to 79 characters still name the live record.
var_dump(TXLS_get_cell(str_repeat('0', 79 - strlen($live)) . $live, 'A1'));
// None of the above touched the live book.
var_dump(TXLS_get_cell($live, 'A1'), TXLS_sheet_name($live, '0'), TXLS_scrap_book($live));
?>
--EXPECT--
int(-3)
int(-3)
g: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
random: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
one: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
zero: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
empty: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
blank: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
sign: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
prefix: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
long: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
eighty: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
wide: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
nul: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
int(0)
scrapped: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
int(0)
saved: -3 -3 NULL -3 -3 -3 -3 -3 NULL NULL -3 NULL NULL NULL -3 -3
int(0)
bool(true)
int(-3)
int(0)
int(0)
string(10) "still here"
string(10) "still here"
string(4) "Keep"
int(0)
