// Property path resolution: the keyword vocabulary, the continuation rules, the path-to-id table
// and the target forms a path may start with. Later statement families extend these tables.

#include "props/property_parser.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "model/address.h"
#include "support/charset.h"

namespace tabsmith {
namespace {

// ---------------------------------------------------------------------------------------------
// Vocabulary, in matching order: the first keyword whose English spelling matches without regard
// to ASCII case, or one of whose aliases matches exactly, wins. Paths are written with the
// English spellings, so an alias stands for its keyword everywhere.
constexpr Keyword kKeywords[] = {
    {"BOOK", {"ブック"}},
    {"TEMPLATE", {"テンプレート"}},
    {"SHEET", {"シート"}},
    {"ZOOM", {"ズーム"}},
    {"WIDTH", {"幅"}},
    {"HEIGHT", {"高さ"}},
    {"LENGTH", {"長さ"}},
    {"START", {"始点"}},
    {"END", {"終点"}},
    {"HIGH", {"山"}},
    {"LOW", {"谷"}},
    {"NEGATIVE", {"負"}},
    {"MARKER", {"マーカー"}},
    {"ROTATION", {"回転"}},
    {"DEGREE", {"角度"}},
    {"TRANSPARENT", {"透過性", "透過率"}},
    {"BLUR", {"ぼかし"}},
    {"DIST", {"距離"}},
    {"EFFECT", {"効果"}},
    {"NEWPAGE", {"改ページ"}},
    {"COMMENT", {"コメント"}},
    {"AUTO_WIDTH", {"列幅自動調整"}},
    {"RECALC", {"再計算"}},
    {"BACKUP", {"バックアップ"}},
    {"COLOR", {"色"}},
    {"SIZE", {"サイズ"}},
    {"STYLE", {"スタイル"}},
    {"ACCENT", {"アクセント"}},
    {"RESET", {"リセット"}},
    {"NAME", {"名"}},
    {"PATH", {"ファイル名"}},
    {"RATIO", {"倍率"}},
    {"COLOR1", {"色1", "色１"}},
    {"COLOR2", {"色2", "色２"}},
    {"KIND", {"種類"}},
    {"VARIATION", {"バリエーション"}},
    {"HIDDEN", {"非表示"}},
    {"DISPLAY", {"表示"}},
    {"PASSWORD", {"パスワード"}},
    {"FINAL", {"最終版"}},
    {"VERSION", {"バージョン"}},
    {"WRITE_PASSWORD", {"書込パスワード", "書込みパスワード", "書き込みパスワード"}},
    {"PROTECT", {"保護"}},
    {"ORDER", {"順"}},
    {"HIDDEN_GRID", {"枠線非表示"}},
    {"HIDDEN_HEADER", {"ヘッダー非表示"}},
    {"FROZEN_TOP", {"先頭行固定"}},
    {"FROZEN_LEFT", {"先頭列固定"}},
    {"FROZEN_SPLIT", {"ウィンドウ枠固定"}},
    {"THUMBNAIL", {"サムネイル"}},
    {"BACKGROUND", {"背景"}},
    {"AXIS_X", {"X軸"}},
    {"AXIS_Y", {"Y軸"}},
    {"3D_ROTATE_X", {"3D角度X"}},
    {"3D_ROTATE_Y", {"3D角度Y"}},
    {"3D_DEPTH", {"3D深さ"}},
    {"3D_PERSPECTIVE", {"3D透視投影"}},
    {"LOCATION", {"位置"}},
    {"TYPE", {"タイプ"}},
    {"MIN", {"最小"}},
    {"MAX", {"最大"}},
    {"BACK_COLOR", {"背景色"}},
    {"OFFSET", {"オフセット"}},
    {"ADJUST", {"アジャスト"}},
    {"LEFT", {"左", "左側"}},
    {"RIGHT", {"右", "右側"}},
    {"TOP", {"上"}},
    {"BOTTOM", {"下"}},
    {"DIAGONAL_UP", {"斜上"}},
    {"DIAGONAL_DOWN", {"斜下"}},
    {"CENTER", {"中央部"}},
    {"X", {"Ｘ"}},
    {"Y", {"Ｙ"}},
    {"HORIZONTAL", {"横"}},
    {"VERTICAL", {"縦"}},
    {"HEADER", {"ヘッダー"}},
    {"FOOTER", {"フッター"}},
    {"PATTERN", {"パターン"}},
    {"GRADATION", {"グラデーション"}},
    {"ORIENTATION", {"方向"}},
    {"SCALE", {"拡大／縮小"}},
    {"DPI", {"印刷品質"}},
    {"DATASOURCE", {"データソース"}},
    {"ROWNUM", {"行数"}},
    {"SWITCH", {"行列切替", "行/列の切り替え"}},
    {"DATE", {"日付"}},
    {"HOSTNAME", {"ホスト名"}},
    {"COMPANY", {"会社名"}},
    {"CREATOR", {"作成者"}},
    {"MANAGER", {"管理者"}},
    {"TITLE", {"タイトル"}},
    {"SUBJECT", {"サブタイトル"}},
    {"SCROLL_ROW", {"スクロール開始行"}},
    {"PRINT_TITLE_ROW", {"印刷タイトル行"}},
    {"PRINT_TITLE_COLUMN", {"印刷タイトル列"}},
    {"LEGEND", {"凡例"}},
    {"POSITION", {"表示位置"}},
    {"SERIES_LINE", {"区分線表示"}},
    {"MAJOR_UNIT", {"目盛間隔"}},
    {"DATA_LABEL", {"データラベル"}},
    {"TEXT", {"文字列"}},
    {"GAP_WIDTH", {"棒の間隔"}},
    {"COLUMN_NAME", {"列名", "カラム名"}},
    {"ALIGN", {"配置"}},
    {"FONT", {"フォント"}},
    {"FILL", {"塗りつぶし"}},
    {"BORDER", {"罫線"}},
    {"TAB", {"タブ"}},
    {"PAPER", {"用紙"}},
    {"MARGIN", {"余白"}},
    {"PRINT_PAGE_FIT", {"印刷ページ数合わせ"}},
    {"MERGE", {"結合"}},
    {"WRAP", {"折り返し"}},
    {"SHRINK", {"縮小"}},
    {"ROTATION", {"縦書き"}},
    {"FORMAT", {"書式"}},
    {"FILTER", {"フィルター"}},
    {"TABLE_FORMAT", {"表書式"}},
    {"IMAGE", {"イメージ"}},
    {"CHART", {"グラフ"}},
    {"CSV", {}},
    {"TSV", {}},
    {"LINE", {"枠線"}},
    {"ARROW", {"矢印"}},
    {"SHADOW", {"影"}},
    {"AUTOSHAPE", {"オートシェイプ"}},
    {"SPARKLINE", {"スパークライン"}},
    {"HYPERLINK", {"ハイパーリンク"}},
};

// ---------------------------------------------------------------------------------------------
// Paths and their ids. A path with a target in front of it resolves to the same id.
// Autoshapes (631-707) follow one plan: the shape itself, then its geometry, text, look, fill,
// outline, arrows and shadow, in that order; 679-707 are kept free for later shape settings.
struct PathId {
    std::string_view path;
    int id;
};

constexpr PathId kPaths[] = {
    {"BOOK", 101}, {"BOOK.NAME", 101}, {"BOOK.COMPANY", 102}, {"BOOK.CREATOR", 103},
    {"BOOK.MANAGER", 104}, {"BOOK.TITLE", 105}, {"BOOK.SUBJECT", 106}, {"TEMPLATE", 109},
    {"BOOK.WRITE_PASSWORD", 110}, {"BOOK.RECALC", 111}, {"BOOK.BACKUP", 112},
    {"BOOK.THUMBNAIL.PATH", 113}, {"BOOK.FINAL", 114},

    {"SHEET", 201}, {"SHEET.NAME", 201}, {"ZOOM", 202}, {"SHEET.ZOOM", 202}, {"SHEET.HIDDEN", 203},
    {"SHEET.PASSWORD", 204}, {"SHEET.PROTECT", 205}, {"SHEET.ORDER", 206}, {"SHEET.HIDDEN_GRID", 207},
    {"SHEET.HIDDEN_HEADER", 208}, {"SHEET.FROZEN_TOP", 209}, {"SHEET.FROZEN_LEFT", 210},
    {"SHEET.FROZEN_SPLIT", 211}, {"SHEET.BACKGROUND.PATH", 212}, {"SHEET.SCROLL_ROW", 213},
    {"HEIGHT", 221}, {"NEWPAGE", 222}, {"WIDTH", 223}, {"SHEET.TAB.COLOR", 231},

    {"BORDER", 310}, {"BORDER.LEFT", 311}, {"BORDER.RIGHT", 312}, {"BORDER.TOP", 313},
    {"BORDER.BOTTOM", 314}, {"BORDER.COLOR", 315}, {"BORDER.DIAGONAL_UP", 316}, {"BORDER.DIAGONAL_DOWN", 317},
    {"FONT.NAME", 331}, {"FONT.STYLE", 332}, {"FONT.SIZE", 333}, {"FONT.COLOR", 334},
    {"FILL.COLOR", 341}, {"FILL.PATTERN.NAME", 342}, {"FILL.PATTERN.COLOR", 343},
    {"FILL.GRADATION.COLOR1", 351}, {"FILL.GRADATION.COLOR2", 352}, {"FILL.GRADATION.KIND", 353},
    {"FILL.GRADATION.VARIATION", 354},
    {"ALIGN", 401}, {"WRAP", 402}, {"ROTATION", 403}, {"SHRINK", 404}, {"MERGE", 405}, {"FORMAT", 406},
    {"COMMENT", 407},

    {"IMAGE", 501}, {"IMAGE.PATH", 501}, {"IMAGE.RATIO", 502}, {"IMAGE.OFFSET.X", 503}, {"IMAGE.OFFSET.Y", 504},
    {"HYPERLINK", 511}, {"FILTER", 512},
    {"SPARKLINE", 521}, {"SPARKLINE.TYPE", 522}, {"SPARKLINE.KIND", 522}, {"SPARKLINE.DISPLAY", 523},
    {"SPARKLINE.HIGH.COLOR", 524}, {"SPARKLINE.LOW.COLOR", 525}, {"SPARKLINE.START.COLOR", 526},
    {"SPARKLINE.END.COLOR", 527}, {"SPARKLINE.NEGATIVE.COLOR", 528}, {"SPARKLINE.MARKER.COLOR", 529},
    {"TABLE_FORMAT", 531}, {"TABLE_FORMAT.COLUMN_NAME", 532},

    {"CHART", 601}, {"CHART.SWITCH", 602}, {"CHART.TITLE", 603}, {"CHART.LEGEND.POSITION", 604},
    {"CHART.LEGEND.FONT.SIZE", 605}, {"CHART.SERIES_LINE", 606}, {"CHART.MAJOR_UNIT", 607},
    {"CHART.DATA_LABEL", 608}, {"CHART.MIN", 609}, {"CHART.MAX", 610}, {"CHART.GAP_WIDTH", 611},
    {"CHART.STYLE", 612}, {"CHART.TYPE", 613}, {"CHART.LOCATION", 614}, {"CHART.LEGEND", 615},
    {"CHART.BACK_COLOR", 616}, {"CHART.GRADATION.COLOR1", 617}, {"CHART.GRADATION.COLOR2", 618},
    {"CHART.3D_ROTATE_X", 619}, {"CHART.3D_ROTATE_Y", 620}, {"CHART.3D_DEPTH", 621},
    {"CHART.3D_PERSPECTIVE", 622}, {"CHART.AXIS_X.FONT.SIZE", 623}, {"CHART.AXIS_Y.FONT.SIZE", 624},
    {"CHART.TITLE.FONT.SIZE", 625}, {"CHART.RESET", 629},

    {"AUTOSHAPE", 631}, {"AUTOSHAPE.TYPE", 632}, {"AUTOSHAPE.WIDTH", 633}, {"AUTOSHAPE.HEIGHT", 634},
    {"AUTOSHAPE.OFFSET.X", 635}, {"AUTOSHAPE.OFFSET.Y", 636}, {"AUTOSHAPE.END.OFFSET.X", 637},
    {"AUTOSHAPE.END.OFFSET.Y", 638}, {"AUTOSHAPE.ROTATION", 639}, {"AUTOSHAPE.ADJUST.X", 640},
    {"AUTOSHAPE.ADJUST.Y", 641},
    {"AUTOSHAPE.TEXT", 642}, {"AUTOSHAPE.FONT.NAME", 643}, {"AUTOSHAPE.FONT.SIZE", 644},
    {"AUTOSHAPE.FONT.STYLE", 645}, {"AUTOSHAPE.FONT.COLOR", 646}, {"AUTOSHAPE.ALIGN", 647},
    {"AUTOSHAPE.ALIGN.TEXT", 648},
    {"AUTOSHAPE.STYLE", 649}, {"AUTOSHAPE.EFFECT", 650}, {"AUTOSHAPE.VERSION", 651}, {"AUTOSHAPE.ACCENT", 652},
    {"AUTOSHAPE.RESET", 653},
    {"AUTOSHAPE.FILL", 654}, {"AUTOSHAPE.FILL.KIND", 654}, {"AUTOSHAPE.FILL.COLOR", 655},
    {"AUTOSHAPE.FILL.TRANSPARENT", 656}, {"AUTOSHAPE.FILL.GRADATION.KIND", 657},
    {"AUTOSHAPE.FILL.GRADATION.VARIATION", 658}, {"AUTOSHAPE.FILL.GRADATION.DEGREE", 659},
    {"AUTOSHAPE.FILL.GRADATION.COLOR1", 660}, {"AUTOSHAPE.FILL.GRADATION.COLOR2", 661},
    {"AUTOSHAPE.LINE", 662}, {"AUTOSHAPE.LINE.COLOR", 663}, {"AUTOSHAPE.LINE.WIDTH", 664},
    {"AUTOSHAPE.LINE.TRANSPARENT", 665},
    {"AUTOSHAPE.ARROW.START", 666}, {"AUTOSHAPE.ARROW.START.KIND", 666}, {"AUTOSHAPE.ARROW.START.WIDTH", 667},
    {"AUTOSHAPE.ARROW.START.LENGTH", 668}, {"AUTOSHAPE.ARROW.END", 669}, {"AUTOSHAPE.ARROW.END.KIND", 669},
    {"AUTOSHAPE.ARROW.END.WIDTH", 670}, {"AUTOSHAPE.ARROW.END.LENGTH", 671},
    {"AUTOSHAPE.SHADOW", 672}, {"AUTOSHAPE.SHADOW.COLOR", 673}, {"AUTOSHAPE.SHADOW.TRANSPARENT", 674},
    {"AUTOSHAPE.SHADOW.SIZE", 675}, {"AUTOSHAPE.SHADOW.BLUR", 676}, {"AUTOSHAPE.SHADOW.DEGREE", 677},
    {"AUTOSHAPE.SHADOW.DIST", 678},

    {"PAPER.SIZE", 711}, {"PAPER.ORIENTATION", 712}, {"PAPER.SCALE", 713}, {"PAPER.DPI", 714},
    {"PAPER.MARGIN.TOP", 715}, {"PAPER.MARGIN.BOTTOM", 716}, {"PAPER.MARGIN.LEFT", 717},
    {"PAPER.MARGIN.RIGHT", 718}, {"PAPER.MARGIN.HEADER", 719}, {"PAPER.MARGIN.FOOTER", 720},
    {"PRINT_PAGE_FIT.VERTICAL", 721}, {"PRINT_PAGE_FIT.HORIZONTAL", 722},

    {"SHEET.HEADER.LEFT", 801}, {"SHEET.HEADER.LEFT.FONT.NAME", 802}, {"SHEET.HEADER.LEFT.FONT.SIZE", 803},
    {"SHEET.HEADER.LEFT.FONT.STYLE", 804}, {"SHEET.HEADER.LEFT.FONT.COLOR", 805},
    {"SHEET.HEADER.RIGHT", 811}, {"SHEET.HEADER.RIGHT.FONT.NAME", 812}, {"SHEET.HEADER.RIGHT.FONT.SIZE", 813},
    {"SHEET.HEADER.RIGHT.FONT.STYLE", 814}, {"SHEET.HEADER.RIGHT.FONT.COLOR", 815},
    {"SHEET.HEADER.CENTER", 821}, {"SHEET.HEADER.CENTER.FONT.NAME", 822}, {"SHEET.HEADER.CENTER.FONT.SIZE", 823},
    {"SHEET.HEADER.CENTER.FONT.STYLE", 824}, {"SHEET.HEADER.CENTER.FONT.COLOR", 825},
    {"SHEET.FOOTER.LEFT", 831}, {"SHEET.FOOTER.LEFT.FONT.NAME", 832}, {"SHEET.FOOTER.LEFT.FONT.SIZE", 833},
    {"SHEET.FOOTER.LEFT.FONT.STYLE", 834}, {"SHEET.FOOTER.LEFT.FONT.COLOR", 835},
    {"SHEET.FOOTER.RIGHT", 841}, {"SHEET.FOOTER.RIGHT.FONT.NAME", 842}, {"SHEET.FOOTER.RIGHT.FONT.SIZE", 843},
    {"SHEET.FOOTER.RIGHT.FONT.STYLE", 844}, {"SHEET.FOOTER.RIGHT.FONT.COLOR", 845},
    {"SHEET.FOOTER.CENTER", 851}, {"SHEET.FOOTER.CENTER.FONT.NAME", 852}, {"SHEET.FOOTER.CENTER.FONT.SIZE", 853},
    {"SHEET.FOOTER.CENTER.FONT.STYLE", 854}, {"SHEET.FOOTER.CENTER.FONT.COLOR", 855},
    {"SHEET.PRINT_TITLE_ROW", 860}, {"SHEET.PRINT_TITLE_COLUMN", 861},

    {"AUTO_WIDTH", 1001}, {"CSV", 2002}, {"TSV", 2003},
};

// ---------------------------------------------------------------------------------------------
// Keywords that must be followed by particular keywords. `next` lists the allowed beginnings of
// the rest of the path; `detail` is the message argument (kName: the whole statement name).
enum class Detail { kNone, kName, kAttribute, kEmpty };

struct Continuation {
    std::string_view keyword;
    std::array<std::string_view, 6> next;
    Msg message;
    Detail detail;
};

constexpr Continuation kContinuations[] = {
    {"FONT", {"NAME", "SIZE", "COLOR", "STYLE"}, Msg::k02403, Detail::kAttribute},
    {"FILL", {"COLOR", "PATTERN", "GRADATION"}, Msg::k02406, Detail::kNone},
    {"PATTERN", {"NAME", "COLOR"}, Msg::k02407, Detail::kNone},
    {"GRADATION", {"KIND", "VARIATION", "DEGREE", "COLOR1", "COLOR2"}, Msg::k02409, Detail::kEmpty},
    {"TAB", {"COLOR"}, Msg::k02310, Detail::kNone},
    {"PAPER", {"SIZE", "ORIENTATION", "SCALE", "DPI", "MARGIN"}, Msg::k02501, Detail::kNone},
    {"MARGIN", {"TOP", "BOTTOM", "LEFT", "RIGHT", "HEADER", "FOOTER"}, Msg::k02500, Detail::kNone},
    {"PRINT_PAGE_FIT", {"HORIZONTAL", "VERTICAL"}, Msg::k02507, Detail::kName},
    {"BACKGROUND", {"PATH"}, Msg::k02510, Detail::kNone},
    {"THUMBNAIL", {"PATH"}, Msg::k02511, Detail::kNone},
    {"OFFSET", {"X", "Y"}, Msg::k02402, Detail::kNone},
    {"ADJUST", {"X", "Y"}, Msg::k02605, Detail::kNone},
    {"AXIS_X", {"FONT.SIZE"}, Msg::k02430, Detail::kName},
    {"AXIS_Y", {"FONT.SIZE"}, Msg::k02430, Detail::kName},
};

// Drawing objects whose whole path (from the keyword on) must be one of the table's paths.
struct ObjectPath {
    std::string_view keyword;
    Msg message;
    Detail detail;
};

constexpr ObjectPath kObjectPaths[] = {
    {"IMAGE", Msg::k02420, Detail::kNone},
    {"CHART", Msg::k02430, Detail::kName},
    {"AUTOSHAPE", Msg::k02600, Detail::kName},
};

// Parts of an autoshape path: only behind AUTOSHAPE, and then only as the table lists them.
struct ShapePart {
    std::string_view keyword;
    Msg message;
};

constexpr ShapePart kShapeParts[] = {
    {"LINE", Msg::k02602},
    {"ARROW", Msg::k02603},
    {"SHADOW", Msg::k02604},
};

// ---------------------------------------------------------------------------------------------

// The keyword table indexed both ways: English names in any letter case, aliases exactly. Each
// text keeps the first entry that has it, so a lookup answers what a walk down the table would.
struct KeywordIndex {
    static constexpr std::size_t kLongest = 64;   // longer than any English keyword
    std::vector<std::string> upper_names;         // the keys of `english`
    std::unordered_map<std::string_view, int> english;
    std::unordered_map<std::string_view, int> aliases;
    bool ascii_aliases = false;   // an ASCII section can only be an alias when one is ASCII

