// Formula cells: compiling a formula text to postfix code and running it on an explicit stack
// of frames, so that long dependency chains never deepen the C stack.

#include "formula/evaluator.h"

#include "format/serial.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <set>
#include <vector>

#include "model/address.h"
#include "support/charset.h"
#include "support/scanner.h"

namespace tabsmith {
namespace {

enum class Code : std::uint8_t { kLiteral, kReference, kNegate, kAdd, kSubtract, kMultiply, kDivide, kCall };

struct Instruction {
    Code code;
    int index = 0;       // literal or reference index
    int function = 0;
    int argc = 0;
};

struct Reference {
    int sheet = 0;
    int row1 = 0, column1 = 0, row2 = 0, column2 = 0;
    bool range = false;
    std::string text;
};

struct Program {
    std::vector<Instruction> code;
    std::vector<FormulaValue> literals;
    std::vector<Reference> references;
};

constexpr int kAnyCount = -1;   // max_args of a function that takes any number of arguments

struct FunctionInfo {
    std::string_view name;
    int id;
    int min_args, max_args;
};

// TRUNC also takes the digits its siblings take, as spreadsheet programs accept it.
constexpr FunctionInfo kFunctions[] = {
    {"ROW", kFunctionRow, 0, 1},          {"SUM", kFunctionSum, 0, kAnyCount},
    {"AVERAGE", kFunctionAverage, 0, kAnyCount}, {"ROUND", kFunctionRound, 2, 2},
    {"ROUNDUP", kFunctionRoundUp, 2, 2},  {"ROUNDDOWN", kFunctionRoundDown, 2, 2},
    {"TRUNC", kFunctionTrunc, 1, 2},      {"MIN", kFunctionMin, 0, kAnyCount},
    {"MAX", kFunctionMax, 0, kAnyCount},         {"COUNT", kFunctionCount, 0, kAnyCount},
};

const FunctionInfo *find_function(std::string_view upper) {
    for (const auto &info : kFunctions)
        if (info.name == upper) return &info;
    return nullptr;
}

bool is_operator_token(std::string_view token) {
    return token.size() == 1 && std::string_view("=%()*+,-/^").find(token[0]) != std::string_view::npos;
}

bool equals_ascii_ignore_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

int sheet_by_name(const Book &book, std::string_view name) {
    int exact = find_sheet(book, name);
    if (exact != kIndexNotFound) return exact;
    for (int i = 0; i < book.sheet_count(); ++i)
        if (equals_ascii_ignore_case(book.sheets[static_cast<std::size_t>(i)]->name, name)) return i;
    return kIndexNotFound;
}

// "A1", "$B$2", "A1:C3", "Name!A1", "'Sheet Name'!A1:B3" (the quotes already unfolded by the
// scanner). False for anything else, a sheet that does not exist included.
bool parse_reference(const Book &book, int current_sheet, std::string_view text, Reference &ref) {
    if (text.empty() || text.size() > kMaxArgumentBytes || text.find('*') != std::string_view::npos) return false;
    ref.text.assign(text);
    ref.sheet = current_sheet;
    std::string_view rest = text;
    if (text.front() == '\'') {
        std::size_t close = text.rfind("'!");
        if (close == std::string_view::npos || close == 0) return false;
        ref.sheet = sheet_by_name(book, text.substr(1, close - 1));
        rest = text.substr(close + 2);
    } else if (std::size_t bang = text.find('!'); bang != std::string_view::npos) {
        ref.sheet = sheet_by_name(book, text.substr(0, bang));
        rest = text.substr(bang + 1);
    }
    if (ref.sheet < 0) return false;
    std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos) {
        ref.range = false;
        if (parse_cell_name(rest, ref.row1, ref.column1) != 0) return false;
        ref.row2 = ref.row1;
        ref.column2 = ref.column1;
        return true;
    }
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    if (parse_cell_name(rest.substr(0, colon), r1, c1) != 0 || parse_cell_name(rest.substr(colon + 1), r2, c2) != 0)
        return false;
    ref.range = true;
    ref.row1 = std::min(r1, r2);
    ref.row2 = std::max(r1, r2);
    ref.column1 = std::min(c1, c2);
    ref.column2 = std::max(c1, c2);
    return true;
}

// Operator-stack entries of the compiler.
enum class Pending : std::uint8_t { kParen, kFunctionParen, kNegate, kAdd, kSubtract, kMultiply, kDivide };

int precedence(Pending p) {
    switch (p) {
    case Pending::kNegate: return 3;
    case Pending::kMultiply:
    case Pending::kDivide: return 2;
    case Pending::kAdd:
    case Pending::kSubtract: return 1;
    default: return 0;
    }
}

Code code_of(Pending p) {
    switch (p) {
    case Pending::kNegate: return Code::kNegate;
    case Pending::kAdd: return Code::kAdd;
    case Pending::kSubtract: return Code::kSubtract;
    case Pending::kMultiply: return Code::kMultiply;
    default: return Code::kDivide;
    }
}

struct OpenCall {
    const FunctionInfo *function = nullptr;   // nullptr: a plain group
    int argc = 0;
};

std::string message_text(std::string_view formula) {
    return std::string(formula.substr(0, fit_prefix(kUtf8, formula, kMaxFormulaMessageBytes)));
}

// The formula's tokens; a quoted sheet name joins the "!A1" that follows it.
int split_tokens(std::string_view formula, std::vector<std::string> &tokens) {
    std::string token;
    std::size_t pos = 0;
    for (;;) {
        int rc = scan_token(ScanMode::kFormula, kUtf8, formula, pos, token);
        if (rc == kScanNoMore) return kFormulaOk;
        if (rc != 0) return kFormulaUnsupported;
        if (!token.empty() && token.front() == '!' && !tokens.empty() && tokens.back().front() == '\'')
            tokens.back() += token;
        else
            tokens.push_back(token);
    }
}

// Refuses what has no chance before any code is built: the operators this engine refuses
// outright, functions it cannot compute, unbalanced parentheses and too many tokens. Function
// names are upper-cased in place and marked in `is_function`.
int check_tokens(Book &book, std::string_view formula, std::vector<std::string> &tokens,
                 std::vector<char> &is_function) {
    int depth = 0;
    bool balanced = true;
    std::set<std::string> names;
    is_function.assign(tokens.size(), 0);
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string &t = tokens[i];
        if (t == "^" || t == "%") return book.err.raise(kFormulaError, Msg::k02201, t.c_str());
        if (t == "(") ++depth;
        if (t == ")" && --depth < 0) balanced = false;
        if (!is_operator_token(t) && t.front() != '"' && t.front() != '\'' && i + 1 < tokens.size() &&
            tokens[i + 1] == "(") {
            if (t.size() > kMaxFunctionNameBytes) return kFormulaUnsupported;
            std::string upper = upper_ascii(t);
            names.insert(upper);
            if (names.size() > kMaxFunctionNames) return kFormulaUnsupported;
            tokens[i] = std::move(upper);
            is_function[i] = 1;
        }
    }
    // Functions this engine cannot compute end here, before the balance check.
    for (std::size_t i = 0; i < tokens.size(); ++i)
        if (is_function[i] && !find_function(tokens[i])) return kFormulaUnsupported;
    if (!balanced || depth != 0) return book.err.raise(kFormulaError, Msg::k02304, message_text(formula).c_str());

