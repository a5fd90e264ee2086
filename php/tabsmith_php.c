/* tabsmith_php.c - the TABSMITH PHP module: its entry, the TXLS_* script functions and the
 * table of live book handles that stands between script text and engine records. */

#ifdef HAVE_CONFIG_H
#include "config.h"
#endif

#include <ctype.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "php.h"
#include "php_ini.h"
#include "ext/standard/info.h"
#include "tabsmith.h"

#define TABSMITH_PHP_VERSION "2.0.0.0"

/* Handles longer than this are refused before any conversion. */
#define HANDLE_TEXT_LIMIT 80
#define CELL_VALUE_SIZE 98302
#define CELL_KIND_SIZE 80
#define NAME_BUFFER_SIZE 1024

/* Opening results after which the script still gets a handle, so it can read the error. */
static int keeps_handle(int rc)
{
    switch (rc) {
    case 0: case -1: case -2: case -3: case -4: case -8: case -101: case -910:
        return 1;
    default:
        return 0;
    }
}

/* ---- Live handles -------------------------------------------------------------------------
 * Scripts hand back arbitrary text; only addresses this module allocated and has not yet freed
 * are ever turned back into pointers. Records are allocated outside the request allocator so
 * that a handle outlives the request that made it, as the engine's own records do. */

typedef struct live_book {
    XLS_BOOK *book;
    unsigned long long token;      /* what the handle text says; never given out twice */
} live_book;

static live_book *live_books = NULL;
static size_t live_count = 0;
static size_t live_capacity = 0;
static unsigned long long issued_books = 0;

/* A handle is a token rather than the record's address: the allocator hands a freed record's
 * address to the next book, and an old handle must not silently work on that book. The token
 * is a per-process salt above a counter, so tokens are never reused and are hard to guess. */
static unsigned long long next_token(void)
{
    static unsigned long long salt = 0;
    if (!salt) {
        unsigned long long seed = (unsigned long long)getpid() * 2654435761ull ^ (unsigned long long)time(NULL);
        salt = ((seed & 0x7fffffffull) | 0x80000000ull) << 32;
    }
    return salt | (++issued_books & 0xffffffffull);
}

static live_book *live_find(unsigned long long token)
{
    size_t i;
    for (i = 0; i < live_count; ++i)
        if (live_books[i].token == token) return &live_books[i];
    return NULL;
}

static live_book *live_add(XLS_BOOK *book)
{
    if (live_count == live_capacity) {
        size_t capacity = live_capacity ? live_capacity * 2 : 16;
        live_book *grown = realloc(live_books, capacity * sizeof *grown);
        if (!grown) return NULL;
        live_books = grown;
        live_capacity = capacity;
    }
    memset(&live_books[live_count], 0, sizeof live_books[live_count]);
    live_books[live_count].book = book;
    live_books[live_count].token = next_token();
    return &live_books[live_count++];
}

static void live_remove(XLS_BOOK *book)
{
    size_t i;
    for (i = 0; i < live_count; ++i) {
        if (live_books[i].book == book) {
            live_books[i] = live_books[--live_count];
            return;
        }
    }
}

static void handle_text(const live_book *entry, char *out, size_t size)
{
    snprintf(out, size, "%llx", entry->token);
}

/* The live record a handle names, or NULL for text that is too long, empty, not hexadecimal,
 * or a token that is not (or no longer) one of ours. */
static live_book *handle_entry(const char *text, size_t length)
{
    size_t i;
    unsigned long long address;
    char *end = NULL;
    if (length == 0 || length >= HANDLE_TEXT_LIMIT) return NULL;
    for (i = 0; i < length; ++i)
        if (!isxdigit((unsigned char)text[i])) return NULL;
    if (length > 16) {
        /* Leading zeros are harmless; anything wider than 64 bits is not a token. */
        for (i = 0; i < length - 16; ++i)
            if (text[i] != '0') return NULL;
    }
    address = strtoull(text, &end, 16);
    if (address == 0) return NULL;
    return live_find(address);
}

static XLS_BOOK *handle_book(const char *text, size_t length)
{
    live_book *entry = handle_entry(text, length);
    return entry ? entry->book : NULL;
}

static void free_record(XLS_BOOK *book)
{
    live_remove(book);
    free(book);
}

/* Numbers travel as strings; text that does not start with one reads as 0, which every
 * engine call rejects as an index. */
