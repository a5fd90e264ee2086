<?php
// A new workbook with one sheet of 10,000 rows by 5 columns; ?sheet= names the sheet.
require __DIR__ . '/../lib.php';

const ROWS = 10000;

$sheet = text_field($_GET, 'sheet', 31, 'Data');
// Names a workbook cannot hold, and quotes, which would end the option text, are refused here.
if ($sheet === '' || preg_match('~[\[\]:*?/\\\\"\']~', $sheet)) {
    fail(400, 'sheet: 1 to 31 characters, none of [ ] : * ? / \\ " \'');
}

$book = TXLS_open_book('CHARSET=UTF8 BOOK="table.xlsx"');
if ($book === null) fail(500, 'a new workbook could not be created');
if (TXLS_open_sheet($book, 'SHEET_NAME="' . $sheet . '"') !== 0) engine_fail($book, 'creating the sheet', 400);

for ($r = 1; $r <= ROWS; ++$r) {
    put($book, "A$r", (string)$r);
    put($book, "B$r", sprintf("'C%05d", $r));
    put($book, "C$r", "'Item $r");
    put($book, "D$r", (string)($r % 97));
    put($book, "E$r", sprintf('%d.%02d', $r * 3, $r % 100));
}
send_book($book, 'table.xlsx');