    std::size_t records = 0;
    for (const auto &t : tokens) records += t == "," ? 0 : 1;
    return records > kMaxFormulaEntries ? kFormulaUnsupported : kFormulaOk;
}

// Shunting-yard over checked tokens, one token at a time; `expect_operand_` rejects the shapes
// that have no postfix form.
class PostfixBuilder {
public:
    PostfixBuilder(Book &book, int sheet, Program &program) : book_(book), sheet_(sheet), program_(program) {}

    // A function name; its "(" is taken with it.
    int open_function(const FunctionInfo *function) {
        if (!expect_operand_) return kFormulaUnsupported;
        calls_.push_back({function, 0});
        ++postfix_;   // the function-start marker's place
        return push_op(Pending::kFunctionParen) ? kFormulaOk : kFormulaUnsupported;
    }

    int add(const std::string &t) {
        if (t == "(") return open_group();
        if (t == ")") return close_group();
        if (t == ",") return next_argument();
        if (t == "+" || t == "-" || t == "*" || t == "/") return add_operator(t);
        if (is_operator_token(t)) return kFormulaUnsupported;   // "=" and anything else left over
        return add_operand(t);
    }

    int finish() {
        if (expect_operand_) return kFormulaUnsupported;
        while (!ops_.empty()) pop_op();
        return postfix_ > kMaxFormulaEntries ? kFormulaUnsupported : kFormulaOk;
    }

private:
    int open_group() {
        if (!expect_operand_) return kFormulaUnsupported;
        calls_.push_back({nullptr, 0});
        return push_op(Pending::kParen) ? kFormulaOk : kFormulaUnsupported;
    }