static int number_of(const char *text)
{
    int value = 0;
    if (sscanf(text, "%d", &value) != 1) return 0;
    return value;
}

/* ---- Open options -------------------------------------------------------------------------
 * PHP scripts are UTF-8 while the engine's default character set is Shift-JIS: the ini setting
 * tabsmith.charset (SJIS, EUC or UTF8) names the character set of every book a script opens
 * without a CHARSET of its own; tabsmith.messages (JA or EN) the language of its messages. */

static int charset_name_ok(const char *name)
{
    return strcasecmp(name, "SJIS") == 0 || strcasecmp(name, "EUC") == 0 || strcasecmp(name, "UTF8") == 0;
}

static ZEND_INI_MH(on_update_charset)
{
    return charset_name_ok(ZSTR_VAL(new_value)) ? SUCCESS : FAILURE;
}

static int language_name_ok(const char *name)
{
    return strcasecmp(name, "JA") == 0 || strcasecmp(name, "EN") == 0;
}

static ZEND_INI_MH(on_update_messages)
{
    return language_name_ok(ZSTR_VAL(new_value)) ? SUCCESS : FAILURE;
}

/* The engine's memory lives on the C heap, where PHP's memory_limit never sees it; the
 * tabsmith.memory_limit setting bounds it per request instead: bytes (K, M and G as PHP's own
 * settings take them), 0 for PHP's memory_limit as the request starts, -1 for no bound. A
 * request past it gets -2 (TXLS-00002) from the call that crossed it; the process lives on. */

static zend_long requested_memory_limit = 0;

static void apply_memory_limit(void)
{
    zend_long bytes = requested_memory_limit ? requested_memory_limit : PG(memory_limit);
    TXLS_memory_limit(bytes > 0 ? (long)bytes : 0);
}

static ZEND_INI_MH(on_update_memory_limit)
{
    zend_string *error = NULL;
    zend_long bytes = zend_ini_parse_quantity(new_value, &error);
    if (error) {
        zend_string_release(error);
        return FAILURE;
    }
    if (bytes < -1) return FAILURE;
    requested_memory_limit = bytes;
    /* A script's ini_set counts from its own moment; php.ini's value waits for the request. */
    if (stage == ZEND_INI_STAGE_RUNTIME) apply_memory_limit();
    return SUCCESS;
}

PHP_INI_BEGIN()
    PHP_INI_ENTRY("tabsmith.charset", "SJIS", PHP_INI_ALL, on_update_charset)
    PHP_INI_ENTRY("tabsmith.messages", "JA", PHP_INI_ALL, on_update_messages)
    PHP_INI_ENTRY("tabsmith.memory_limit", "0", PHP_INI_ALL, on_update_memory_limit)
PHP_INI_END()

/* The ini's character set and language come first and the caller's options next, so that a
 * CHARSET or MESSAGES among them wins and governs the file names that follow; the module's own
 * keys come last so that they decide the mode. */
static char *build_options(const char *extra, const char *fixed, const char *name)
{
    const char *charset = INI_STR("tabsmith.charset");
    const char *messages = INI_STR("tabsmith.messages");
    size_t size = (extra ? strlen(extra) : 0) + strlen(fixed) + (name ? strlen(name) : 0) + 80;
    char *text = emalloc(size);
    int written = snprintf(text, size, "CHARSET=%s MESSAGES=%s %s%s",
                           charset && charset_name_ok(charset) ? charset : "SJIS",
                           messages && language_name_ok(messages) ? messages : "JA", extra ? extra : "",
                           extra && *extra ? " " : "");
    snprintf(text + written, size - (size_t)written, fixed, name ? name : "");
    return text;
}

/* Allocates a record, opens it and turns it into a handle; NULL where the open left nothing
 * a script could inspect. */
static void open_and_return(zval *return_value, const char *extra, const char *fixed, const char *name)
{
    char handle[32];
    char *options;
    live_book *entry;
    int rc;
    XLS_BOOK *book = calloc(1, sizeof *book);
    if (!book) RETURN_NULL();
    entry = live_add(book);
    if (!entry) {
        free(book);
        RETURN_NULL();
    }
    options = build_options(extra, fixed, name);
    rc = TXLS_open_book(book, options);
    efree(options);
    if (!keeps_handle(rc)) {
        TXLS_free_book(book);
        free_record(book);
        RETURN_NULL();
    }
    handle_text(entry, handle, sizeof handle);
    RETURN_STRING(handle);
}

