--TEST--
A picture placed by an IMAGE statement (with its ratio), a refused IMAGE on a range, read back with openpyxl
--EXTENSIONS--
TABSMITH
--SKIPIF--
<?php
if (trim((string)shell_exec('/usr/bin/python3 -c "import openpyxl, PIL; print(1)" 2>/dev/null')) !== '1') die('skip openpyxl or PIL missing');
?>
--FILE--
<?php
require __DIR__ . '/helper.inc';
$dir = ts_scratch('picture');
// A 48 x 32 PNG.
file_put_contents($dir . '/logo.png', base64_decode(
    'iVBORw0KGgoAAAANSUhEUgAAADAAAAAgCAIAAADbtmxLAAAAP0lEQVR4nO3OMRHAIAAAMUBIleD/kNW9y490SBRknv2MP1m3A19CRagIFaEiVISKUBEqQkWoCBWhIlSEilB5Ad4QAWLbcqIyAAAAAElFTkSuQmCC'));
$h = TXLS_open_book('CHARSET=UTF8');
var_dump(TXLS_open_sheet($h, 'SHEET_NAME=Report'));
var_dump(TXLS_put_values($h, 'A1="Monthly report" B3.IMAGE="' . $dir . '/logo.png" B3.IMAGE.RATIO=2'));
var_dump(TXLS_put_values($h, 'D3:E4.IMAGE="' . $dir . '/logo.png"'));
echo TXLS_error_mesg($h), "\n";
var_dump(TXLS_put_values($h, 'D8.IMAGE="' . $dir . '/missing.png"'));
echo TXLS_error_mesg($h), "\n";
var_dump(TXLS_save_book($h));
$check = <<<'PY'
import zipfile
wb = openpyxl.load_workbook(path)
images = wb['Report']._images
print(len(images), [(i.anchor._from.col, i.anchor._from.row) for i in images], [(i.width, i.height) for i in images])
print(sorted(n for n in zipfile.ZipFile(path).namelist() if n.startswith('xl/media/')))
PY;
echo ts_openpyxl(getcwd() . '/Book1.xlsx', $check);
?>
--EXPECTF--
int(0)
int(0)
int(-3)
TXLS-02100 セル範囲指定(RANGE)は使用できません("IMAGE/イメージ")。
int(-3)
TXLS-03102 イメージファイルオープンエラー("%s/missing.png")。
int(0)
1 [(1, 2)] [(48, 32)]
['xl/media/image1.png']