    int close_group() {
        if (calls_.empty() || ops_.empty()) return kFormulaUnsupported;
        OpenCall call = calls_.back();
        bool empty_call = call.function && call.argc == 0 && expect_operand_ && ops_.back() == Pending::kFunctionParen;
        if (expect_operand_ && !empty_call) return kFormulaUnsupported;
        unwind_to_paren();
        ops_.pop_back();
        calls_.pop_back();
        if (call.function) {
            int argc = call.argc + (empty_call ? 0 : 1);
            if (argc < call.function->min_args)
                return book_.err.raise(kFormulaError, Msg::k03201, std::string(call.function->name).c_str());
            if (call.function->max_args != kAnyCount && argc > call.function->max_args)
                return book_.err.raise(kFormulaError, Msg::k03202, std::string(call.function->name).c_str());
            emit({Code::kCall, 0, call.function->id, argc});
        }
        expect_operand_ = false;
        return kFormulaOk;
    }

    int next_argument() {
        if (expect_operand_ || calls_.empty() || !calls_.back().function) return kFormulaUnsupported;
        unwind_to_paren();
        ++calls_.back().argc;
        expect_operand_ = true;
        return kFormulaOk;
    }

    int add_operator(const std::string &t) {
        if (expect_operand_ && (t == "+" || t == "-")) {   // a sign: "+" changes nothing
            if (t == "-" && !push_op(Pending::kNegate)) return kFormulaUnsupported;
            return kFormulaOk;
        }
        if (expect_operand_) return kFormulaUnsupported;
        Pending p = t == "+"   ? Pending::kAdd
                    : t == "-" ? Pending::kSubtract
                    : t == "*" ? Pending::kMultiply
                               : Pending::kDivide;
        while (!ops_.empty() && precedence(ops_.back()) >= precedence(p)) pop_op();
        if (!push_op(p)) return kFormulaUnsupported;
        expect_operand_ = true;
        return kFormulaOk;
    }

    // A quoted text, a number or a reference.
    int add_operand(const std::string &t) {
        if (!expect_operand_) return kFormulaUnsupported;
        if (t.front() == '"') {
            if (t.size() < 2 || t.back() != '"') return kFormulaUnsupported;
            FormulaValue literal;
            if (literal.set_text(std::string_view(t).substr(1, t.size() - 2)) != 0) return kFormulaUnsupported;
            program_.literals.push_back(std::move(literal));
            emit({Code::kLiteral, static_cast<int>(program_.literals.size() - 1)});
        } else if (is_number_literal(t)) {
            FormulaValue literal;
            if (literal.parse_number(t) != 0) literal.set_text(t);
            program_.literals.push_back(std::move(literal));
            emit({Code::kLiteral, static_cast<int>(program_.literals.size() - 1)});
        } else {
            Reference ref;
            if (!parse_reference(book_, sheet_, t, ref)) return kFormulaUnsupported;
            program_.references.push_back(std::move(ref));
            emit({Code::kReference, static_cast<int>(program_.references.size() - 1)});
        }
        expect_operand_ = false;
        return kFormulaOk;
    }

