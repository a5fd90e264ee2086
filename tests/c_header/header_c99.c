/* The public header compiles as C99 and a plain C program can probe a file type by its named
 * codes and open, use and free a book. */
#include <stdio.h>
#include <string.h>

#include "tabsmith.h"

int main(void) {
    static XLS_BOOK book;
    static const char png[16] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1A', '\n'};
    char value[64], kind[64];
    int type = TXLS_FILE_UNKNOWN;
    if (orv_file_type(9999, png, &type) != TXLS_OK || type != TXLS_FILE_PNG) return 7;
    if (orv_file_type(9999, png, NULL) != TXLS_ERR_ARGUMENT || TXLS_ERR_SEEK != -104) return 8;
    if (TXLS_open_book(&book, "MODE=CREATE BOOK=c_header") != 0) return 1;
    if (TXLS_open_sheet(&book, "SHEET_NAME=Report") != 0) return 6;
    if (TXLS_put_cell(&book, "B2", "42") != 0) return 2;
    if (TXLS_get_cell(&book, "B2", value, sizeof value, kind, sizeof kind) != 0) return 3;
    if (strcmp(value, "42") != 0 || strcmp(kind, "INTEGER") != 0) return 4;
    if (TXLS_free_book(&book) != 0) return 5;
    printf("ok\n");
    return 0;
}
