--TEST--
TXLS_save_pdf: refused calls, the converter's coded failure in the book, the book kept open
--EXTENSIONS--
TABSMITH
--FILE--
<?php
$h = TXLS_open_book('CHARSET=UTF8 MESSAGES=EN');
TXLS_open_sheet($h, 'SHEET_NAME=S');
TXLS_put_cell($h, 'A1', 'kept');
echo json_encode([TXLS_save_pdf(), TXLS_save_pdf($h), TXLS_save_pdf('ffff', 'FILE=x.pdf'), TXLS_save_pdf($h, 'TIMEOUT=5'),
    TXLS_save_pdf($h, 'FILE=x.pdf SOFFICE=/nonexistent/soffice'), TXLS_error_mesg($h), TXLS_get_cell($h, 'A1'),
    TXLS_scrap_book($h), file_exists('x.pdf')]), "\n";
?>
--EXPECT--
[-3,-3,-3,-3,-920,"TXLS-03700 The PDF converter cannot be found or started (\"\/nonexistent\/soffice\").","kept",0,false]