    void emit(Instruction instruction) {
        program_.code.push_back(instruction);
        ++postfix_;
    }
    bool push_op(Pending p) {
        if (ops_.size() >= kMaxFormulaEntries) return false;
        ops_.push_back(p);
        return true;
    }
    void pop_op() {
        emit({code_of(ops_.back())});
        ops_.pop_back();
    }
    void unwind_to_paren() {
        while (!ops_.empty() && ops_.back() != Pending::kParen && ops_.back() != Pending::kFunctionParen) pop_op();
    }

    Book &book_;
    int sheet_;
    Program &program_;
    std::vector<Pending> ops_;
    std::vector<OpenCall> calls_;
    std::size_t postfix_ = 0;
    bool expect_operand_ = true;
};

int compile(Book &book, int sheet, std::string_view formula, Program &program) {
    if (formula.size() > kMaxFormulaBytes) return kFormulaTooLong;
    std::vector<std::string> tokens;
    if (int rc = split_tokens(formula, tokens); rc != kFormulaOk) return rc;
    std::vector<char> is_function;
    if (int rc = check_tokens(book, formula, tokens, is_function); rc != kFormulaOk) return rc;

    PostfixBuilder builder(book, sheet, program);
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        int rc = is_function[i] ? builder.open_function(find_function(tokens[i])) : builder.add(tokens[i]);
        if (rc != kFormulaOk) return rc;
        if (is_function[i]) ++i;   // its "("
    }
    return builder.finish();
}

std::uint64_t cell_key(int sheet, int row, int column) {
    return (static_cast<std::uint64_t>(sheet) << 40) | (static_cast<std::uint64_t>(row) << 16) |
           static_cast<std::uint64_t>(column);
}

// A text result the worksheet part could not tell from a number or an error value.
bool text_result_ambiguous(const FormulaValue &value) {
    const std::string &t = value.text;
    if (t.empty() || t.front() == '#') return true;
    bool digit = false;
    for (char c : t) {
        if (c >= '0' && c <= '9') digit = true;
        else if (c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E') return false;
    }
    return digit;
}

// The value of a date-like cell: its serial day number and fraction of a day.
int serial_value(const Cell &cell, FormulaValue &out) {
    std::string text = std::to_string(cell.integer());
    std::string_view fraction = cell.text();
    if (fraction.size() > 1 && fraction[0] == '0' && fraction[1] == '.') fraction.remove_prefix(1);
    if (!fraction.empty() && fraction != "0") {
        if (fraction[0] == '.' && fraction.find_first_not_of("0123456789", 1) == std::string_view::npos) {
            text.append(fraction.substr(0, 17));
        } else {
            double part = std::strtod(cell.text().c_str(), nullptr);
            FormulaValue serial, day, sum;
            if (number_from_integer(cell.integer(), day) != 0 || number_from_double(part, serial) != 0 ||
                arithmetic(day, ArithmeticOp::kAdd, serial, sum) != 0)
                return kFormulaUnsupported;
            out = std::move(sum);
            return kFormulaOk;
        }
    }
    return out.parse_number(text) == 0 ? kFormulaOk : kFormulaUnsupported;
}

}  // namespace

// One computation: a stack of frames, the top one running and the others each waiting on the
// dependency its current instruction needs.
class FormulaRun {
public:
    explicit FormulaRun(FormulaEvaluator &owner) : book_(owner.book_), states_(owner.states_) {}

    int run(int sheet, int row, int column);

private:
    static constexpr int kValueOnly = -1;   // Operand::ref of a value that is no reference
    struct Operand {
        FormulaValue value;
        int ref = kValueOnly;
    };
    struct Frame {
        int sheet = 0, row = 0, column = 0;
        Program program;
        std::size_t pc = 0;
        std::vector<Operand> stack;
        std::size_t check_operand = 0;   // dependency check of the instruction at pc: where it stands
        std::int64_t check_cell = 0;
    };
    enum class Need { kReady, kCompute, kFailed, kCycle };

    Need need_of(int sheet, int row, int column) const;
    int push_frame(int sheet, int row, int column);
    int check_dependencies(Frame &frame, bool &suspended);
    int execute(Frame &frame);
    int finish(Frame &frame);
    int fail_all(int rc);

