/* tabsmith.c - the `tabsmith` command-line tool: runs a statement file into a workbook (new or from
 * a template), prints a workbook's cells or sheet names, writes it as a PDF, prints the statement
 * summary and the version.
 * A thin layer over the public C API only. */
#include <errno.h>
#include <iconv.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tabsmith.h"

#define EXIT_USAGE 2

/* The language of the engine's messages (--messages): JA, the engine's default, or EN. */
static const char *messages_language = "JA";

/* Paths travel inside the engine's option strings, which cap a file name at 256 bytes. */
#define OPTION_PATH_MAX 256

static const char *program = "tabsmith";

static void usage_text(FILE *out) {
    fprintf(out,
            "Usage:\n"
            "  %s run STATEMENTS.txt [-o OUT.xlsx] [--template T.xlsx] [--charset sjis|euc|utf8]\n"
            "  %s cat BOOK.xlsx [--sheet NAME] [--rendered] [--format csv|tsv|json]\n"
            "  %s sheets BOOK.xlsx\n"
            "  %s pdf BOOK.xlsx [-o OUT.pdf] [--soffice PATH] [--timeout SEC]\n"
            "  %s html BOOK.xlsx [--sheet NAME] [-o OUT.html]\n"
            "  %s help\n"
            "  %s --help | -h\n"
            "  %s --version | -V\n",
            program, program, program, program, program, program, program, program);
}

static void full_help(void) {
    usage_text(stdout);
    printf("\n"
           "Commands:\n"
           "  run STATEMENTS.txt   Create a workbook (or fill the --template workbook) and apply every\n"
           "                       line of STATEMENTS.txt to it as a property statement (A1=100,\n"
           "                       A1.FONT.COLOR=RED, SHEET=Summary, A5.CSV=data.csv, ...); lines\n"
           "                       starting with '!' are comments. The workbook is saved and its\n"
           "                       path printed.\n"
           "  cat BOOK.xlsx        Print the cell values of a workbook (.xlsx or .xlsm), every sheet\n"
           "                       or the one named by --sheet, as UTF-8.\n"
           "  sheets BOOK.xlsx     Print the workbook's sheet names, one per line, in tab order.\n"
           "  pdf BOOK.xlsx        Write the workbook as a PDF through LibreOffice run headless; its\n"
           "                       print settings (paper, orientation, fit to pages, print titles,\n"
           "                       header and footer) decide the pages. The PDF's path is printed.\n"
           "  html BOOK.xlsx       Write a workbook (.xlsx, .xlsm or .xls) as one self-contained HTML\n"
           "                       page: every sheet it shows, one tab each, or the --sheet one.\n"
           "  help                 Print the statement-language summary (keywords and their values).\n"
           "\n"
           "Options of run:\n"
           "  -o, --output OUT.xlsx     Where to save the workbook. Default: the statement file's name\n"
           "                            with the extension .xlsx, in the current directory.\n"
           "  -t, --template T.xlsx     Fill this workbook instead of an empty one: its sheets, styles,\n"
           "                            pictures and charts are kept and the result is saved as OUT.xlsx\n"
           "                            (the template itself is not changed). Statements are then\n"
           "                            limited to those a template accepts (SHEET= selects one of its\n"
           "                            sheets, BOOK=, TEMPLATE=, SHEET.SCROLL_ROW=, row HEIGHT, CSV/TSV\n"
           "                            and cell values); a cell holding a formula cannot be overwritten.\n"
           "  -m, --messages ja|en      Language of the engine's messages (run, cat, pdf, html): Japanese\n"
           "                            (the default) or English; the TXLS codes are the same.\n"
           "  -c, --charset CHARSET     Character set of the statement file and of the book: sjis\n"
           "                            (Shift-JIS), euc (EUC-JP) or utf8 (the default). A file that\n"
           "                            starts with a UTF-8 byte order mark is read as UTF-8 anyway.\n"
           "\n"
           "Options of cat:\n"
           "  -s, --sheet NAME          Print only the sheet of this name (exact match).\n"
           "  -r, --rendered            Print each value as its number format shows it (1,234 or\n"
           "                            2024/4/1) instead of the stored value.\n"
           "  -f, --format FORMAT       csv (the default), tsv or json.\n"
           "\n"
           "Options of html:\n"
           "  -s, --sheet NAME          Show only the sheet of this name (exact match).\n"
           "  -o, --output OUT.html     Where to write the page. Default: the workbook's name with the\n"
           "                            extension .html, in the current directory.\n"
           "  Values show as their number formats show them, with the fonts, fills, borders,\n"
           "  alignment, merged cells, column widths and row heights of the sheet; hidden rows and\n"
           "  columns are left out; pictures are inside the page; links keep http, https and mailto\n"
           "  addresses; comments show as tooltips. The page loads nothing and runs no script.\n"
           "\n"
           "  Rows are printed from the first row of the sheet to the last one holding a value, and\n"
           "  every row of a sheet has as many fields as its widest row, so a cell keeps its column\n"
           "  (empty cells are empty fields). A formula cell gives the result saved in the file.\n"
           "  csv: fields separated by commas; a field holding a comma, a double quote or a line\n"
           "       break is quoted, its quotes doubled (RFC 4180); lines end with LF.\n"
           "  tsv: fields separated by tabs; backslash, tab, CR and LF inside a value are written\n"
           "       as \\\\, \\t, \\r and \\n.\n"
           "  With csv and tsv, when more than one sheet is printed each sheet starts with a line\n"
           "  '# Sheet: NAME', and sheets are separated by an empty line; a single sheet (one given\n"
           "  with --sheet, or a book of one sheet) is printed as plain CSV or TSV.\n"
           "  json: {\"sheets\":[{\"name\":\"Sheet1\",\"rows\":[[CELL,...],...]},...]}, one row per\n"
           "       line; a CELL is null when empty, else {\"value\":\"...\",\"kind\":\"INTEGER\"}\n"
           "       (kinds: CHARACTER, INTEGER, FLOAT, PERCENT, DATE, DATE_TIME, BOOLEAN, ERROR, FORMULA;\n"
           "       empty for a time of day), and a formula cell also carries\n"
           "       \"formula\":\"SUM(B2:B9)\".\n"
           "\n"
           "Options of pdf:\n"
           "  -o, --output OUT.pdf      Where to write the PDF. Default: the workbook's name with the\n"
           "                            extension .pdf, in the current directory.\n"
           "  --soffice PATH            The converter (default: soffice, looked up on PATH).\n"
           "  --timeout SEC             Stop the converter after SEC seconds (default 120).\n"
           "\n"
           "Relative paths inside the statement file (CSV/TSV files, pictures) are taken from the\n"
           "statement file's folder. CSV/TSV files pasted by a statement are read in the book's\n"
           "character set (--charset) unless they start with a byte order mark.\n"
           "\n"
           "Errors name the statement file and the line of the failing statement, as compilers do\n"
           "(report.txt:12: TXLS-02200 ...).\n"
           "\n"
           "Exit status: 0 on success, 1 when the engine reports an error (the TXLS- message is\n"
           "printed on standard error; a file that is missing or is no workbook included) or cat\n"
           "or html finds no sheet of the given name (pdf: also when the converter is missing, fails or runs\n"
           "out of time), 2 for a usage error.\n");
}

