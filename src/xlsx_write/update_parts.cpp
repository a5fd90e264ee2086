// Splices what the book changed into the texts of a package read earlier: the sheet list and
// calculation flag of the workbook, new relationships and content types, added style records and
// strings, and worksheets whose unmodelled elements stay byte for byte as the package had them.

#include "xlsx_write/update_parts.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "support/package_path.h"
#include "support/results.h"
#include "xlsx_write/book_parts.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/stored_rows.h"
#include "xlsx_write/styles_part.h"
#include "xlsx_write/update_names.h"
#include "xlsx_write/xml_splice.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kWorksheetType = "worksheet", kSharedStringsType = "sharedStrings",
                           kStylesType = "styles", kCalcChainType = "calcChain";
constexpr std::string_view kWorksheetContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
constexpr std::string_view kSharedStringsContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";
constexpr std::string_view kStylesContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";
constexpr std::string_view kCalcChainContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml";

constexpr XmlTemplate kUpdatedRelationship{"<{element} Id=\"{id}\" Type=\"{type}\" Target=\"{target}\"/>"};
constexpr XmlTemplate kDefault{"<{element} Extension=\"{extension}\" ContentType=\"{type}\"/>"};
constexpr XmlTemplate kOverride{"<{element} PartName=\"/{part}\" ContentType=\"{type}\"/>"};
constexpr XmlTemplate kUpdatedSheetEntry{"<{element} name=\"{name}\" sheetId=\"{id}\"{extra} {rid_attribute}=\"{rid}\"/>"};
constexpr XmlTemplate kSectionWithCount{"<{element} count=\"{count}\">{records}</{element}>"};
constexpr std::string_view kFullCalcOnLoad = "fullCalcOnLoad";

// Children of a workbook, a style sheet and a worksheet in the order their schemas give.
constexpr std::string_view kWorkbookOrder[] = {
    "fileVersion", "fileSharing", "workbookPr", "workbookProtection", "bookViews", "sheets", "functionGroups",
    "externalReferences", "definedNames", "calcPr", "oleSize", "customWorkbookViews", "pivotCaches", "smartTagPr",
    "smartTagTypes", "webPublishing", "fileRecoveryPr", "webPublishObjects", "extLst"};
constexpr std::string_view kStylesOrder[] = {
    "numFmts", "fonts", "fills", "borders", "cellStyleXfs", "cellXfs", "cellStyles", "dxfs", "tableStyles",
    "colors", "extLst"};
constexpr std::string_view kWorksheetOrder[] = {
    "sheetPr", "dimension", "sheetViews", "sheetFormatPr", "cols", "sheetData", "sheetCalcPr", "sheetProtection",
    "protectedRanges", "scenarios", "autoFilter", "sortState", "dataConsolidate", "customSheetViews", "mergeCells",
    "phoneticPr", "conditionalFormatting", "dataValidations", "hyperlinks", "printOptions", "pageMargins",
    "pageSetup", "headerFooter", "rowBreaks", "colBreaks", "customProperties", "cellWatches", "ignoredErrors",
    "smartTags", "drawing", "legacyDrawing", "legacyDrawingHF", "drawingHF", "picture", "oleObjects", "controls",
    "webPublishItems", "tableParts", "extLst"};

// The worksheet elements the engine writes from a sheet's settings, with their names.
struct ModelledElement {
    SheetElement element;
    std::string_view name;
};
constexpr ModelledElement kModelledElements[] = {
    {SheetElement::kSheetPr, "sheetPr"},
    {SheetElement::kSheetViews, "sheetViews"},
    {SheetElement::kSheetFormatPr, "sheetFormatPr"},
    {SheetElement::kCols, "cols"},
    {SheetElement::kSheetProtection, "sheetProtection"},
    {SheetElement::kAutoFilter, "autoFilter"},
    {SheetElement::kMergeCells, "mergeCells"},
    {SheetElement::kPageMargins, "pageMargins"},
    {SheetElement::kPageSetup, "pageSetup"},
    {SheetElement::kHeaderFooter, "headerFooter"},
    {SheetElement::kRowBreaks, "rowBreaks"},
    {SheetElement::kColBreaks, "colBreaks"},
};

// Elements of a template sheet that refer to parts through the sheet's own relationships; a
// copy of the sheet has none of those relationships.
constexpr std::string_view kRelationshipBoundElements[] = {
    "drawing", "legacyDrawing", "legacyDrawingHF", "drawingHF", "picture", "tableParts", "oleObjects", "controls"};

std::string_view prefix_of(std::string_view qualified) {
    std::size_t colon = qualified.find(':');
    return colon == std::string_view::npos ? std::string_view() : qualified.substr(0, colon);
}

std::string relationship_type(std::string_view kind) { return std::string(kRelationshipTypeBase) + std::string(kind); }

bool is_relationship_type(std::string_view type, std::string_view kind) {
    return type.size() > kind.size() && type.ends_with(kind) && type[type.size() - kind.size() - 1] == '/';
}