    int cell_value(int sheet, int row, int column, FormulaValue &out) const;
    int operand_value(const Frame &frame, const Operand &operand, FormulaValue &out) const;
    bool range_stored(const Reference &ref) const;
    int aggregate(const Frame &frame, int function, const Operand *args, int argc, FormulaValue &out) const;
    int round_family(const Frame &frame, int function, const Operand *args, int argc, FormulaValue &out) const;

    Book &book_;
    std::unordered_map<std::uint64_t, FormulaEvaluator::State> &states_;
    std::vector<Frame> frames_;
};

FormulaRun::Need FormulaRun::need_of(int sheet, int row, int column) const {
    const Cell *cell = find_cell(book_, sheet, row, column);
    if (!cell || cell->kind != kCellFormula) return Need::kReady;
    if (!cell->formula() || cell->formula()->empty()) return Need::kFailed;
    auto it = states_.find(cell_key(sheet, row, column));
    if (it == states_.end()) return Need::kCompute;
    return it->second == FormulaEvaluator::State::kRunning ? Need::kCycle : Need::kFailed;
}

int FormulaRun::push_frame(int sheet, int row, int column) {
    const Cell *cell = find_cell(book_, sheet, row, column);
    Frame frame;
    frame.sheet = sheet;
    frame.row = row;
    frame.column = column;
    int rc = compile(book_, sheet, *cell->formula(), frame.program);
    if (rc != kFormulaOk) {
        if (rc != kFormulaError) states_[cell_key(sheet, row, column)] = FormulaEvaluator::State::kFailed;
        return rc;
    }
    states_[cell_key(sheet, row, column)] = FormulaEvaluator::State::kRunning;
    frames_.push_back(std::move(frame));
    return kFormulaOk;
}

int FormulaRun::fail_all(int rc) {
    if (rc != kFormulaError)
        for (const auto &frame : frames_)
            states_[cell_key(frame.sheet, frame.row, frame.column)] = FormulaEvaluator::State::kFailed;
    frames_.clear();
    return rc;
}

bool FormulaRun::range_stored(const Reference &ref) const {
    const Sheet *sheet = book_.sheets[static_cast<std::size_t>(ref.sheet)].get();
    if (ref.row2 >= sheet->rows_used || static_cast<std::size_t>(ref.row2) >= sheet->rows.size()) return false;
    for (int r = ref.row1; r <= ref.row2; ++r)
        if (ref.column2 >= sheet->rows[static_cast<std::size_t>(r)].used) return false;
    return true;
}

// Makes sure that every cell the instruction at pc reads holds its value, pushing a frame for
// the first one that does not. The position reached is kept on the frame, so a long range of
// formulas is walked once, not once per formula in it.
int FormulaRun::check_dependencies(Frame &frame, bool &suspended) {
    suspended = false;
    std::size_t consumed = 1;
    if (frame.pc < frame.program.code.size()) {
        const Instruction &in = frame.program.code[frame.pc];
        switch (in.code) {
        case Code::kLiteral:
        case Code::kReference: return kFormulaOk;
        case Code::kNegate: consumed = 1; break;
        case Code::kCall:
            if (in.function == kFunctionRow) return kFormulaOk;   // reads positions, not values
            consumed = static_cast<std::size_t>(in.argc);
            break;
        default: consumed = 2; break;
        }
    }
    if (consumed > frame.stack.size()) return kFormulaUnsupported;
    const std::size_t base = frame.stack.size() - consumed;
    for (; frame.check_operand < consumed; ++frame.check_operand, frame.check_cell = 0) {
        const Operand &operand = frame.stack[base + frame.check_operand];
        if (operand.ref == kValueOnly) continue;
        const Reference &ref = frame.program.references[static_cast<std::size_t>(operand.ref)];
        if (ref.range && frame.check_cell == 0 && !range_stored(ref)) return kFormulaUnsupported;
        const std::int64_t width = ref.column2 - ref.column1 + 1;
        const std::int64_t count = width * (ref.row2 - ref.row1 + 1);
        for (; frame.check_cell < count; ++frame.check_cell) {
            int row = ref.row1 + static_cast<int>(frame.check_cell / width);
            int column = ref.column1 + static_cast<int>(frame.check_cell % width);
            switch (need_of(ref.sheet, row, column)) {
            case Need::kReady: continue;
            case Need::kFailed: return kFormulaUnsupported;
            case Need::kCycle: {
                std::string name = ref.text;
                if (ref.range) cell_name(row, column, name);
                return book_.err.raise(kFormulaError, Msg::k03200, name.c_str());
            }
            case Need::kCompute: {
                int rc = push_frame(ref.sheet, row, column);
                if (rc != kFormulaOk) return rc == kFormulaError ? rc : kFormulaUnsupported;
                suspended = true;
                return kFormulaOk;
            }
            }
        }
    }
    return kFormulaOk;
}

