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

/* Result codes. */
#define TXLS_OK 0
#define TXLS_ERR_FAIL (-1)
#define TXLS_ERR_MEMORY (-2)
#define TXLS_ERR_ARGUMENT (-3)
#define TXLS_ERR_UNSUPPORTED (-4)
#define TXLS_ERR_OPEN (-101)
#define TXLS_ERR_READ (-102)
#define TXLS_ERR_WRITE (-103)
#define TXLS_ERR_NO_SHEET (-801)
#define TXLS_ERR_SHEET_INDEX (-901)
#define TXLS_ERR_ROW_INDEX (-902)
#define TXLS_ERR_COLUMN_INDEX (-903)
#define TXLS_ERR_OVERFLOW (-909)
#define TXLS_ERR_XLS_READ (-910)
#define TXLS_NO_DATA 1403

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
    int hit_sheet;
    int hit_row;
    int hit_column;
} TXLS_SEARCH;

/* Book */
TXLS_API int   TXLS_open_book(XLS_BOOK *book, const char *options);
TXLS_API int   TXLS_close_book(XLS_BOOK *book, const char *options);
TXLS_API int   TXLS_free_book(XLS_BOOK *book);
TXLS_API int   TXLS_swap_book(int restore);
TXLS_API int   TXLS_version(XLS_BOOK *book, char *out, int size);
TXLS_API int   TXLS_debug(const char *text);
TXLS_API int   TXLS_error_code(XLS_BOOK *book);
TXLS_API char *TXLS_error_mesg(XLS_BOOK *book);

/* Sheets */
TXLS_API int   TXLS_open_sheet(XLS_BOOK *book, const char *options);
TXLS_API int   TXLS_open_sheet2(XLS_BOOK *book, int index);
TXLS_API int   TXLS_sheet_num(XLS_BOOK *book);
TXLS_API int   TXLS_sheet_name(XLS_BOOK *book, int index, char *out, int size);
TXLS_API int   TXLS_row_num(XLS_BOOK *book);
TXLS_API int   TXLS_column_num(XLS_BOOK *book, int row);

/* Cell names */
TXLS_API int   TXLS_cell_name(int row, int column, char *out, int size);
TXLS_API int   TXLS_cell_range(int row1, int column1, int row2, int column2, char *out, int size);
TXLS_API int   TXLS_is_cell(XLS_BOOK *book, const char *text, int *row, int *column);
TXLS_API int   TXLS_is_range(XLS_BOOK *book, const char *text, int *row1, int *column1, int *row2, int *column2);

/* Cell values. TXLS_get_cells and TXLS_search fill `count` buffers of `size` bytes each. */
TXLS_API int   TXLS_put_cell(XLS_BOOK *book, const char *cell, const char *value);
TXLS_API int   TXLS_get_cell(XLS_BOOK *book, const char *cell, char *value, int value_size, char *kind, int kind_size);
TXLS_API int   TXLS_get_format_cell(XLS_BOOK *book, const char *cell, char *value, int value_size, char *kind, int kind_size);
TXLS_API int   TXLS_get_cells(XLS_BOOK *book, int direction, int sheet, int row, int column, int count, char **out, int size);
TXLS_API int   TXLS_search(XLS_BOOK *book, TXLS_SEARCH *search, const char *text, char **out, int size);
TXLS_API int   TXLS_put_variable(XLS_BOOK *book, const char *key, const char *value);

/* Property statements */
TXLS_API int   TXLS_put_values(XLS_BOOK *book, const char *text);
TXLS_API int   TXLS_is_property(XLS_BOOK *book, const char *name, int *id);
/* Kept for callers of the older interface: accepts any arguments, changes nothing, returns 0.
 * Use TXLS_put_values to set properties. */
TXLS_API int   TXLS_set_property(XLS_BOOK *book, const char *name, const char *value);
TXLS_API int   TXLS_help(void);

/* Hyperlinks and pictures */
TXLS_API int   TXLS_sheet_hyperlink(XLS_BOOK *book, const char *cell, const char *sheet, const char *target_cell);
TXLS_API int   TXLS_external_hyperlink(XLS_BOOK *book, const char *cell, const char *target);
TXLS_API int   TXLS_put_image_memory(XLS_BOOK *book, const char *cell, int type, const void *bytes, long size,
                                     int width, int height, double ratio, double offset_x, double offset_y,
                                     const char *link);

/* Data sources and row streaming */
TXLS_API int   TXLS_read_file(XLS_BOOK *book, const char *options);
/* After a failed TXLS_read_file: the line of the statement file (1-based) on which the failing
 * statement starts; 0 when the last call did not stop inside a statement file. */
TXLS_API int   TXLS_error_line(XLS_BOOK *book);
TXLS_API int   TXLS_open_datasource(XLS_BOOK *book, const char *options);
TXLS_API int   TXLS_paste_datasource(XLS_BOOK *book, const char *options);
TXLS_API int   TXLS_close_datasource(XLS_BOOK *book);
TXLS_API int   TXLS_write_row(XLS_BOOK *book, int row);

/* Utilities */
/* Recognises a file by its first 16 bytes and its name's extension: mode 0 reads the memory file
 * `source`, mode 9999 takes `source` as the file's first 16 bytes (the signature alone decides),
 * any other mode reads the file at path `source`. Sets *type to the type code (for instance 11
 * .xls, 12 .xlsx, 19 encrypted .xlsx, 201-207 pictures, 301 zip) or -1 when nothing matched or
 * the file is shorter than 16 bytes, and returns 0; -101 when the file cannot be opened, -1 (type
 * -1) when a compound file named .xlsx, .docx or .pptx holds no encrypted package, -3 for a NULL
 * pointer. */
TXLS_API int   orv_file_type(int mode, const char *source, int *type);
/* Where saved and opened packages live (per thread): `on` zero puts them in memory files named
 * by the book's file name, any other value on disk (the initial state). Returns 0. */
TXLS_API int   orv_zip_on_memory(int on);
/* Stores `size` bytes as the memory file `name` (up to 256 bytes), replacing one of that name;
 * for instance a workbook to open with READ_MEMORY. Returns 0, -3 for a NULL, empty or too
 * long name, a negative size or NULL bytes with a positive size, -2 when memory runs out. */
TXLS_API int   TXLS_memory_put(const char *name, const void *bytes, long size);
/* Hands out the contents of the memory file `name` (for instance a book saved in memory):
 * `*bytes` stays valid until the next call that changes memory files. Returns 0, -3 for a
 * NULL or empty name or NULL outputs, -101 when no memory file has that name. */
TXLS_API int   TXLS_memory_get(const char *name, const void **bytes, long *size);

#ifdef __cplusplus
}
#endif

#endif /* TABSMITH_H */
