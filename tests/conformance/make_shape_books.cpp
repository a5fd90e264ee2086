// Writes the autoshape conformance books: every shape kind, and shapes dressed with every outline
// dash, arrow head, shadow, fill, style, rotation and text setting, with a manifest of what each
// sheet holds for the checker to find again.
//
// Usage: conformance_shape_books OUTDIR   (writes OUTDIR/*.xlsx and OUTDIR/shapes.tsv:
//        book, sheet, shapes, lines, the shapes' presets in order (kinds sheets), texts separated by '|')

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "model/shape.h"
#include "tabsmith.h"

using namespace tabsmith;

namespace {

std::string cell(int row, int column) {
    std::string name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26) name.insert(name.begin(), static_cast<char>('A' + (c - 1) % 26));
    return name + std::to_string(row + 1);
}

// One sheet being filled: shapes go down a grid of cells, four to a row, and the sheet keeps
// count for the manifest.
class ShapeSheet {
public:
    ShapeSheet(XLS_BOOK &book, std::string name) : book_(book), name_(std::move(name)) {
        ok_ = TXLS_open_sheet(&book_, ("SHEET_NAME=" + name_).c_str()) == 0;
        if (!ok_) std::fprintf(stderr, "open sheet %s: %s\n", name_.c_str(), book_.log.error_info);
    }

    // Places a shape of `kind` in the next grid cell and applies `settings` ("LINE=DASH ...") to it.
    void add(const std::string &kind, const std::string &settings, const std::string &text = {}, bool line = false,
             std::string_view preset = {}) {
        const std::string at = cell(next_ / 4 * 6 + 1, next_ % 4 * 3 + 1);
        ++next_;
        // Each statement names its sheet: several sheets are filled side by side.
        const std::string target = name_ + "!" + at;
        std::string statements = target + ".AUTOSHAPE=" + kind;
        std::size_t start = 0;
        while (start < settings.size()) {
            std::size_t end = settings.find(' ', start);
            if (end == std::string::npos) end = settings.size();
            if (end > start) statements += " " + target + ".AUTOSHAPE." + settings.substr(start, end - start);
            start = end + 1;
        }
        if (!text.empty() && !line) statements += " " + target + ".AUTOSHAPE.TEXT=\"" + text + "\"";
        put(statements);
        (line ? lines_ : shapes_) += 1;
        if (!text.empty() && !line) texts_.push_back(text);
        if (!preset.empty() && !line) presets_.push_back(std::string(preset));
    }

    void put(const std::string &statements) {
        if (TXLS_put_values(&book_, statements.c_str()) != 0) {
            std::fprintf(stderr, "%s: %s\n", statements.c_str(), book_.log.error_info);
            ok_ = false;
        }
    }

    void manifest(std::ofstream &out, const std::string &book) const {
        out << book << '\t' << name_ << '\t' << shapes_ << '\t' << lines_ << '\t';
        for (std::size_t i = 0; i < presets_.size(); ++i) out << (i ? "," : "") << presets_[i];
        out << '\t';
        for (std::size_t i = 0; i < texts_.size(); ++i) out << (i ? "|" : "") << texts_[i];
        out << '\n';
    }

    bool ok() const { return ok_; }

private:
    XLS_BOOK &book_;
    std::string name_;
    int next_ = 0, shapes_ = 0, lines_ = 0;
    std::vector<std::string> texts_, presets_;
    bool ok_ = true;
};

bool kinds_book(const std::string &dir, std::ofstream &manifest) {
    XLS_BOOK book{};
    const std::string options = "MODE=CREATE CHARSET=UTF8 BOOK=\"" + dir + "/kinds.xlsx\"";
    if (TXLS_open_book(&book, options.c_str()) != 0) return false;
    bool ok = true;
    {
        ShapeSheet english(book, "Kinds");
        ShapeSheet japanese(book, "種類");
        for (const ShapeKind &kind : shape_kinds()) {
            const bool line = kind.connector;
            english.add(std::string(kind.word), line ? "END.OFFSET.X=80 END.OFFSET.Y=30" : "WIDTH=80 HEIGHT=50",
                        line ? std::string() : "k" + std::string(kind.word), line, kind.preset);
            if (!kind.japanese.empty())
                japanese.add(std::string(kind.japanese), "", line ? std::string() : std::string(kind.japanese), line,
                             kind.preset);
        }
        ok = english.ok() && japanese.ok();
        english.manifest(manifest, "kinds.xlsx");
        japanese.manifest(manifest, "kinds.xlsx");
    }
    return TXLS_close_book(&book, "SAVE") == 0 && ok;
}