// Parses a part into its root and the root's children.
bool parse_part(std::string_view xml, XmlElementPlace &root, std::vector<XmlElementPlace> &children) {
    return find_root_element(xml, root) && find_child_elements(xml, root, children);
}

// The attribute name of relationship ids as the start tag declares it ("r:id"); "r:id" also when
// the tag does not declare the namespace (the caller then declares it).
std::string relationship_id_attribute(std::string_view start_tag, bool *declared = nullptr) {
    std::string prefix;
    const bool found = declared_prefix(start_tag, kRelationshipsNamespace, prefix) && !prefix.empty();
    if (declared) *declared = found;
    return qualified_name(found ? std::string_view(prefix) : "r"sv, "id");
}

// Attribute operations on the attribute text of a workbook <sheet> element (" state=\"hidden\"").
std::string attributes_without(std::string_view attributes, std::string_view name) {
    std::string tag = "<x" + std::string(attributes) + "/>";
    tag = tag_without_attribute(tag, name);
    return tag.substr(2, tag.size() - 4);
}

// A part name as part names compare: without regard to letter case.
std::string folded_part_name(std::string_view name) {
    std::string out(name);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The part names a save may not give a new part: the package's entries and the names chosen so
// far, compared as part names are (without regard to letter case). New names count up from the
// last one given for the same stem, so that a thousand new sheets cost a thousand lookups.
class PartNames {
public:
    explicit PartNames(const Book &book) {
        for (const PackageEntry &entry : book.source->entries) taken_.insert(folded_part_name(entry.name));
    }
    void take(std::string_view name) { taken_.insert(folded_part_name(name)); }

    // "<folder>/<stem><n>.xml" with the first n from `first` on that is not taken.
    std::string fresh(std::string_view folder, std::string_view stem, int first) {
        const std::string key = std::string(folder) + "/" + std::string(stem);
        int &next = next_[key];
        for (int n = std::max(first, next);; ++n) {
            std::string name(folder);
            if (!name.empty()) name.push_back('/');
            name.append(stem);
            if (n > 0) name.append(std::to_string(n));
            name.append(".xml");
            if (!taken_.contains(folded_part_name(name))) {
                next = n + 1;
                return name;
            }
        }
    }

private:
    std::unordered_set<std::string> taken_;
    std::unordered_map<std::string, int> next_;
};

// The sheet's attributes of its workbook <sheet> element besides name, sheetId and r:id: the
// package's, with the visibility the book gives the sheet when it changed that.
std::string sheet_element_attributes(const Sheet &sheet) {
    const bool hidden = sheet.settings.hidden;
    if (!sheet.source) return hidden ? std::string(kHiddenState) : std::string();
    const bool was_hidden = sheet.source->loaded && sheet.source->loaded->settings.hidden;
    std::string attributes = sheet.source->sheet_element_extra;
    if (hidden == was_hidden) return attributes;
    attributes = attributes_without(attributes, "state");
    if (hidden) attributes.append(kHiddenState);
    return attributes;
}

bool attributes_hide(std::string_view attributes) {
    const std::string tag = "<x" + std::string(attributes) + "/>";
    std::string_view state;
    return tag_attribute(tag, "state", state) && state != "visible"sv;
}

// ---- Worksheets ----

const Sheet &default_sheet() {
    static const Sheet sheet;
    return sheet;
}

int worksheet_rank(std::string_view local) {
    for (std::size_t k = 0; k < std::size(kWorksheetOrder); ++k)
        if (kWorksheetOrder[k] == local) return static_cast<int>(k);
    return -1;
}

// One top-level element of the worksheet being written, with its place in the schema order.
struct SheetPiece {
    int rank = 0;
    int sequence = 0;               // document order within a rank
    std::string_view name;
    std::string text;
    bool sheet_data = false;
};

// Whether any tag in the text carries the attribute (a plain search: the names compared are
// qualified, and a value cannot hold a blank before a name and '=').
bool contains_attribute(std::string_view text, std::string_view attribute) {
    const std::string needle = std::string(attribute) + "=";
    for (std::size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + 1)) {
        const char before = at > 0 ? text[at - 1] : '<';
        if (before == ' ' || before == '\t' || before == '\r' || before == '\n') return true;
    }
    return false;
}

// The element with the children that carry the attribute left out; empty when none is left.
std::string without_children_carrying(std::string_view element, std::string_view attribute) {
    XmlElementPlace root;
    std::vector<XmlElementPlace> children;
    if (!parse_part(element, root, children)) return {};
    std::vector<TextEdit> edits;
    std::size_t kept = 0;
    for (const XmlElementPlace &child : children) {
        if (contains_attribute(child.text(element), attribute)) edits.push_back({child.begin, child.end, {}});
        else ++kept;
    }
    if (kept == 0) return {};
    return apply_text_edits(element, std::move(edits));
}

