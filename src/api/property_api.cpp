// Exported property-statement functions: TXLS_put_values, TXLS_is_property, TXLS_set_property
// and TXLS_help with its syntax summary.

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "api/api.h"
#include "props/property_parser.h"
#include "props/statements.h"
#include "support/charset.h"

using namespace tabsmith;

namespace {

// ---------------------------------------------------------------------------------------------
// The syntax summary. Value lists are "|"-separated; an English list and its Japanese list are
// printed one under the other, each entry padded so that the pairs line up.

constexpr std::string_view kProductName = "ORV TABSMITH";
constexpr std::string_view kRelease = "2.0.4.0";
constexpr std::size_t kSyntaxColumn = 40;  // the Japanese form starts in column 41
constexpr std::size_t kRuleWidth = 76;
constexpr std::size_t kValueLineWidth = 76;
constexpr std::string_view kValueIndent = "  ";

struct HelpLine {
    std::string_view english;    // syntax; empty for a value list on its own
    std::string_view japanese;
    std::string_view values_en;  // "|"-separated, may be empty
    std::string_view values_ja;
    std::string_view raw = {};   // a line printed as it is
};

enum class Closer { kBlank, kBlankAndRule };

struct HelpSection {
    std::string_view title;
    std::vector<HelpLine> lines;
    Closer closer;
};

constexpr std::string_view kTrueFalse = "TRUE|FALSE";
constexpr std::string_view kTrueFalseJa = "する|しない";

constexpr std::string_view kColours =
    "BLACK|GRAY|SILVER|WHITE|RED|YELLOW|LIME|AQUA|BLUE|FUCHSIA|MAROON|OLIVE|GREEN|TEAL|NAVY|PURPLE|"
    "LIGHT_RED|LIGHT_YELLOW|LIGHT_GREEN|LIGHT_CYAN|LIGHT_BLUE|LIGHT_MAGENTA";
constexpr std::string_view kColoursJa =
    "黒|灰|銀|白|赤|黄|黄緑|水色|青|赤紫|赤茶|オリーブ|緑|青緑|紺|紫|薄紅|肌|若葉|淡水|藤|桜";

constexpr std::string_view kFontNamesJa = "ゴシック|明朝|ポップ|教科書|行書";
constexpr std::string_view kFontStyles =
    "regular|underline|italic|italic_underline|bold|bold_underline|bold_italic|bold_italic_underline";
constexpr std::string_view kFontStylesJa = "標準|下線|斜体|斜体下線|強調|強調下線|強調斜体|強調斜体下線";

constexpr std::string_view kAligns =
    "TOP_LEFT|TOP_CENTER|TOP_RIGHT|CENTER_LEFT|CENTER_CENTER|CENTER_RIGHT|BOTTOM_LEFT|BOTTOM_CENTER|BOTTOM_RIGHT";
constexpr std::string_view kAlignsJa = "左上|中上|右上|左中|中中|右中|左下|中下|右下";

constexpr std::string_view kFormatsJa =
    "小数点以下n|パーセント小数点以下n|カンマ小数点以下n|カンマ|パーセント|赤マイナス|日付|日時|時刻|時分秒|"
    "年月日|西暦|月日|和暦|円|赤円|郵便番号|正負記号|漢数字|大字|全角|全角桁区切り|文字列";

constexpr std::string_view kLineStyles =
    "thin|thick|hair|dashed|dashDot|dashDotDot|dotted|medium|mediumDashed|mediumDashDot|mediumDashDotDot|"
    "slantDashDot|double";
constexpr std::string_view kLineStylesJa =
    "実線|太線|細線|破線|一点鎖線|二点鎖線|点線|中太線|中破線|中鎖線|中二点鎖線|斜二点鎖線|二重線";

constexpr std::string_view kPatterns =
    "solid|darkGray|mediumGray|lightGray|gray125|gray0625|darkHorizontal|darkVertical|darkDown|darkUp|"
    "darkGrid|darkTrellis|lightHorizontal|lightVertical|lightDown|lightUp|lightGrid|lightTrellis|none";
constexpr std::string_view kPatternsJa =
    "塗りつぶし|75%灰色|50%灰色|25%灰色|12.5%灰色|6.25%灰色|横縞|縦縞|右下がり斜線縞|左下がり斜線縞|"
    "左下がり斜線格子|極太線左下がり斜線格子|実線横縞|実線縦縞|実線右下がり斜線縞|実線左下がり斜線縞|"
    "実線横格子|実線左下がり斜線格子|なし";

constexpr std::string_view kChartTypes =
    "LINE|LINE_3D|BAR_VERITICAL|BAR_3D_VERITICAL|BAR_CYLINDER|BAR_CONE|BAR_PYRAMLID|BAR_HORIZONTAL|"
    "BAR_3D_HORIZONTAL|BAR_CYLINDER_HORIZONTAL|BAR_CONE_HORIZONTAL|BAR_PYRAMLID_HORIZONTAL|PIE|PIE_3D|AREA|"
    "AREA_3D|SCATTER|STOCK|CONTOUR|DOUGHNUT|RADAR";
constexpr std::string_view kChartTypesJa =
    "折れ線|3D折れ線|縦棒|3D縦棒|円柱|円錐|ピラミッド|横棒|3D横棒|円柱横棒|円錐横棒|ピラミッド横棒|円|3D円|面|"
    "3D面|散布図|株価|等高線|ドーナツ|レーダー";
constexpr std::string_view kChartOptions =
    "TITLE|TITLE.FONT.SIZE|X.AXIS.SIZE|Y.AXIS.SIZE|LEGEND|3D_ROTATE_X|3D_ROTATE_Y|3D_DEPTH|3D_PERSPECTIVE|"
    "TYPE|STYLE|LOCATION|BACKCOLOR|GRADATIONCOLOR1|GRADATIONCOLOR2";

const std::vector<HelpSection> &help_sections() {
    static const std::vector<HelpSection> sections = {
        {"■色",
         {{"", "", kColours, kColoursJa}, {"", "", "", "", "  RGB16進値指定:#rrggbb"}},
         Closer::kBlankAndRule},
        {"■フォント",
         {{"(*).FONT.NAME", "(*).フォント.名", "", kFontNamesJa},
          {"(*).FONT.SIZE", "(*).フォント.サイズ", "", ""},
          {"(*).FONT.COLOR", "(*).フォント.色", "", ""},
          {"(*).FONT.STYLE", "(*).フォント.スタイル", kFontStyles, kFontStylesJa}},
         Closer::kBlankAndRule},
        {"■配置", {{"(Cell).ALIGN", "(Cell).配置", kAligns, kAlignsJa}}, Closer::kBlank},
        {"■書式", {{"(Cell).FORMAT", "(Cell).書式", "", kFormatsJa}}, Closer::kBlank},
        {"■罫線",
         {{"(Cell).BORDER", "(Cell).罫線", kLineStyles, kLineStylesJa},
          {"(Cell).BORDER.[TOP|BOTTOM|RIGHT|LEFT]", "(Cell).罫線.[上|下|右|左]", kLineStyles, kLineStylesJa},
          {"(Cell).BORDER.COLOR", "(Cell).罫線.色", "", ""}},
         Closer::kBlank},
        {"■塗りつぶし",
         {{"(Cell).FILL.COLOR", "(Cell).塗りつぶし.色", "", ""},
          {"(Cell).FILL.PATTERN.COLOR", "(Cell).塗りつぶし.パターン.色", kPatterns, kPatternsJa}},
         Closer::kBlank},
        {"■その他",
         {{"(Cell).MERGE", "(Cell).結合", kTrueFalse, kTrueFalseJa},
          {"(Cell).WRAP", "(Cell).折り返し", kTrueFalse, kTrueFalseJa},
          {"(Cell).SHRINK", "(Cell).縮小", kTrueFalse, kTrueFalseJa},
          {"(Cell).ROTATION", "(Cell).縦書き", kTrueFalse, kTrueFalseJa},
          {"(Cell).IMAGE.PATH", "(Cell).イメージ.ファイル名", "", ""},
          {"(Cell).IMAGE.IMAGE.OFFSET.[X|Y]", "(Cell).イメージ.イメージ.オフセット.[Ｘ|Ｙ]", "", ""},
          {"(Cell).IMAGE.RATIO", "(Cell).イメージ.倍率", "", ""},
          {"(Cell).[CSV|TSV|SQL]", "(Cell).[CSV|TSV|SQL]", "", ""},
          {"(Range).CHART", "(Range).グラフ", kChartTypes, kChartTypesJa},
          {"", "", kChartOptions, ""}},
         Closer::kBlankAndRule},
        {"■ブック",
         {{"BOOK", "ブック", "", ""},
          {"BOOK.NAME", "ブック.名", "", ""},
          {"BOOK.COMPANY", "ブック.会社名", "", ""},
          {"BOOK.CREATOR", "ブック.作成者", "", ""},
          {"BOOK.MANAGER", "ブック.管理者", "", ""},
          {"BOOK.TITLE", "ブック.タイトル", "", ""},
          {"BOOK.SUBJECT", "ブック.サブタイトル", "", ""},
          {"BOOK.WRITE_PASSWORD", "ブック.書込パスワード", "", ""},
          {"BOOK.RECALC", "ブック.再計算", kTrueFalse, kTrueFalseJa},
          {"BOOK.BACKUP", "ブック.バックアップ", kTrueFalse, kTrueFalseJa},
          {"BOOK.FINAL", "ブック.最終版", kTrueFalse, kTrueFalseJa},
          {"BOOK.THUMBNAIL.PATH", "ブック.サムネイル.ファイル名", "", ""},
          {"TEMPLATE", "テンプレート", "", ""},
          {"AUTO_WIDTH", "列幅自動調整", kTrueFalse, kTrueFalseJa}},
         Closer::kBlankAndRule},
        {"■シート",
         {{"SHEET", "シート", "", ""},
          {"SHEET.NAME", "シート.名", "", ""},
          {"[Cell|Column].WIDTH", "[Cell|Column].幅", "", ""},
          {"[Cell|Row].HEIGHT", "[Cell|Row].高さ", "", ""},
          {"[Cell|Row].NEWPAGE", "[Cell|Row].改ページ", kTrueFalse, kTrueFalseJa},
          {"SHEET.ZOOM", "シート.ズーム", "", ""},
          {"SHEET.PASSWORD", "シート.パスワード", "", ""},
          {"SHEET.PROTECT", "シート.保護", kTrueFalse, kTrueFalseJa},
          {"SHEET.ORDER", "シート.順", "ASC|DESC", "正|逆"},
          {"SHEET.TAB.COLOR", "シート.タブ.色", "", ""}},
         Closer::kBlankAndRule},
        {"■印刷/表示",
         {{"SHEET.BACKGROUND.PATH", "シート.背景.ファイル名", "", ""},
          {"SHEET.HIDDEN", "シート.非表示", kTrueFalse, kTrueFalseJa},
          {"SHEET.HIDDEN_GRID", "シート.枠線非表示", kTrueFalse, kTrueFalseJa},
          {"SHEET.HIDDEN_HEADER", "シート.ヘッダー非表示", kTrueFalse, kTrueFalseJa},
          {"SHEET.FROZEN_TOP", "シート.先頭行固定", kTrueFalse, kTrueFalseJa},
          {"SHEET.FROZEN_LEFT", "シート.先頭列固定", kTrueFalse, kTrueFalseJa},
          {"SHEET.[HEADER|FOOTER].[LEFT|CENTER|RIGHT]", "シート.[ヘッダー|フッター].[左|中央部|右]", "", ""},
          {"SHEET.[HEADER|FOOTER].[LEFT|CENTER|RIGHT].FONT", "シート.[ヘッダー|フッター].[左|中央部|右].フォント",
           "", ""},
          {"PAPER.SIZE", "用紙.サイズ", "", ""},
          {"PAPER.ORIENTATION", "用紙.方向", "PORTRAIT|LANDSCAPE", "縦|横"},
          {"PAPER.SCALE", "用紙.拡大／縮小", "", ""},
          {"PAPER.DPI", "用紙.印刷品質", "", ""},
          {"PAPER.MARGIN.[LEFT|RIGHT|TOP|BOTTOM|HEADER|FOOTER]", "用紙.余白.[左|右|上|下|ヘッダー|フッター]", "",
           ""}},
         Closer::kBlankAndRule},
    };
    return sections;
}

const std::vector<HelpLine> &variable_lines() {
    static const std::vector<HelpLine> lines = {
        {"$SYSDATE", "現在日付", "", ""},
        {"$SYSDATETIME", "現在日時", "", ""},
        {"$ROWNUM", "CSV/SQLの読込行数", "", ""},
    };
    return lines;
}

// Columns a text takes on a terminal: its Shift-JIS bytes (full-width characters take two).
std::size_t columns_of(std::string_view utf8) { return from_utf8(utf8, kSjis).size(); }

std::vector<std::string_view> split_bars(std::string_view list) {
    std::vector<std::string_view> out;
    if (list.empty()) return out;
    std::size_t start = 0;
    for (;;) {
        std::size_t bar = list.find('|', start);
        out.push_back(list.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
        if (bar == std::string_view::npos) return out;
        start = bar + 1;
    }
}

void pad_to(std::string &line, std::size_t &used, std::size_t width) {
    while (used < width) {
        line += ' ';
        ++used;
    }
}

// Prints an English value list and its Japanese list aligned entry by entry, wrapping both
// before the line would pass the rule's width.
void append_values(std::string &out, std::string_view english, std::string_view japanese) {
    std::vector<std::string_view> en = split_bars(english), ja = split_bars(japanese);
    const std::size_t count = std::max(en.size(), ja.size());
    std::size_t i = 0;
    while (i < count) {
        std::string line_en(kValueIndent), line_ja(kValueIndent);
        std::size_t used = kValueIndent.size();
        std::size_t first = i;
        for (; i < count; ++i) {
            std::string_view e = i < en.size() ? en[i] : std::string_view{};
            std::string_view j = i < ja.size() ? ja[i] : std::string_view{};
            const bool last = i + 1 == count;
            std::size_t width = std::max(!en.empty() ? columns_of(e) : 0, !ja.empty() ? columns_of(j) : 0);
            std::size_t need = width + (last ? 0 : 1);
            if (i > first && used + need > kValueLineWidth) break;
            std::size_t used_en = used, used_ja = used;
            line_en += e;
            used_en += columns_of(e);
            line_ja += j;
            used_ja += columns_of(j);
            if (!last) {
                pad_to(line_en, used_en, used + width);
                pad_to(line_ja, used_ja, used + width);
                line_en += '|';
                line_ja += '|';
            }
            used += need;
        }
        // Trailing blanks of the padding are not wanted at the end of a wrapped line.
        auto finish = [](std::string &line) {
            while (!line.empty() && line.back() == ' ') line.pop_back();
            return line + "\n";
        };
        if (!en.empty()) out += finish(line_en);
        if (!ja.empty()) out += finish(line_ja);
    }
}

void append_line(std::string &out, const HelpLine &line) {
    if (!line.raw.empty()) {
        out += line.raw;
        out += '\n';
        return;
    }
    if (!line.english.empty()) {
        std::string text(line.english);
        std::size_t used = text.size();
        if (used >= kSyntaxColumn) {
            text += ' ';
        } else {
            pad_to(text, used, kSyntaxColumn);
        }
        text += line.japanese;
        out += text;
        out += '\n';
    }
    if (!line.values_en.empty() || !line.values_ja.empty()) append_values(out, line.values_en, line.values_ja);
}

std::string help_text() {
    const std::string rule(kRuleWidth, '-');
    std::string out = "\n";
    out += std::string(kProductName) + ": Release " + std::string(kRelease) + "\n";
    out += "\n";
    out += rule + "\n";
    for (const HelpSection &section : help_sections()) {
        out += std::string(section.title) + "\n";
        for (const HelpLine &line : section.lines) append_line(out, line);
        out += "\n";
        if (section.closer == Closer::kBlankAndRule) out += rule + "\n";
    }
    out += "■変数\n";
    for (const HelpLine &line : variable_lines()) append_line(out, line);
    out += " \n";
    return out;
}

}  // namespace

extern "C" {

int TXLS_put_values(XLS_BOOK *record, const char *text) {
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_put_values()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        if (!text || !*text) return 0;
        return book->err.fail(run_statements(*book, text));
    });
}

int TXLS_is_property(XLS_BOOK *record, const char *name, int *id) {
    if (id) *id = kPropNone;
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_is_property()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        if (!id) return book->err.fail(kBadArgument);
        int resolved = kPropNone;
        PropertyTarget target;
        int rc = tsx_parse_property(*book, caller_to_utf8(*book, name), resolved, target);
        if (rc != 0) return book->err.fail(kBadArgument);
        // A variable name is no property.
        *id = resolved == kPropVariable ? kPropNone : resolved;
        return 0;
    });
}

// Accepted for callers of the older interface; it changes nothing (statements do the work).
int TXLS_set_property(XLS_BOOK *record, const char *, const char *) {
    if (record) record->error_code = 0;
    return 0;
}

int TXLS_help(void) {
    try {
        std::string text = from_utf8(help_text(), kSjis);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    } catch (...) {
        // Printing help never fails the caller.
    }
    return 0;
}

}  // extern "C"