    // English keywords are short ASCII words: a section that is not ASCII looks up aliases only.
    static_assert(std::all_of(std::begin(kKeywords), std::end(kKeywords), [](const Keyword &k) {
        return k.english.size() <= kLongest &&
               std::all_of(k.english.begin(), k.english.end(), [](char c) { return c > 0 && c < 0x7F; });
    }));

    KeywordIndex() {
        upper_names.reserve(std::size(kKeywords));
        for (std::size_t i = 0; i < std::size(kKeywords); ++i) {
            const Keyword &k = kKeywords[i];
            upper_names.push_back(upper_ascii(k.english));
            english.try_emplace(upper_names.back(), static_cast<int>(i));
            for (std::string_view alias : k.aliases)
                if (!alias.empty()) {
                    aliases.try_emplace(alias, static_cast<int>(i));
                    ascii_aliases = ascii_aliases || is_ascii(alias);
                }
        }
    }
};

int match_keyword(std::string_view section) {
    static const KeywordIndex index;
    int found = kIndexNotFound;
    const bool ascii = is_ascii(section);
    if (ascii && section.size() <= KeywordIndex::kLongest) {
        char upper[KeywordIndex::kLongest];
        for (std::size_t i = 0; i < section.size(); ++i) {
            const char c = section[i];
            upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        }
        auto it = index.english.find(std::string_view(upper, section.size()));
        if (it != index.english.end()) found = it->second;
    }
    if (ascii && !index.ascii_aliases) return found;
    auto alias = index.aliases.find(section);
    if (alias != index.aliases.end() && (found == kIndexNotFound || alias->second < found)) found = alias->second;
    return found;
}

int lookup_path(std::string_view path) {
    // The first entry of a path answers, as a walk down the table would.
    static const std::unordered_map<std::string_view, int> index = [] {
        std::unordered_map<std::string_view, int> paths;
        for (const PathId &p : kPaths) paths.try_emplace(p.path, p.id);
        return paths;
    }();
    auto it = index.find(path);
    return it == index.end() ? kPropNone : it->second;
}

bool starts_with_path(std::string_view path, std::string_view head) {
    if (path.size() < head.size() || path.substr(0, head.size()) != head) return false;
    return path.size() == head.size() || path[head.size()] == '.';
}

std::string join_path(std::string_view head, std::string_view rest) {
    std::string out(head);
    if (!rest.empty()) {
        out += '.';
        out += rest;
    }
    return out;
}

int raise_detail(Book &book, Msg message, Detail detail, std::string_view name) {
    switch (detail) {
    case Detail::kNone: return book.err.raise(kBadArgument, message);
    case Detail::kName: return book.err.raise(kBadArgument, message, std::string(name).c_str());
    case Detail::kAttribute: return book.err.raise(kBadArgument, message, "属性");
    case Detail::kEmpty: return book.err.raise(kBadArgument, message, "");
    }
    return kBadArgument;
}

// The checks a keyword makes on the keywords that follow it (`rest`, English path).
int check_continuation(Book &book, std::string_view keyword, std::string_view rest, bool in_autoshape,
                       std::string_view name, std::string_view section) {
    const std::string path = join_path(keyword, rest);
    for (const ShapePart &part : kShapeParts) {
        if (part.keyword != keyword) continue;
        if (!in_autoshape) return book.err.raise(kBadArgument, Msg::k02601, std::string(section).c_str());
        if (lookup_path(join_path("AUTOSHAPE", path)) == kPropNone) return book.err.raise(kBadArgument, part.message);
        return 0;
    }
    for (const Continuation &rule : kContinuations) {
        if (rule.keyword != keyword) continue;
        // An autoshape fill has its own continuations; the AUTOSHAPE check below covers them.
        if (keyword == "FILL" && in_autoshape) return 0;
        for (std::string_view next : rule.next)
            if (!next.empty() && starts_with_path(rest, next)) return 0;
        return raise_detail(book, rule.message, rule.detail, name);
    }
    for (const ObjectPath &object : kObjectPaths) {
        if (object.keyword != keyword) continue;
        if (lookup_path(path) == kPropNone) return raise_detail(book, object.message, object.detail, name);
        return 0;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Target forms.

enum class TargetKind { kNone, kCells, kVariable };

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

constexpr int kNoColumn = -1;

// One to three letters as a 0-based column ("A" 0, "AA" 26); kNoColumn when the text is no such form.
int letters_column(std::string_view text) {
    if (text.empty() || text.size() > 3) return kNoColumn;
    int column = 0;
    for (char c : text) {
        if (!is_letter(c)) return kNoColumn;
        column = column * 26 + ((c & ~0x20) - 'A' + 1);
    }
    return column - 1;
}

// A number read as a row: optional sign, digits with commas anywhere, at most one decimal point,
// at least one digit. Its integer part is the 1-based row. False when the text is no number.
bool number_row(std::string_view text, std::int64_t &row_number) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    bool digit = false, point = false;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            digit = true;
            if (!point && value < 100000000000LL) value = value * 10 + (c - '0');
        } else if (c == '.' && !point) {
            point = true;
        } else if (c != ',') {
            return false;
        }
    }
    if (!digit) return false;
    row_number = negative ? -value : value;
    return true;
}

bool is_variable_name(std::string_view text) {
    if (text.empty()) return false;
    // In UTF-8 no byte of a multibyte character is ASCII, so these bytes are characters.
    for (char c : text)
        if (c == '!' || c == '$' || c == ':') return false;
    return true;
}

void set_area(PropertyTarget &target, int row1, int column1, int row2, int column2) {
    target.areas[0] = TargetArea{row1, column1, row2, column2};
    target.area_count = 1;
}

int parse_target(Book &book, std::string_view section, std::string_view name, PropertyTarget &target,
                 TargetKind &kind) {
    kind = TargetKind::kNone;
    std::string_view text = section;
    int sheet = kIndexNotFound;
    std::string_view rest;
    if (split_target_prefix(book, section, sheet, rest)) {
        text = rest;
        if (sheet >= 0) target.sheet = sheet;
    }

    if (!text.empty()) {
        // A list of ranges and cells.
        if (text.find(',') != std::string_view::npos) {
            std::vector<CellRef> refs;
            if (parse_range_list(book, text, refs) == 0 && !refs.empty() &&
                refs.size() <= static_cast<std::size_t>(kMaxTargetAreas)) {
                for (std::size_t i = 0; i < refs.size(); ++i)
                    target.areas[i] = TargetArea{refs[i].row1, refs[i].column1, refs[i].row2, refs[i].column2};
                target.area_count = static_cast<int>(refs.size());
                kind = TargetKind::kCells;
                return 0;
            }
        }
        std::size_t colon = text.find(':');
        if (colon != std::string_view::npos) {
            CellRef ref;
            if (resolve_range(book, text, ref) == 0) {
                set_area(target, ref.row1, ref.column1, ref.row2, ref.column2);
                kind = TargetKind::kCells;
                return 0;
            }
            int first = letters_column(text.substr(0, colon)), last = letters_column(text.substr(colon + 1));
            if (first != kNoColumn && last != kNoColumn && first < book.max_columns && last < book.max_columns) {
                set_area(target, 0, first, 0, last);
                target.column_range = true;
                kind = TargetKind::kCells;
                return 0;
            }
            int row1 = 0, row2 = 0;
            if (parse_row_range(book, text, row1, row2) == 0) {
                set_area(target, row1, 0, row2, 0);
                target.row_range = true;
                kind = TargetKind::kCells;
                return 0;
            }
        } else {
            CellRef ref;
            if (resolve_cell(book, text, ref) == 0 && !ref.is_range) {
                target.row = ref.row1;
                target.column = ref.column1;
                kind = TargetKind::kCells;
                return 0;
            }
        }
        std::int64_t row_number = 0;
        if (number_row(text, row_number)) {
            // A row outside the sheet would reach the cell store as a negative or too large index.
            if (row_number < 1 || row_number > book.max_rows)
                return book.err.raise(kBadArgument, Msg::k02300, std::string(section).c_str());
            target.row = static_cast<int>(row_number - 1);
            kind = TargetKind::kCells;
            return 0;
        }
        int column = letters_column(text);
        if (column != kNoColumn) {
            if (column >= book.max_columns)
                return book.err.raise(kBadArgument, Msg::k02300, std::string(section).c_str());
            target.column = column;
            kind = TargetKind::kCells;
            return 0;
        }
    }
    if (!is_variable_name(section)) return book.err.raise(kBadArgument, Msg::k02305, std::string(name).c_str());
    kind = TargetKind::kVariable;
    return 0;
}

// ---------------------------------------------------------------------------------------------

// A name split into its sections, at most kMaxPathSections of them.
struct Sections {
    std::array<std::string_view, kMaxPathSections> text;
    std::array<int, kMaxPathSections> keyword{};   // kKeywords index, or kIndexNotFound
    int count = 0;
};

// Splits at dots outside quotes: double quotes anywhere, single quotes when they open the name
// (a quoted sheet prefix such as 'Q1.2024'!A1).
int split_sections(Book &book, std::string_view name, Sections &sections) {
    std::size_t start = 0;
    char quote = 0;
    auto close_section = [&](std::size_t end) -> int {
        if (sections.count == kMaxPathSections)
            return book.err.raise(kBadArgument, Msg::k02211, std::string(name).c_str());
        std::string_view section = name.substr(start, end - start);
        std::size_t bytes = book.charset == kUtf8 ? section.size() : from_utf8(section, book.charset).size();
        if (bytes > kMaxSectionBytes)
            return book.err.raise(kBadArgument, Msg::k03009, static_cast<int>(bytes), "tsx_parse_property() section");
        sections.text[static_cast<std::size_t>(sections.count++)] = section;
        start = end + 1;
        return 0;
    };
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '"' || (c == '\'' && i == 0)) {
            quote = c;
        } else if (c == '.') {
            if (int rc = close_section(i); rc != 0) return rc;
        }
    }
    return close_section(name.size());
}

