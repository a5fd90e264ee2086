// Writes a book of generated formulas over the supported grammar, saved by the engine with
// its computed values, and a manifest of each formula cell for the recalculation cross-check.
//
// Usage: make_formula_books OUTDIR [COUNT]   (writes OUTDIR/formulas.xlsx, OUTDIR/formulas.tsv)
//
// Every value is tracked in millionths: a candidate whose intermediate results need more than
// six fraction digits is drawn again, so that the engine's six-decimal arithmetic is exact for
// everything kept, except the "r" rows, which end in one division with a repeating result.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tabsmith.h"

namespace {

constexpr std::int64_t kUnit = 1000000;
constexpr std::int64_t kLimit = kUnit * 1000000000LL;   // |value| below 1e9

struct Random {
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    std::uint32_t next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state >> 33);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
};

struct Expr {
    std::string text;
    std::int64_t value = 0;
    bool ok = true;
    int level = 9;   // 1 additive, 2 multiplicative, 9 atom-like
};

std::string micro_text(std::int64_t v) {
    bool negative = v < 0;
    std::uint64_t m = negative ? static_cast<std::uint64_t>(-v) : static_cast<std::uint64_t>(v);
    std::string text = std::to_string(m / kUnit);
    std::uint64_t fraction = m % kUnit;
    if (fraction) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, ".%06llu", static_cast<unsigned long long>(fraction));
        std::string f = buffer;
        while (f.back() == '0') f.pop_back();
        text += f;
    }
    return negative ? "-" + text : text;
}

// A block of data cells: where it is, how formulas name it, and its values.
struct Block {
    std::string prefix;   // "" on the formula sheet, "Data!" or "'Other Data'!"
    int column0 = 0;      // 0-based first column
    int rows = 0, columns = 0;
    std::vector<std::int64_t> values;   // row-major
    std::string cell(int r, int c) const {
        return prefix + std::string(1, static_cast<char>('A' + column0 + c)) + std::to_string(r + 1);
    }
    std::int64_t at(int r, int c) const { return values[static_cast<std::size_t>(r * columns + c)]; }
};

class Generator {
public:
    Random random;
    std::vector<Block> blocks;
    std::vector<std::pair<int, std::int64_t>> done;   // formula rows and values, for references

    Expr literal() {
        static const char *kFractions[] = {"", "", ".5", ".25", ".75", ".1", ".2"};
        const char *f = kFractions[random.below(7)];
        int whole = random.below(5) == 0 ? random.below(2000) : random.below(100);
        Expr e;
        e.text = std::to_string(whole) + f;
        e.value = whole * kUnit + parse_fraction(f);
        return e;
    }

    static std::int64_t parse_fraction(const char *f) {
        if (!*f) return 0;
        std::string digits = std::string(f + 1) + "000000";
        return std::stoll(digits.substr(0, 6));
    }

    Expr cell_reference() {
        if (!done.empty() && random.below(4) == 0) {
            const auto &[row, value] = done[static_cast<std::size_t>(random.below(static_cast<int>(done.size())))];
            return {"A" + std::to_string(row), value};
        }
        const Block &b = blocks[static_cast<std::size_t>(random.below(static_cast<int>(blocks.size())))];
        int r = random.below(b.rows), c = random.below(b.columns);
        return {b.cell(r, c), b.at(r, c)};
    }

    // A range inside one block, with the values it covers.
    std::string range(std::vector<std::int64_t> &values) {
        const Block &b = blocks[static_cast<std::size_t>(random.below(static_cast<int>(blocks.size())))];
        int r1 = random.below(b.rows), c1 = random.below(b.columns);
        int r2 = r1 + random.below(std::min(4, b.rows - r1)), c2 = c1 + random.below(std::min(3, b.columns - c1));
        for (int r = r1; r <= r2; ++r)
            for (int c = c1; c <= c2; ++c) values.push_back(b.at(r, c));
        std::string text = b.cell(r1, c1) + ":" + b.cell(r2, c2).substr(b.prefix.size());
        // Corners given the other way round name the same cells.
        if (random.below(8) == 0 && (r1 != r2 || c1 != c2))
            text = b.cell(r2, c2) + ":" + b.cell(r1, c1).substr(b.prefix.size());
        return text;
    }

    static bool fits(std::int64_t v) { return v > -kLimit && v < kLimit; }

