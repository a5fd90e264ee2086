--TEST--
A styled multi-sheet report from values and statements, read back with openpyxl
--EXTENSIONS--
TABSMITH
--SKIPIF--
<?php
if (trim((string)shell_exec('/usr/bin/python3 -c "import openpyxl; print(1)" 2>/dev/null')) !== '1') die('skip openpyxl missing');
?>
--FILE--
<?php
require __DIR__ . '/helper.inc';
ts_scratch('report');
$h = TXLS_open_book('CHARSET=UTF8');
var_dump(TXLS_open_sheet($h, 'SHEET_NAME=Summary'));
$rows = [['Region', 'Q1', 'Q2', 'Q3'], ['North', '10', '20', '30'], ['South', '11', '21', '31'], ['East', '12', '22', '32']];
foreach ($rows as $r => $row) {
    foreach ($row as $c => $value) {
        $rc = TXLS_put_cell($h, TXLS_cell_name((string)($r + 1), (string)($c + 1)), $value);
        if ($rc !== 0) echo "put failed: $rc\n";
    }
}
var_dump(TXLS_put_values($h, 'A1.FONT.COLOR=RED B2:D4.BORDER=THIN A6=Total B6=33'));
var_dump(TXLS_open_sheet($h, 'SHEET_NAME=Detail'));
var_dump(TXLS_put_values($h, 'A1=Item B1=Amount A2=Widget B2=1.5 A3="Größe" B3=-2 A1:B1.FONT.COLOR=BLUE'));
var_dump(TXLS_put_values($h, 'Summary!E1=Note'));
var_dump(TXLS_open_sheet($h, 'SHEET_NAME=Empty'));
var_dump(TXLS_sheet_num($h), TXLS_sheet_name($h, '1'));
var_dump(TXLS_open_sheet2($h, '0'), TXLS_row_num($h), TXLS_column_num($h, '0'), TXLS_get_cell($h, 'D4'));
var_dump(TXLS_save_book($h));
$check = <<<'PY'
wb = openpyxl.load_workbook(path)
print(wb.sheetnames)
s = wb['Summary']
print([[c.value for c in row] for row in s.iter_rows(min_row=1, max_row=4, max_col=4)])
print(s['A6'].value, s['B6'].value, s['E1'].value)
print(s['A1'].font.color.rgb)
print(all(s.cell(r, c).border.left.style == 'thin' and s.cell(r, c).border.bottom.style == 'thin'
          for r in range(2, 5) for c in range(2, 5)))
print(s['A1'].border.left.style, s['E5'].border.left.style)
d = wb['Detail']
print(d['A1'].value, d['B1'].value, d['A2'].value, d['B2'].value, d['A3'].value == 'Gr\u00f6\u00dfe', d['B3'].value)
print(d['A1'].font.color.rgb, d['B1'].font.color.rgb)
print(wb['Empty'].max_row, wb['Empty']['A1'].value)
PY;
echo ts_openpyxl(getcwd() . '/Book1.xlsx', $check);
?>
--EXPECT--
int(0)
int(0)
int(0)
int(0)
int(0)
int(0)
int(3)
string(6) "Detail"
int(0)
int(6)
int(5)
string(2) "32"
int(0)
['Summary', 'Detail', 'Empty']
[['Region', 'Q1', 'Q2', 'Q3'], ['North', 10, 20, 30], ['South', 11, 21, 31], ['East', 12, 22, 32]]
Total 33 Note
FFFF0000
True
None None
Item Amount Widget 1.5 True -2
FF0000FF FF0000FF
1 None
