--TEST--
The HTML view from PHP: a page as a string and as a file, hostile text escaped, bad options coded, the book kept open
--EXTENSIONS--
TABSMITH
--INI--
tabsmith.charset=UTF8
--FILE--
<?php
function show(...$values) { echo json_encode($values, 320), "\n"; }
mkdir($dir = __DIR__ . '/html'); chdir($dir);
$h = TXLS_open_book('BOOK=view.xlsx');
TXLS_open_sheet($h, 'SHEET_NAME=売上');
TXLS_put_cell($h, 'A1', '</td><script>alert(1)</script>');
TXLS_put_values($h, 'B1=1250000 B1.FORMAT=円 A1.FONT.STYLE=bold SHEET=Other A1=x');
$page = TXLS_save_html_string($h, '売上');
show(substr_count($page, '<script'), str_contains($page, '&lt;/td&gt;&lt;script&gt;'), str_contains($page, '>¥1,250,000</td>'),
     str_contains($page, '<nav'), str_contains(TXLS_save_html_string($h), '<nav class="tabs">'));
show(TXLS_save_html($h, 'FILE=view.html'), substr_count(file_get_contents('view.html'), '<section'),
     TXLS_save_html($h, 'SHEET=売上'), TXLS_error_mesg($h), TXLS_save_html($h, 'MEMORY=x.html SHEET=None'),
     TXLS_save_html_string($h, 'None'), TXLS_save_html_string($h, 'a"b'), TXLS_save_html_string('0'), TXLS_save_html('0', 'MEMORY=y'));
show(TXLS_save_book($h), glob('*'));
--EXPECT--
[0,true,true,false,true]
[0,2,-3,"TXLS-02440 HTMLの出力先(FILE または MEMORY)が指定されていません。",-801,null,null,null,-3]
[0,["view.html","view.xlsx"]]