// The elements a copy of a template sheet keeps: those that refer to the template's own
// relationships go (or lose the reference, where it is optional), and a code name of its own
// is left for the reader to give.
std::vector<SheetSource::Element> copy_elements(const SheetSource &source) {
    const std::string rid = relationship_id_attribute(source.root_start_tag);
    std::vector<SheetSource::Element> kept;
    for (const SheetSource::Element &element : source.elements) {
        const std::string_view name = element.name;
        if (std::find(std::begin(kRelationshipBoundElements), std::end(kRelationshipBoundElements), name) !=
            std::end(kRelationshipBoundElements))
            continue;
        SheetSource::Element copy{element.name, element.text};
        if (name == "hyperlinks"sv || name == "extLst"sv) {
            copy.text = without_children_carrying(element.text, rid);
            if (copy.text.empty()) continue;
        } else if (name == "AlternateContent"sv) {
            if (contains_attribute(element.text, rid)) continue;
        } else if (name == "pageSetup"sv || name == "customSheetViews"sv) {
            copy.text = without_attribute_everywhere(element.text, rid);
        } else if (name == "sheetPr"sv) {
            XmlElementPlace root;
            if (find_root_element(element.text, root))
                copy.text = tag_without_attribute(root.start_tag(element.text), "codeName") +
                            element.text.substr(root.start_end);
        }
        kept.push_back(std::move(copy));
    }
    return kept;
}

// A worksheet element for the book's objects joined with the package's element of that name:
// hyperlinks and table parts keep the package's entries and add the book's (a package link on a
// cell the book links anew gives way), an extension list keeps its extensions and takes the
// book's sparkline groups into its own group list where it has one. Anything else the book's
// element replaces.
int merged_object_element(std::string_view package, std::string_view added, std::string &out) {
    out = std::string(added);
    XmlElementPlace old_root, new_root;
    std::vector<XmlElementPlace> old_children, new_children;
    if (!parse_part(package, old_root, old_children) || !parse_part(added, new_root, new_children)) return kFail;
    const std::string_view name = new_root.local;
    if (name != "hyperlinks"sv && name != "tableParts"sv && name != "extLst"sv) return kOk;
    std::vector<TextEdit> edits;
    std::string inner;
    if (name == "extLst"sv) {
        // The package's sparkline group list, if any, takes the book's groups.
        for (const XmlElementPlace &ext : old_children) {
            std::vector<XmlElementPlace> lists;
            if (!find_child_elements(package, ext, lists)) return kFail;
            const XmlElementPlace *groups = find_child(lists, "sparklineGroups");
            if (!groups) continue;
            std::string added_groups;
            for (const XmlElementPlace &new_ext : new_children) {
                std::vector<XmlElementPlace> new_lists, new_groups;
                if (!find_child_elements(added, new_ext, new_lists)) return kFail;
                const XmlElementPlace *list = find_child(new_lists, "sparklineGroups");
                if (!list || !find_child_elements(added, *list, new_groups)) continue;
                for (const XmlElementPlace &group : new_groups) {
                    std::string tag(group.start_tag(added));
                    tag = tag_with_attribute(tag, "xmlns:x14", "http://schemas.microsoft.com/office/spreadsheetml/2009/9/main");
                    tag = tag_with_attribute(tag, "xmlns:xm", "http://schemas.microsoft.com/office/excel/2006/main");
                    added_groups.append(tag).append(added.substr(group.start_end, group.end - group.start_end));
                }
            }
            append_to_element(*groups, groups->start_tag(package), added_groups, edits);
            out = apply_text_edits(package, std::move(edits));
            return kOk;
        }
        for (const XmlElementPlace &child : new_children) inner.append(child.text(added));
        append_to_element(old_root, old_root.start_tag(package), inner, edits);
        out = apply_text_edits(package, std::move(edits));
        return kOk;
    }
    std::set<std::string> refs;
    for (const XmlElementPlace &child : new_children) {
        std::string_view ref;
        if (tag_attribute(child.start_tag(added), "ref", ref)) refs.insert(std::string(ref));
        inner.append(child.text(added));
    }
    std::size_t kept = 0;
    for (const XmlElementPlace &child : old_children) {
        std::string_view ref;
        if (tag_attribute(child.start_tag(package), "ref", ref) && refs.count(std::string(ref)))
            edits.push_back({child.begin, child.end, {}});
        else
            ++kept;
    }
    std::string tag(old_root.start_tag(package));
    if (name == "tableParts"sv) tag = tag_with_attribute(tag, "count", std::to_string(kept + new_children.size()));
    append_to_element(old_root, tag, inner, edits);
    out = apply_text_edits(package, std::move(edits));
    return kOk;
}