static int usage_error(const char *fmt, const char *arg) {
    fprintf(stderr, "%s: ", program);
    fprintf(stderr, fmt, arg ? arg : "");
    fprintf(stderr, "\n");
    usage_text(stderr);
    fprintf(stderr, "Try '%s --help' for more information.\n", program);
    return EXIT_USAGE;
}

/* Converts `in` from the character set `from` to UTF-8 into a fresh buffer; NULL when iconv has
 * no such conversion. Bytes that do not convert are replaced by '?', so a message still shows. */
static char *to_utf8(const char *from, const char *in, size_t length) {
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == (iconv_t)-1) return NULL;
    size_t cap = length * 4 + 1;
    char *out = malloc(cap);
    if (!out) {
        iconv_close(cd);
        return NULL;
    }
    char *src = (char *)in, *dst = out;
    size_t left = length, room = cap - 1;
    while (left > 0) {
        if (iconv(cd, &src, &left, &dst, &room) != (size_t)-1) break;
        if ((errno == EILSEQ || errno == EINVAL) && room > 0) {
            *dst++ = '?';
            --room;
            ++src;
            --left;
        } else {
            break;
        }
    }
    *dst = '\0';
    iconv_close(cd);
    return out;
}

/* Shift-JIS here is Windows code page 932, whose extra characters glibc only knows as CP932. */
static char *sjis_to_utf8(const char *in, size_t length) {
    char *out = to_utf8("CP932", in, length);
    return out ? out : to_utf8("SHIFT_JIS", in, length);
}

/* `in` (UTF-8) in the character set `to`, strictly: NULL when a character has no form there. */
static char *from_utf8_strict(const char *to, const char *in) {
    iconv_t cd = iconv_open(to, "UTF-8");
    if (cd == (iconv_t)-1) return NULL;
    size_t length = strlen(in), room = length * 2 + 1;
    char *out = malloc(room);
    if (!out) {
        iconv_close(cd);
        return NULL;
    }
    char *src = (char *)in, *dst = out;
    size_t left = length;
    --room;
    if (iconv(cd, &src, &left, &dst, &room) == (size_t)-1) {
        free(out);
        out = NULL;
    } else {
        *dst = '\0';
    }
    iconv_close(cd);
    return out;
}

/* A path as the engine reads it inside an option string: in the book's character set (SJIS, EUC,
 * UTF8), which the engine converts back to the UTF-8 name on disk. NULL when the name cannot be
 * written in that character set. */
static char *path_in_charset(const char *path, const char *charset) {
    char *out = NULL;
    if (!strcmp(charset, "SJIS")) {
        if (!(out = from_utf8_strict("CP932", path))) out = from_utf8_strict("SHIFT_JIS", path);
    } else if (!strcmp(charset, "EUC")) {
        if (!(out = from_utf8_strict("EUC-JP-MS", path))) out = from_utf8_strict("EUC-JP", path);
    } else {
        out = strdup(path);
    }
    return out;
}

/* The book's log always holds the message in Shift-JIS, even after a failed open or save has
 * released the book, so it is converted from there rather than from the book's character set. */
static void print_engine_error(XLS_BOOK *book, const char *what, int rc) {
    const char *raw = book->log.error_info;
    size_t length = strnlen(raw, sizeof book->log.error_info);
    char *message = sjis_to_utf8(raw, length);
    fprintf(stderr, "%s: %s failed (%d): %s\n", program, what, rc,
            message && *message ? message : (length ? raw : "(no message)"));
    free(message);
}

/* A failed statement is reported as compilers report errors: the file as the user named it, the
 * line the statement starts on, then the engine's coded message. */
static void print_statement_error(XLS_BOOK *book, const char *file, int rc) {
    int line = TXLS_error_line(book);
    if (line <= 0) {
        print_engine_error(book, "running the statements", rc);
        return;
    }
    const char *raw = book->log.error_info;
    size_t length = strnlen(raw, sizeof book->log.error_info);
    char *message = sjis_to_utf8(raw, length);
    fprintf(stderr, "%s:%d: %s\n", file, line, message && *message ? message : "(no message)");
    free(message);
}

