--TEST--
tabsmith.charset: the character set of books opened without a CHARSET of their own
--EXTENSIONS--
TABSMITH
--INI--
tabsmith.charset=UTF8
--FILE--
<?php
require __DIR__ . '/helper.inc';
ts_scratch('charset');
var_dump(ini_get('tabsmith.charset'));
$book = TXLS_open_book();
var_dump(TXLS_open_sheet($book, 'SHEET_NAME=売上'), TXLS_put_cell($book, 'A1', '日本語'));
var_dump(TXLS_get_cell($book, 'A1'), TXLS_sheet_name($book, '0'));
file_put_contents('u.xlsx', TXLS_save_book_string($book));
echo ts_openpyxl(getcwd() . '/u.xlsx', "wb = openpyxl.load_workbook(path)\nprint(wb.sheetnames == ['\\u58f2\\u4e0a'], wb.active['A1'].value == '\\u65e5\\u672c\\u8a9e')\n");
// A CHARSET of the script's own still wins.
$sjis = TXLS_open_book('CHARSET=SJIS');
var_dump(TXLS_put_cell($sjis, 'A1', "\x93\xfa\x96\x7b"), bin2hex(TXLS_get_cell($sjis, 'A1')), TXLS_scrap_book($sjis));
// A failed open says why in the same character set.
$missing = TXLS_read_book('/nonexistent/帳票.xlsx');
var_dump(TXLS_error_mesg($missing), preg_match('//u', TXLS_error_mesg($missing)) === 1);
// Only the engine's character sets are taken.
var_dump(ini_set('tabsmith.charset', 'LATIN1'), ini_get('tabsmith.charset'));
var_dump(ini_set('tabsmith.charset', 'sjis'), ini_get('tabsmith.charset'));
?>
--EXPECT--
string(4) "UTF8"
int(0)
int(0)
string(9) "日本語"
string(6) "売上"
True True
int(0)
string(8) "93fa967b"
int(0)
string(80) "TXLS-03101 Excelファイルオープンエラー("/nonexistent/帳票.xlsx")。"
bool(true)
bool(false)
string(4) "UTF8"
string(4) "UTF8"
string(4) "sjis"
