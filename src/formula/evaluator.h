// Computing formula cells: tokens from the shared scanner, postfix order, the ten functions,
// cell values of every kind, and dependencies computed on demand on an explicit frame stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "model/book.h"
#include "formula/decimal.h"

namespace tabsmith {

constexpr std::size_t kMaxFormulaBytes = 6000;
// The token list, the operator stack, the postfix list and the evaluation stack each hold this many.
constexpr std::size_t kMaxFormulaEntries = 100;
constexpr std::size_t kMaxFunctionNames = 100;
constexpr std::size_t kMaxFunctionNameBytes = 30;
constexpr std::size_t kMaxArgumentBytes = 255;
constexpr std::size_t kMaxFormulaMessageBytes = 5999;

// Results of computing one cell.
constexpr int kFormulaOk = 0;
constexpr int kFormulaError = -1;        // the book's message is set: the save stops
constexpr int kFormulaNotNumeric = -3;   // a referenced value is no number
constexpr int kFormulaUnsupported = -4;  // not computable here: the file is recalculated on opening
constexpr int kFormulaTooLong = 1403;

enum FunctionId : int {
    kFunctionRow = 1001,
    kFunctionSum = 1011,
    kFunctionAverage = 1012,
    kFunctionRound = 1013,
    kFunctionRoundUp = 1014,
    kFunctionRoundDown = 1015,
    kFunctionTrunc = 1016,
    kFunctionMin = 1017,
    kFunctionMax = 1018,
    kFunctionCount = 1020,
};

// Computes formula cells of one book during one save. A cell is computed once: its value is
// stored on it (kind 51), and a cell that cannot be computed is remembered as such.
class FormulaEvaluator {
public:
    explicit FormulaEvaluator(Book &book) : book_(book) {}

    // Computes the formula cell at the position (and every formula it depends on). A cell that
    // holds no uncomputed formula gives kFormulaOk without change. Other results as above.
    int evaluate(int sheet, int row, int column);

    enum class State : std::uint8_t { kRunning = 1, kFailed = 2 };

private:
    friend class FormulaRun;
    Book &book_;
    std::unordered_map<std::uint64_t, State> states_;
};

// Computes one cell and hands back its value text.
int evaluate_cell(Book &book, int sheet, int row, int column, std::string &result);

}  // namespace tabsmith