// The pieces of a worksheet part in writing order: the package's elements (modelled ones kept
// where the book left their settings as read), the engine's elements for changed settings, a
// new dimension and the place of sheetData.
int worksheet_pieces(const Book &book, int sheet_index, const SheetPlacement &placement, const SheetExtent &extent,
                     std::vector<SheetPiece> &pieces) {
    const Sheet &sheet = *book.sheets[static_cast<std::size_t>(sheet_index)];
    const SheetSource *source = sheet.source.get();
    std::vector<SheetSource::Element> copied;
    if (source && placement.template_copy) copied = copy_elements(*source);
    const std::vector<SheetSource::Element> &elements =
        source ? (placement.template_copy ? copied : source->elements) : copied;

    // An element the schema does not list (markup compatibility wrappers, say) keeps its place
    // before the next element it does list.
    std::vector<int> ranks(elements.size());
    int next_rank = static_cast<int>(std::size(kWorksheetOrder));
    for (std::size_t k = elements.size(); k > 0; --k) {
        int rank = worksheet_rank(elements[k - 1].name);
        if (rank < 0) rank = next_rank;
        else next_rank = rank;
        ranks[k - 1] = rank;
    }
    std::vector<bool> dropped(elements.size(), false);

    SheetElementContext context{book};
    context.sheet_number = sheet_index + 1;
    context.used_columns = extent.last_column + 1;
    context.printer_settings_id = 0;   // the package's printer settings relationship may not exist
    const Sheet &loaded = source && source->loaded ? *source->loaded : default_sheet();
    for (const ModelledElement &modelled : kModelledElements) {
        std::string now, before;
        if (int rc = write_sheet_element(sheet, modelled.element, context, now); rc != kOk) return rc;
        if (source) {
            if (int rc = write_sheet_element(loaded, modelled.element, context, before); rc != kOk) return rc;
            if (now == before) continue;   // the package's element (or its absence) stands
        }
        int sequence = INT_MAX;
        for (std::size_t k = 0; k < elements.size(); ++k) {
            if (elements[k].name != modelled.name) continue;
            if (sequence == INT_MAX) sequence = static_cast<int>(k);
            dropped[k] = true;
        }
        if (!now.empty())
            pieces.push_back({worksheet_rank(modelled.name), sequence, modelled.name, std::move(now), false});
    }

    for (const SheetSource::Element &added : placement.object_elements) {
        int sequence = INT_MAX;
        std::string text = added.text;
        for (std::size_t k = 0; k < elements.size(); ++k) {
            if (elements[k].name != added.name) continue;
            if (sequence == INT_MAX) {
                sequence = static_cast<int>(k);
                if (int rc = merged_object_element(elements[k].text, added.text, text); rc != kOk) return rc;
            }
            dropped[k] = true;
        }
        pieces.push_back({worksheet_rank(added.name), sequence, added.name, std::move(text), false});
    }

    std::string dimension;
    write_dimension(extent, dimension);
    int dimension_sequence = -1;
    for (std::size_t k = 0; k < elements.size(); ++k) {
        if (elements[k].name == "sheetData"sv) {
            dropped[k] = true;   // never given, but its cells are the book's in any case
        } else if (elements[k].name == "dimension"sv) {
            if (dimension_sequence < 0) dimension_sequence = static_cast<int>(k);
            dropped[k] = true;
        }
    }
    pieces.push_back({worksheet_rank("dimension"), dimension_sequence, "dimension", std::move(dimension), false});
    pieces.push_back({worksheet_rank("sheetData"), -1, "sheetData", {}, true});
    for (std::size_t k = 0; k < elements.size(); ++k)
        if (!dropped[k]) pieces.push_back({ranks[k], static_cast<int>(k), elements[k].name, elements[k].text, false});
    std::stable_sort(pieces.begin(), pieces.end(), [](const SheetPiece &a, const SheetPiece &b) {
        return a.rank != b.rank ? a.rank < b.rank : a.sequence < b.sequence;
    });
    return kOk;
}

// The root's start and end tags: the package's (true), or the engine's for a sheet without one.
bool worksheet_root(const SheetSource *source, std::string &start, std::string &end) {
    std::string_view tag = source ? std::string_view(source->root_start_tag) : std::string_view();
    std::size_t name_end = 1;
    while (name_end < tag.size() && tag[name_end] != '>' && tag[name_end] != '/' && tag[name_end] != ' ' &&
           tag[name_end] != '\t' && tag[name_end] != '\r' && tag[name_end] != '\n')
        ++name_end;
    const std::string_view qualified = tag.substr(std::min<std::size_t>(1, tag.size()), name_end - 1);
    const std::size_t colon = qualified.find(':');
    const std::string_view local = colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
    if (!tag.starts_with('<') || !tag.ends_with('>') || local != "worksheet"sv) {
        start = kWorksheetStartTag;
        end = kWorksheetEndTag;
        return false;
    }
    start = with_default_namespace(tag);
    if (start.ends_with("/>")) {
        start.resize(start.size() - 2);
        start.push_back('>');
    }
    end = "</" + std::string(qualified) + ">";
    return true;
}

}  // namespace