/* The engine reads a quoted value across line breaks up to its closing quote, so a quote that is
 * never closed swallows every later statement without a word. Warn where it opened. A '"' byte
 * is never part of a multi-byte character in Shift-JIS, EUC-JP or UTF-8, so bytes are enough. */
static void warn_unclosed_quote(const char *path, const char *shown) {
    FILE *file = fopen(path, "rb");
    if (!file) return;
    int c, previous = 0, quoted = 0;
    long line = 1, opened = 0;
    while ((c = getc(file)) != EOF) {
        if (c == '"') {
            quoted = !quoted;
            if (quoted) opened = line;
        } else if (c == '\n' && previous != '\r') {
            ++line;
        } else if (c == '\r') {
            ++line;
        }
        previous = c;
    }
    fclose(file);
    if (quoted)
        fprintf(stderr,
                "%s:%ld: warning: this quote is never closed; every later line is read as part of its value\n",
                shown, opened);
}

/* Workbooks given where a statement file belongs: 0, or the kind of workbook the file is. */
static const char *workbook_kind(const char *path) {
    unsigned char head[8] = {0};
    FILE *file = fopen(path, "rb");
    if (!file) return NULL;
    size_t got = fread(head, 1, sizeof head, file);
    fclose(file);
    if (got >= 4 && memcmp(head, "PK\x03\x04", 4) == 0) return "an .xlsx workbook (a zip package)";
    if (got == 8 && memcmp(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0) return "an .xls workbook";
    return NULL;
}

static int print_help_utf8(void) {
    /* TXLS_help writes Shift-JIS straight to standard output: catch it in a temporary file
     * and hand the terminal UTF-8. */
    FILE *capture = tmpfile();
    if (!capture) return TXLS_help() == 0 ? 0 : 1;
    fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    if (saved < 0 || dup2(fileno(capture), STDOUT_FILENO) < 0) {
        if (saved >= 0) close(saved);
        fclose(capture);
        return TXLS_help() == 0 ? 0 : 1;
    }
    int rc = TXLS_help();
    fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);

    long size = ftell(capture);
    if (size < 0) size = 0;
    rewind(capture);
    char *raw = malloc((size_t)size + 1);
    if (!raw) {
        fclose(capture);
        return 1;
    }
    size_t got = fread(raw, 1, (size_t)size, capture);
    fclose(capture);
    char *text = sjis_to_utf8(raw, got);
    if (text) fputs(text, stdout);
    else fwrite(raw, 1, got, stdout);
    free(text);
    free(raw);
    return rc == 0 ? 0 : 1;
}

static int print_version(void) {
    char version[64];
    XLS_BOOK *book = calloc(1, sizeof *book);
    if (!book) return 1;
    int rc = TXLS_version(book, version, (int)sizeof version);
    if (rc < 0) snprintf(version, sizeof version, "%s", TXLS_VERSION_TEXT);
    printf("%s %s\n", program, version);
    free(book);
    return 0;
}

/* An absolute form of `path` (which need not exist) in `out`; 0, or -1 when it does not fit. */
static int absolute_path(const char *path, char *out, size_t size) {
    if (path[0] == '/') return snprintf(out, size, "%s", path) < (int)size ? 0 : -1;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return -1;
    return snprintf(out, size, "%s/%s", cwd, path) < (int)size ? 0 : -1;
}

/* The default output: the statement file's base name with .xlsx instead of its extension. */
static void derived_output(const char *statements, char *out, size_t size) {
    const char *base = strrchr(statements, '/');
    base = base ? base + 1 : statements;
    const char *dot = strrchr(base, '.');
    int stem = dot && dot != base ? (int)(dot - base) : (int)strlen(base);
    snprintf(out, size, "%.*s.xlsx", stem, base);
}

static int option_path_ok(const char *what, const char *path) {
    /* Option strings quote their values; a quote inside a path cannot be written there. */
    if (strchr(path, '"')) {
        fprintf(stderr, "%s: %s path may not contain a double quote: %s\n", program, what, path);
        return 0;
    }
    if (strlen(path) > OPTION_PATH_MAX) {
        fprintf(stderr, "%s: %s path is longer than %d bytes: %s\n", program, what, OPTION_PATH_MAX, path);
        return 0;
    }
    return 1;
}

/* Creates the folders above `path` so that -o out/report.xlsx works in a fresh tree. */
static void make_parent_folders(const char *path) {
    char folder[PATH_MAX];
    snprintf(folder, sizeof folder, "%s", path);
    char *slash = strrchr(folder, '/');
    if (!slash || slash == folder) return;
    *slash = '\0';
    for (char *p = folder + 1; *p; ++p) {
        if (*p != '/') continue;
        *p = '\0';
        mkdir(folder, 0777);
        *p = '/';
    }
    mkdir(folder, 0777);
}

struct run_args {
    const char *statements;
    const char *output;
    const char *template_path;
    const char *charset;  /* the engine's spelling: SJIS, EUC, UTF8 */
};