int FormulaRun::cell_value(int sheet, int row, int column, FormulaValue &out) const {
    const Cell *cell = find_cell(book_, sheet, row, column);
    if (!cell) return number_from_integer(0, out) == 0 ? kFormulaOk : kFormulaUnsupported;
    switch (cell->kind) {
    case kCellInteger:
        if (cell->text().empty()) return number_from_integer(cell->integer(), out) == 0 ? kFormulaOk : kFormulaUnsupported;
        [[fallthrough]];
    case kCellFloat:
    case kCellPercent:
        return out.parse_number(exact_number_text(*cell)) == 0 && out.is_number() ? kFormulaOk : kFormulaUnsupported;
    case kCellText:
        return out.parse_number(cell->text()) == 0 && out.is_number() ? kFormulaOk : kFormulaNotNumeric;
    case kCellDate:
    case kCellDateTime:
    case kCellTimeHm:
    case kCellTimeHms: {
        int rc = serial_value(*cell, out);
        if (rc != kFormulaOk || !book_.date1904) return rc;
        // Dates are held in the 1900 system; a 1904 workbook's formulas count in its own.
        FormulaValue offset, own;
        if (number_from_integer(kDate1904Offset, offset) != 0 || arithmetic(out, ArithmeticOp::kSubtract, offset, own) != 0)
            return kFormulaUnsupported;
        out = own;
        return kFormulaOk;
    }
    case kCellFormulaValue:
        // A cached number read from a package has no text beside it.
        if (cell->text().empty())
            return out.parse_number(shortest_number_text(cell->number())) == 0 ? kFormulaOk : kFormulaUnsupported;
        if (out.parse_number(cell->text()) != 0 || !out.is_number()) out.set_text(cell->text());
        return kFormulaOk;
    case kCellFormula: return kFormulaUnsupported;
    default: return kFormulaNotNumeric;
    }
}

int FormulaRun::operand_value(const Frame &frame, const Operand &operand, FormulaValue &out) const {
    (void)frame;
    if (operand.ref == kValueOnly) {
        out = operand.value;
        return kFormulaOk;
    }
    const Reference &ref = frame.program.references[static_cast<std::size_t>(operand.ref)];
    if (ref.range) return kFormulaUnsupported;
    return cell_value(ref.sheet, ref.row1, ref.column1, out);
}