int plan_update(const Book &book, UpdatePlan &plan) {
    plan = UpdatePlan{};
    if (!book.source) return kFail;
    const PackageSource &source = *book.source;
    const std::string_view folder = part_folder(source.workbook_path);
    PartNames names(book);

    XmlElementPlace root;
    std::vector<XmlElementPlace> children;
    if (!parse_part(source.workbook_xml, root, children)) return kFail;
    // The package's sheet ids by relationship id, and the highest one.
    const std::string rid_attribute = relationship_id_attribute(root.start_tag(source.workbook_xml));
    std::vector<std::pair<std::string, std::uint32_t>> package_ids;
    std::uint32_t highest_sheet_id = 0;
    if (const XmlElementPlace *sheets = find_child(children, "sheets")) {
        std::vector<XmlElementPlace> entries;
        if (!find_child_elements(source.workbook_xml, *sheets, entries)) return kFail;
        for (const XmlElementPlace &entry : entries) {
            std::string_view id, rid;
            const std::string_view tag = entry.start_tag(source.workbook_xml);
            if (!tag_attribute(tag, "sheetId", id)) continue;
            std::uint32_t number = static_cast<std::uint32_t>(std::strtoul(std::string(id).c_str(), nullptr, 10));
            highest_sheet_id = std::max(highest_sheet_id, number);
            if (tag_attribute(tag, rid_attribute, rid)) package_ids.emplace_back(std::string(rid), number);
        }
    }

    XmlElementPlace rels_root;
    std::vector<XmlElementPlace> rels;
    plan.workbook_rels_path = source.workbook_rels_path;
    int next_relationship = 1;
    if (!source.workbook_rels_xml.empty()) {
        if (!parse_part(source.workbook_rels_xml, rels_root, rels)) return kFail;
        next_relationship = highest_relationship_number(source.workbook_rels_xml) + 1;
        // The calculation chain may be known by its relationship only.
        plan.calc_chain_path = source.calc_chain_path;
        for (const XmlElementPlace &rel : rels) {
            std::string_view type;
            const std::string_view tag = rel.start_tag(source.workbook_rels_xml);
            if (plan.calc_chain_path.empty() && tag_attribute(tag, "Type", type) &&
                is_relationship_type(type, kCalcChainType))
                plan.calc_chain_path = relationship_tag_target(tag, source.workbook_path);
        }
    } else {
        plan.calc_chain_path = source.calc_chain_path;
    }
    if (plan.workbook_rels_path.empty()) plan.workbook_rels_path = relationships_part_name(source.workbook_path);
    auto new_relationship_id = [&] { return "rId" + std::to_string(next_relationship++); };

    const std::string worksheets_folder = (folder.empty() ? std::string() : std::string(folder) + "/") + "worksheets";
    std::unordered_set<std::string> claimed;
    for (const auto &sheet : book.sheets) {
        SheetPlacement placement;
        const SheetSource *sheet_source = sheet->source.get();
        bool from_package = sheet_source && !sheet_source->part_path.empty();
        // Two sheets never share a part: a second claim makes a new one.
        if (from_package && !claimed.insert(folded_part_name(sheet_source->part_path)).second) from_package = false;
        if (from_package) {
            placement.part_path = sheet_source->part_path;
            placement.relationship_id = sheet_source->relationship_id;
            for (const auto &[rid, id] : package_ids)
                if (rid == placement.relationship_id) placement.sheet_id = id;
        } else {
            placement.part_path = names.fresh(worksheets_folder, "sheet", 1);
            placement.relationship_id = new_relationship_id();
            placement.new_part = true;
            placement.template_copy = sheet_source != nullptr;
        }
        names.take(placement.part_path);
        plan.sheets.push_back(std::move(placement));
    }
    // Sheet ids stay unique: a package sheet without one, and every new sheet, takes the next.
    for (SheetPlacement &placement : plan.sheets)
        if (placement.sheet_id == 0) placement.sheet_id = ++highest_sheet_id;

    plan.styles_path = source.styles_path;
    if (plan.styles_path.empty()) {
        plan.styles_path = names.fresh(folder, "styles", 0);
        plan.new_styles = true;
        plan.styles_relationship_id = new_relationship_id();
        names.take(plan.styles_path);
    }
    plan.shared_strings_path = source.shared_strings_path;
    if (plan.shared_strings_path.empty() && book.shared_strings.size() > 0) {
        plan.shared_strings_path = names.fresh(folder, "sharedStrings", 0);
        plan.new_shared_strings = true;
        plan.shared_strings_relationship_id = new_relationship_id();
        names.take(plan.shared_strings_path);
    }

    // Ids of the package's formats that its entries may not show (a reader that skipped one).
    std::uint32_t highest_format_id = 0;
    XmlElementPlace styles_root;
    std::vector<XmlElementPlace> styles_children;
    if (!source.styles_xml.empty() && parse_part(source.styles_xml, styles_root, styles_children)) {
        if (const XmlElementPlace *formats = find_child(styles_children, "numFmts")) {
            std::vector<XmlElementPlace> entries;
            if (find_child_elements(source.styles_xml, *formats, entries)) {
                for (const XmlElementPlace &entry : entries) {
                    std::string_view id;
                    if (tag_attribute(entry.start_tag(source.styles_xml), "numFmtId", id))
                        highest_format_id = std::max<std::uint32_t>(
                            highest_format_id, static_cast<std::uint32_t>(std::strtoul(std::string(id).c_str(), nullptr, 10)));
                }
            }
        }
    }
    plan.added_format_ids = added_format_ids(book.styles.num_formats(), source.style_base.num_formats, highest_format_id);
    plan.full_calc_on_load = !book.settings.recalc || source.full_calc_on_load;
    return kOk;
}