static int run(const struct run_args *args) {
    char statements[PATH_MAX], output[PATH_MAX], template_path[PATH_MAX], derived[PATH_MAX];

    if (access(args->statements, R_OK) != 0) {
        /* Let the engine report an unreadable file with its own coded message below, but
         * still resolve the path so that the message names what the user typed. */
        if (absolute_path(args->statements, statements, sizeof statements) != 0)
            return usage_error("statement file path too long: %s", args->statements);
    } else if (!realpath(args->statements, statements)) {
        return usage_error("cannot resolve statement file path: %s", args->statements);
    }
    if (!args->output) derived_output(args->statements, derived, sizeof derived);
    if (absolute_path(args->output ? args->output : derived, output, sizeof output) != 0)
        return usage_error("output path too long: %s", args->output ? args->output : derived);
    if (args->template_path && absolute_path(args->template_path, template_path, sizeof template_path) != 0)
        return usage_error("template path too long: %s", args->template_path);
    const char *kind = workbook_kind(statements);
    if (kind) {
        fprintf(stderr,
                "%s: %s is %s, not a statement file.\n"
                "To fill it as a template: %s run STATEMENTS.txt --template %s -o OUT.xlsx\n",
                program, args->statements, kind, program, args->statements);
        return EXIT_USAGE;
    }
    /* The engine reads every name in an option string in the book's character set. */
    char *statements_cs = path_in_charset(statements, args->charset);
    char *output_cs = path_in_charset(output, args->charset);
    char *template_cs = args->template_path ? path_in_charset(template_path, args->charset) : NULL;
    int paths_ok = 1;
    if (!statements_cs || !output_cs || (args->template_path && !template_cs)) {
        fprintf(stderr, "%s: a file name cannot be written in the character set %s; use --charset utf8\n", program,
                args->charset);
        paths_ok = 0;
    } else if (!option_path_ok("statement file", statements_cs) || !option_path_ok("output", output_cs) ||
               (template_cs && !option_path_ok("template", template_cs))) {
        paths_ok = 0;
    }
    char options[3 * PATH_MAX + 64];
    char file_options[PATH_MAX + 64];
    if (paths_ok) {
        /* CHARSET first: it governs how the names after it are read. */
        if (template_cs)
            snprintf(options, sizeof options, "CHARSET=%s MESSAGES=%s MODE=CREATE BOOK=\"%s\" TEMPLATE=\"%s\"", args->charset, messages_language,
                     output_cs, template_cs);
        else
            snprintf(options, sizeof options, "CHARSET=%s MESSAGES=%s MODE=CREATE BOOK=\"%s\"", args->charset, messages_language, output_cs);
        snprintf(file_options, sizeof file_options, "FILE=\"%s\" CHARSET=%s", statements_cs, args->charset);
    }
    free(statements_cs);
    free(output_cs);
    free(template_cs);
    if (!paths_ok) return 1;

    XLS_BOOK *book = calloc(1, sizeof *book);
    if (!book) {
        fprintf(stderr, "%s: out of memory\n", program);
        return 1;
    }
    int rc = TXLS_open_book(book, options);
    if (rc != 0) {
        print_engine_error(book, "opening the book", rc);
        TXLS_free_book(book);
        free(book);
        return 1;
    }

    /* Statement files name their CSV files and pictures relative to themselves, so the
     * statements run from the file's folder; every path above is already absolute. */
    char here[PATH_MAX];
    int moved = 0;
    if (getcwd(here, sizeof here)) {
        char folder[PATH_MAX];
        snprintf(folder, sizeof folder, "%s", statements);
        char *slash = strrchr(folder, '/');
        if (slash) {
            if (slash == folder) slash[1] = '\0';
            else *slash = '\0';
            moved = chdir(folder) == 0;
        }
    }

    warn_unclosed_quote(statements, args->statements);
    rc = TXLS_read_file(book, file_options);
    if (moved && chdir(here) != 0) {
        /* Nothing left depends on the folder: the output path is absolute. */
    }
    if (rc != 0) {
        print_statement_error(book, args->statements, rc);
        TXLS_close_book(book, "");
        TXLS_free_book(book);
        free(book);
        return 1;
    }

    make_parent_folders(output);
    rc = TXLS_close_book(book, "SAVE");
    if (rc != 0) {
        print_engine_error(book, "saving the book", rc);
        TXLS_free_book(book);
        free(book);
        return 1;
    }
    TXLS_free_book(book);
    free(book);
    /* A macro-enabled template makes the engine save under .xlsm whatever the name said: name
     * the file this run wrote, the newer of the two. */
    size_t length = strlen(output);
    if (length >= 5 && strcmp(output + length - 5, ".xlsm") != 0) {
        char macro_name[PATH_MAX];
        struct stat as_named, as_macro;
        snprintf(macro_name, sizeof macro_name, "%.*s.xlsm", (int)(length - 5), output);
        if (stat(macro_name, &as_macro) == 0 &&
            (stat(output, &as_named) != 0 || as_macro.st_mtime > as_named.st_mtime))
            snprintf(output, sizeof output, "%s", macro_name);
    }
    printf("saved %s\n", output);
    return 0;
}

/* ---- Reading workbooks: cat and sheets ---------------------------------------------------- */

/* A value text can hold 32767 characters of up to three UTF-8 bytes; the kind name of a formula
 * cell carries the formula, which is no longer. */
#define CELL_TEXT_SIZE 98302

enum output_format { FORMAT_CSV, FORMAT_TSV, FORMAT_JSON };

struct cat_args {
    const char *book;
    const char *sheet;
    int rendered;
    enum output_format format;
};

/* Opens `path` with MODE=`mode`; NULL after the error has been printed. Texts come back as UTF-8:
 * CHARSET leads the options because it governs how the book's name after it is read. */
