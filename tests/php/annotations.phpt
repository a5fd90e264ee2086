--TEST--
Comments, a table format, statement and in-value hyperlinks from PHP, read back with openpyxl
--EXTENSIONS--
TABSMITH
--SKIPIF--
<?php
if (trim((string)shell_exec('/usr/bin/python3 -c "import openpyxl; print(1)" 2>/dev/null')) !== '1') die('skip openpyxl missing');
?>
--FILE--
<?php
require __DIR__ . '/helper.inc';
ts_scratch('annotations');
$h = TXLS_open_book('CHARSET=UTF8');
var_dump(TXLS_open_sheet($h, 'SHEET_NAME=一覧'));
var_dump(TXLS_put_values($h, 'A1=商品 B1=価格 A2=ペン B2=120 A3=ノート B3=300 A1:B3.TABLE_FORMAT=中間9'));
var_dump(TXLS_put_values($h, 'B2.COMMENT="税込み & 送料別" D1=問い合わせ D1.HYPERLINK="sales@example.jp"'));
var_dump(TXLS_put_values($h, 'D2=#詳細!A1"詳細へ"'));
// A link to nowhere is refused with the cell left alone.
var_dump(TXLS_put_cell($h, 'D3', '#詳細!XYZ"x"'), TXLS_error_code($h));
var_dump(TXLS_put_values($h, 'A1:A2.TABLE_FORMAT=Light1'), TXLS_error_mesg($h));
var_dump(TXLS_open_sheet($h, 'SHEET_NAME=詳細'));
var_dump(TXLS_save_book($h));
$check = <<<'PY'
wb = openpyxl.load_workbook(path)
s = wb['一覧']
t = list(s.tables.values())[0]
print(t.ref, t.tableStyleInfo.name, [c.name for c in t.tableColumns])
print(repr(s['B2'].comment.text), s['B2'].comment.author)
print(s['D1'].hyperlink.target, s['D2'].value, s['D2'].hyperlink.location, s['D3'].value)
PY;
echo ts_openpyxl(getcwd() . '/Book1.xlsx', $check);
?>
--EXPECT--
int(0)
int(0)
int(0)
int(0)
int(-1)
int(-1)
int(-3)
string(103) "TXLS-02632 表書式(TABLE_FORMAT)は既に定義したセル範囲に対して定義できません。"
int(0)
int(0)
A1:B3 TableStyleMedium9 ['商品', '価格']
'MyName:\n税込み & 送料別' MyName
mailto:sales@example.jp 詳細へ '詳細'!A1 None
