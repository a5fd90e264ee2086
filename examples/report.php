<?php
// report.php - a small report through the PHP module: a sheet, values, statements, saved to
// out/php_report.xlsx (run from the repository root by the main job).
$book = TXLS_open_book('CHARSET=UTF8 BOOK="out/php_report.xlsx"');
TXLS_open_sheet($book, 'SHEET_NAME=売上');
TXLS_put_values($book, 'A1="支店" B1="売上" A1:B1.FONT.STYLE=bold A1:B1.FILL.COLOR=LIGHT_CYAN');
foreach ([['東京', '1,250,000'], ['大阪', '980,000'], ['名古屋', '610,000']] as $i => [$branch, $amount]) {
    TXLS_put_cell($book, 'A' . ($i + 2), $branch);
    TXLS_put_cell($book, 'B' . ($i + 2), $amount);
}
TXLS_put_values($book, 'A5=合計 B5="=SUM(B2:B4)" B2:B5.FORMAT=円 A.WIDTH=12 B.WIDTH=16');
if (TXLS_save_book($book) !== 0) {
    fwrite(STDERR, TXLS_error_mesg($book) . "\n");
    exit(1);
}
echo "saved out/php_report.xlsx\n";