#define PARSE(...) \
    if (zend_parse_parameters_ex(ZEND_PARSE_PARAMS_QUIET, ZEND_NUM_ARGS(), __VA_ARGS__) == FAILURE)

/* ---- Book ------------------------------------------------------------------------------- */

PHP_FUNCTION(tabsmith)
{
    char *text, *extra = NULL;
    size_t text_len, extra_len = 0;
    char *options;
    int rc;
    XLS_BOOK *book;
    PARSE("s|s!", &text, &text_len, &extra, &extra_len) RETURN_LONG(-3);
    book = calloc(1, sizeof *book);
    if (!book) RETURN_LONG(-2);
    options = build_options(extra, "MODE=CREATE", NULL);
    rc = TXLS_open_book(book, options);
    efree(options);
    if (rc == 0) rc = TXLS_put_values(book, text);
    if (rc == 0) rc = TXLS_close_book(book, "SAVE");
    /* A failed step leaves a workbook behind that nobody can reach any more. */
    if (rc != 0) TXLS_free_book(book);
    free(book);
    RETURN_LONG(rc);
}

PHP_FUNCTION(TXLS_read_book)
{
    char *name, *extra = NULL;
    size_t name_len, extra_len = 0;
    PARSE("s|s!", &name, &name_len, &extra, &extra_len) RETURN_NULL();
    open_and_return(return_value, extra, "MODE=READ BOOK=\"%s\"", name);
}

PHP_FUNCTION(TXLS_open_book)
{
    char *extra = NULL;
    size_t extra_len = 0;
    PARSE("|s!", &extra, &extra_len) RETURN_NULL();
    open_and_return(return_value, extra, "MODE=CREATE", NULL);
}

PHP_FUNCTION(TXLS_open_template)
{
    char *name, *extra = NULL;
    size_t name_len, extra_len = 0;
    PARSE("s|s!", &name, &name_len, &extra, &extra_len) RETURN_NULL();
    open_and_return(return_value, extra, "MODE=CREATE TEMPLATE=\"%s\"", name);
}

/* Closing: a success frees the record, a failure keeps it for the error and another try. */
static void close_and_return(zval *return_value, const char *handle, size_t handle_len, const char *how)
{
    int rc;
    XLS_BOOK *book = handle_book(handle, handle_len);
    if (!book) RETURN_LONG(-3);
    rc = TXLS_close_book(book, how);
    if (rc == 0) free_record(book);
    RETURN_LONG(rc);
}

PHP_FUNCTION(TXLS_save_book)
{
    char *h;
    size_t h_len;
    PARSE("s", &h, &h_len) RETURN_LONG(-3);
    close_and_return(return_value, h, h_len, "SAVE");
}

PHP_FUNCTION(TXLS_scrap_book)
{
    char *h;
    size_t h_len;
    PARSE("s", &h, &h_len) RETURN_LONG(-3);
    close_and_return(return_value, h, h_len, "DESTROY");
}

/* Any open book: the engine is told to save into a memory file of our naming, whatever its own
 * target, and the bytes go to the script. A failed save keeps the book, as TXLS_save_book does. */
PHP_FUNCTION(TXLS_save_book_string)
{
    char *h;
    size_t h_len;
    char memory_name[64];
    char options[96];
    const void *bytes = NULL;
    long size = 0;
    live_book *entry;
    XLS_BOOK *book;
    zend_string *result = NULL;
    PARSE("s", &h, &h_len) RETURN_NULL();
    entry = handle_entry(h, h_len);
    if (!entry) RETURN_NULL();
    book = entry->book;
    snprintf(memory_name, sizeof memory_name, "tabsmith_php_%llx.xlsx", entry->token);
    snprintf(options, sizeof options, "SAVE MEMORY=\"%s\"", memory_name);
    if (TXLS_close_book(book, options) != 0) RETURN_NULL();
    if (TXLS_memory_get(memory_name, &bytes, &size) == 0 && size >= 0)
        result = zend_string_init((const char *)bytes, (size_t)size, 0);
    /* The bytes now belong to the script; an empty memory file costs nothing to keep. */
    TXLS_memory_put(memory_name, "", 0);
    free_record(book);
    if (!result) RETURN_NULL();
    RETURN_STR(result);
}

/* ---- PDF: the book written as a PDF through LibreOffice; the book stays open ------------- */