// What the keywords of a name come to ("FONT.STYLE" of "A1:J1.FONT.STYLE"): the property
// they name, and whether that is ROTATION, which only a cell target has.
struct KeywordPart {
    int id = kPropNone;
    bool rotation = false;
};

// Walks sections [first, count) right to left: each must be a keyword and allow the keywords
// after it. 0 with the part's reading, or the error raised.
int read_keyword_part(Book &book, std::string_view name, const Sections &split, int first, KeywordPart &reading) {
    const auto &sections = split.text;
    const auto &keywords = split.keyword;
    // `path` holds the English path of the keywords walked so far.
    std::string path;
    for (int i = split.count - 1; i >= first; --i) {
        if (keywords[i] == kIndexNotFound)
            return book.err.raise(kBadArgument, Msg::k02200, std::string(sections[i]).c_str());
        std::string_view keyword = kKeywords[keywords[i]].english;
        bool in_autoshape = false;
        for (int j = 0; j < i; ++j)
            if (keywords[j] != kIndexNotFound && kKeywords[keywords[j]].english == "AUTOSHAPE") in_autoshape = true;
        if (int rc = check_continuation(book, keyword, path, in_autoshape, name, sections[i]); rc != 0) return rc;
        path = join_path(keyword, path);
    }
    reading = {};
    if (path.empty()) return 0;
    int found = lookup_path(path);
    if (starts_with_path(path, "TEMPLATE")) found = kPropTemplate;
    else if (starts_with_path(path, "SHEET") && found == kPropNone) found = kPropSheetName;
    else if (starts_with_path(path, "BOOK") && found == kPropNone) found = kPropBookName;
    reading = {found, path == "ROTATION"};
    return 0;
}