static XLS_BOOK *open_for_reading(const char *path, const char *mode) {
    char absolute[PATH_MAX];
    if (absolute_path(path, absolute, sizeof absolute) != 0) {
        fprintf(stderr, "%s: workbook path too long: %s\n", program, path);
        return NULL;
    }
    if (!option_path_ok("workbook", absolute)) return NULL;
    char options[PATH_MAX + 64];
    snprintf(options, sizeof options, "CHARSET=UTF8 MESSAGES=%s MODE=%s BOOK=\"%s\"", messages_language, mode, absolute);
    XLS_BOOK *book = calloc(1, sizeof *book);
    if (!book) {
        fprintf(stderr, "%s: out of memory\n", program);
        return NULL;
    }
    int rc = TXLS_open_book(book, options);
    if (rc != 0) {
        print_engine_error(book, "opening the workbook", rc);
        TXLS_free_book(book);
        free(book);
        return NULL;
    }
    return book;
}

static void close_reading(XLS_BOOK *book) {
    TXLS_close_book(book, "DESTROY");
    TXLS_free_book(book);
    free(book);
}

/* The cells of one sheet as read: value text and kind name of each, NULL for an empty cell. */
struct sheet_cells {
    int rows;       /* up to the last row holding a value */
    int width;      /* the widest of those rows */
    int *columns;   /* cells read in each row */
    char ***values;
    char ***kinds;
};

static void free_sheet_cells(struct sheet_cells *cells) {
    for (int r = 0; cells->columns && cells->values && cells->kinds && r < cells->rows; ++r) {
        for (int c = 0; c < cells->columns[r]; ++c) {
            free(cells->values[r][c]);
            free(cells->kinds[r][c]);
        }
        free(cells->values[r]);
        free(cells->kinds[r]);
    }
    free(cells->values);
    free(cells->kinds);
    free(cells->columns);
    memset(cells, 0, sizeof *cells);
}

/* Reads the current sheet. A cell with neither a value nor a kind is empty (a slot that only
 * carries a style); rows and columns past the last value are dropped. 0, or -1 after the error
 * has been printed. */
static int read_sheet_cells(XLS_BOOK *book, int rendered, struct sheet_cells *cells, char *value, char *kind) {
    memset(cells, 0, sizeof *cells);
    int rows = TXLS_row_num(book);
    if (rows <= 0) return 0;
    cells->columns = calloc((size_t)rows, sizeof *cells->columns);
    cells->values = calloc((size_t)rows, sizeof *cells->values);
    cells->kinds = calloc((size_t)rows, sizeof *cells->kinds);
    cells->rows = rows;
    if (!cells->columns || !cells->values || !cells->kinds) goto out_of_memory;
    int last_row = 0;
    for (int r = 0; r < rows; ++r) {
        int columns = TXLS_column_num(book, r);
        if (columns <= 0) continue;
        cells->values[r] = calloc((size_t)columns, sizeof **cells->values);
        cells->kinds[r] = calloc((size_t)columns, sizeof **cells->kinds);
        if (!cells->values[r] || !cells->kinds[r]) {
            free(cells->values[r]);
            free(cells->kinds[r]);
            cells->values[r] = cells->kinds[r] = NULL;
            goto out_of_memory;
        }
        cells->columns[r] = columns;
        int last_column = 0;
        for (int c = 0; c < columns; ++c) {
            char name[32];
            if (TXLS_cell_name(r + 1, c + 1, name, (int)sizeof name) != 0) continue;
            int rc = rendered ? TXLS_get_format_cell(book, name, value, CELL_TEXT_SIZE, kind, CELL_TEXT_SIZE)
                              : TXLS_get_cell(book, name, value, CELL_TEXT_SIZE, kind, CELL_TEXT_SIZE);
            /* A row or column index past the cells in use is an empty cell, nothing more. */
            if (rc == TXLS_ERR_ROW_INDEX || rc == TXLS_ERR_COLUMN_INDEX) continue;
            if (rc != 0) {
                char what[64];
                snprintf(what, sizeof what, "reading cell %s", name);
                print_engine_error(book, what, rc);
                free_sheet_cells(cells);
                return -1;
            }
            if (!*value && !*kind) continue;
            if (!(cells->values[r][c] = strdup(value)) || !(cells->kinds[r][c] = strdup(kind))) goto out_of_memory;
            last_column = c + 1;
            last_row = r + 1;
        }
        if (last_column > cells->width) cells->width = last_column;
    }
    /* Rows past the last value hold nothing to print; keep the bookkeeping for freeing. */
    for (int r = last_row; r < rows; ++r) {
        for (int c = 0; c < cells->columns[r]; ++c) {
            free(cells->values[r][c]);
            free(cells->kinds[r][c]);
        }
        free(cells->values[r]);
        free(cells->kinds[r]);
        cells->values[r] = cells->kinds[r] = NULL;
        cells->columns[r] = 0;
    }
    cells->rows = last_row;
    return 0;
out_of_memory:
    fprintf(stderr, "%s: out of memory\n", program);
    free_sheet_cells(cells);
    return -1;
}

static const char *cell_value(const struct sheet_cells *cells, int r, int c) {
    return c < cells->columns[r] ? cells->values[r][c] : NULL;
}

/* RFC 4180: a field holding a comma, a double quote, CR or LF is quoted, its quotes doubled. */
static void put_csv_field(const char *text) {
    if (!strpbrk(text, ",\"\r\n")) {
        fputs(text, stdout);
        return;
    }
    putchar('"');
    for (const char *p = text; *p; ++p) {
        if (*p == '"') putchar('"');
        putchar(*p);
    }
    putchar('"');
}