int FormulaRun::aggregate(const Frame &frame, int function, const Operand *args, int argc, FormulaValue &out) const {
    std::int64_t exact_sum = 0;
    bool exact = true;
    double sum = 0.0;
    std::int64_t count = 0;
    FormulaValue best;
    const bool counting = function == kFunctionCount;

    auto take = [&](const FormulaValue &v) {
        ++count;
        sum += v.to_double();
        if (exact && (!v.is_whole() || __builtin_add_overflow(exact_sum, v.sign * v.whole, &exact_sum))) exact = false;
        if (best.kind != ValueKind::kNumber) best = v;
        else if (function == kFunctionMin && compare_numbers(v, best) < 0) best = v;
        else if (function == kFunctionMax && compare_numbers(v, best) > 0) best = v;
    };

    FormulaValue v;
    for (int a = 0; a < argc; ++a) {
        const Operand &operand = args[a];
        if (operand.ref == kValueOnly) {
            if (!operand.value.is_number()) return kFormulaUnsupported;
            take(operand.value);
            continue;
        }
        const Reference &ref = frame.program.references[static_cast<std::size_t>(operand.ref)];
        // Blank cells hold no value: they are neither counted nor taken as zero.
        for (int r = ref.row1; r <= ref.row2; ++r) {
            for (int c = ref.column1; c <= ref.column2; ++c) {
                if (!find_cell(book_, ref.sheet, r, c)) continue;
                int rc = cell_value(ref.sheet, r, c, v);
                if (rc == kFormulaNotNumeric || (rc == kFormulaOk && !v.is_number())) {
                    if (counting) continue;
                    return kFormulaNotNumeric;
                }
                if (rc != kFormulaOk) return rc;
                take(v);
            }
        }
    }

    int rc = 0;
    switch (function) {
    case kFunctionCount: rc = number_from_integer(count, out); break;
    case kFunctionSum: rc = exact ? number_from_integer(exact_sum, out) : number_from_double(sum, out); break;
    case kFunctionAverage:
        if (count == 0) return kFormulaUnsupported;   // the spreadsheet program shows its own error
        if (exact && exact_sum % count == 0) rc = number_from_integer(exact_sum / count, out);
        else rc = number_from_double((exact ? static_cast<double>(exact_sum) : sum) / static_cast<double>(count), out);
        break;
    default:
        if (best.kind != ValueKind::kNumber) rc = number_from_integer(0, out);
        else if (best.is_whole()) out = best;
        else rc = number_from_double(best.to_double(), out);
        break;
    }
    return rc == 0 ? kFormulaOk : kFormulaUnsupported;
}

int FormulaRun::round_family(const Frame &frame, int function, const Operand *args, int argc, FormulaValue &out) const {
    FormulaValue x;
    if (int rc = operand_value(frame, args[0], x); rc != kFormulaOk) return rc;
    if (!x.is_number()) return kFormulaUnsupported;
    int digits = 0;
    if (argc > 1) {
        FormulaValue n;
        if (int rc = operand_value(frame, args[1], n); rc != kFormulaOk) return rc;
        if (!n.is_number()) return kFormulaUnsupported;
        // The digits count is the whole part of the second value.
        digits = static_cast<int>(std::min<std::int64_t>(n.whole, 1000)) * n.sign;
    }
    RoundMode mode = function == kFunctionRound ? RoundMode::kNearest
                     : function == kFunctionRoundUp ? RoundMode::kUp
                                                    : RoundMode::kDown;
    return round_number(x, digits, mode, out) == 0 ? kFormulaOk : kFormulaUnsupported;
}