// A report runs the same few names again and again, and the reading of the keywords after a
// target depends on their text alone: each thread keeps the last parts it read.
struct KnownParts {
    static constexpr std::size_t kCount = 16;
    static constexpr std::size_t kLongest = 64;   // longer parts are read each time
    std::array<std::string, kCount> text;
    std::array<KeywordPart, kCount> reading;
    std::size_t next = 0;
};

KnownParts &known_parts() {
    thread_local KnownParts known;
    return known;
}

const KeywordPart *known_keyword_part(std::string_view part) {
    if (part.empty() || part.size() > KnownParts::kLongest) return nullptr;
    KnownParts &known = known_parts();
    for (std::size_t i = 0; i < KnownParts::kCount; ++i)
        if (known.text[i] == part) return &known.reading[i];
    return nullptr;
}

void remember_keyword_part(std::string_view part, const KeywordPart &reading) {
    if (part.empty() || part.size() > KnownParts::kLongest) return;
    KnownParts &known = known_parts();
    known.text[known.next].assign(part);
    known.reading[known.next] = reading;
    known.next = (known.next + 1) % KnownParts::kCount;
}

}  // namespace

bool split_target_prefix(const Book &book, std::string_view text, int &sheet, std::string_view &rest) {
    sheet = kIndexNotFound;
    rest = text;
    if (text.find('!') == std::string_view::npos) return false;
    if (text.front() == '"') {
        std::size_t close = text.find('"', 1);
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != '!') return false;
        std::string_view sheet_name = text.substr(1, close - 1);
        if (sheet_name.size() > kTargetPrefixBytes) return false;
        sheet = find_sheet(book, sheet_name);
        rest = text.substr(close + 2);
        return true;
    }
    if (split_sheet_prefix(book, text, sheet, rest, kTargetPrefixBytes) != 0) {
        sheet = kIndexNotFound;
        rest = text;
        return false;
    }
    return rest.size() != text.size();
}

