/* tabsmith.h - the public C API of the Tabsmith report engine.
 * Every exported function, the caller-owned XLS_BOOK record and the TXLS_SEARCH record. */
#ifndef TABSMITH_H
#define TABSMITH_H

#ifdef __cplusplus
extern "C" {
#endif

#define TXLS_VERSION_TEXT "2.0.4.0"

#if defined(__GNUC__)
#define TXLS_API __attribute__((visibility("default")))
#else
#define TXLS_API
#endif

/* Sizes that callers may rely on. */
#define TXLS_ERROR_INFO_SIZE 6001      /* log.error_info, Shift-JIS */
#define TXLS_CALLER_MESG_SIZE 18004    /* longest conversion of a 6000-byte message */
#define TXLS_SEARCH_TEXT_SIZE 256

/* Character sets of a book. */
#define TXLS_CHARSET_SJIS 1
#define TXLS_CHARSET_EUC 2
#define TXLS_CHARSET_UTF8 3

/* Result codes. Every function returns 0 or one of these, unless its comment says otherwise;
 * a failure also leaves the code in `error_code` and, for most failures, a message in
 * `log.error_info` (see TXLS_error_code and TXLS_error_mesg). Messages start with "TXLS-" and a
 * five-digit number. */
#define TXLS_OK 0
#define TXLS_ERR_FAIL (-1)             /* the operation failed; the message tells why */
#define TXLS_ERR_MEMORY (-2)           /* out of memory (TXLS-00002) */
#define TXLS_ERR_ARGUMENT (-3)         /* a bad argument, option or name, or no open book */
#define TXLS_ERR_UNSUPPORTED (-4)      /* a file of a type the engine does not read or write */
#define TXLS_ERR_OPEN (-101)           /* a file could not be opened or created */
#define TXLS_ERR_READ (-102)           /* a file could not be read */
#define TXLS_ERR_WRITE (-103)          /* a file could not be written */
#define TXLS_ERR_SEEK (-104)           /* a file could not be positioned (read again from its start) */
#define TXLS_ERR_NO_SHEET (-801)       /* no such sheet; TXLS_search: nothing found */
#define TXLS_ERR_SHEET_INDEX (-901)    /* no current sheet, or a sheet index out of range */
#define TXLS_ERR_ROW_INDEX (-902)      /* a row past the rows in use */
#define TXLS_ERR_COLUMN_INDEX (-903)   /* a column past the cells in use in its row */
#define TXLS_ERR_OVERFLOW (-909)       /* a caller buffer or a fixed limit is too small (TXLS-03009) */
#define TXLS_ERR_XLS_READ (-910)       /* a legacy .xls workbook could not be read */
#define TXLS_ERR_CONVERT (-920)        /* TXLS_save_pdf: the converter is missing, failed, ran out of time or wrote no PDF */
#define TXLS_NO_DATA 1403              /* reserved; no function returns it */

/* File-type codes of orv_file_type; TXLS_put_image_memory takes the picture codes 201-207. */
#define TXLS_FILE_UNKNOWN (-1)
#define TXLS_FILE_CSV 0
#define TXLS_FILE_XLS 11
#define TXLS_FILE_XLSX 12
#define TXLS_FILE_XLSB 13
#define TXLS_FILE_XLSM 14
#define TXLS_FILE_XLSX_ENCRYPTED 19    /* a password-protected .xlsx (compound file) */
#define TXLS_FILE_DOC 21
#define TXLS_FILE_DOCX 22
#define TXLS_FILE_DOCM 23
#define TXLS_FILE_DOCX_ENCRYPTED 29
#define TXLS_FILE_PPT 31
#define TXLS_FILE_PPTX 32
#define TXLS_FILE_PPTM 33
#define TXLS_FILE_PPTX_ENCRYPTED 39
#define TXLS_FILE_MPP 40
#define TXLS_FILE_VSD 101
#define TXLS_FILE_PDF 102
#define TXLS_FILE_PSD 103
#define TXLS_FILE_BMP 201
#define TXLS_FILE_JPEG 202
#define TXLS_FILE_PNG 203
#define TXLS_FILE_GIF 204
#define TXLS_FILE_TIFF 205
#define TXLS_FILE_EMF 206
#define TXLS_FILE_WMF 207
#define TXLS_FILE_ZIP 301
#define TXLS_FILE_AVI 401
#define TXLS_FILE_MPG 402
#define TXLS_FILE_WMV 403
#define TXLS_FILE_EXE 900

/* The last error of a book: the message in Shift-JIS and its code. */
typedef struct TXLS_LOG {
    char error_info[TXLS_ERROR_INFO_SIZE];
} TXLS_LOG;

/* The caller-owned book record. Allocate it zero-filled (static, calloc or `= {0}`);
 * TXLS_open_book initialises every field. The engine keeps the workbook (file name, flags,
 * character set, sheets, styles) behind `work`; the error state stays readable after a
 * failed open or save has released it. */
typedef struct XLS_BOOK {
    void *work;                                  /* the engine's workbook; NULL when closed */
    int error_code;                              /* the last result, 0 = success */
    TXLS_LOG log;                                /* the last message, Shift-JIS */
    char caller_mesg[TXLS_CALLER_MESG_SIZE];     /* the message in the book's character set */
} XLS_BOOK;

/* The search record of TXLS_search, owned by the caller and reused across calls. */
typedef struct TXLS_SEARCH {
    int match_mode;                              /* 1 = ignore letter case, else exact */
    int remaining;                               /* further reads after a hit; 0 starts anew */
    char sheet_name[TXLS_SEARCH_TEXT_SIZE];      /* empty = every sheet */
    char range[TXLS_SEARCH_TEXT_SIZE];           /* "A1:C9" form; empty = whole sheet */
    int direction;                               /* nonzero = downwards, 0 = to the right */
    int count;                                   /* values read per call */
    int hit_sheet;                               /* out: 0-based sheet, row and column of the hit */
    int hit_row;
    int hit_column;
} TXLS_SEARCH;

/* Conventions.
 * - Texts cross the API in the book's character set (CHARSET of TXLS_open_book; Shift-JIS by
 *   default). The engine copies every text and byte buffer it is given; the caller keeps
 *   ownership of its arguments and of the XLS_BOOK record.
 * - Output buffers: `size` is the buffer's length in bytes including the terminating NUL. A
 *   value that does not fit is not cut: the buffer is left empty and the call gives
 *   TXLS_ERR_OVERFLOW (TXLS_cell_name and TXLS_cell_range without a message).
 * - Positions: TXLS_cell_name, TXLS_cell_range, TXLS_is_cell, TXLS_is_range and TXLS_write_row
 *   count rows and columns from 1 (A1 is row 1, column 1); sheet indexes and the positions of
 *   TXLS_column_num, TXLS_get_cells and TXLS_SEARCH count from 0 (A1 is row 0, column 0).
 * - Cell names are A1 names ("B3", "$B$3"), optionally with a sheet ("Sheet2!B3"); a name
 *   without a sheet means the current sheet.
 * - A call on a record that holds no open book fails without touching any workbook, mostly
 *   with TXLS_ERR_ARGUMENT; a NULL record gives TXLS_ERR_ARGUMENT (where a function differs,
 *   its comment says so). Every call on a book except TXLS_error_code and TXLS_error_mesg
 *   first sets its error code to 0.
 * - Option strings (TXLS_open_book, TXLS_open_sheet, TXLS_read_file) are KEY=VALUE pairs
 *   separated by white space (blanks around "=" are allowed). Keys are English in any letter
 *   case or their Japanese names. A value holding blanks is written in double quotes, which are
 *   removed ("Sales 2024" gives Sales 2024); a quoted value cannot contain a double quote. An
 *   unknown key gives TXLS_ERR_ARGUMENT with TXLS-02200, a key without "=" TXLS_ERR_ARGUMENT
 *   with TXLS-02303, a key without a value TXLS_ERR_ARGUMENT. */

/* ---- Book ---- */

/* Opens a book on `book`, releasing first a book the record still holds. `options` (NULL = all
 * defaults) take, in the book's character set as chosen so far (write CHARSET first):
 *   CHARSET=SJIS|EUC|UTF8       the book's character set (default SJIS; another value is ignored)
 *   MESSAGES=JA|EN              the language of the book's messages from here on: Japanese (the
 *                               default) or English, the same TXLS codes and arguments; write it
 *                               first to have the open's own messages in it (another value: -3,
 *                               TXLS-02200)
 *   DATA_CHARSET=SJIS|EUC|UTF8  the encoding of pasted CSV/TSV files without a byte-order mark
 *                               (default: the book's; a UTF-8 or UTF-16 mark always decides;
 *                               another value: -3, TXLS-02200)
 *   MODE=CREATE (default)       a new empty book; with TEMPLATE, a new book filled from a template
 *        READ | UPDATE          an existing .xlsx/.xlsm (or .xls) workbook; UPDATE is saved back
 *        LOAD | UNLOAD          as READ; UNLOAD hands values out rendered through their formats
 *        LIST                   only the sheet names of an existing workbook
 *   BOOK=name (alias EXCEL)     the workbook's file name, at most 256 bytes (-3, TXLS-00005);
 *                               ".xlsx" is appended unless the name ends in .xls, or has 6 bytes
 *                               or more and ends in .xlsx/.xlsm or holds a "." or "\"; default
 *                               Book1.xlsx
 *   TEMPLATE=name               the workbook a new book is filled from (at most 256 bytes);
 *                               saved under BOOK, never over the template; a BOOK name the rule
 *                               above extends takes the template's own extension (.xlsx/.xlsm)
 *   READ_MEMORY=TRUE            BOOK (or TEMPLATE) names a memory file (TXLS_memory_put)
 *   WRITE_MEMORY=TRUE           the book is saved into a memory file named BOOK
 *   STREAM_AFTER=n              rows above n (0..1048576, 0 = none) may be handed out with
 *                               TXLS_write_row
 *   TEMP_WORKBOOK_PATH=folder   accepted and kept; nothing uses it yet
 *   VERSION=v                   must equal TXLS_VERSION_TEXT (else -1, TXLS-00901)
 *   XLS_BOOK=n                  must equal sizeof(XLS_BOOK) (else -1, TXLS-00902)
 * Returns 0; TXLS_ERR_ARGUMENT (NULL record, bad option); TXLS_ERR_FAIL; TXLS_ERR_OPEN when the
 * workbook cannot be opened or read (TXLS-03101; the record's code is then -101 or -102);
 * TXLS_ERR_UNSUPPORTED for a file that is no workbook; TXLS_ERR_XLS_READ; TXLS_ERR_MEMORY. A
 * failed open leaves the record without a book, its message readable. A .xls book is read
 * only: its save is refused. */
TXLS_API int   TXLS_open_book(XLS_BOOK *book, const char *options);
/* Closes the book, saving it first when `options` say SAVE (保存). Options are words: SAVE or
 * DESTROY (破棄; the last one wins; NULL or other words = DESTROY) and MEMORY="name" (メモリ),
 * which saves into the memory file `name` instead of the book's target. A book is saved to its
 * file on disk (through a temporary file renamed over it), or to a memory file when it was
 * opened with WRITE_MEMORY=TRUE or orv_zip_on_memory(0) is in force. Closing releases every
 * memory file except the one just saved. Returns 0 (also for a record without a book);
 * TXLS_ERR_ARGUMENT for a NULL record; when the save fails the book stays open (close or free
 * it again) and the result is TXLS_ERR_WRITE (TXLS-03121; TXLS-03123 when the file read has
 * been changed by another process since the open), TXLS_ERR_OPEN (a picture file),
 * TXLS_ERR_UNSUPPORTED (a .xls book), TXLS_ERR_OVERFLOW, TXLS_ERR_MEMORY or TXLS_ERR_FAIL. */
TXLS_API int   TXLS_close_book(XLS_BOOK *book, const char *options);
/* Releases the book without saving. The error message stays in the record. Returns 0, or
 * TXLS_ERR_ARGUMENT for a NULL record. */
TXLS_API int   TXLS_free_book(XLS_BOOK *book);
/* Parks the memory files (process-wide): `restore` 0 moves every memory file aside (dropping
 * what was parked before) and leaves none; any other value brings the parked files back in
 * place of the current ones. Returns 0. */
TXLS_API int   TXLS_swap_book(int restore);
/* Copies TXLS_VERSION_TEXT with its NUL into `out` of `size` bytes. `book` may be NULL or hold
 * no book. Returns 0; TXLS_ERR_ARGUMENT for a NULL `out` or `size` <= 0; TXLS_ERR_OVERFLOW
 * (`out` emptied; TXLS-03009 in an open book) when it does not fit. */
TXLS_API int   TXLS_version(XLS_BOOK *book, char *out, int size);
/* Prints `text` (NULL = empty) and a line feed on standard output. Returns 0. */
TXLS_API int   TXLS_debug(const char *text);
/* The result of the last call on the record (0 after a success); TXLS_ERR_ARGUMENT for a NULL
 * record. Does not clear it. */
TXLS_API int   TXLS_error_code(XLS_BOOK *book);
/* The last message of the record, converted into `caller_mesg` in the book's character set;
 * NULL for a NULL record. The pointer is into the record and valid until the next call on it.
 * A success does not clear the message: after a later success TXLS_error_code gives 0 while
 * this still gives the earlier failure's text, so check TXLS_error_code first. On a record whose
 * book was freed or closed (or whose open failed) the message comes in the character set of
 * that book (or of the failed open's CHARSET); Shift-JIS, the text as `log.error_info` keeps
 * it, when none is known. A message that filled `log.error_info` (6000 bytes) is not handed
 * out: TXLS-04000 comes instead. */
TXLS_API char *TXLS_error_mesg(XLS_BOOK *book);

/* ---- Sheets ---- */

/* Adds, selects or copies a sheet and makes it the current sheet. `options`:
 *   SHEET_NAME=name (シート)   the sheet's name; names over 31 characters are cut to 29, names
 *                              over 93 bytes give TXLS_ERR_OVERFLOW
 *   MODE=CREATE (default)      adds a sheet at the end, named `name` or the first free "SheetN";
 *                              refused in a book read from a file (-3, TXLS-02209); a name used
 *                              already in any letter case (TXLS-02321), or one holding
 *                              : \ / ? * [ ] or quoted at either end (TXLS-02320), gives -3
 *        READ | UPDATE         selects the existing sheet `name` (-801, TXLS-02320 when none)
 *        TEMPLATE              adds a copy of the TEMPLATE sheet (cells, formats, layout)
 *   TEMPLATE=sheet             the sheet to copy (implies MODE=TEMPLATE; -801, TXLS-03002 when
 *                              it does not exist; -3, TXLS-02322 when empty)
 * Returns 0, TXLS_ERR_ARGUMENT (also for NULL `options` or no open book), TXLS_ERR_NO_SHEET,
 * TXLS_ERR_OVERFLOW, TXLS_ERR_MEMORY. */
TXLS_API int   TXLS_open_sheet(XLS_BOOK *book, const char *options);
/* Makes the sheet at 0-based `index` current. Returns 0, or TXLS_ERR_NO_SHEET for an index out
 * of range or no open book. */
TXLS_API int   TXLS_open_sheet2(XLS_BOOK *book, int index);
/* The number of sheets; 0 without an open book. */
TXLS_API int   TXLS_sheet_num(XLS_BOOK *book);
/* Copies the name of the sheet at 0-based `index` into `out` of `size` bytes. Returns 0;
 * TXLS_ERR_NO_SHEET (no such sheet, no open book); TXLS_ERR_ARGUMENT for a NULL `out` or `size`
 * <= 0; TXLS_ERR_OVERFLOW (TXLS-03009) when it does not fit. */
TXLS_API int   TXLS_sheet_name(XLS_BOOK *book, int index, char *out, int size);
/* The number of rows in use of the current sheet (the 1-based number of its last row); 0
 * without an open book or current sheet. */
TXLS_API int   TXLS_row_num(XLS_BOOK *book);
/* The number of columns up to the last non-empty cell of 0-based `row` of the current sheet;
 * 0 for a row out of range, an empty row or no open book. */
TXLS_API int   TXLS_column_num(XLS_BOOK *book, int row);

/* ---- Cell names ---- */

/* Writes the A1 name of 1-based `row` (1..1048576) and `column` (1..16384) into `out` of `size`
 * bytes. Needs no book. Returns 0; TXLS_ERR_ARGUMENT for a NULL `out` or a position out of
 * range (`out` emptied); TXLS_ERR_OVERFLOW when it does not fit. */
TXLS_API int   TXLS_cell_name(int row, int column, char *out, int size);
/* Writes "A1:B2" for two 1-based corners, in the order given; as TXLS_cell_name. */
TXLS_API int   TXLS_cell_range(int row1, int column1, int row2, int column2, char *out, int size);
/* Whether `text` names one cell (A1 name, sheet prefix and variables allowed): 0 with its 1-based
 * row and column in `*row` and `*column`; TXLS_ERR_ARGUMENT for NULL arguments, no open book, a
 * malformed text or one of 6001 bytes or more; TXLS_ERR_NO_SHEET for a text that names no cell. */
TXLS_API int   TXLS_is_cell(XLS_BOOK *book, const char *text, int *row, int *column);
/* Whether `text` names a range ("A1:C9"): 0 with its 1-based corners; as TXLS_is_cell, and
 * TXLS_ERR_ARGUMENT for a single cell (the book's error code is left 0 then). */
TXLS_API int   TXLS_is_range(XLS_BOOK *book, const char *text, int *row1, int *column1, int *row2, int *column2);

/* ---- Cell values ---- */

/* Puts `value` into cell `cell` and makes the cell current. The text is typed as the statement
 * language types it: integers (thousands separators allowed), decimals, percentages ("12%"),
 * dates and times, "=..." formulas; "$name" is replaced by the environment variable or book
 * variable (TXLS_put_variable) of that name, "$SYSDATE" by today's date; anything else is
 * text. Returns 0;
 * TXLS_ERR_ARGUMENT (bad cell name, TXLS-02300; NULL `value`; a template's formula cell, which
 * may not be overwritten); TXLS_ERR_OVERFLOW (a value of 98302 bytes or more, or a limit of
 * the book, TXLS-03009); TXLS_ERR_SHEET_INDEX; TXLS_ERR_MEMORY; TXLS_ERR_FAIL. */
TXLS_API int   TXLS_put_cell(XLS_BOOK *book, const char *cell, const char *value);
/* Reads cell `cell` and makes it current: its value as stored (a formula's saved or computed
 * result) into `value` of `value_size` bytes, and, when `kind` is not NULL and `kind_size` > 0,
 * its kind into `kind`: "CHARACTER", "INTEGER", "FLOAT", "PERCENT", "DATE", "DATE_TIME",
 * "BOOLEAN", "ERROR" or "FORMULA:" followed by the formula without "=" (as "FORMULA:SUM(A1:B1)");
 * an empty kind for a time of day, and for an empty slot (value empty too, result 0). A kind
 * that does not fit is left empty, except a formula's (TXLS_ERR_OVERFLOW). Both buffers are
 * emptied first. Returns 0; TXLS_ERR_ARGUMENT (NULL `value`, `value_size` < 1, bad name,
 * TXLS-02300); TXLS_ERR_SHEET_INDEX (no current sheet); TXLS_ERR_ROW_INDEX (a row past the
 * rows in use); TXLS_ERR_COLUMN_INDEX (a column past the row's cells); TXLS_ERR_OVERFLOW
 * (TXLS-03009). */
TXLS_API int   TXLS_get_cell(XLS_BOOK *book, const char *cell, char *value, int value_size, char *kind, int kind_size);
/* As TXLS_get_cell, with the value rendered through the cell's number or date format. */
TXLS_API int   TXLS_get_format_cell(XLS_BOOK *book, const char *cell, char *value, int value_size, char *kind, int kind_size);
/* Reads `count` values from 0-based `sheet`, `row` and `column` onwards, down (`direction`
 * nonzero) or to the right (0), into the `count` buffers `out[0..count-1]` of `size` bytes
 * each; every buffer is emptied first, and values past the rows or cells in use stay empty.
 * Returns 0; TXLS_ERR_ARGUMENT (NULL `out` or buffer, `count` < 0, `size` < 1, negative `row`
 * or `column`); TXLS_ERR_SHEET_INDEX (no such sheet); TXLS_ERR_OVERFLOW (TXLS-03009). */
TXLS_API int   TXLS_get_cells(XLS_BOOK *book, int direction, int sheet, int row, int column, int count, char **out, int size);
/* Finds the first cell (sheet by sheet, row by row) whose value equals `text` (ignoring letter
 * case when match_mode is 1) within search->sheet_name and search->range, stores its 0-based
 * position in hit_sheet, hit_row and hit_column, and reads search->count values from it along
 * search->direction into `out` (as TXLS_get_cells). When the hit starts a merged area,
 * search->remaining gets the area's further rows (downwards) or columns; a call with
 * remaining > 0 ignores `text`, steps one row or column on, reads again and counts remaining
 * down. Returns 0; TXLS_ERR_NO_SHEET when nothing is found (or the step leaves the sheet);
 * TXLS_ERR_ARGUMENT (NULL `search`, `out` or buffers, empty `text`, an unknown sheet_name or
 * a malformed range); TXLS_ERR_OVERFLOW. */
TXLS_API int   TXLS_search(XLS_BOOK *book, TXLS_SEARCH *search, const char *text, char **out, int size);
/* Sets the book's variable `key` to `value`, which a cell value "$key" and the computed forms
 * of cell names ("A($key+1)") stand for.
 * Returns 0; TXLS_ERR_ARGUMENT for a NULL `key` or `value`; TXLS_ERR_FAIL when the key or value
 * is too long (TXLS-03009). */
TXLS_API int   TXLS_put_variable(XLS_BOOK *book, const char *key, const char *value);

/* ---- Property statements ---- */

/* Runs the property statements in `text` ("B1.FORMAT=円 A1.FONT.STYLE=bold"; TXLS_help lists
 * them). NULL or empty `text` does nothing. Returns 0 or the failing statement's result, with
 * its message. */
TXLS_API int   TXLS_put_values(XLS_BOOK *book, const char *text);
/* Whether `name` is a property path: 0 with its number in `*id` (-1 for a variable name, which
 * is no property); TXLS_ERR_ARGUMENT (`*id` -1) for a name that is neither, or a NULL `id`. */
TXLS_API int   TXLS_is_property(XLS_BOOK *book, const char *name, int *id);
/* Kept for callers of the older interface: accepts any arguments, changes nothing, returns 0.
 * Use TXLS_put_values to set properties. */
TXLS_API int   TXLS_set_property(XLS_BOOK *book, const char *name, const char *value);
/* Prints the statement-language summary on standard output, in Shift-JIS. Returns 0. */
TXLS_API int   TXLS_help(void);

/* ---- Hyperlinks and pictures ---- */

/* Links cell `cell`, which must hold a value (else TXLS_ERR_ARGUMENT, TXLS-02300), to
 * `target_cell` (a plain A1 name, no sheet prefix) of the sheet named `sheet` (not empty),
 * replacing a link the cell had. Returns 0, TXLS_ERR_ARGUMENT, TXLS_ERR_OVERFLOW (a sheet name
 * over the limit, TXLS-03009), TXLS_ERR_MEMORY. */
TXLS_API int   TXLS_sheet_hyperlink(XLS_BOOK *book, const char *cell, const char *sheet, const char *target_cell);
/* Links cell `cell` (holding a value) to `target`, a URL, a mail address or a file path (not
 * empty). Results as TXLS_sheet_hyperlink. */
TXLS_API int   TXLS_external_hyperlink(XLS_BOOK *book, const char *cell, const char *target);
/* Places a picture at cell `cell` of the book: `type` TXLS_FILE_BMP..TXLS_FILE_WMF, `size`
 * bytes at `bytes` (copied); `width` and `height` in pixels, <= 0 for the picture's own size
 * read from its header; `ratio` the zoom (<= 0 or not a number = 1); `offset_x`, `offset_y` the
 * shift inside the cell, in the units of the IMAGE.OFFSET statements; `link` a click target or
 * NULL. Returns 0; TXLS_ERR_ARGUMENT (bad cell name, TXLS-02300); TXLS_ERR_FAIL (another type,
 * NULL or empty bytes, an unreadable header: TXLS-03190; also a NULL record or no open book);
 * TXLS_ERR_MEMORY. */
TXLS_API int   TXLS_put_image_memory(XLS_BOOK *book, const char *cell, int type, const void *bytes, long size,
                                     int width, int height, double ratio, double offset_x, double offset_y,
                                     const char *link);

/* ---- Data sources and row streaming ---- */

/* Runs a statement file: every line is a property statement, lines starting with "!" are
 * comments. `options`: FILE=path (ファイル; required, at most 256 bytes) and CHARSET=SJIS|EUC|UTF8
 * (文字コード; the file's character set when it has no byte order mark; default SJIS, whatever
 * the book's). Returns 0; TXLS_ERR_ARGUMENT (bad options, no open book); TXLS_ERR_OPEN (the file,
 * TXLS-03100); TXLS_ERR_FAIL (a statement failed, its message kept: see TXLS_error_line; or a
 * line over the limit); TXLS_ERR_MEMORY. */
TXLS_API int   TXLS_read_file(XLS_BOOK *book, const char *options);
/* After a failed TXLS_read_file: the line of the statement file (1-based) on which the failing
 * statement starts; 0 when the last call did not stop inside a statement file. */
TXLS_API int   TXLS_error_line(XLS_BOOK *book);
/* TXLS_open_datasource, TXLS_paste_datasource and TXLS_close_datasource do nothing by design:
 * they are kept for callers of the older data-source interface, accept any arguments (NULL
 * included), set the record's error code to 0 and return 0. CSV data is pasted by statements
 * (TXLS_put_values, TXLS_read_file). */
TXLS_API int   TXLS_open_datasource(XLS_BOOK *book, const char *options);
TXLS_API int   TXLS_paste_datasource(XLS_BOOK *book, const char *options);
TXLS_API int   TXLS_close_datasource(XLS_BOOK *book);
/* Hands finished row `row` (1-based) of the current sheet out of memory when the book was opened
 * with STREAM_AFTER=n and `row` > n: the row goes to a temporary file and the save merges it
 * back. Otherwise it does nothing. Returns 0;
 * TXLS_ERR_ARGUMENT for a row outside 1..1048576; TXLS_ERR_FAIL (NULL record, no open book,
 * or the temporary folder cannot be made); TXLS_ERR_OPEN; TXLS_ERR_WRITE when the file takes no
 * more (a full disk): the row then stays in memory, and the rows handed out before it that the
 * file did not take wait in memory for a later call or the save. */
TXLS_API int   TXLS_write_row(XLS_BOOK *book, int row);

/* ---- PDF ---- */

/* Writes the book as a PDF through LibreOffice run headless ("soffice --headless --convert-to
 * pdf"). The pages are those the book's print settings ask for (paper size, orientation, fit to
 * pages, print titles, header and footer), sheet by sheet. The book is saved into a private
 * temporary folder (TEMP, else TMPDIR, else /tmp) together with the converter's own profile and
 * temporary files, so that conversions run side by side; the folder is removed however the
 * call ends. The book stays open (saved as a close would save it: formulas computed, the default
 * sheets added to a book without any) and the memory files are left as they are. `options`, in
 * the book's character set:
 *   FILE=path (ファイル)           the PDF to write, at most 256 bytes (required); replaced only
 *                                  by a complete PDF, its folder must exist
 *   SOFFICE=path (変換プログラム)  the converter: a path, or a name looked up on PATH (default
 *                                  soffice), at most 256 bytes
 *   TIMEOUT=seconds (タイムアウト) the converter's time limit, more than 0 and at most 86400,
 *                                  decimals allowed (default 120); on expiry every process it
 *                                  started is killed
 * Returns 0; TXLS_ERR_ARGUMENT (NULL record or options, no open book, an unknown key TXLS-02200,
 * no FILE TXLS-02303, a bad TIMEOUT TXLS-02200, a path too long TXLS-00005); TXLS_ERR_CONVERT
 * with TXLS-03700 (the converter cannot be found or started), TXLS-03701 (it ended with an
 * error: its exit status and last words), TXLS-03702 (out of time) or TXLS-03703 (it wrote no
 * PDF); TXLS_ERR_WRITE (TXLS-03120, the PDF file; TXLS-03122, the temporary folder); a save's
 * results (TXLS_ERR_UNSUPPORTED for a .xls book, which is read only); TXLS_ERR_MEMORY. */
TXLS_API int   TXLS_save_pdf(XLS_BOOK *book, const char *options);

/* ---- HTML view ---- */

/* Writes one self-contained HTML page of the open book, made or read: each cell's value as its
 * number format shows it, fonts, fills, borders, alignment and wrapping (one CSS class per cell
 * format), merged areas as spans, column widths and row heights in pixels, hidden rows and
 * columns left out, pictures inline as data: addresses, hyperlinks with an http, https or
 * mailto address (links inside the book lead to the cell on the page; others stay text), and
 * comments as titles. Every text is escaped; the page loads nothing and runs no script. Charts,
 * shapes, conditional formats and print settings are not shown. Formulas are computed first, as
 * a save computes them. `options` (in the book's character set):
 *   FILE=path (ファイル)         the page is written there (replacing the file once complete)
 *   MEMORY=name (メモリ)         or into the memory file `name` (TXLS_memory_get), at most 256 bytes
 *   SHEET=name (シート)          that sheet only; default every sheet the book does not hide,
 *                               one tab each (tabs work without script)
 * The book stays open. Returns 0; TXLS_ERR_ARGUMENT (NULL record or options, no open book, an
 * unknown key TXLS-02200, neither or both of FILE and MEMORY TXLS-02440); TXLS_ERR_NO_SHEET (no
 * sheet of that name, TXLS-02320); TXLS_ERR_OPEN (the file cannot be created, TXLS-03100);
 * TXLS_ERR_WRITE (TXLS-03120); TXLS_ERR_FAIL (a formula that cannot be computed, as a save);
 * TXLS_ERR_MEMORY. */
TXLS_API int   TXLS_save_html(XLS_BOOK *book, const char *options);

/* ---- Utilities ---- */

/* Recognises a file by its first 16 bytes and its name's extension: mode 0 reads the memory file
 * `source`, mode 9999 takes `source` as the file's first 16 bytes (the signature alone decides:
 * a zip gives TXLS_FILE_ZIP, a compound file TXLS_FILE_XLS), any other mode reads the file at
 * path `source`. Sets *type to a TXLS_FILE_* code, or TXLS_FILE_UNKNOWN when nothing matched or
 * the file is shorter than 16 bytes, and returns 0; TXLS_ERR_OPEN when the file cannot be
 * opened; TXLS_ERR_SEEK when it cannot be read again from its start; TXLS_ERR_FAIL (type -1)
 * when a compound file named .xlsx, .docx or .pptx holds no encrypted package;
 * TXLS_ERR_ARGUMENT for a NULL pointer; TXLS_ERR_MEMORY. */
TXLS_API int   orv_file_type(int mode, const char *source, int *type);
/* Where saved and opened packages live (per thread): `on` zero puts them in memory files named
 * by the book's file name, any other value on disk (the initial state). Returns 0. */
TXLS_API int   orv_zip_on_memory(int on);
/* Bounds the memory of the calling thread's engine calls: from now on, a request for memory
 * that would take the process's heap more than `bytes` past what it holds at this call is
 * refused, and the call that made it returns TXLS_ERR_MEMORY with TXLS-00002 (a book it was
 * working on stays as a failed allocation leaves it: free it, and later books work again). The
 * heap is measured every limit/32 bytes requested (between 64 KiB and 4 MiB), which is the
 * most the engine can overshoot by; memory other threads take in that time counts too. 0 lifts
 * the bound (the initial state). Returns 0; TXLS_ERR_ARGUMENT for a negative `bytes`. */
TXLS_API int   TXLS_memory_limit(long bytes);
/* Stores `size` bytes (copied) as the memory file `name` (up to 256 bytes), replacing one of
 * that name; for instance a workbook to open with READ_MEMORY. Memory files are process-wide
 * and last until a TXLS_close_book releases them. Returns 0, TXLS_ERR_ARGUMENT for a NULL,
 * empty or too long name, a negative size or NULL bytes with a positive size, TXLS_ERR_MEMORY
 * when memory runs out. */
TXLS_API int   TXLS_memory_put(const char *name, const void *bytes, long size);
/* Hands out the contents of the memory file `name` (for instance a book saved in memory):
 * `*bytes` points into the engine's memory file, which the caller must not free; it stays
 * valid until the next call that changes memory files. Returns 0; TXLS_ERR_ARGUMENT for a NULL
 * or empty name or NULL outputs; TXLS_ERR_OPEN when no memory file has that name (`*bytes`
 * NULL, `*size` 0). */
TXLS_API int   TXLS_memory_get(const char *name, const void **bytes, long *size);

#ifdef __cplusplus
}
#endif

#endif /* TABSMITH_H */
