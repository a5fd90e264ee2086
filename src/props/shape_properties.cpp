// Autoshape statements: the shape placed at a cell and the settings the next shape copies.
// Their value vocabularies (shape words, dashes, arrow heads, shadows, fills, styles, rotations).
//
// The rule the family follows:
// - cell.AUTOSHAPE=word places a new shape of that kind at the cell, a copy of the book's current
//   shape settings (an empty value keeps the current TYPE, RECT at first);
// - every other statement on a cell where the sheet already has a shape tunes the most recent shape
//   there; on any other cell, or without a cell, it changes the current settings, so that it
//   holds for the shapes placed after it (as chart settings do);
// - RESET=TRUE restores the defaults, of the shape at the cell or of the current settings;
// - a refused value changes nothing: the settings are edited on a copy that replaces them only
//   when the value was good.
// Lengths are points, angles degrees, transparencies per cent. A detail of a fill or shadow (a
// colour, a gradient form, a blur) also chooses that fill or a shadow while the kind is still the
// style's own; a kind chosen explicitly (FILL=NONE, SHADOW=NONE) stays until changed explicitly.

#include <cmath>
#include <string>

#include "props/cell_format.h"
#include "props/colour.h"
#include "props/property.h"
#include "support/charset.h"

namespace tabsmith {
namespace {

template <typename T>
struct ShapeWord {
    std::string_view english;
    std::string_view japanese;
    T code;
};

template <typename T, std::size_t N>
bool find_shape_word(const ShapeWord<T> (&words)[N], std::string_view value, T &code) {
    for (const auto &word : words) {
        if (equals_ignore_case(value, word.english) || (!word.japanese.empty() && value == word.japanese)) {
            code = word.code;
            return true;
        }
    }
    return false;
}

constexpr ShapeWord<ShapeDash> kDashes[] = {
    {"NONE", "なし", ShapeDash::kNone},           {"SOLID", "実線", ShapeDash::kSolid},
    {"SYSDOT", "丸点線", ShapeDash::kSysDot},     {"SYSDASH", "角点線", ShapeDash::kSysDash},
    {"DASH", "破線", ShapeDash::kDash},           {"DASHDOT", "一点鎖線", ShapeDash::kDashDot},
    {"LGDASH", "長破線", ShapeDash::kLgDash},     {"LGDASHDOT", "長鎖線", ShapeDash::kLgDashDot},
    {"LGDASHDOTDOT", "長二点鎖線", ShapeDash::kLgDashDotDot},
};

constexpr ShapeWord<ArrowHead> kArrowHeads[] = {
    {"NONE", "なし", ArrowHead::kNone},         {"ARROW", "矢印", ArrowHead::kArrow},
    {"TRIANGLE", "三角", ArrowHead::kTriangle}, {"DIAMOND", "ひし形", ArrowHead::kDiamond},
    {"OVAL", "円", ArrowHead::kOval},
};

constexpr ShapeWord<ArrowSize> kArrowSizes[] = {
    {"SMALL", "小", ArrowSize::kSmall}, {"MEDIUM", "中", ArrowSize::kMedium}, {"LARGE", "大", ArrowSize::kLarge},
};

constexpr ShapeWord<ShapeShadow> kShadows[] = {
    {"NONE", "なし", ShapeShadow::kNone}, {"INNER", "内側", ShapeShadow::kInner}, {"OUTER", "外側", ShapeShadow::kOuter},
};

constexpr ShapeWord<ShapeFill> kFills[] = {
    {"NONE", "なし", ShapeFill::kNone}, {"SINGLE_COLOR", "単色", ShapeFill::kSolid},
    {"GRADATION", "グラデーション", ShapeFill::kGradient},
};

constexpr ShapeWord<ShapeGradient> kGradients[] = {
    {"LINE", "線形", ShapeGradient::kLine}, {"CIRCLE", "放射", ShapeGradient::kCircle},
    {"RECT", "四角", ShapeGradient::kRect}, {"SHAPE", "パス", ShapeGradient::kShape},
};

// Cell alignments, the same words and codes the cell ALIGN statement takes.
constexpr ShapeWord<int> kShapeAlignments[] = {
    {"TOP_LEFT", "左上", 11},    {"TOP_CENTER", "中上", 12},    {"TOP_RIGHT", "右上", 13},
    {"CENTER_LEFT", "左中", 21}, {"CENTER_CENTER", "中中", 22}, {"CENTER_RIGHT", "右中", 23},
    {"BOTTOM_LEFT", "左下", 31}, {"BOTTOM_CENTER", "中下", 32}, {"BOTTOM_RIGHT", "右下", 33},
    {"", "左", 21},              {"", "中", 22},                {"", "右", 23},
};

// How the text runs; the index is what the writer turns into the text body's direction.
constexpr ShapeWord<int> kTextDirections[] = {
    {"HORIZONTAL", "横書き", 0}, {"VERTICAL", "縦書き", 1}, {"ROTATE90", "右90度", 2},
    {"ROTATE270", "左90度", 3},  {"STACKED", "縦積み", 4},
};

enum class Turn { kRight90, kLeft90, kFlipV, kFlipH };
constexpr ShapeWord<Turn> kTurns[] = {
    {"RIGHT90", "右へ90度回転", Turn::kRight90}, {"LEFT90", "左へ90度回転", Turn::kLeft90},
    {"FLIP_V", "上下反転", Turn::kFlipV},        {"FLIP_H", "左右反転", Turn::kFlipH},
};

// VERSION: the release whose look a new shape gets; from 2013 on the outline is darker.
constexpr ShapeWord<bool> kVersions[] = {
    {"2007", "", false}, {"2010", "", false}, {"2013", "", true},
    {"2016", "", true},  {"2019", "", true},  {"2021", "", true},
};

constexpr double kMaxPoints = 20000.0;       // about 7 metres: beyond any sheet a shape belongs on
constexpr double kMaxLineWidth = 1584.0;     // the widest outline a drawing can hold
constexpr std::size_t kMaxTextBytes = 32767;

bool find_kind(std::string_view value, int &kind) {
    const auto kinds = shape_kinds();
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (equals_ignore_case(value, kinds[i].word) || (!kinds[i].japanese.empty() && value == kinds[i].japanese)) {
            kind = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

// A number in [low, high]; a trailing % is allowed for transparencies and sizes.
bool read_number(std::string_view value, double low, double high, double &out, bool percent = false) {
    if (percent && !value.empty() && value.back() == '%') value.remove_suffix(1);
    double number = 0;
    if (!parse_number_form(value, number) || number < low || number > high) return false;
    out = number;
    return true;
}

bool read_whole(std::string_view value, int low, int high, int &out, bool percent = false) {
    double number = 0;
    if (!read_number(value, low, high, number, percent)) return false;
    out = static_cast<int>(std::lround(number));
    return true;
}

// An angle in degrees, any whole turn folded into 0..359.
bool read_angle(std::string_view value, int &out) {
    int degrees = 0;
    if (!read_whole(value, -360, 360, degrees)) return false;
    out = ((degrees % 360) + 360) % 360;
    return true;
}

int bad_value(Book &book, Msg message, std::string_view value) {
    return book.err.raise(kBadArgument, message, std::string(value).c_str());
}

int bad(Book &book, Msg message) { return book.err.raise(kBadArgument, message); }

int read_colour(Book &book, std::string_view value, ShapeColour &out) {
    Colour colour;
    if (parse_colour(value, colour) != ColourParse::kColour) return bad_value(book, Msg::k02401, value);
    out.set = true;
    out.rgb = colour.rgb;
    return 0;
}

int read_font(Book &book, int mask, std::string_view value, ShapeSettings &s) {
    FontRecord font;
    if (int rc = read_font_value(book, mask, value, font); rc != 0) return rc;
    switch (mask) {
    case kFontMaskName:
        s.font_name = font.name_id == kFontNameOwn ? font.name : std::string(builtin_font_name(font.name_id));
        break;
    case kFontMaskSize: s.font_size = font.size; break;
    case kFontMaskStyle: s.font_style = font.style; break;
    default: s.font_colour = {true, font.colour == 0 ? Rgb{} : font.rgb}; break;
    }
    return 0;
}

int turn(Book &book, std::string_view value, ShapeSettings &s) {
    Turn how{};
    if (find_shape_word(kTurns, value, how)) {
        switch (how) {
        case Turn::kRight90: s.rotation = (s.rotation + 90) % 360; break;
        case Turn::kLeft90: s.rotation = (s.rotation + 270) % 360; break;
        case Turn::kFlipV: s.flip_v = !s.flip_v; break;
        case Turn::kFlipH: s.flip_h = !s.flip_h; break;
        }
        return 0;
    }
    if (!read_angle(value, s.rotation)) return bad_value(book, Msg::k02600, value);
    return 0;
}

int set_style(Book &book, std::string_view value, ShapeSettings &s) {
    if (equals_ignore_case(value, "NONE") || value == "なし") {
        s.style = 0;
        return 0;
    }
    constexpr std::string_view kPrefix = "STANDARD_STYLE";
    constexpr std::string_view kJapanese = "標準スタイル";
    std::string_view number;
    if (value.size() > kPrefix.size() && equals_ignore_case(value.substr(0, kPrefix.size()), kPrefix))
        number = value.substr(kPrefix.size());
    else if (value.size() > kJapanese.size() && value.substr(0, kJapanese.size()) == kJapanese)
        number = value.substr(kJapanese.size());
    int style = 0;
    for (char c : number) {
        if (c < '0' || c > '9' || style > 12) return bad_value(book, Msg::k02600, value);
        style = style * 10 + (c - '0');
    }
    if (style < 1 || style > 12) return bad_value(book, Msg::k02600, value);
    s.style = style;
    return 0;
}

int set_accent(Book &book, std::string_view value, ShapeSettings &s) {
    std::string_view digits = value;
    if (digits.size() == 7 && equals_ignore_case(digits.substr(0, 6), "ACCENT")) digits.remove_prefix(6);
    if (digits.size() != 1 || digits[0] < '1' || digits[0] > '6') return bad_value(book, Msg::k02600, value);
    s.accent = digits[0] - '0';
    return 0;
}

// Gives one statement (other than AUTOSHAPE itself) its effect on `s`.
int tune(Book &book, int id, std::string_view value, ShapeSettings &s) {
    auto shape_error = [&] { return bad_value(book, Msg::k02600, value); };
    auto choose_fill = [&](ShapeFill kind) {
        if (s.fill == ShapeFill::kStyle) s.fill = kind;
    };
    auto choose_shadow = [&] {
        if (s.shadow == ShapeShadow::kStyle) s.shadow = ShapeShadow::kOuter;
    };
    switch (id) {
    case 632:
        if (!find_kind(value, s.kind)) return shape_error();
        return 0;
    case 633:
    case 634: {
        double &length = id == 633 ? s.width : s.height;
        if (!read_number(value, 0.0, kMaxPoints, length) || length <= 0) return shape_error();
        return 0;
    }
    case 635: if (!read_number(value, 0.0, kMaxPoints, s.offset_x)) return bad(book, Msg::k02402); return 0;
    case 636: if (!read_number(value, 0.0, kMaxPoints, s.offset_y)) return bad(book, Msg::k02402); return 0;
    case 637: if (!read_number(value, -kMaxPoints, kMaxPoints, s.end_x)) return bad(book, Msg::k02402); return 0;
    case 638: if (!read_number(value, -kMaxPoints, kMaxPoints, s.end_y)) return bad(book, Msg::k02402); return 0;
    case 639: return turn(book, value, s);
    case 640:
    case 641: {
        double &adjust = id == 640 ? s.adjust_x : s.adjust_y;
        if (!read_number(value, -1000.0, 1000.0, adjust, true)) return bad(book, Msg::k02605);
        (id == 640 ? s.adjust_x_set : s.adjust_y_set) = true;
        return 0;
    }
    case 642:
        if (value.size() > kMaxTextBytes) return book.err.raise(kBadArgument, Msg::k02600, "TEXT");
        s.text.assign(value);
        return 0;
    case 643: return read_font(book, kFontMaskName, value, s);
    case 644: return read_font(book, kFontMaskSize, value, s);
    case 645: return read_font(book, kFontMaskStyle, value, s);
    case 646: return read_font(book, kFontMaskColour, value, s);
    case 647:
        if (!find_shape_word(kShapeAlignments, value, s.align)) return bad_value(book, Msg::k02405, value);
        return 0;
    case 648:
        if (!find_shape_word(kTextDirections, value, s.text_direction)) return bad_value(book, Msg::k02405, value);
        return 0;
    case 649: return set_style(book, value, s);
    case 650: if (!read_number(value, 0.0, 100.0, s.soft_edge)) return shape_error(); return 0;
    case 651: if (!find_shape_word(kVersions, value, s.modern)) return shape_error(); return 0;
    case 652: return set_accent(book, value, s);
    case 653:
        switch (parse_switch(value)) {
        case 1: s = ShapeSettings{}; return 0;
        case 0: return 0;
        default: return shape_error();
        }
    case 654: if (!find_shape_word(kFills, value, s.fill)) return bad(book, Msg::k02406); return 0;
    case 655:
        if (int rc = read_colour(book, value, s.fill_colour); rc != 0) return rc;
        choose_fill(ShapeFill::kSolid);
        return 0;
    case 656: if (!read_whole(value, 0, 100, s.fill_transparency, true)) return bad(book, Msg::k02406); return 0;
    case 657:
        if (!find_shape_word(kGradients, value, s.gradient)) return bad_value(book, Msg::k02409, value);
        choose_fill(ShapeFill::kGradient);
        return 0;
    case 658:
        if (!read_whole(value, 1, 4, s.gradient_variation)) return bad_value(book, Msg::k02409, value);
        choose_fill(ShapeFill::kGradient);
        return 0;
    case 659:
        if (!read_angle(value, s.gradient_degree)) return bad_value(book, Msg::k02409, value);
        choose_fill(ShapeFill::kGradient);
        return 0;
    case 660:
    case 661:
        if (int rc = read_colour(book, value, id == 660 ? s.gradient_colour1 : s.gradient_colour2); rc != 0) return rc;
        choose_fill(ShapeFill::kGradient);
        return 0;
    case 662: if (!find_shape_word(kDashes, value, s.dash)) return bad(book, Msg::k02602); return 0;
    case 663: return read_colour(book, value, s.line_colour);
    case 664: if (!read_number(value, 0.0, kMaxLineWidth, s.line_width)) return bad(book, Msg::k02602); return 0;
    case 665: if (!read_whole(value, 0, 100, s.line_transparency, true)) return bad(book, Msg::k02602); return 0;
    case 666:
    case 669:
        if (!find_shape_word(kArrowHeads, value, (id == 666 ? s.arrow_start : s.arrow_end).head)) return bad(book, Msg::k02603);
        return 0;
    case 667:
    case 670:
        if (!find_shape_word(kArrowSizes, value, (id == 667 ? s.arrow_start : s.arrow_end).width)) return bad(book, Msg::k02603);
        return 0;
    case 668:
    case 671:
        if (!find_shape_word(kArrowSizes, value, (id == 668 ? s.arrow_start : s.arrow_end).length)) return bad(book, Msg::k02603);
        return 0;
    case 672: if (!find_shape_word(kShadows, value, s.shadow)) return bad(book, Msg::k02604); return 0;
    case 673: {
        ShapeColour colour;
        if (int rc = read_colour(book, value, colour); rc != 0) return rc;
        s.shadow_colour = colour.rgb;
        break;
    }
    case 674: if (!read_whole(value, 0, 100, s.shadow_transparency, true)) return bad(book, Msg::k02604); break;
    case 675: if (!read_whole(value, 1, 200, s.shadow_size, true)) return bad(book, Msg::k02604); break;
    case 676: if (!read_number(value, 0.0, 100.0, s.shadow_blur)) return bad(book, Msg::k02604); break;
    case 677: if (!read_angle(value, s.shadow_degree)) return bad(book, Msg::k02604); break;
    case 678: if (!read_number(value, 0.0, 200.0, s.shadow_distance)) return bad(book, Msg::k02604); break;
    default: return book.err.raise(kFail, Msg::k03600, "apply_shape_property()");
    }
    choose_shadow();  // only the shadow details come here
    return 0;
}

// The most recent shape of the sheet at the cell, or null.
DrawingObject *shape_at(Book &book, int sheet, int row, int column) {
    for (auto it = book.drawings.rbegin(); it != book.drawings.rend(); ++it)
        if (it->kind == DrawingKind::kShape && it->sheet == sheet && it->row == row && it->column == column && it->shape)
            return &*it;
    return nullptr;
}

}  // namespace

int apply_shape_property(Book &book, int id, PropertyTarget &target, std::string_view value) {
    if (target.area_count > 0) return book.err.raise(kBadArgument, Msg::k02100, "AUTOSHAPE/オートシェイプ");
    const bool at_cell = target.row >= 0 && target.column >= 0;
    const int sheet = target.sheet >= 0 ? target.sheet : book.current_sheet;

    if (id == kPropAutoshapeFirst) {
        if (!at_cell) return bad_value(book, Msg::k02600, value);
        if (!book.sheet(sheet)) return book.err.raise(kFail, Msg::k03600, "apply_shape_property() sheet");
        auto shape = std::make_unique<ShapeObject>();
        shape->settings = book.shape_settings;
        if (!value.empty() && !find_kind(value, shape->settings.kind)) return bad_value(book, Msg::k02600, value);
        DrawingObject object;
        object.kind = DrawingKind::kShape;
        object.sheet = sheet;
        object.row = target.row;
        object.column = target.column;
        object.shape = std::move(shape);
        book.drawings.push_back(std::move(object));
        return 0;
    }

    DrawingObject *shape = at_cell ? shape_at(book, sheet, target.row, target.column) : nullptr;
    ShapeSettings &settings = shape ? shape->shape->settings : book.shape_settings;
    ShapeSettings changed = settings;
    if (int rc = tune(book, id, value, changed); rc != 0) return rc;
    // RESET on a placed shape keeps its kind: everything else goes back to the defaults.
    if (id == 653 && shape) changed.kind = settings.kind;
    settings = std::move(changed);
    return 0;
}

}  // namespace tabsmith
