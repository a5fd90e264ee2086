// The save-time walk over all formula cells and the calculation id of a template's workbook
// part.

#include "formula/recalc.h"

#include <algorithm>
#include <new>

#include "formula/evaluator.h"

namespace tabsmith {

namespace {

// Evaluates every uncomputed formula cell in sheet, row and column order; `failed` gets each
// evaluation that did not succeed and says whether the walk goes on. 0, or kNoMemory.
template <typename Failed>
int evaluate_formulas(Book &book, Failed failed) {
    try {
        FormulaEvaluator evaluator(book);
        for (int s = 0; s < book.sheet_count(); ++s) {
            Sheet &sheet = *book.sheets[static_cast<std::size_t>(s)];
            const int rows = std::min(sheet.rows_used, static_cast<int>(sheet.rows.size()));
            for (int r = 0; r < rows; ++r) {
                const Row &row = sheet.rows[static_cast<std::size_t>(r)];
                const int columns = std::min(static_cast<int>(row.used), static_cast<int>(row.cells.size()));
                for (int c = 0; c < columns; ++c) {
                    const Cell &cell = row.cells[static_cast<std::size_t>(c)];
                    if (cell.kind != kCellFormula || !cell.formula() || cell.formula()->empty()) continue;
                    if (int rc = evaluator.evaluate(s, r, c); rc != kFormulaOk && !failed(rc)) return kFail;
                }
            }
        }
    } catch (const std::bad_alloc &) {
        // The save fails and the book stays as it was, to be saved again with its setting.
        return book.err.raise(kNoMemory, Msg::k00002);
    }
    return 0;
}

}  // namespace

int recalc_book(Book &book) {
    if (!book.settings.recalc) return 0;
    return evaluate_formulas(book, [&](int rc) {
        book.settings.recalc = false;
        return rc != kFormulaError;
    });
}

int recalc_package_formulas(Book &book) {
    // A package's formula may use what this engine does not know: that is no fault of the
    // caller's, and the formula keeps its text for the reader to compute.
    return evaluate_formulas(book, [&](int) {
        book.err.clear_message();
        book.err.clear_code();
        return true;
    });
}

void update_calc_id(std::string &workbook_xml, bool recalc) {
    if (!recalc) return;
    constexpr std::string_view kKey = "calcPr calcId=\"";
    std::size_t at = workbook_xml.find(kKey);
    if (at == std::string::npos) return;
    std::size_t start = at + kKey.size();
    std::size_t close = workbook_xml.find('"', start);
    if (close == std::string::npos || close - start != 6) return;
    workbook_xml.replace(start, 6, kCalcIdRecalcText);
}

}  // namespace tabsmith
