--TEST--
A report in the ini's character set: a template made, filled, saved to a file and to a string, read back here and by openpyxl
--EXTENSIONS--
TABSMITH
--INI--
tabsmith.charset=UTF8
--FILE--
<?php
function show(...$values) { echo json_encode($values, 320), "\n"; }
mkdir($dir = __DIR__ . '/report'); chdir($dir);
// Only the engine's character sets are taken, in any case; a refused one leaves the setting as it was.
show(ini_set('tabsmith.charset', 'LATIN1'), ini_set('tabsmith.charset', 'utf8'), ini_get('tabsmith.charset'));
$t = TXLS_open_book('BOOK=template.xlsx');
$rc = [TXLS_open_sheet($t, 'SHEET_NAME=売上'), TXLS_put_values($t, 'A1=品目 B1=Qty C1=Price D1=Amount A1:D1.FONT.STYLE=bold '
    . 'A1:D1.FILL.COLOR=NAVY D2="=B2*C2" C2.FORMAT=カンマ'), TXLS_open_sheet($t, 'SHEET_NAME=Notes'), TXLS_put_cell($t, 'A1', '=&amp;'),
    TXLS_save_book($t)];
// A CHARSET of the script's own wins over the ini's.
$sjis = TXLS_open_book('CHARSET=SJIS');
show($rc, TXLS_put_cell($sjis, 'A1', "\x93\xfa\x96\x7b"), bin2hex(TXLS_get_cell($sjis, 'A1')), TXLS_scrap_book($sjis));
// Filled twice: once saved to its file, once to a string, a copy of its first sheet in each.
foreach (['filled.xlsx', null] as $i => $name) {
    $h = TXLS_open_template('template.xlsx', $name ? "BOOK=$name" : '');
    show(TXLS_open_sheet2($h, '0'), TXLS_put_values($h, "A2=Widget B2=4 C2=1,250"), TXLS_put_cell($h, 'D2', '0'),
        TXLS_open_sheet($h, 'SHEET_NAME=コピー TEMPLATE=売上'), TXLS_put_values($h, "A2=Gadget B2=$i C2=10"),
        $name ? TXLS_save_book($h) : file_put_contents('string.xlsx', TXLS_save_book_string($h)) > 0, TXLS_save_book_string($h));
}
$r = TXLS_read_book('filled.xlsx');
foreach (['A1', 'B2', 'C2', 'D2'] as $cell) show($cell, TXLS_get_cell($r, $cell, $kind), $kind);
TXLS_open_sheet2($r, '1');
show(TXLS_get_cell($r, 'A1', $kind), $kind, TXLS_scrap_book($r), glob('*'), TXLS_error_mesg(TXLS_read_book('/nonexistent/帳票.xlsx')));
// tabsmith.messages: the same codes in English.
show(ini_set('tabsmith.messages', 'FR'), ini_set('tabsmith.messages', 'en'), TXLS_error_mesg(TXLS_read_book('/nonexistent/x.xlsx')));
echo shell_exec('/usr/bin/python3 -c ' . escapeshellarg(<<<'PY'
import openpyxl
for path in ("filled.xlsx", "string.xlsx"):
    wb = openpyxl.load_workbook(path)
    print(wb.sheetnames, [(ws["A1"].value, ws["A1"].font.b, ws["D1"].fill.fgColor.rgb, ws["C2"].number_format,
          [c.value for c in ws[2]]) for ws in (wb["売上"], wb["コピー"])], [c.value for c in wb["Notes"]["A"]])
PY) . ' 2>&1');
?>
--EXPECT--
[false,"UTF8","utf8"]
[[0,0,0,0,0],0,"93fa967b",0]
[0,0,-3,0,0,0,null]
[0,0,-3,0,0,true,null]
["A1","品目","CHARACTER"]
["B2","4","INTEGER"]
["C2","1250","INTEGER"]
["D2","5000","FORMULA:B2*C2"]
["","FORMULA:&amp;",0,["filled.xlsx","string.xlsx","template.xlsx"],"TXLS-03101 Excelファイルオープンエラー(\"/nonexistent/帳票.xlsx\")。"]
[false,"JA","TXLS-03101 Excel file open error (\"/nonexistent/x.xlsx\")."]
['売上', 'Notes', 'コピー'] [('品目', True, 'FF000080', '#,##0_ ', ['Widget', 4, 1250, '=B2*C2']), ('品目', True, 'FF000080', '#,##0_ ', ['Gadget', 0, 10, '=B2*C2'])] ['=&amp;']
['売上', 'Notes', 'コピー'] [('品目', True, 'FF000080', '#,##0_ ', ['Widget', 4, 1250, '=B2*C2']), ('品目', True, 'FF000080', '#,##0_ ', ['Gadget', 1, 10, '=B2*C2'])] ['=&amp;']