PHP_FUNCTION(TXLS_save_pdf)
{
    char *h, *options;
    size_t h_len, options_len;
    XLS_BOOK *book;
    PARSE("ss", &h, &h_len, &options, &options_len) RETURN_LONG(-3);
    if (!(book = handle_book(h, h_len))) RETURN_LONG(-3);
    RETURN_LONG(TXLS_save_pdf(book, options));
}

/* ---- HTML view ---------------------------------------------------------------------------
 * TXLS_save_html passes its options through (FILE=, SHEET=, MEMORY=); TXLS_save_html_string
 * hands the page to the script through a memory file of our naming. Both leave the book open. */

PHP_FUNCTION(TXLS_save_html)
{
    char *h, *options;
    size_t h_len, options_len;
    XLS_BOOK *book;
    PARSE("ss", &h, &h_len, &options, &options_len) RETURN_LONG(-3);
    if (!(book = handle_book(h, h_len))) RETURN_LONG(-3);
    RETURN_LONG(TXLS_save_html(book, options));
}

PHP_FUNCTION(TXLS_save_html_string)
{
    char *h, *sheet = NULL;
    size_t h_len, sheet_len = 0;
    char memory_name[64];
    char *options;
    const void *bytes = NULL;
    long size = 0;
    int rc;
    live_book *entry;
    zend_string *result = NULL;
    PARSE("s|s!", &h, &h_len, &sheet, &sheet_len) RETURN_NULL();
    entry = handle_entry(h, h_len);
    /* Option values are quoted and cannot hold a quote themselves. */
    if (!entry || (sheet && strchr(sheet, '"'))) RETURN_NULL();
    snprintf(memory_name, sizeof memory_name, "tabsmith_php_%llx.html", entry->token);
    options = emalloc(sheet_len + 128);
    snprintf(options, sheet_len + 128, "MEMORY=\"%s\"%s%s%s", memory_name, sheet ? " SHEET=\"" : "", sheet ? sheet : "",
             sheet ? "\"" : "");
    rc = TXLS_save_html(entry->book, options);
    efree(options);
    if (rc != 0) RETURN_NULL();
    if (TXLS_memory_get(memory_name, &bytes, &size) == 0 && size >= 0)
        result = zend_string_init((const char *)bytes, (size_t)size, 0);
    TXLS_memory_put(memory_name, "", 0);
    if (!result) RETURN_NULL();
    RETURN_STR(result);
}

PHP_FUNCTION(TXLS_error_code)
{
    char *h;
    size_t h_len;
    XLS_BOOK *book;
    PARSE("s", &h, &h_len) RETURN_NULL();
    book = handle_book(h, h_len);
    if (!book) RETURN_NULL();
    RETURN_LONG(TXLS_error_code(book));
}

PHP_FUNCTION(TXLS_error_mesg)
{
    char *h;
    size_t h_len;
    const char *message;
    XLS_BOOK *book;
    PARSE("s", &h, &h_len) RETURN_NULL();
    book = handle_book(h, h_len);
    if (!book) RETURN_NULL();
    message = TXLS_error_mesg(book);
    RETURN_STRING(message ? message : "");
}

/* ---- Sheets ----------------------------------------------------------------------------- */

PHP_FUNCTION(TXLS_open_sheet)
{
    char *h, *options;
    size_t h_len, options_len;
    XLS_BOOK *book;
    PARSE("ss", &h, &h_len, &options, &options_len) RETURN_LONG(-3);
    if (!(book = handle_book(h, h_len))) RETURN_LONG(-3);
    RETURN_LONG(TXLS_open_sheet(book, options));
}

PHP_FUNCTION(TXLS_open_sheet2)
{
    char *h, *index;
    size_t h_len, index_len;
    XLS_BOOK *book;
    PARSE("ss", &h, &h_len, &index, &index_len) RETURN_LONG(-3);
    if (!(book = handle_book(h, h_len))) RETURN_LONG(-3);
    RETURN_LONG(TXLS_open_sheet2(book, number_of(index)));
}

PHP_FUNCTION(TXLS_sheet_name)
{
    char *h, *index;
    size_t h_len, index_len;
    char name[NAME_BUFFER_SIZE];
    XLS_BOOK *book;
    PARSE("ss", &h, &h_len, &index, &index_len) RETURN_NULL();
    if (!(book = handle_book(h, h_len))) RETURN_NULL();
    name[0] = '\0';
    if (TXLS_sheet_name(book, number_of(index), name, sizeof name) != 0) RETURN_NULL();
    RETURN_STRING(name);
}