int tsx_parse_property(Book &book, std::string_view name, int &id, PropertyTarget &target) {
    target.reset();
    id = kPropNone;
    Sections split;
    if (int rc = split_sections(book, name, split); rc != 0) return rc;
    const int count = split.count;
    auto &sections = split.text;
    auto &keywords = split.keyword;
    keywords[0] = match_keyword(sections[0]);

    // A Sheet! prefix in front of a keyword ("Sheet2!SHEET.ZOOM") only selects the sheet.
    if (keywords[0] == kIndexNotFound) {
        int sheet = kIndexNotFound;
        std::string_view rest;
        if (split_target_prefix(book, sections[0], sheet, rest) && sheet >= 0) {
            int keyword = match_keyword(rest);
            if (keyword != kIndexNotFound) {
                target.sheet = sheet;
                sections[0] = rest;
                keywords[0] = keyword;
            }
        }
    }

    // The keywords, checked right to left, before the target in front of them (if any).
    const bool has_target = keywords[0] == kIndexNotFound;
    const int first = has_target ? 1 : 0;
    std::string_view part;   // the name from its first keyword on
    if (first < count) part = name.substr(static_cast<std::size_t>(sections[first].data() - name.data()));
    KeywordPart reading;
    if (const KeywordPart *known = has_target ? known_keyword_part(part) : nullptr) {
        reading = *known;
    } else {
        for (int i = first; i < count; ++i) keywords[i] = match_keyword(sections[i]);
        if (int rc = read_keyword_part(book, name, split, first, reading); rc != 0) {
            target.reset();
            return rc;
        }
        if (has_target) remember_keyword_part(part, reading);
    }

    TargetKind target_kind = TargetKind::kNone;
    if (has_target) {
        if (int rc = parse_target(book, sections[0], name, target, target_kind); rc != 0) {
            target.reset();
            return rc;
        }
    }
    if (target_kind == TargetKind::kVariable) {
        id = kPropVariable;
        return 0;
    }
    // Vertical text belongs to cells: without a cell target ROTATION names nothing.
    id = reading.rotation && target_kind != TargetKind::kCells ? kPropNone : reading.id;
    return 0;
}

