--TEST--
tabsmith.memory_limit: a book past it fails with TXLS-00002, the process lives on and its next books work
--EXTENSIONS--
TABSMITH
--INI--
tabsmith.memory_limit=4M
tabsmith.messages=EN
memory_limit=64M
--FILE--
<?php
// Fills one sheet with up to `$cells` distinct texts, then saves it to a string.
function fill($cells) {
    $book = TXLS_open_book();
    for ($row = 1, $rc = 0; $rc === 0 && $row <= $cells; ++$row) $rc = TXLS_put_cell($book, "A$row", str_repeat('x', 40) . $row);
    if ($rc === 0) return strlen(TXLS_save_book_string($book)) > 0 ? 'saved' : TXLS_error_mesg($book);
    $result = [$rc, $row < $cells / 2, substr(TXLS_error_mesg($book), 0, 10)];
    TXLS_scrap_book($book);
    return json_encode($result);
}
echo fill(40000), ' ', fill(100), "\n";
// Only quantities PHP's own settings take: a refused one keeps the limit as it was.
var_dump(ini_set('tabsmith.memory_limit', 'lots'), ini_set('tabsmith.memory_limit', '-2'), ini_get('tabsmith.memory_limit'));
// 0 follows memory_limit, -1 sets no bound.
ini_set('memory_limit', '6M');
ini_set('tabsmith.memory_limit', '0');
echo fill(40000), ' ';
ini_set('memory_limit', '64M');
ini_set('tabsmith.memory_limit', '-1');
echo fill(40000), "\n";
?>
--EXPECT--
[-2,true,"TXLS-00002"] saved
bool(false)
bool(false)
string(2) "4M"
[-2,true,"TXLS-00002"] saved
