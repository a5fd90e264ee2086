<?php
// Shared by the handlers: error answers, checks of posted text and the download answer.
// Everything a request builds stays in memory; nothing is written to the disk.

const INVOICE_TEMPLATE = __DIR__ . '/../invoice_template.xlsx';
const XLSX_TYPE = 'application/vnd.openxmlformats-officedocument.spreadsheetml.sheet';

// A short plain-text answer with an error status; ends the request.
function fail(int $status, string $message): never
{
    http_response_code($status);
    header('Content-Type: text/plain; charset=UTF-8');
    echo $message, "\n";
    exit;
}

// An engine call that did not return 0: the book is dropped and its message logged and shown.
function engine_fail(string $book, string $what, int $status = 500): never
{
    $message = (string)TXLS_error_mesg($book);
    TXLS_scrap_book($book);
    error_log("tabsmith: $what: $message");
    fail($status, "$what failed: $message");
}

// One posted (or query) field as text: a single value, valid UTF-8, no control characters,
// at most $max characters. Anything else is the caller's mistake: 400.
function text_field(array $from, string $name, int $max, string $default = ''): string
{
    $value = $from[$name] ?? $default;
    if (!is_string($value)) fail(400, "$name: expected a single text value");
    if (!preg_match('//u', $value)) fail(400, "$name: not valid UTF-8");
    if (preg_match('/[\x00-\x08\x0B-\x1F\x7F]/', $value)) fail(400, "$name: control characters are not allowed");
    if (strlen($value) > 4 * $max || mb_strlen_utf8($value) > $max) fail(400, "$name: at most $max characters");
    return trim($value);
}

// A field that must be empty or a number matching $pattern.
function number_field(array $from, string $name, string $pattern): string
{
    $value = text_field($from, $name, 20);
    if ($value !== '' && !preg_match($pattern, $value)) fail(400, "$name: not a valid number");
    return $value;
}

function mb_strlen_utf8(string $text): int
{
    return preg_match_all('/./su', $text);
}

// Caller text goes into a cell as text whatever it looks like: the leading apostrophe keeps the
// engine from reading it as a formula, number, date or $variable.
function as_text(string $value): string
{
    return $value === '' ? '' : "'" . $value;
}

// Puts one value, or ends the request with the engine's message.
function put(string $book, string $cell, string $value): void
{
    if (TXLS_put_cell($book, $cell, $value) !== 0) engine_fail($book, "writing $cell");
}

// Saves the book into memory and sends it as a download; the handle is freed by the save.
function send_book(string $book, string $filename): never
{
    $bytes = TXLS_save_book_string($book);
    if (!is_string($bytes) || $bytes === '') engine_fail($book, 'saving the workbook');
    header('Content-Type: ' . XLSX_TYPE);
    header('Content-Disposition: attachment; filename="' . $filename . '"');
    header('Content-Length: ' . strlen($bytes));
    header('Cache-Control: no-store');
    echo $bytes;
    exit;
}