int updated_workbook_part(const Book &book, const UpdatePlan &plan, std::string &out) {
    const std::string_view xml = book.source->workbook_xml;
    XmlElementPlace root;
    std::vector<XmlElementPlace> children;
    if (!parse_part(xml, root, children)) return kFail;
    const std::string_view prefix = prefix_of(root.qualified);
    bool declared = false;
    const std::string rid_attribute = relationship_id_attribute(root.start_tag(xml), &declared);
    std::vector<TextEdit> edits;

    // A workbook must keep one sheet visible, or spreadsheet programs repair it on opening.
    std::vector<std::string> attributes;
    bool all_hidden = !book.sheets.empty();
    for (const auto &sheet : book.sheets) {
        attributes.push_back(sheet_element_attributes(*sheet));
        all_hidden = all_hidden && attributes_hide(attributes.back());
    }
    if (all_hidden) attributes.front() = attributes_without(attributes.front(), "state");

    const std::vector<SavedSheet> list = saved_sheet_list(book);
    const std::string sheets_name = qualified_name(prefix, "sheets"), sheet_name = qualified_name(prefix, "sheet");
    std::string sheets = "<" + sheets_name;
    if (!declared) sheets.append(" xmlns:r=\"").append(kRelationshipsNamespace).append("\"");
    sheets.append(">");
    std::size_t k = 0;
    for (const SavedSheet &saved : list) {
        if (const PackageSource::OtherSheet *other = saved.other) {
            xml_fill<kUpdatedSheetEntry>(sheets, std::string_view(sheet_name), XmlAttribute{other->name}, other->sheet_id,
                                         std::string_view(other->extra_attributes), std::string_view(rid_attribute),
                                         XmlAttribute{other->relationship_id});
            continue;
        }
        const SheetPlacement &placement = plan.sheets[k];
        xml_fill<kUpdatedSheetEntry>(sheets, std::string_view(sheet_name), XmlAttribute{book.sheets[k]->name},
                              placement.sheet_id, std::string_view(attributes[k]), std::string_view(rid_attribute),
                              XmlAttribute{placement.relationship_id});
        ++k;
    }
    sheets.append("</").append(sheets_name).append(">");
    if (const XmlElementPlace *place = find_child(children, "sheets")) {
        edits.push_back({place->begin, place->end, std::move(sheets)});
    } else {
        const std::size_t at = ordered_insert_position(root, children, kWorkbookOrder, "sheets");
        edits.push_back({at, at, std::move(sheets)});
    }
    if (const XmlElementPlace *names = find_child(children, "definedNames"))
        edits.push_back({names->begin, names->end, updated_defined_names(names->text(xml), list, book.source->sheet_names)});

    if (plan.full_calc_on_load) {
        if (const XmlElementPlace *calc = find_child(children, "calcPr")) {
            edits.push_back({calc->begin, calc->start_end, tag_with_attribute(calc->start_tag(xml), kFullCalcOnLoad, "1")});
        } else {
            const std::size_t at = ordered_insert_position(root, children, kWorkbookOrder, "calcPr");
            edits.push_back({at, at, "<" + qualified_name(prefix, "calcPr") + " fullCalcOnLoad=\"1\"/>"});
        }
    }
    out = apply_text_edits(xml, std::move(edits));
    return kOk;
}

int updated_workbook_rels(const Book &book, const UpdatePlan &plan, std::string &out) {
    const PackageSource &source = *book.source;
    std::string empty;
    if (source.workbook_rels_xml.empty()) empty = std::string(kRelationshipsHead) + std::string(kRelationshipsTail);
    const std::string_view xml = source.workbook_rels_xml.empty() ? std::string_view(empty) : source.workbook_rels_xml;
    XmlElementPlace root;
    std::vector<XmlElementPlace> children;
    if (!parse_part(xml, root, children)) return kFail;
    std::vector<TextEdit> edits;
    for (const XmlElementPlace &child : children) {
        std::string_view type;
        const std::string_view tag = child.start_tag(xml);
        const bool chain = (tag_attribute(tag, "Type", type) && is_relationship_type(type, kCalcChainType)) ||
                           (!plan.calc_chain_path.empty() &&
                            same_part_name(relationship_tag_target(tag, source.workbook_path), plan.calc_chain_path));
        if (chain) edits.push_back({child.begin, child.end, {}});
    }
    const std::string element = qualified_name(prefix_of(root.qualified), "Relationship");
    std::string added;
    auto add = [&](const std::string &id, std::string_view kind, const std::string &part) {
        xml_fill<kUpdatedRelationship>(added, std::string_view(element), XmlAttribute{id}, relationship_type(kind),
                                XmlAttribute{part_target(source.workbook_path, part)});
    };
    for (const SheetPlacement &placement : plan.sheets)
        if (placement.new_part) add(placement.relationship_id, kWorksheetType, placement.part_path);
    if (plan.new_styles) add(plan.styles_relationship_id, kStylesType, plan.styles_path);
    if (plan.new_shared_strings) add(plan.shared_strings_relationship_id, kSharedStringsType, plan.shared_strings_path);
    if (!added.empty()) append_to_element(root, root.start_tag(xml), added, edits);
    out = apply_text_edits(xml, std::move(edits));
    return kOk;
}