    Expr function(int depth) {
        static const char *kAggregates[] = {"SUM", "AVERAGE", "MIN", "MAX", "COUNT"};
        static const char *kRounding[] = {"ROUND", "ROUNDUP", "ROUNDDOWN", "TRUNC"};
        Expr e;
        if (random.below(2) == 0) {
            int which = random.below(5);
            std::vector<std::int64_t> values;
            std::string args;
            int argc = 1 + random.below(3);
            for (int a = 0; a < argc; ++a) {
                if (a) args += random.below(2) ? ", " : ",";
                if (random.below(3) != 0) {
                    args += range(values);
                } else {
                    Expr x = expr(depth + 1);
                    if (!x.ok) return x;
                    args += x.text;
                    values.push_back(x.value);
                }
            }
            e.text = std::string(kAggregates[which]) + "(" + args + ")";
            std::int64_t sum = 0, best = values.front();
            for (std::int64_t v : values) {
                sum += v;
                if ((which == 2 && v < best) || (which == 3 && v > best)) best = v;
            }
            auto n = static_cast<std::int64_t>(values.size());
            switch (which) {
            case 0: e.value = sum; break;
            case 1:
                e.ok = sum % n == 0;
                e.value = sum / n;
                break;
            case 4: e.value = n * kUnit; break;
            default: e.value = best; break;
            }
            e.ok = e.ok && fits(e.value);
            return e;
        }
        int which = random.below(4);
        Expr x = expr(depth + 1);
        if (!x.ok) return x;
        int digits = which == 3 && random.below(2) ? 0 : random.below(6) - 2;
        bool with_digits = which != 3 || digits != 0;
        e.text = std::string(kRounding[which]) + "(" + x.text + (with_digits ? ", " + std::to_string(digits) : "") + ")";
        std::int64_t unit = 1;
        for (int i = 0; i < 6 - digits; ++i) unit *= 10;
        std::int64_t magnitude = x.value < 0 ? -x.value : x.value;
        std::int64_t q = magnitude / unit, rest = magnitude % unit;
        bool up = which == 0 ? rest * 2 >= unit : which == 1 ? rest > 0 : false;
        e.value = (q + (up ? 1 : 0)) * unit * (x.value < 0 ? -1 : 1);
        e.ok = fits(e.value);
        return e;
    }

    static std::string wrap(const Expr &child, bool need) { return need ? "(" + child.text + ")" : child.text; }

    Expr expr(int depth) {
        int choice = depth >= 3 ? random.below(2) : random.below(10);
        if (choice == 0) return literal();
        if (choice == 1) return cell_reference();
        if (choice <= 4) {
            static const char kOps[] = {'+', '-', '*', '/'};
            char op = kOps[random.below(4)];
            Expr left = expr(depth + 1), right;
            if (!left.ok) return left;
            if (op == '/') {
                static const int kDivisors[] = {2, 4, 5, 8, 10, 16, 20, 25, 40, 50, 100};
                int d = kDivisors[random.below(11)];
                right = random.below(3) ? Expr{std::to_string(d), d * kUnit} : expr(depth + 1);
            } else {
                right = expr(depth + 1);
            }
            if (!right.ok) return right;
            Expr e;
            int level = op == '+' || op == '-' ? 1 : 2;
            bool wrap_left = left.level < level || random.below(5) == 0;
            bool wrap_right = right.level < level || (right.level == level && (op == '-' || op == '/')) ||
                              right.text[0] == '-' || random.below(5) == 0;
            e.text = wrap(left, wrap_left) + std::string(random.below(3) ? "" : " ") + op +
                     std::string(random.below(3) ? "" : " ") + wrap(right, wrap_right);
            e.level = level;
            __int128 product = 0;
            switch (op) {
            case '+': e.value = left.value + right.value; break;
            case '-': e.value = left.value - right.value; break;
            case '*':
                product = static_cast<__int128>(left.value) * right.value;
                e.ok = product % kUnit == 0 && product / kUnit > -kLimit && product / kUnit < kLimit;
                e.value = e.ok ? static_cast<std::int64_t>(product / kUnit) : 0;
                break;
            default:
                if (right.value == 0) {
                    e.ok = false;
                    break;
                }
                product = static_cast<__int128>(left.value) * kUnit;
                e.ok = product % right.value == 0;
                e.value = e.ok ? static_cast<std::int64_t>(product / right.value) : 0;
                break;
            }
            e.ok = e.ok && fits(e.value);
            return e;
        }
        if (choice == 5) {
            Expr child = expr(depth + 1);
            if (!child.ok) return child;
            bool minus = random.below(4) != 0;
            Expr e;
            e.text = std::string(minus ? "-" : "+") + wrap(child, child.level < 9 || child.text[0] == '-' || child.text[0] == '+');
            e.value = minus ? -child.value : child.value;
            e.level = 9;
            return e;
        }
        if (choice == 6) {
            Expr child = expr(depth + 1);
            if (!child.ok) return child;
            Expr e = child;
            e.text = "(" + child.text + ")";
            e.level = 9;
            return e;
        }
        return function(depth);
    }
};