/* Tab-separated values have no quoting: the characters that would break a field are escaped. */
static void put_tsv_field(const char *text) {
    for (const char *p = text; *p; ++p) {
        switch (*p) {
        case '\\': fputs("\\\\", stdout); break;
        case '\t': fputs("\\t", stdout); break;
        case '\r': fputs("\\r", stdout); break;
        case '\n': fputs("\\n", stdout); break;
        default: putchar(*p);
        }
    }
}

/* A JSON string; the engine hands out UTF-8, which passes through, control characters escaped. */
static void put_json_string(const char *text) {
    putchar('"');
    for (const unsigned char *p = (const unsigned char *)text; *p; ++p) {
        switch (*p) {
        case '"': fputs("\\\"", stdout); break;
        case '\\': fputs("\\\\", stdout); break;
        case '\n': fputs("\\n", stdout); break;
        case '\r': fputs("\\r", stdout); break;
        case '\t': fputs("\\t", stdout); break;
        default:
            if (*p < 0x20) printf("\\u%04x", *p);
            else putchar(*p);
        }
    }
    putchar('"');
}

static void print_delimited(const struct sheet_cells *cells, enum output_format format) {
    for (int r = 0; r < cells->rows; ++r) {
        for (int c = 0; c < cells->width; ++c) {
            if (c > 0) putchar(format == FORMAT_CSV ? ',' : '\t');
            const char *value = cell_value(cells, r, c);
            if (!value) continue;
            if (format == FORMAT_CSV) put_csv_field(value);
            else put_tsv_field(value);
        }
        putchar('\n');
    }
}

static void print_json_cell(const char *value, const char *kind) {
    if (!value) {
        fputs("null", stdout);
        return;
    }
    fputs("{\"value\":", stdout);
    put_json_string(value);
    /* The engine names a formula cell's kind "FORMULA:<formula>"; JSON gets the two apart. */
    if (!strncmp(kind, "FORMULA:", 8)) {
        fputs(",\"kind\":\"FORMULA\",\"formula\":", stdout);
        put_json_string(kind + 8);
    } else {
        fputs(",\"kind\":", stdout);
        put_json_string(kind);
    }
    putchar('}');
}

static void print_json_sheet(const char *name, const struct sheet_cells *cells, int first) {
    fputs(first ? "\n  {\"name\":" : ",\n  {\"name\":", stdout);
    put_json_string(name);
    fputs(",\"rows\":[", stdout);
    for (int r = 0; r < cells->rows; ++r) {
        fputs(r ? ",\n    [" : "\n    [", stdout);
        int used = cells->columns[r];
        while (used > 0 && !cells->values[r][used - 1]) --used;
        for (int c = 0; c < used; ++c) {
            if (c) putchar(',');
            print_json_cell(cells->values[r][c], cells->kinds[r][c]);
        }
        putchar(']');
    }
    fputs(cells->rows ? "\n  ]}" : "]}", stdout);
}

/* The exit status once the output is written: a full disk or closed pipe is an error too. */
static int finish_output(void) {
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "%s: writing the output failed: %s\n", program, strerror(errno));
        return 1;
    }
    return 0;
}

static int cat(const struct cat_args *args) {
    XLS_BOOK *book = open_for_reading(args->book, "READ");
    if (!book) return 1;
    char name[1024];
    int count = TXLS_sheet_num(book), only = -1;
    if (args->sheet) {
        for (int i = 0; i < count && only < 0; ++i)
            if (TXLS_sheet_name(book, i, name, (int)sizeof name) == 0 && !strcmp(name, args->sheet)) only = i;
        if (only < 0) {
            fprintf(stderr, "%s: %s has no sheet named '%s'; its sheets:", program, args->book, args->sheet);
            for (int i = 0; i < count; ++i)
                if (TXLS_sheet_name(book, i, name, (int)sizeof name) == 0) fprintf(stderr, " '%s'", name);
            fputc('\n', stderr);
            close_reading(book);
            return 1;
        }
    }
    char *value = malloc(CELL_TEXT_SIZE), *kind = malloc(CELL_TEXT_SIZE);
    if (!value || !kind) {
        fprintf(stderr, "%s: out of memory\n", program);
        free(value);
        free(kind);
        close_reading(book);
        return 1;
    }
    int status = 0, printed = 0;
    const int several = only < 0 && count > 1;
    if (args->format == FORMAT_JSON) fputs("{\"sheets\":[", stdout);
    for (int i = only < 0 ? 0 : only; i < (only < 0 ? count : only + 1); ++i) {
        int rc = TXLS_sheet_name(book, i, name, (int)sizeof name);
        if (rc == 0) rc = TXLS_open_sheet2(book, i);
        if (rc != 0) {
            print_engine_error(book, "selecting a sheet", rc);
            status = 1;
            break;
        }
        struct sheet_cells cells;
        if (read_sheet_cells(book, args->rendered, &cells, value, kind) != 0) {
            status = 1;
            break;
        }
        if (args->format == FORMAT_JSON) {
            print_json_sheet(name, &cells, printed == 0);
        } else {
            if (several) printf("%s# Sheet: %s\n", printed ? "\n" : "", name);
            print_delimited(&cells, args->format);
        }
        ++printed;
        free_sheet_cells(&cells);
    }
    if (args->format == FORMAT_JSON && status == 0) fputs(printed ? "\n]}\n" : "]}\n", stdout);
    free(value);
    free(kind);
    close_reading(book);
    int written = finish_output();
    return status ? status : written;
}