PHP_FUNCTION(TXLS_sheet_num)
{
    char *h;
    size_t h_len;
    XLS_BOOK *book;
    PARSE("s", &h, &h_len) RETURN_LONG(-3);
    if (!(book = handle_book(h, h_len))) RETURN_LONG(-3);
    RETURN_LONG(TXLS_sheet_num(book));
}

PHP_FUNCTION(TXLS_row_num)
{
    char *h;
    size_t h_len;
    XLS_BOOK *book;
    PARSE("s", &h, &h_len) RETURN_LONG(-3);
    if (!(book = handle_book(h, h_len))) RETURN_LONG(-3);
    RETURN_LONG(TXLS_row_num(book));
}

PHP_FUNCTION(TXLS_column_num)
{
    char *h, *row;
    size_t h_len, row_len;
    XLS_BOOK *book;
    PARSE("ss", &h, &h_len, &row, &row_len) RETURN_LONG(-3);
    if (!(book = handle_book(h, h_len))) RETURN_LONG(-3);
    RETURN_LONG(TXLS_column_num(book, number_of(row)));
}

/* Statement files: the result goes back as the engine gives it, whatever it supports today. */
PHP_FUNCTION(TXLS_read_file)
{
    char *h, *options;
    size_t h_len, options_len;
    XLS_BOOK *book;
    PARSE("ss", &h, &h_len, &options, &options_len) RETURN_LONG(-3);
    if (!(book = handle_book(h, h_len))) RETURN_LONG(-3);
    RETURN_LONG(TXLS_read_file(book, options));
}

/* Row streaming: the threshold comes with the open options (STREAM_AFTER=n). */
PHP_FUNCTION(TXLS_write_row)
{
    char *h, *row;
    size_t h_len, row_len;
    XLS_BOOK *book;
    PARSE("ss", &h, &h_len, &row, &row_len) RETURN_LONG(-3);
    if (!(book = handle_book(h, h_len))) RETURN_LONG(-3);
    RETURN_LONG(TXLS_write_row(book, number_of(row)));
}

/* ---- Cells ------------------------------------------------------------------------------ */

PHP_FUNCTION(TXLS_put_cell)
{
    char *h, *cell, *value;
    size_t h_len, cell_len, value_len;
    XLS_BOOK *book;
    PARSE("sss", &h, &h_len, &cell, &cell_len, &value, &value_len) RETURN_LONG(-3);
    if (!(book = handle_book(h, h_len))) RETURN_LONG(-3);
    RETURN_LONG(TXLS_put_cell(book, cell, value));
}

PHP_FUNCTION(TXLS_put_values)
{
    char *h, *text;
    size_t h_len, text_len;
    XLS_BOOK *book;
    PARSE("ss", &h, &h_len, &text, &text_len) RETURN_LONG(-3);
    if (!(book = handle_book(h, h_len))) RETURN_LONG(-3);
    RETURN_LONG(TXLS_put_values(book, text));
}

typedef int (*cell_reader)(XLS_BOOK *, const char *, char *, int, char *, int);

/* The value comes back as the result; a third argument, when the script passes one, receives
 * the kind name by reference (CHARACTER, INTEGER, ..., FORMULA:<formula>), or NULL when the
 * read fails. A kind buffer as large as the value's holds any formula. */
static void read_cell(INTERNAL_FUNCTION_PARAMETERS, cell_reader reader)
{
    char *h, *cell;
    size_t h_len, cell_len;
    zval *kind_out = NULL;
    char *value, *kind;
    int rc;
    XLS_BOOK *book;
    PARSE("ss|z", &h, &h_len, &cell, &cell_len, &kind_out) RETURN_NULL();
    if (!(book = handle_book(h, h_len))) {
        if (kind_out) ZEND_TRY_ASSIGN_REF_NULL(kind_out);
        RETURN_NULL();
    }
    value = emalloc(CELL_VALUE_SIZE);
    kind = emalloc(CELL_VALUE_SIZE);
    value[0] = '\0';
    kind[0] = '\0';
    rc = reader(book, cell, value, CELL_VALUE_SIZE, kind, kind_out ? CELL_VALUE_SIZE : CELL_KIND_SIZE);
    if (rc < 0) {
        if (kind_out) ZEND_TRY_ASSIGN_REF_NULL(kind_out);
        efree(value);
        efree(kind);
        RETURN_NULL();
    }
    if (kind_out) ZEND_TRY_ASSIGN_REF_STRING(kind_out, kind);
    RETVAL_STRING(value);
    efree(value);
    efree(kind);
}

