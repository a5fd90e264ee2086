--TEST--
Handles: hex text naming a live book, never a freed or foreign one; any other text gives -3 or NULL
--EXTENSIONS--
TABSMITH
--FILE--
<?php
function show(...$values) { echo json_encode($values, 320), "\n"; }
mkdir($dir = __DIR__ . '/handles'); chdir($dir);
show(phpversion('TABSMITH'), count(get_extension_funcs('TABSMITH')), ini_get('tabsmith.charset'));
$live = TXLS_open_book();
// A token above 32 bits, so a handle cut to 32 bits would name nothing.
show(preg_match('/^[0-9a-f]{9,16}$/', $live), TXLS_open_sheet($live, 'SHEET_NAME=Keep'), TXLS_put_cell($live, 'A1', 'kept'));
// Upper-case digits and leading zeros up to 79 characters name the same book.
show(TXLS_get_cell(strtoupper($live), 'A1'), TXLS_get_cell(str_repeat('0', 79 - strlen($live)) . $live, 'A1'));
$scrapped = TXLS_open_book();
$saved = TXLS_open_book('BOOK=saved.xlsx');
$bytes = TXLS_open_book();
show(TXLS_scrap_book($scrapped), TXLS_save_book($saved), strlen(TXLS_save_book_string($bytes)) > 0, glob('*'));
// The next record may reuse a freed one's memory; its handle still differs.
show(TXLS_open_book() !== $scrapped);
$kind = 'stale';
$calls = [
    fn($h) => TXLS_open_sheet($h, 'SHEET_NAME=X'), fn($h) => TXLS_open_sheet2($h, '0'), fn($h) => TXLS_sheet_name($h, '0'),
    fn($h) => TXLS_sheet_num($h), fn($h) => TXLS_row_num($h), fn($h) => TXLS_column_num($h, '0'),
    fn($h) => TXLS_put_cell($h, 'A1', 'x'), fn($h) => TXLS_put_values($h, 'A1=1'), fn($h) => TXLS_read_file($h, 'FILE=x.txt'),
    fn($h) => TXLS_write_row($h, '1'), fn($h) => TXLS_get_cell($h, 'A1'), fn($h) => [TXLS_get_cell($h, 'A1', $kind), $kind],
    fn($h) => [TXLS_get_format_cell($h, 'A1', $kind), $kind], fn($h) => TXLS_error_code($h), fn($h) => TXLS_error_mesg($h),
    fn($h) => TXLS_save_book_string($h), fn($h) => TXLS_scrap_book($h), fn($h) => TXLS_save_book($h),
];
$bad = ['7f00dead12g', '7f3a9c2b1e40', '1', '0', '', ' ', '-' . $live, '0x' . $live, $live . "\0",
        str_repeat('0', 80 - strlen($live)) . $live, '1' . str_repeat('0', 16 - strlen($live)) . $live,
        $scrapped, $saved, $bytes];
$results = [];
foreach ($bad as $handle) $results[] = json_encode(array_map(fn($call) => $call($handle), $calls));
echo count($bad), ' bad handles: ', implode("\n", array_unique($results)), "\n";
// None of that touched the live book.
show(TXLS_get_cell($live, 'A1'), TXLS_sheet_name($live, '0'), TXLS_sheet_num($live), TXLS_scrap_book($live));
?>
--EXPECT--
["2.0.0.0",27,"SJIS"]
[1,0,0]
["kept","kept"]
[0,0,true,["saved.xlsx"]]
[true]
14 bad handles: [-3,-3,null,-3,-3,-3,-3,-3,-3,-3,null,[null,null],[null,null],null,null,null,-3,-3]
["kept","Keep",1,0]