// Tokens as the engine counts them: operators and parentheses, and each run between them.
int token_count(const std::string &text) {
    int count = 0;
    bool in_run = false;
    for (char c : text) {
        bool op = c == '+' || c == '-' || c == '*' || c == '/' || c == '(' || c == ')';
        bool gap = c == ',' || c == ' ';
        if (op) count++;
        if (op || gap) in_run = false;
        else if (!in_run) {
            in_run = true;
            count++;
        }
    }
    return count;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_formula_books OUTDIR [COUNT]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int count = argc > 2 ? std::atoi(argv[2]) : 600;
    const int rounded = count / 10;

    XLS_BOOK book{};
    std::string options = "MODE=CREATE CHARSET=UTF8 BOOK=\"" + dir + "/formulas.xlsx\"";
    if (TXLS_open_book(&book, options.c_str()) != 0) {
        std::fprintf(stderr, "open: %s\n", TXLS_error_mesg(&book));
        return 1;
    }
    Generator g;
    auto put = [&](const std::string &cell, const std::string &value) {
        if (TXLS_put_cell(&book, cell.c_str(), value.c_str()) == 0) return true;
        std::fprintf(stderr, "put %s %s: %s\n", cell.c_str(), value.c_str(), TXLS_error_mesg(&book));
        return false;
    };
    auto fill = [&](Block block) {
        for (int r = 0; r < block.rows; ++r)
            for (int c = 0; c < block.columns; ++c) {
                Expr v = g.literal();
                if (g.random.below(3) == 0) {
                    v.text = "-" + v.text;
                    v.value = -v.value;
                }
                block.values.push_back(v.value);
                put(block.cell(r, c).substr(block.prefix.size()), v.text);
            }
        g.blocks.push_back(std::move(block));
    };

    TXLS_open_sheet(&book, "SHEET_NAME=\"Formulas\"");
    fill({"", 3, 10, 3, {}});   // D1:F10 beside the formulas
    TXLS_open_sheet(&book, "SHEET_NAME=\"Data\"");
    fill({"Data!", 0, 12, 5, {}});
    TXLS_open_sheet(&book, "SHEET_NAME=\"Other Data\"");
    fill({"'Other Data'!", 0, 10, 4, {}});
    // Dates and percentages enter formulas as serial numbers and fractions.
    Block special{"'Other Data'!", 4, 10, 2, {}};
    for (int r = 0; r < 10; ++r) {
        int day = 1 + r * 3;
        char date[16];
        std::snprintf(date, sizeof date, "2024/01/%02d", day);
        put("E" + std::to_string(r + 1), date);
        put("F" + std::to_string(r + 1), std::to_string(5 * (r + 1)) + "%");
        special.values.push_back((45291 + day) * kUnit);
        special.values.push_back((r + 1) * 50000);
    }
    g.blocks.push_back(special);

    TXLS_open_sheet(&book, "SHEET_NAME=\"Formulas\" MODE=UPDATE");
    std::ofstream manifest(dir + "/formulas.tsv");
    // Formula k goes to row total - k, so a reference to an earlier one points further down
    // the sheet and is computed on demand.
    const int total = count + rounded;
    for (int k = 0; k < total; ++k) {
        Expr e;
        do e = g.expr(0);
        while (!e.ok || token_count(e.text) > 90);
        const int row = total - k;
        std::string kind = "x";
        if (k >= count) {
            static const int kDivisors[] = {3, 6, 7, 9, 11, 12, 13};
            int d = kDivisors[g.random.below(7)];
            e.text = "(" + e.text + ")/" + std::to_string(d);
            kind = "r";
        } else {
            g.done.emplace_back(row, e.value);
        }
        if (!put("A" + std::to_string(row), "=" + e.text)) return 1;
        manifest << "A" << row << '\t' << kind << '\t' << micro_text(e.value) << '\t' << e.text << '\n';
    }
    if (TXLS_close_book(&book, "SAVE") != 0) {
        std::fprintf(stderr, "save: %s\n", TXLS_error_mesg(&book));
        return 1;
    }
    return 0;
}