std::span<const Keyword> property_keywords() { return kKeywords; }

std::string_view property_path(int id) {
    if (id == kPropRotation) return "ROTATION";
    for (const PathId &p : kPaths)
        if (p.id == id) return p.path;
    return {};
}

std::string property_display_name(int id, const PropertyTarget &target) {
    std::string where;
    auto cell = [](int row, int column) {
        std::string text;
        cell_name(row, column, text);
        return text;
    };
    if (target.area_count > 0) {
        if (target.row_range) {
            where = std::to_string(target.areas[0].row1 + 1) + ":" + std::to_string(target.areas[0].row2 + 1);
        } else if (target.column_range) {
            where = column_letters(target.areas[0].column1) + ":" + column_letters(target.areas[0].column2);
        } else {
            for (int i = 0; i < target.area_count && i < kMaxTargetAreas; ++i) {
                const TargetArea &a = target.areas[static_cast<std::size_t>(i)];
                if (i > 0) where += ',';
                where += cell(a.row1, a.column1);
                if (a.row1 != a.row2 || a.column1 != a.column2) where += ":" + cell(a.row2, a.column2);
            }
        }
    } else if (target.row >= 0 && target.column >= 0) {
        where = cell(target.row, target.column);
    } else if (target.row >= 0) {
        where = std::to_string(target.row + 1);
    } else if (target.column >= 0) {
        where = column_letters(target.column);
    }
    std::string_view path = property_path(id);
    if (path.empty()) path = "?";
    return where.empty() ? std::string(path) : where + "." + std::string(path);
}

}  // namespace tabsmith