int updated_content_types(const Book &book, const UpdatePlan &plan, std::string &out) {
    const std::string_view xml = book.source->content_types_xml;
    XmlElementPlace root;
    std::vector<XmlElementPlace> children;
    if (!parse_part(xml, root, children)) return kFail;
    std::vector<TextEdit> edits;
    for (const XmlElementPlace &child : children) {
        std::string_view part, type;
        const std::string_view tag = child.start_tag(xml);
        if (child.local != "Override"sv) continue;
        const bool chain = (tag_attribute(tag, "ContentType", type) && type == kCalcChainContentType) ||
                           (!plan.calc_chain_path.empty() && tag_attribute(tag, "PartName", part) &&
                            same_part_name(part.starts_with('/') ? part.substr(1) : part, plan.calc_chain_path));
        if (chain) edits.push_back({child.begin, child.end, {}});
    }
    const std::string element = qualified_name(prefix_of(root.qualified), "Override");
    std::string added;
    auto add = [&](const std::string &part, std::string_view type) {
        xml_fill<kOverride>(added, std::string_view(element), XmlAttribute{part}, type);
    };
    for (const SheetPlacement &placement : plan.sheets)
        if (placement.new_part) add(placement.part_path, kWorksheetContentType);
    if (plan.new_styles) add(plan.styles_path, kStylesContentType);
    if (plan.new_shared_strings) add(plan.shared_strings_path, kSharedStringsContentType);
    for (const auto &[part, type] : plan.added_overrides) add(part, type);
    // An extension the package declares already keeps its declaration.
    const std::string default_element = qualified_name(prefix_of(root.qualified), "Default");
    for (const auto &[extension, type] : plan.added_defaults) {
        bool declared = false;
        for (const XmlElementPlace &child : children) {
            std::string_view value;
            if (child.local == "Default"sv && tag_attribute(child.start_tag(xml), "Extension", value) &&
                same_part_name(value, extension))
                declared = true;
        }
        if (!declared) xml_fill<kDefault>(added, std::string_view(default_element), XmlAttribute{extension}, type);
    }
    if (!added.empty()) append_to_element(root, root.start_tag(xml), added, edits);
    out = apply_text_edits(xml, std::move(edits));
    return kOk;
}