bool looks_book(const std::string &dir, std::ofstream &manifest) {
    XLS_BOOK book{};
    const std::string options = "MODE=CREATE CHARSET=UTF8 BOOK=\"" + dir + "/looks.xlsx\"";
    if (TXLS_open_book(&book, options.c_str()) != 0) return false;
    bool ok = true;
    {
        ShapeSheet outlines(book, "Outlines");
        for (const char *dash : {"NONE", "SOLID", "SYSDOT", "SYSDASH", "DASH", "DASHDOT", "LGDASH", "LGDASHDOT", "LGDASHDOTDOT"})
            outlines.add("RECT", std::string("LINE=") + dash + " LINE.WIDTH=2.5 LINE.COLOR=MAROON LINE.TRANSPARENT=20",
                         std::string("o") + dash);
        const char *heads[] = {"ARROW", "TRIANGLE", "DIAMOND", "OVAL", "NONE"};
        const char *sizes[] = {"SMALL", "MEDIUM", "LARGE"};
        for (int i = 0; i < 5; ++i)
            outlines.add("LINE",
                         std::string("ARROW.START=") + heads[i] + " ARROW.END=" + heads[(i + 1) % 5] +
                             " ARROW.START.WIDTH=" + sizes[i % 3] + " ARROW.END.LENGTH=" + sizes[(i + 2) % 3] +
                             " END.OFFSET.X=" + std::to_string(40 + 20 * i) + " END.OFFSET.Y=" + std::to_string(i * 15 - 30) +
                             " LINE=DASH LINE.WIDTH=1.5",
                         {}, true);

        ShapeSheet fills(book, "Fills");
        fills.add("OVAL", "FILL=NONE", "fnone");
        fills.add("OVAL", "FILL.COLOR=#33AA77 FILL.TRANSPARENT=50", "fsolid");
        fills.add("OVAL", "FILL=SINGLE_COLOR ACCENT=5", "faccent");
        const char *forms[] = {"LINE", "CIRCLE", "RECT", "SHAPE"};
        for (int i = 0; i < 4; ++i)
            fills.add("ROUND_RECT",
                      std::string("FILL.GRADATION.KIND=") + forms[i] + " FILL.GRADATION.VARIATION=" + std::to_string(i + 1) +
                          " FILL.GRADATION.DEGREE=" + std::to_string(i * 45) +
                          " FILL.GRADATION.COLOR1=NAVY FILL.GRADATION.COLOR2=LIGHT_CYAN ADJUST.X=" + std::to_string(10 + 5 * i),
                      std::string("g") + forms[i]);
        for (int style = 1; style <= 12; ++style)
            fills.add("HEXAGON", "STYLE=STANDARD_STYLE" + std::to_string(style) + " ACCENT=" + std::to_string(style % 6 + 1) +
                                     (style % 2 ? " VERSION=2013" : " VERSION=2007"),
                      "s" + std::to_string(style));

        ShapeSheet effects(book, "Effects");
        effects.add("CLOUD", "SHADOW=OUTER SHADOW.COLOR=GRAY SHADOW.BLUR=6 SHADOW.DIST=5 SHADOW.DEGREE=135 SHADOW.SIZE=105",
                    "outer");
        effects.add("CLOUD", "SHADOW=INNER SHADOW.TRANSPARENT=30", "inner");
        effects.add("CLOUD", "SHADOW=NONE", "noshadow");
        effects.add("SUN", "EFFECT=4", "soft");
        for (const char *turn : {"RIGHT90", "LEFT90", "FLIP_V", "FLIP_H", "30"})
            effects.add("ARROW_RIGHT", std::string("ROTATION=") + turn + " ADJUST.X=40 ADJUST.Y=30", std::string("r") + turn);

        ShapeSheet texts(book, "Texts");
        texts.add("CALLOUT_RECT", "ALIGN=TOP_LEFT FONT.STYLE=BOLD FONT.SIZE=14 FONT.COLOR=RED ADJUST.X=-30 ADJUST.Y=80",
                  "tl bold");
        texts.add("CALLOUT_OVAL", "ALIGN=BOTTOM_RIGHT FONT.NAME=明朝 FONT.STYLE=ITALIC_UNDERLINE", "br italic");
        texts.add("RECT", "ALIGN.TEXT=VERTICAL FONT.NAME=Arial OFFSET.X=10 OFFSET.Y=5", "縦書きの文字");
        texts.add("RECT", "ALIGN.TEXT=ROTATE90 WIDTH=60 HEIGHT=120", "rotated 90");
        texts.add("FLOWCHART_DECISION", "ALIGN=CENTER_CENTER", "a < b & c > d");
        // Settings made away from any shape are what the next shapes copy.
        texts.put("Z1.AUTOSHAPE.FILL.COLOR=LIGHT_YELLOW Z1.AUTOSHAPE.LINE=LGDASH Z1.AUTOSHAPE.FONT.COLOR=NAVY");
        texts.add("FOLDED_CORNER", "", "from settings");
        ok = outlines.ok() && fills.ok() && effects.ok() && texts.ok();
        outlines.manifest(manifest, "looks.xlsx");
        fills.manifest(manifest, "looks.xlsx");
        effects.manifest(manifest, "looks.xlsx");
        texts.manifest(manifest, "looks.xlsx");
    }
    return TXLS_close_book(&book, "SAVE") == 0 && ok;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    std::ofstream manifest(dir + "/shapes.tsv");
    bool ok = kinds_book(dir, manifest);
    ok = looks_book(dir, manifest) && ok;
    return ok ? 0 : 1;
}
