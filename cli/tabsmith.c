/* tabsmith.c - the `tabsmith` command-line tool: runs a statement file into a workbook, prints the
 * statement-language summary and the version. A thin layer over the public C API only. */
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
/* Paths travel inside the engine's option strings, which cap a file name at 256 bytes. */
#define OPTION_PATH_MAX 256

static const char *program = "tabsmith";

static void usage_text(FILE *out) {
    fprintf(out,
            "Usage:\n"
            "  %s run STATEMENTS.txt [-o OUT.xlsx] [--template T.xlsx] [--charset sjis|euc|utf8]\n"
            "  %s help\n"
            "  %s --help | -h\n"
            "  %s --version | -V\n",
            program, program, program, program);
}

static void full_help(void) {
    usage_text(stdout);
    printf("\n"
           "Commands:\n"
           "  run STATEMENTS.txt   Create a workbook and apply every line of STATEMENTS.txt to it as a\n"
           "                       property statement (A1=100, A1.FONT.COLOR=RED, SHEET=Summary,\n"
           "                       A5.CSV=data.csv, ...); lines starting with '!' are comments. The\n"
           "                       workbook is saved and its path printed.\n"
           "  help                 Print the statement-language summary (keywords and their values).\n"
           "\n"
           "Options of run:\n"
           "  -o, --output OUT.xlsx     Where to save the workbook. Default: the statement file's name\n"
           "                            with the extension .xlsx, in the current directory.\n"
           "  -t, --template T.xlsx     Start from this workbook instead of an empty one. Statements are\n"
           "                            then limited to those a template accepts (SHEET=, BOOK=,\n"
           "                            TEMPLATE=, SHEET.SCROLL_ROW=, row HEIGHT, CSV/TSV and cell values).\n"
           "  -c, --charset CHARSET     Character set of the statement file and of the book: sjis\n"
           "                            (Shift-JIS), euc (EUC-JP) or utf8 (the default). A file that\n"
           "                            starts with a UTF-8 byte order mark is read as UTF-8 anyway.\n"
           "\n"
           "Relative paths inside the statement file (CSV/TSV files, pictures) are taken from the\n"
           "statement file's folder. CSV/TSV files pasted by a statement are read in the book's\n"
           "character set (--charset) unless they start with a byte order mark.\n"
           "\n"
           "Errors name the statement file and the line of the failing statement, as compilers do\n"
           "(report.txt:12: TXLS-02200 ...).\n"
           "\n"
           "Exit status: 0 on success, 1 when the engine reports an error (the TXLS- message is\n"
           "printed on standard error), 2 for a usage error.\n");
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
    if (!option_path_ok("statement file", statements) || !option_path_ok("output", output) ||
        (args->template_path && !option_path_ok("template", template_path)))
        return 1;

    char options[3 * PATH_MAX];
    if (args->template_path)
        snprintf(options, sizeof options, "MODE=CREATE BOOK=\"%s\" TEMPLATE=\"%s\" CHARSET=%s", output, template_path,
                 args->charset);
    else
        snprintf(options, sizeof options, "MODE=CREATE BOOK=\"%s\" CHARSET=%s", output, args->charset);

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
    snprintf(options, sizeof options, "FILE=\"%s\" CHARSET=%s", statements, args->charset);
    rc = TXLS_read_file(book, options);
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
    printf("saved %s\n", output);
    return 0;
}

static const char *charset_option(const char *name) {
    if (!strcasecmp(name, "sjis") || !strcasecmp(name, "shift-jis") || !strcasecmp(name, "shift_jis")) return "SJIS";
    if (!strcasecmp(name, "euc") || !strcasecmp(name, "euc-jp")) return "EUC";
    if (!strcasecmp(name, "utf8") || !strcasecmp(name, "utf-8")) return "UTF8";
    return NULL;
}

/* The value of an option given as "--opt VALUE" or "--opt=VALUE"; NULL (after a usage message)
 * when it is missing. */
static const char *option_value(int argc, char **argv, int *i, const char *arg, const char *eq) {
    if (eq) return eq + 1;
    if (*i + 1 >= argc) return NULL;
    (void)arg;
    return argv[++*i];
}

static int run_command(int argc, char **argv) {
    struct run_args args = {NULL, NULL, NULL, "UTF8"};
    int i, options_done = 0;
    for (i = 2; i < argc; ++i) {
        const char *arg = argv[i];
        if (!options_done && arg[0] == '-' && arg[1] != '\0') {
            if (!strcmp(arg, "--")) {
                options_done = 1;
                continue;
            }
            const char *eq = !strncmp(arg, "--", 2) ? strchr(arg, '=') : NULL;
            size_t name_len = eq ? (size_t)(eq - arg) : strlen(arg);
#define IS(opt) (strlen(opt) == name_len && !strncmp(arg, opt, name_len))
            if (IS("-o") || IS("--output")) {
                if (args.output) return usage_error("%s given twice", arg);
                if (!(args.output = option_value(argc, argv, &i, arg, eq)) || !*args.output)
                    return usage_error("option %s needs a file name", arg);
            } else if (IS("-t") || IS("--template")) {
                if (args.template_path) return usage_error("%s given twice", arg);
                if (!(args.template_path = option_value(argc, argv, &i, arg, eq)) || !*args.template_path)
                    return usage_error("option %s needs a file name", arg);
            } else if (IS("-c") || IS("--charset")) {
                const char *name = option_value(argc, argv, &i, arg, eq);
                if (!name) return usage_error("option %s needs sjis, euc or utf8", arg);
                if (!(args.charset = charset_option(name)))
                    return usage_error("unknown character set '%s' (use sjis, euc or utf8)", name);
            } else if (IS("-h") || IS("--help")) {
                full_help();
                return 0;
            } else {
                return usage_error("unknown option '%s'", arg);
            }
#undef IS
        } else if (!args.statements) {
            args.statements = arg;
        } else {
            return usage_error("unexpected argument '%s' (one statement file only)", arg);
        }
    }
    if (!args.statements || !*args.statements) return usage_error("run needs a statement file%s", NULL);
    return run(&args);
}

int main(int argc, char **argv) {
    if (argc < 2) return usage_error("missing command%s", NULL);
    const char *command = argv[1];
    if (!strcmp(command, "run")) return run_command(argc, argv);
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