static int list_sheets(const char *path) {
    /* LIST reads the sheet names only, not the cells. */
    XLS_BOOK *book = open_for_reading(path, "LIST");
    if (!book) return 1;
    char name[1024];
    int status = 0, count = TXLS_sheet_num(book);
    for (int i = 0; i < count; ++i) {
        int rc = TXLS_sheet_name(book, i, name, (int)sizeof name);
        if (rc != 0) {
            print_engine_error(book, "reading the sheet names", rc);
            status = 1;
            break;
        }
        puts(name);
    }
    close_reading(book);
    int written = finish_output();
    return status ? status : written;
}

static const char *messages_option(const char *name) {
    if (!strcasecmp(name, "ja")) return "JA";
    if (!strcasecmp(name, "en")) return "EN";
    return NULL;
}

static const char *charset_option(const char *name) {
    if (!strcasecmp(name, "sjis") || !strcasecmp(name, "shift-jis") || !strcasecmp(name, "shift_jis")) return "SJIS";
    if (!strcasecmp(name, "euc") || !strcasecmp(name, "euc-jp")) return "EUC";
    if (!strcasecmp(name, "utf8") || !strcasecmp(name, "utf-8")) return "UTF8";
    return NULL;
}

/* One option of a command: with `needs` it takes a value, kept as given for the command to check
 * ("--opt VALUE" or "--opt=VALUE"; given twice is refused unless `repeatable`), without it it is a
 * flag that takes none. */
struct command_option {
    const char *short_name, *long_name;
    const char *needs;  /* what the value is, for "option X needs ..." */
    const char **value;
    int *flag;
    int repeatable;
};

/* Walks the arguments after the command: the command's own options, -m/--messages and -h/--help
 * for every command, and its one operand (`noun`: "workbook", "statement file"). Returns -1 when
 * the command goes on, else the exit status to end with. */
static int scan_arguments(int argc, char **argv, const struct command_option *options, const char *noun,
                          const char **operand) {
    char text[160];
    int options_done = 0;
    for (int i = 2; i < argc; ++i) {
        const char *arg = argv[i];
        if (options_done || arg[0] != '-' || arg[1] == '\0') {
            snprintf(text, sizeof text, "unexpected argument '%%s' (one %s only)", noun);
            if (*operand) return usage_error(text, arg);
            *operand = arg;
            continue;
        }
        if (!strcmp(arg, "--")) {
            options_done = 1;
            continue;
        }
        const char *eq = !strncmp(arg, "--", 2) ? strchr(arg, '=') : NULL;
        size_t name_len = eq ? (size_t)(eq - arg) : strlen(arg);
#define IS(opt) ((opt) && strlen(opt) == name_len && !strncmp(arg, opt, name_len))
        if (IS("-h") || IS("--help")) {
            full_help();
            return 0;
        }
        const char *value = eq ? eq + 1 : i + 1 < argc ? argv[i + 1] : NULL;
        if (IS("-m") || IS("--messages")) {
            if (!value || !(messages_language = messages_option(value))) return usage_error("option %s needs ja or en", arg);
            i += !eq;
            continue;
        }
        const struct command_option *o = options;
        while (o->long_name && !IS(o->short_name) && !IS(o->long_name)) ++o;
#undef IS
        if (!o->long_name) return usage_error("unknown option '%s'", arg);
        if (!o->needs) {
            if (eq) return usage_error("option %s takes no value", arg);
            *o->flag = 1;
            continue;
        }
        if (*o->value && !o->repeatable) return usage_error("%s given twice", arg);
        snprintf(text, sizeof text, "option %%s needs %s", o->needs);
        if (!value || !*value) return usage_error(text, arg);
        *o->value = value;
        i += !eq;
    }
    snprintf(text, sizeof text, "%s needs a %s%%s", argv[1], noun);
    return *operand && **operand ? -1 : usage_error(text, NULL);
}

static int run_command(int argc, char **argv) {
    struct run_args args = {NULL, NULL, NULL, "UTF8"};
    const char *charset = NULL;
    const struct command_option options[] = {
        {"-o", "--output", "a file name", &args.output, NULL, 0},
        {"-t", "--template", "a file name", &args.template_path, NULL, 0},
        {"-c", "--charset", "sjis, euc or utf8", &charset, NULL, 1},
        {NULL, NULL, NULL, NULL, NULL, 0},
    };
    int rc = scan_arguments(argc, argv, options, "statement file", &args.statements);
    if (rc >= 0) return rc;
    if (charset && !(args.charset = charset_option(charset)))
        return usage_error("unknown character set '%s' (use sjis, euc or utf8)", charset);
    return run(&args);
}

static int cat_command(int argc, char **argv) {
    struct cat_args args = {NULL, NULL, 0, FORMAT_CSV};
    const char *format = NULL;
    const struct command_option options[] = {
        {"-s", "--sheet", "a sheet name", &args.sheet, NULL, 0},
        {"-r", "--rendered", NULL, NULL, &args.rendered, 0},
        {"-f", "--format", "csv, tsv or json", &format, NULL, 1},
        {NULL, NULL, NULL, NULL, NULL, 0},
    };
    int rc = scan_arguments(argc, argv, options, "workbook", &args.book);
    if (rc >= 0) return rc;
    if (!format || !strcasecmp(format, "csv")) args.format = FORMAT_CSV;
    else if (!strcasecmp(format, "tsv")) args.format = FORMAT_TSV;
    else if (!strcasecmp(format, "json")) args.format = FORMAT_JSON;
    else return usage_error("unknown output format '%s' (use csv, tsv or json)", format);
    return cat(&args);
}

static int sheets_command(int argc, char **argv) {
    const char *book = NULL;
    const struct command_option options[] = {{NULL, NULL, NULL, NULL, NULL, 0}};
    int rc = scan_arguments(argc, argv, options, "workbook", &book);
    return rc >= 0 ? rc : list_sheets(book);
}

