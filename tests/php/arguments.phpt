--TEST--
Arguments and results: numbers read from strings, the by-reference kind, refused calls, engine failures, opening and saving
--EXTENSIONS--
TABSMITH
--FILE--
<?php
function show(...$values) { echo json_encode($values, 320), "\n"; }
mkdir($dir = __DIR__ . '/arguments'); chdir($dir);
$h = TXLS_open_book('CHARSET=UTF8');
// Calls that cannot be parsed give NULL, or -3 where a number is returned, and raise nothing.
show(TXLS_read_book(), TXLS_open_book([]), TXLS_open_template(), TXLS_open_sheet($h), TXLS_open_sheet2($h, []),
    TXLS_sheet_name($h), TXLS_sheet_num(), TXLS_row_num($h, '1'), TXLS_column_num($h), TXLS_put_cell($h, 'A1'),
    TXLS_put_values($h), TXLS_get_cell($h), TXLS_get_format_cell($h, new stdClass), TXLS_cell_name('1'),
    TXLS_cell_range('1', '1', '1'), TXLS_column_name(), TXLS_save_book(), TXLS_scrap_book($h, 'x'), TXLS_error_code(),
    TXLS_error_mesg([]), TXLS_read_file($h), TXLS_write_row($h), TXLS_save_book_string(), tabsmith(), tabsmith([]),
    tabsmith('a', 'b', 'c'));
// Numbers travel as strings read like "%d" (text that starts with none reads as 0); other scalars as their text.
show(TXLS_cell_name('10', '28'), TXLS_cell_name(' 7', '2x'), TXLS_cell_name(2, 3), TXLS_cell_name('1', 'abc'),
    TXLS_cell_range('2', '28', '10', '30'), TXLS_cell_range('0', '1', '3', '4'), TXLS_column_name('28'), TXLS_column_name(28),
    TXLS_column_name(1.0), TXLS_column_name('0'), TXLS_column_name('abc'));
show(TXLS_open_sheet($h, 'SHEET_NAME=First'), TXLS_open_sheet($h, 'SHEET_NAME=Second'), TXLS_sheet_name($h, 'x'),
    TXLS_sheet_name($h, '9'), TXLS_open_sheet2($h, 0), TXLS_open_sheet2($h, '-1'));
// The kind comes back by reference when asked for, NULL when the read fails. Without it the kind
// buffer holds 80 bytes, too few for a long formula's kind.
$formula = '=' . implode('+', array_map(fn($i) => "B$i", range(1, 40)));
show(TXLS_put_values($h, 'A1=Item B1=1,250 C1="=B1*2"'), TXLS_put_cell($h, 'D1', $formula), TXLS_put_values($h, 'A1.NOSUCH=1'),
    TXLS_error_code($h), TXLS_error_mesg($h), TXLS_row_num($h), TXLS_column_num($h, '0'));
foreach (['A1', 'B1', 'C1', 'Z9', 'no cell'] as $cell) {
    $kind = 'stale';
    show($cell, TXLS_get_cell($h, $cell, $kind), $kind, TXLS_get_format_cell($h, $cell));
}
show(TXLS_get_cell($h, 'D1'), TXLS_error_code($h), TXLS_get_cell($h, 'D1', $kind), $kind === 'FORMULA:' . substr($formula, 1));

// tabsmith(): statements to a saved book in one call, open options after them; a failing one saves nothing.
show(tabsmith('SHEET.NAME=S A1.NOSUCH=1'), tabsmith('A1=1', 'NOT_AN_OPTION=1'), glob('*'), tabsmith('A1=1'),
    tabsmith('SHEET.NAME=Data A1=Total B1=12', 'CHARSET=UTF8 BOOK=one.xlsx'));
// Opening gives a handle even when the open fails, so that the script can read why.
file_put_contents('notes.txt', str_repeat("not a workbook\n", 4));
foreach ([TXLS_read_book('missing.xlsx'), TXLS_open_template('missing.xlsx'), TXLS_open_book('NOT_AN_OPTION=1'), TXLS_read_book('notes.txt')] as $o)
    echo TXLS_error_code($o), ' ', substr(TXLS_error_mesg($o), 0, 10), ' ', TXLS_scrap_book($o), "\n";
// Books on disk open for reading and as templates, with the caller's options.
$t = TXLS_open_template('one.xlsx', 'BOOK=filled.xlsx');
show(TXLS_open_sheet2($t, '0'), TXLS_put_cell($t, 'B1', '13'), TXLS_save_book($t));
$r = TXLS_read_book('filled.xlsx', 'CHARSET=UTF8');
show(TXLS_sheet_name($r, '0'), TXLS_get_cell($r, 'B1'), TXLS_scrap_book($r), glob('*'));
// The opening function's own mode wins over one among the caller's options; a statement file runs
// through read_file, rows leave memory through write_row; a failed save keeps the book.
file_put_contents('statements.txt', "SHEET=Data\nA1=\"from a file\"\n");
$c = TXLS_open_book('MODE=READ CHARSET=UTF8 STREAM_AFTER=1 BOOK="/nonexistent/c.xlsx"');
show(TXLS_error_code($c), TXLS_read_file($c, 'FILE=statements.txt'), TXLS_get_cell($c, 'A1'), TXLS_put_cell($c, 'A2', 'x'),
    TXLS_write_row($c, '2'), TXLS_get_cell($c, 'A2'), TXLS_save_book($c), TXLS_error_mesg($c), TXLS_scrap_book($c));
?>
--EXPECT--
[null,null,null,-3,-3,null,-3,-3,-3,-3,-3,null,null,null,null,null,-3,-3,null,null,-3,-3,null,-3,-3,-3]
["AB10","B7","C2",null,"AB2:AD10",null,"AB","AB","A",null,null]
[0,0,"First",null,0,-801]
[0,0,-3,-3,"TXLS-02200 サポート外のキーワードです(\"NOSUCH\")。",1,4]
["A1","Item","CHARACTER","Item"]
["B1","1250","INTEGER","1250"]
["C1","","FORMULA:B1*2",""]
["Z9",null,null,null]
["no cell",null,null,null]
[null,-909,"",true]
[-3,-3,[],0,0]
-101 TXLS-03101 0
-101 TXLS-03101 0
-3 TXLS-02200 0
-4 TXLS-00900 0
[0,0,0]
["Data","13",0,["Book1.xlsx","filled.xlsx","notes.txt","one.xlsx"]]
[0,0,"from a file",0,0,null,-103,"TXLS-03121 Excelファイル書込みエラー(\"/nonexistent/c.xlsx\")。",0]