PHP_FUNCTION(TXLS_get_cell) { read_cell(INTERNAL_FUNCTION_PARAM_PASSTHRU, TXLS_get_cell); }

PHP_FUNCTION(TXLS_get_format_cell) { read_cell(INTERNAL_FUNCTION_PARAM_PASSTHRU, TXLS_get_format_cell); }

/* ---- Cell names ------------------------------------------------------------------------- */

PHP_FUNCTION(TXLS_cell_name)
{
    char *row, *column;
    size_t row_len, column_len;
    char name[64];
    PARSE("ss", &row, &row_len, &column, &column_len) RETURN_NULL();
    if (TXLS_cell_name(number_of(row), number_of(column), name, sizeof name) != 0) RETURN_NULL();
    RETURN_STRING(name);
}

PHP_FUNCTION(TXLS_cell_range)
{
    char *r1, *c1, *r2, *c2;
    size_t r1_len, c1_len, r2_len, c2_len;
    char range[128];
    PARSE("ssss", &r1, &r1_len, &c1, &c1_len, &r2, &r2_len, &c2, &c2_len) RETURN_NULL();
    if (TXLS_cell_range(number_of(r1), number_of(c1), number_of(r2), number_of(c2), range, sizeof range) != 0)
        RETURN_NULL();
    RETURN_STRING(range);
}

PHP_FUNCTION(TXLS_column_name)
{
    char *column;
    size_t column_len, length;
    char name[64];
    PARSE("s", &column, &column_len) RETURN_NULL();
    if (TXLS_cell_name(1, number_of(column), name, sizeof name) != 0) RETURN_NULL();
    length = strlen(name);
    if (length < 2 || name[length - 1] != '1') RETURN_NULL();
    name[length - 1] = '\0';
    RETURN_STRING(name);
}

/* ---- Module entry ----------------------------------------------------------------------- */

ZEND_BEGIN_ARG_INFO_EX(arginfo_text_options, 0, 0, 1)
    ZEND_ARG_TYPE_INFO(0, text, IS_STRING, 0)
    ZEND_ARG_TYPE_INFO(0, options, IS_STRING, 1)
ZEND_END_ARG_INFO()

ZEND_BEGIN_ARG_INFO_EX(arginfo_options, 0, 0, 0)
    ZEND_ARG_TYPE_INFO(0, options, IS_STRING, 1)
ZEND_END_ARG_INFO()

ZEND_BEGIN_ARG_INFO_EX(arginfo_handle, 0, 0, 1)
    ZEND_ARG_TYPE_INFO(0, handle, IS_STRING, 0)
ZEND_END_ARG_INFO()

ZEND_BEGIN_ARG_INFO_EX(arginfo_handle_text, 0, 0, 2)
    ZEND_ARG_TYPE_INFO(0, handle, IS_STRING, 0)
    ZEND_ARG_TYPE_INFO(0, text, IS_STRING, 0)
ZEND_END_ARG_INFO()

ZEND_BEGIN_ARG_INFO_EX(arginfo_get_cell, 0, 0, 2)
    ZEND_ARG_TYPE_INFO(0, handle, IS_STRING, 0)
    ZEND_ARG_TYPE_INFO(0, cell, IS_STRING, 0)
    ZEND_ARG_INFO(1, kind)
ZEND_END_ARG_INFO()

ZEND_BEGIN_ARG_INFO_EX(arginfo_put_cell, 0, 0, 3)
    ZEND_ARG_TYPE_INFO(0, handle, IS_STRING, 0)
    ZEND_ARG_TYPE_INFO(0, cell, IS_STRING, 0)
    ZEND_ARG_TYPE_INFO(0, value, IS_STRING, 0)
ZEND_END_ARG_INFO()

ZEND_BEGIN_ARG_INFO_EX(arginfo_row_column, 0, 0, 2)
    ZEND_ARG_TYPE_INFO(0, row, IS_STRING, 0)
    ZEND_ARG_TYPE_INFO(0, column, IS_STRING, 0)
ZEND_END_ARG_INFO()