/* ---- PDF: pdf ------------------------------------------------------------------------------ */

struct pdf_args {
    const char *book;
    const char *output;
    const char *converter;
    const char *timeout;
};

/* Opens the workbook and has the engine convert it: the converter, its time limit and the
 * temporary files are the engine's business (TXLS_save_pdf). */
static int save_pdf(const struct pdf_args *args) {
    char output[PATH_MAX], derived[PATH_MAX];
    if (!args->output) {
        const char *base = strrchr(args->book, '/');
        base = base ? base + 1 : args->book;
        const char *dot = strrchr(base, '.');
        snprintf(derived, sizeof derived, "%.*s.pdf", dot && dot != base ? (int)(dot - base) : (int)strlen(base), base);
    }
    if (absolute_path(args->output ? args->output : derived, output, sizeof output) != 0)
        return usage_error("output path too long: %s", args->output ? args->output : derived);
    if (!option_path_ok("output", output) || (args->converter && !option_path_ok("converter", args->converter)))
        return 1;
    XLS_BOOK *book = open_for_reading(args->book, "READ");
    if (!book) return 1;
    char options[2 * PATH_MAX + 64];
    int at = snprintf(options, sizeof options, "FILE=\"%s\"", output);
    if (args->converter) at += snprintf(options + at, sizeof options - (size_t)at, " SOFFICE=\"%s\"", args->converter);
    if (args->timeout) snprintf(options + at, sizeof options - (size_t)at, " TIMEOUT=\"%s\"", args->timeout);
    make_parent_folders(output);
    int rc = TXLS_save_pdf(book, options);
    if (rc != 0) print_engine_error(book, "writing the PDF", rc);
    else printf("saved %s\n", output);
    close_reading(book);
    return rc == 0 ? 0 : 1;
}

static int pdf_command(int argc, char **argv) {
    struct pdf_args args = {NULL, NULL, NULL, NULL};
    const struct command_option options[] = {
        {"-o", "--output", "a file name", &args.output, NULL, 0},
        {NULL, "--soffice", "the converter's path", &args.converter, NULL, 1},
        {NULL, "--timeout", "a number of seconds", &args.timeout, NULL, 1},
        {NULL, NULL, NULL, NULL, NULL, 0},
    };
    int rc = scan_arguments(argc, argv, options, "workbook", &args.book);
    return rc >= 0 ? rc : save_pdf(&args);
}

/* ---- The HTML view: html ------------------------------------------------------------------ */

/* The default page: the workbook's base name with .html instead of its extension. */
static void html_output_name(const char *book, char *out, size_t size) {
    const char *base = strrchr(book, '/');
    base = base ? base + 1 : book;
    const char *dot = strrchr(base, '.');
    int stem = dot && dot != base ? (int)(dot - base) : (int)strlen(base);
    snprintf(out, size, "%.*s.html", stem, base);
}

static int html_view(const char *book_path, const char *sheet, const char *output) {
    char derived[PATH_MAX], absolute[PATH_MAX], options[2 * PATH_MAX + 64];
    if (!output) html_output_name(book_path, derived, sizeof derived);
    if (absolute_path(output ? output : derived, absolute, sizeof absolute) != 0)
        return usage_error("output path too long: %s", output ? output : derived);
    if (!option_path_ok("output", absolute)) return 1;
    if (sheet && strchr(sheet, '"')) {
        fprintf(stderr, "%s: a sheet name with a double quote cannot be chosen: %s\n", program, sheet);
        return 1;
    }
    XLS_BOOK *book = open_for_reading(book_path, "READ");
    if (!book) return 1;
    snprintf(options, sizeof options, "FILE=\"%s\"%s%s%s", absolute, sheet ? " SHEET=\"" : "", sheet ? sheet : "",
             sheet ? "\"" : "");
    make_parent_folders(absolute);
    int rc = TXLS_save_html(book, options);
    if (rc != 0) print_engine_error(book, "writing the HTML page", rc);
    else printf("saved %s\n", absolute);
    close_reading(book);
    return rc != 0 ? 1 : finish_output();
}

static int html_command(int argc, char **argv) {
    const char *book = NULL, *sheet = NULL, *output = NULL;
    const struct command_option options[] = {
        {"-s", "--sheet", "a sheet name", &sheet, NULL, 0},
        {"-o", "--output", "a file name", &output, NULL, 0},
        {NULL, NULL, NULL, NULL, NULL, 0},
    };
    int rc = scan_arguments(argc, argv, options, "workbook", &book);
    return rc >= 0 ? rc : html_view(book, sheet, output);
}

int main(int argc, char **argv) {
    if (argc < 2) return usage_error("missing command%s", NULL);
    const char *command = argv[1];
    if (!strcmp(command, "run")) return run_command(argc, argv);
    if (!strcmp(command, "cat")) return cat_command(argc, argv);
    if (!strcmp(command, "sheets")) return sheets_command(argc, argv);
    if (!strcmp(command, "pdf")) return pdf_command(argc, argv);
    if (!strcmp(command, "html")) return html_command(argc, argv);
    if (!strcmp(command, "help")) {
        if (argc > 2) return usage_error("help takes no arguments (got '%s')", argv[2]);
        return print_help_utf8();
    }
    if (!strcmp(command, "--help") || !strcmp(command, "-h")) {
        full_help();
        return 0;
    }
    if (!strcmp(command, "--version") || !strcmp(command, "-V") || !strcmp(command, "version")) return print_version();
    return usage_error("unknown command '%s'", command);
}
