<?php
// Fills the invoice template from the posted form and returns it as a download.
require __DIR__ . '/../lib.php';

if ($_SERVER['REQUEST_METHOD'] !== 'POST') fail(405, 'POST the form on / to this address');

$number = text_field($_POST, 'number', 40);
$customer = text_field($_POST, 'customer', 200);
$tax = number_field($_POST, 'tax', '/^\d{1,2}(\.\d{1,2})?$/');
if ($number === '') fail(400, 'number: an invoice number is required');
$lines = [];
for ($i = 1; $i <= 4; ++$i) {
    $item = text_field($_POST, "item$i", 200);
    $quantity = number_field($_POST, "qty$i", '/^\d{1,6}$/');
    $price = number_field($_POST, "price$i", '/^\d{1,9}(\.\d{1,2})?$/');
    if ($item !== '' || $quantity !== '' || $price !== '') $lines[] = [$item, $quantity, $price];
}

$book = TXLS_open_template(INVOICE_TEMPLATE, 'CHARSET=UTF8 BOOK="invoice.xlsx"');
if ($book === null) fail(500, 'the invoice template could not be opened');
if (TXLS_open_sheet($book, 'MODE=READ SHEET_NAME=Invoice') !== 0) engine_fail($book, 'opening the Invoice sheet');

put($book, 'B3', as_text($number));
put($book, 'B4', date('Y/m/d'));
put($book, 'E3', date('Y/m/d', strtotime('+30 days')));
put($book, 'B5', as_text($customer));
foreach ($lines as $n => [$item, $quantity, $price]) {
    $row = 8 + $n;
    put($book, "A$row", (string)($n + 1));
    put($book, "B$row", as_text($item));
    put($book, "C$row", $quantity);
    put($book, "D$row", $price);
}
put($book, 'C17', $tax === '' ? '0%' : "$tax%");

// The file name keeps only the safe characters of the invoice number.
send_book($book, 'invoice-' . preg_replace('/[^A-Za-z0-9._-]/', '_', $number) . '.xlsx');
