// The kinds of autoshape a statement can place: their words, Japanese names, preset geometries
// and adjust guides.

#include "model/shape.h"

namespace tabsmith {
namespace {

// The adjust guide names are those of the preset definitions: a preset with one handle calls it
// "adj", presets with several number them. Presets whose guides are no plain handles (the regular
// pentagon's hf/vf) take no adjust values.
constexpr ShapeKind kKinds[] = {
    {"RECT", "四角形", "rect", "", ""},
    {"ROUND_RECT", "角丸四角形", "roundRect", "adj", ""},
    {"OVAL", "楕円", "ellipse", "", ""},
    {"TRIANGLE", "二等辺三角形", "triangle", "adj", ""},
    {"RIGHT_TRIANGLE", "直角三角形", "rtTriangle", "", ""},
    {"DIAMOND", "ひし形", "diamond", "", ""},
    {"PENTAGON", "正五角形", "pentagon", "", ""},
    {"HEXAGON", "六角形", "hexagon", "adj", ""},
    {"OCTAGON", "八角形", "octagon", "adj", ""},
    {"PARALLELOGRAM", "平行四辺形", "parallelogram", "adj", ""},
    {"TRAPEZOID", "台形", "trapezoid", "adj", ""},
    {"CROSS", "十字形", "plus", "adj", ""},
    {"PLUS", "", "plus", "adj", ""},
    {"STAR4", "星4", "star4", "adj", ""},
    {"STAR5", "星5", "star5", "adj", ""},
    {"STAR6", "星6", "star6", "adj", ""},
    {"STAR8", "星8", "star8", "adj", ""},
    {"STAR16", "星16", "star16", "adj", ""},
    {"STAR24", "星24", "star24", "adj", ""},
    {"ARROW_RIGHT", "右矢印", "rightArrow", "adj1", "adj2"},
    {"ARROW_LEFT", "左矢印", "leftArrow", "adj1", "adj2"},
    {"ARROW_UP", "上矢印", "upArrow", "adj1", "adj2"},
    {"ARROW_DOWN", "下矢印", "downArrow", "adj1", "adj2"},
    {"ARROW_LEFT_RIGHT", "左右矢印", "leftRightArrow", "adj1", "adj2"},
    {"ARROW_UP_DOWN", "上下矢印", "upDownArrow", "adj1", "adj2"},
    {"CHEVRON", "山形", "chevron", "adj", ""},
    {"HOME_PLATE", "ホームベース", "homePlate", "adj", ""},
    {"LINE", "直線", "line", "", "", true},
    {"CALLOUT_RECT", "四角形吹き出し", "wedgeRectCallout", "adj1", "adj2"},
    {"CALLOUT_ROUND_RECT", "角丸四角形吹き出し", "wedgeRoundRectCallout", "adj1", "adj2"},
    {"CALLOUT_OVAL", "円形吹き出し", "wedgeEllipseCallout", "adj1", "adj2"},
    {"CALLOUT_CLOUD", "雲形吹き出し", "cloudCallout", "adj1", "adj2"},
    {"SMILEY", "スマイル", "smileyFace", "adj", ""},
    {"HEART", "ハート", "heart", "", ""},
    {"CLOUD", "雲", "cloud", "", ""},
    {"BLOCK_ARC", "アーチ", "blockArc", "adj1", "adj2"},
    {"DONUT", "ドーナツ", "donut", "adj", ""},
    {"NO_SYMBOL", "禁止", "noSmoking", "adj", ""},
    {"CAN", "円柱", "can", "adj", ""},
    {"CUBE", "直方体", "cube", "adj", ""},
    {"BEVEL", "額縁", "bevel", "adj", ""},
    {"FOLDED_CORNER", "メモ", "foldedCorner", "adj", ""},
    {"LIGHTNING", "稲妻", "lightningBolt", "", ""},
    {"SUN", "太陽", "sun", "adj", ""},
    {"MOON", "月", "moon", "adj", ""},
    {"FLOWCHART_PROCESS", "フローチャート処理", "flowChartProcess", "", ""},
    {"FLOWCHART_DECISION", "フローチャート判断", "flowChartDecision", "", ""},
    {"FLOWCHART_TERMINATOR", "フローチャート端子", "flowChartTerminator", "", ""},
    {"FLOWCHART_DATA", "フローチャートデータ", "flowChartInputOutput", "", ""},
};

}  // namespace

std::span<const ShapeKind> shape_kinds() { return kKinds; }

}  // namespace tabsmith