int FormulaRun::execute(Frame &frame) {
    const Instruction in = frame.program.code[frame.pc];
    auto &stack = frame.stack;
    switch (in.code) {
    case Code::kLiteral:
    case Code::kReference: {
        if (stack.size() >= kMaxFormulaEntries) return kFormulaUnsupported;
        Operand operand;
        if (in.code == Code::kLiteral) operand.value = frame.program.literals[static_cast<std::size_t>(in.index)];
        else operand.ref = in.index;
        stack.push_back(std::move(operand));
        return kFormulaOk;
    }
    case Code::kNegate: {
        FormulaValue x, minus_one, result;
        if (int rc = operand_value(frame, stack.back(), x); rc != kFormulaOk) return rc;
        number_from_integer(-1, minus_one);
        if (arithmetic(x, ArithmeticOp::kMultiply, minus_one, result) != 0) return kFormulaUnsupported;
        stack.back() = Operand{std::move(result), kValueOnly};
        return kFormulaOk;
    }
    case Code::kCall: {
        const Operand *args = stack.data() + (stack.size() - static_cast<std::size_t>(in.argc));
        FormulaValue result;
        int rc = kFormulaOk;
        switch (in.function) {
        case kFunctionRow:
            if (in.argc == 0) {
                rc = number_from_integer(frame.row + 1, result) == 0 ? kFormulaOk : kFormulaUnsupported;
            } else if (args[0].ref == kValueOnly) {
                rc = kFormulaUnsupported;
            } else {
                const Reference &ref = frame.program.references[static_cast<std::size_t>(args[0].ref)];
                rc = number_from_integer(ref.row1 + 1, result) == 0 ? kFormulaOk : kFormulaUnsupported;
            }
            break;
        case kFunctionRound:
        case kFunctionRoundUp:
        case kFunctionRoundDown:
        case kFunctionTrunc: rc = round_family(frame, in.function, args, in.argc, result); break;
        default: rc = aggregate(frame, in.function, args, in.argc, result); break;
        }
        if (rc != kFormulaOk) return rc;
        stack.resize(stack.size() - static_cast<std::size_t>(in.argc));
        stack.push_back(Operand{std::move(result), kValueOnly});
        return kFormulaOk;
    }
    default: {
        FormulaValue left, right, result;
        if (int rc = operand_value(frame, stack[stack.size() - 2], left); rc != kFormulaOk) return rc;
        if (int rc = operand_value(frame, stack.back(), right); rc != kFormulaOk) return rc;
        ArithmeticOp op = in.code == Code::kAdd        ? ArithmeticOp::kAdd
                          : in.code == Code::kSubtract ? ArithmeticOp::kSubtract
                          : in.code == Code::kMultiply ? ArithmeticOp::kMultiply
                                                       : ArithmeticOp::kDivide;
        if (arithmetic(left, op, right, result) != 0) return kFormulaUnsupported;
        stack.pop_back();
        stack.back() = Operand{std::move(result), kValueOnly};
        return kFormulaOk;
    }
    }
}

int FormulaRun::finish(Frame &frame) {
    if (frame.stack.size() != 1) return kFormulaUnsupported;
    FormulaValue value;
    if (int rc = operand_value(frame, frame.stack.back(), value); rc != kFormulaOk) return rc;
    if (value.kind != ValueKind::kNumber && text_result_ambiguous(value)) return kFormulaUnsupported;
    Sheet &sheet = *book_.sheets[static_cast<std::size_t>(frame.sheet)];
    Cell &cell = sheet.rows[static_cast<std::size_t>(frame.row)].cells[static_cast<std::size_t>(frame.column)];
    cell.kind = kCellFormulaValue;
    cell.set_text(value.text);
    cell.set_number(value.is_number() ? value.to_double() : 0.0);
    states_.erase(cell_key(frame.sheet, frame.row, frame.column));
    return kFormulaOk;
}

int FormulaRun::run(int sheet, int row, int column) {
    switch (need_of(sheet, row, column)) {
    case Need::kReady: return kFormulaOk;
    case Need::kFailed: return kFormulaUnsupported;
    case Need::kCycle: return kFormulaUnsupported;   // not reachable from a fresh run
    case Need::kCompute: break;
    }
    if (int rc = push_frame(sheet, row, column); rc != kFormulaOk) return rc;
    while (!frames_.empty()) {
        Frame &frame = frames_.back();
        bool suspended = false;
        int rc = check_dependencies(frame, suspended);
        if (rc != kFormulaOk) return fail_all(rc);
        if (suspended) continue;   // `frame` may have moved; the loop takes the new top
        if (frame.pc == frame.program.code.size()) {
            if ((rc = finish(frame)) != kFormulaOk) return fail_all(rc);
            frames_.pop_back();
            continue;
        }
        if ((rc = execute(frame)) != kFormulaOk) return fail_all(rc);
        ++frame.pc;
        frame.check_operand = 0;
        frame.check_cell = 0;
    }
    return kFormulaOk;
}

int FormulaEvaluator::evaluate(int sheet, int row, int column) {
    FormulaRun run(*this);
    return run.run(sheet, row, column);
}

int evaluate_cell(Book &book, int sheet, int row, int column, std::string &result) {
    FormulaEvaluator evaluator(book);
    int rc = evaluator.evaluate(sheet, row, column);
    result.clear();
    if (rc == kFormulaOk) {
        const Cell *cell = find_cell(book, sheet, row, column);
        if (cell && cell->kind == kCellFormulaValue) result = cell->text();
    }
    return rc;
}

}  // namespace tabsmith
