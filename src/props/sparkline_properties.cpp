// Sparkline statements: SPARKLINE on a data range creates a sparkline group of the sheet, and
// its sub-properties set the type, the marked points and the colours of the last one.

#include <algorithm>
#include <span>

#include "model/address.h"
#include "props/colour.h"
#include "props/property.h"
#include "props/property_parser.h"
#include "support/charset.h"

namespace tabsmith {

namespace {

// The sub-properties, in the order of their ids.
constexpr int kSparklineType = 522, kSparklineDisplay = 523, kSparklineHighColour = 524,
              kSparklineLowColour = 525, kSparklineFirstColour = 526, kSparklineLastColour = 527,
              kSparklineNegativeColour = 528;

struct SparklineWord {
    std::string_view english, japanese;
    std::uint32_t value;
};

constexpr SparklineWord kSparklineTypeWords[] = {
    {"LINE", "折れ線", static_cast<std::uint32_t>(SparklineKind::kLine)},
    {"BAR", "縦棒", static_cast<std::uint32_t>(SparklineKind::kColumn)},
    {"STACK", "勝敗", static_cast<std::uint32_t>(SparklineKind::kStacked)},
};

constexpr std::uint32_t kShowNone = 0;
constexpr SparklineWord kDisplayWords[] = {
    {"NONE", "なし", kShowNone},        {"HIGH", "山", kShowHigh},         {"LOW", "谷", kShowLow},
    {"FIRST", "始点", kShowFirst},      {"LAST", "終点", kShowLast},       {"NEGATIVE", "負", kShowNegative},
    {"MARKER", "マーカー", kShowMarkers},
};

// What the message names when a sub-property comes before any sparkline, in id order 522-529.
constexpr std::string_view kSubPropertyNames[] = {
    "スパークライン.種類",   "スパークライン.表示",   "スパークライン.山.色",   "スパークライン.谷.色",
    "スパークライン.始点.色", "スパークライン.終点.色", "スパークライン.負.色", "スパークライン.マーカー.色",
};

// English words ignore case, Japanese words match exactly.
const SparklineWord *find_word(std::span<const SparklineWord> words, std::string_view value) {
    for (const SparklineWord &word : words)
        if (equals_ignore_case(value, word.english) || value == word.japanese) return &word;
    return nullptr;
}

int bad_sparkline(Book &book, std::string_view value) {
    return book.err.raise(kBadArgument, Msg::k02622, std::string(value).c_str());
}

int create_sparkline(Book &book, const PropertyTarget &target, std::string_view value) {
    if (target.area_count != 1) return book.err.raise(kBadArgument, Msg::k02101, "SPARKLINE");
    Sheet *sheet = book.sheet(target.sheet >= 0 ? target.sheet : book.current_sheet);
    if (!sheet) return book.err.raise(kBadArgument, Msg::k02101, "SPARKLINE");

    CellRef place;
    if (int rc = resolve_reference(book, value, place); rc == kBadArgument) return rc;
    else if (rc != 0) return bad_sparkline(book, value);
    // A single cell leaves the far corner unset, and so is neither one row nor one column.
    const int last_row = place.is_range ? place.row2 : -1, last_column = place.is_range ? place.column2 : -1;
    if (place.row1 != last_row && place.column1 != last_column) return bad_sparkline(book, value);

    const TargetArea &data = target.areas[0];
    Sparkline line;
    line.kind = SparklineKind::kLine;
    line.data_row1 = std::min(data.row1, data.row2);
    line.data_column1 = std::min(data.column1, data.column2);
    line.data_row2 = std::max(data.row1, data.row2);
    line.data_column2 = std::max(data.column1, data.column2);
    // Either corner may come first ("F5:F1"); the sparklines run from the top left.
    line.place_row1 = std::min(place.row1, last_row);
    line.place_column1 = std::min(place.column1, last_column);
    line.place_row2 = std::max(place.row1, last_row);
    line.place_column2 = std::max(place.column1, last_column);
    sheet->sparklines.push_back(line);
    return 0;
}

int set_colour(Book &book, std::string_view value, ColorValue &field) {
    Colour colour;
    if (parse_colour(value, colour) != ColourParse::kColour)
        return book.err.raise(kBadArgument, Msg::k02401, std::string(value).c_str());
    field = ColorValue{colour.index, colour.rgb.red, colour.rgb.green, colour.rgb.blue};
    return 0;
}

}  // namespace

int apply_sparkline_property(Book &book, int id, PropertyTarget &target, std::string_view value) {
    if (id == kPropSparklineFirst) return create_sparkline(book, target, value);
    if (id < kPropSparklineFirst || id > kPropSparklineLast)
        return book.err.raise(kFail, Msg::k03600, property_display_name(id, target).c_str());

    // The settings belong to the sheet's last sparkline, whatever the statement's target.
    Sheet *sheet = book.current();
    if (!sheet || sheet->sparklines.empty()) {
        const std::string name(kSubPropertyNames[id - kPropSparklineFirst - 1]);
        return book.err.raise(kBadArgument, Msg::k02621, name.c_str());
    }
    Sparkline &line = sheet->sparklines.back();
    switch (id) {
    case kSparklineType: {
        const SparklineWord *word = find_word(kSparklineTypeWords, value);
        if (!word) return bad_sparkline(book, value);
        line.kind = static_cast<SparklineKind>(word->value);
        return 0;
    }
    case kSparklineDisplay: {
        const SparklineWord *word = find_word(kDisplayWords, value);
        if (!word) return bad_sparkline(book, value);
        if (word->value == kShowNone) line.show = 0;
        else line.show |= word->value;
        return 0;
    }
    case kSparklineHighColour: return set_colour(book, value, line.high);
    case kSparklineLowColour: return set_colour(book, value, line.low);
    case kSparklineFirstColour: return set_colour(book, value, line.first);
    case kSparklineLastColour: return set_colour(book, value, line.last);
    case kSparklineNegativeColour: return set_colour(book, value, line.negative);
    default: return set_colour(book, value, line.markers);
    }
}

}  // namespace tabsmith