int updated_styles_part(const Book &book, const UpdatePlan &plan, std::string &out) {
    if (plan.new_styles) {
        out = write_styles_part(book);
        return kOk;
    }
    const PackageSource &source = *book.source;
    const std::string_view xml = source.styles_xml;
    XmlElementPlace root;
    std::vector<XmlElementPlace> children;
    if (!parse_part(xml, root, children)) return kFail;
    const StyleRegistry &styles = book.styles;
    const StyleBase &base = source.style_base;
    const std::string_view prefix = prefix_of(root.qualified);
    std::vector<TextEdit> edits;
    // Records the engine adds are written without a prefix.
    if (std::string tag = with_default_namespace(root.start_tag(xml)); tag != root.start_tag(xml))
        edits.push_back({root.begin, root.start_end, std::move(tag)});

    // The book's own formats with the ids this save gives them.
    std::vector<NumFormat> formats = styles.num_formats();
    for (std::size_t k = 0; k < plan.added_format_ids.size() && base.num_formats + k < formats.size(); ++k)
        formats[base.num_formats + k].assigned_id = plan.added_format_ids[k];

    // Appends the records to a section (made where the schema puts it when the package has
    // none) and sets its count to the records it then holds.
    bool parsed = true;
    auto splice = [&](std::string_view name, const std::string &records, std::size_t added) {
        if (added == 0) return;
        const XmlElementPlace *section = find_child(children, name);
        if (!section) {
            const std::size_t at = ordered_insert_position(root, children, kStylesOrder, name);
            std::string text;
            xml_fill<kSectionWithCount>(text, std::string_view(qualified_name(prefix, name)), added,
                                        std::string_view(records));
            edits.push_back({at, at, std::move(text)});
            return;
        }
        std::vector<XmlElementPlace> existing;
        parsed = parsed && find_child_elements(xml, *section, existing);
        const std::string tag = tag_with_attribute(section->start_tag(xml), "count", std::to_string(existing.size() + added));
        append_to_element(*section, tag, records, edits);
    };
    auto section_children = [&](std::string_view name) {
        std::vector<XmlElementPlace> found;
        if (const XmlElementPlace *section = find_child(children, name))
            parsed = parsed && find_child_elements(xml, *section, found);
        return found;
    };

    std::set<std::uint32_t> declared_formats;
    for (const XmlElementPlace &entry : section_children("numFmts")) {
        std::string_view id;
        if (tag_attribute(entry.start_tag(xml), "numFmtId", id))
            declared_formats.insert(static_cast<std::uint32_t>(std::strtoul(std::string(id).c_str(), nullptr, 10)));
    }
    std::string records;
    std::size_t added = 0;
    // A locale-dependent built-in id a new cell format uses is declared, as a new book does.
    const auto &xfs = styles.xfs();
    for (std::size_t k = base.xfs; k < xfs.size(); ++k) {
        const std::uint32_t id = xf_number_format_id(xfs[k], formats, base.num_formats);
        const std::string_view code = locale_format_code(id);
        if (code.empty() || !declared_formats.insert(id).second) continue;
        write_num_fmt_code(id, code, records);
        ++added;
    }
    for (std::size_t k = base.num_formats; k < formats.size(); ++k)
        if (write_num_fmt_record(formats[k], records)) ++added;
    splice("numFmts", records, added);

    records.clear();
    for (std::size_t k = base.fonts; k < styles.fonts().size(); ++k) write_font_record(styles.fonts()[k], records);
    splice("fonts", records, styles.fonts().size() - std::min(base.fonts, styles.fonts().size()));

    records.clear();
    for (std::size_t k = base.fills; k < styles.fills().size(); ++k) write_fill_record(styles.fills()[k], records);
    splice("fills", records, styles.fills().size() - std::min(base.fills, styles.fills().size()));

    records.clear();
    for (std::size_t k = base.borders; k < styles.borders().size(); ++k)
        write_border_record(styles.borders()[k], records);
    splice("borders", records, styles.borders().size() - std::min(base.borders, styles.borders().size()));

    // A new cell format refers to a cell style by number; one the package does not have falls
    // back to its first.
    const std::size_t cell_styles = section_children("cellStyleXfs").size();
    records.clear();
    for (std::size_t k = base.xfs; k < xfs.size(); ++k) {
        XfRecord xf = xfs[k];
        if (xf.style_xf >= cell_styles) xf.style_xf = 0;
        write_xf_record(xf, formats, base.num_formats, records);
    }
    splice("cellXfs", records, xfs.size() - std::min(base.xfs, xfs.size()));
    if (!parsed) return kFail;
    out = apply_text_edits(xml, std::move(edits));
    return kOk;
}

std::string updated_shared_strings(const Book &book) {
    return shared_strings_part(book, book.source->shared_strings_items, book.source->shared_strings_count,
                               prefix_declarations(book.source->shared_strings_root_tag));
}

int write_updated_worksheet(const Book &book, int sheet_index, const UpdatePlan &plan, std::string &out,
                            PartSink *sink, std::size_t piece_bytes) {
    const Sheet *sheet = book.sheet(sheet_index);
    if (!sheet || static_cast<std::size_t>(sheet_index) >= plan.sheets.size()) return kFail;
    const SheetExtent extent = sheet_extent(*sheet);
    std::vector<SheetPiece> pieces;
    if (int rc = worksheet_pieces(book, sheet_index, plan.sheets[static_cast<std::size_t>(sheet_index)], extent, pieces);
        rc != kOk)
        return rc;
    std::string start, end;
    // Rows the book has not changed are written as the package stored them, under the
    // package's own root tag, which declares the prefixes they use.
    const bool own_root = worksheet_root(sheet->source.get(), start, end);
    std::optional<StoredRowWriter> stored;
    if (own_root) stored.emplace(book, *sheet);

    if (sink) out.reserve(piece_bytes + piece_bytes / 4);
    out.append(kXmlDeclaration);
    out.append(start);
    for (SheetPiece &piece : pieces) {
        if (!piece.sheet_data) {
            out.append(piece.text);
            continue;
        }
        StoredRowWriter *rows = stored && stored->usable() ? &*stored : nullptr;
        if (int rc = write_sheet_data(book, *sheet, extent, out, sink, piece_bytes, rows); rc != kOk) return rc;
    }
    out.append(end);
    return kOk;
}

std::uint64_t updated_worksheet_bound(const Book &book, int sheet_index) {
    std::uint64_t bound = worksheet_part_bound(book, sheet_index);
    const Sheet *sheet = book.sheet(sheet_index);
    if (sheet && sheet->source) {
        // Rows written back as stored take what they took in the package.
        bound += sheet->source->root_start_tag.size() + sheet->source->stored_plain_size;
        for (const SheetSource::Element &element : sheet->source->elements) bound += element.text.size();
    }
    return bound;
}

}  // namespace tabsmith
