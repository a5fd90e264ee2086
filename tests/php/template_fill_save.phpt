--TEST--
TXLS_open_template (needs the save of books read from a file): fill a template, copy one of its sheets, save under a new name, read it back
--EXTENSIONS--
TABSMITH
--INI--
tabsmith.charset=UTF8
--FILE--
<?php
require __DIR__ . '/helper.inc';
$dir = ts_scratch('template');
$template = $dir . '/template.xlsx';
$filled = $dir . '/filled.xlsx';

// The template: a styled header, a formula over the cells to fill, a second sheet.
$t = TXLS_open_book('BOOK="' . $template . '"');
TXLS_open_sheet($t, 'SHEET_NAME=Sheet1');
TXLS_put_values($t, 'A1=Item B1=Qty C1=Price D1=Amount A1:D1.FONT.STYLE=bold A1:D1.FILL.COLOR=NAVY '
                  . 'D2="=B2*C2" D3="=SUM(D2:D2)" C2.FORMAT=カンマ');
TXLS_open_sheet($t, 'SHEET_NAME=Notes');
TXLS_put_cell($t, 'A1', 'none yet');
var_dump(TXLS_save_book($t));
$template_bytes = md5_file($template);

$h = TXLS_open_template($template, 'BOOK="' . $filled . '"');
var_dump(TXLS_error_code($h), TXLS_sheet_num($h));
// Values go into the template's cells; its formula cells and sheets are its own.
var_dump(TXLS_open_sheet2($h, '0'), TXLS_put_cell($h, 'A2', 'Widget'), TXLS_put_cell($h, 'B2', '4'),
         TXLS_put_cell($h, 'C2', '1,250'), TXLS_put_cell($h, 'D3', '0'));
var_dump(TXLS_open_sheet($h, 'SHEET_NAME=Copy TEMPLATE=Sheet1'), TXLS_sheet_num($h), TXLS_get_cell($h, 'A1'));
TXLS_put_cell($h, 'A2', 'Gadget');
TXLS_put_cell($h, 'B2', '2');
TXLS_put_cell($h, 'C2', '10');
var_dump(TXLS_put_values($h, 'SHEET=Notes A1="文字も入ります"'));
var_dump(TXLS_save_book($h), file_exists($filled), md5_file($template) === $template_bytes);

$r = TXLS_read_book($filled);
var_dump(TXLS_error_code($r), TXLS_sheet_num($r));
for ($i = 0; $i < TXLS_sheet_num($r); ++$i) {
    TXLS_open_sheet2($r, (string)$i);
    $cells = [];
    foreach (['A1', 'A2', 'B2', 'C2', 'D2', 'D3'] as $cell) {
        $value = TXLS_get_cell($r, $cell, $kind);
        if ($value !== null && $kind !== '') $cells[] = "$cell=$value ($kind)";
    }
    echo TXLS_sheet_name($r, (string)$i), ': ', implode(', ', $cells), "\n";
}
var_dump(TXLS_scrap_book($r));
echo ts_openpyxl($filled, <<<'PY'
wb = openpyxl.load_workbook(path)
print(wb.sheetnames)
for name in ("Sheet1", "Copy"):
    ws = wb[name]
    print(name, ws["A1"].font.b, ws["D1"].fill.fgColor.rgb[-6:].upper(), ws["D2"].value, ws["C2"].number_format)
PY);

// Without a BOOK of its own the filled template is saved as Book1.xlsx here.
$plain = TXLS_open_template($template);
var_dump(TXLS_open_sheet2($plain, '1'), TXLS_put_cell($plain, 'B1', 'plain'), TXLS_save_book($plain));
var_dump(file_exists($dir . '/Book1.xlsx'));
?>
--EXPECT--
int(0)
int(0)
int(2)
int(0)
int(0)
int(0)
int(0)
int(-3)
int(0)
int(3)
string(4) "Item"
int(0)
int(0)
bool(true)
bool(true)
int(0)
int(3)
Sheet1: A1=Item (CHARACTER), A2=Widget (CHARACTER), B2=4 (INTEGER), C2=1250 (INTEGER), D2=5000 (FORMULA:B2*C2), D3=5000 (FORMULA:SUM(D2:D2))
Notes: A1=文字も入ります (CHARACTER)
Copy: A1=Item (CHARACTER), A2=Gadget (CHARACTER), B2=2 (INTEGER), C2=10 (INTEGER), D2=20 (FORMULA:B2*C2), D3=20 (FORMULA:SUM(D2:D2))
int(0)
['Sheet1', 'Notes', 'Copy']
Sheet1 True 000080 =B2*C2 #,##0_ 
Copy True 000080 =B2*C2 #,##0_ 
int(0)
int(0)
int(0)
bool(true)