ZEND_BEGIN_ARG_INFO_EX(arginfo_range, 0, 0, 4)
    ZEND_ARG_TYPE_INFO(0, row1, IS_STRING, 0)
    ZEND_ARG_TYPE_INFO(0, column1, IS_STRING, 0)
    ZEND_ARG_TYPE_INFO(0, row2, IS_STRING, 0)
    ZEND_ARG_TYPE_INFO(0, column2, IS_STRING, 0)
ZEND_END_ARG_INFO()

ZEND_BEGIN_ARG_INFO_EX(arginfo_column, 0, 0, 1)
    ZEND_ARG_TYPE_INFO(0, column, IS_STRING, 0)
ZEND_END_ARG_INFO()

ZEND_BEGIN_ARG_INFO_EX(arginfo_html_string, 0, 0, 1)
    ZEND_ARG_TYPE_INFO(0, handle, IS_STRING, 0)
    ZEND_ARG_TYPE_INFO(0, sheet, IS_STRING, 1)
ZEND_END_ARG_INFO()

static const zend_function_entry tabsmith_functions[] = {
    PHP_FE(tabsmith, arginfo_text_options)
    PHP_FE(TXLS_read_book, arginfo_text_options)
    PHP_FE(TXLS_open_book, arginfo_options)
    PHP_FE(TXLS_open_template, arginfo_text_options)
    PHP_FE(TXLS_open_sheet, arginfo_handle_text)
    PHP_FE(TXLS_open_sheet2, arginfo_handle_text)
    PHP_FE(TXLS_sheet_name, arginfo_handle_text)
    PHP_FE(TXLS_sheet_num, arginfo_handle)
    PHP_FE(TXLS_row_num, arginfo_handle)
    PHP_FE(TXLS_column_num, arginfo_handle_text)
    PHP_FE(TXLS_put_cell, arginfo_put_cell)
    PHP_FE(TXLS_put_values, arginfo_handle_text)
    PHP_FE(TXLS_get_cell, arginfo_get_cell)
    PHP_FE(TXLS_get_format_cell, arginfo_get_cell)
    PHP_FE(TXLS_cell_name, arginfo_row_column)
    PHP_FE(TXLS_cell_range, arginfo_range)
    PHP_FE(TXLS_column_name, arginfo_column)
    PHP_FE(TXLS_save_book, arginfo_handle)
    PHP_FE(TXLS_scrap_book, arginfo_handle)
    PHP_FE(TXLS_error_code, arginfo_handle)
    PHP_FE(TXLS_error_mesg, arginfo_handle)
    PHP_FE(TXLS_save_book_string, arginfo_handle)
    PHP_FE(TXLS_read_file, arginfo_handle_text)
    PHP_FE(TXLS_write_row, arginfo_handle_text)
    PHP_FE(TXLS_save_pdf, arginfo_handle_text)
    PHP_FE(TXLS_save_html, arginfo_handle_text)
    PHP_FE(TXLS_save_html_string, arginfo_html_string)
    PHP_FE_END
};

static PHP_MINIT_FUNCTION(tabsmith)
{
    REGISTER_INI_ENTRIES();
    return SUCCESS;
}

/* Each request's bound counts from what the process holds as the request starts, so books a
 * script left open in an earlier request are not charged to this one. */
static PHP_RINIT_FUNCTION(tabsmith)
{
    apply_memory_limit();
    return SUCCESS;
}

static PHP_MSHUTDOWN_FUNCTION(tabsmith)
{
    UNREGISTER_INI_ENTRIES();
    return SUCCESS;
}

static PHP_MINFO_FUNCTION(tabsmith)
{
    php_info_print_table_start();
    php_info_print_table_row(2, "TABSMITH support", "enabled");
    php_info_print_table_row(2, "Version", TABSMITH_PHP_VERSION);
    php_info_print_table_end();
    DISPLAY_INI_ENTRIES();
}

zend_module_entry tabsmith_module_entry = {
    STANDARD_MODULE_HEADER,
    "TABSMITH",
    tabsmith_functions,
    PHP_MINIT(tabsmith),
    PHP_MSHUTDOWN(tabsmith),
    PHP_RINIT(tabsmith),
    NULL,
    PHP_MINFO(tabsmith),
    TABSMITH_PHP_VERSION,
    STANDARD_MODULE_PROPERTIES
};

ZEND_GET_MODULE(tabsmith)
