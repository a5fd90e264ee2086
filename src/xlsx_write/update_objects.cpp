// Object parts of a save into a package read earlier: numbering after the package's parts,
// relationship parts extended in place, anchors added to a drawing the package already has.

#include "xlsx_write/update_objects.h"

#include <algorithm>
#include <cstdlib>

#include "support/package_path.h"
#include "support/results.h"
#include "support/zip_reader.h"
#include "xlsx_write/annotation_parts.h"
#include "xlsx_write/drawing_part.h"
#include "xlsx_write/sparkline_ext.h"
#include "xlsx_write/chart_part.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/xml_splice.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kDrawingNamespace = "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing";
constexpr std::string_view kDrawingMainNamespace = "http://schemas.openxmlformats.org/drawingml/2006/main";
constexpr std::string_view kDrawingContentType = "application/vnd.openxmlformats-officedocument.drawing+xml";
constexpr std::string_view kChartContentType = "application/vnd.openxmlformats-officedocument.drawingml.chart+xml";
constexpr std::string_view kCommentsContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml";
constexpr std::string_view kVmlContentType = "application/vnd.openxmlformats-officedocument.vmlDrawing";
constexpr std::string_view kTableContentType = "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml";

// A package part is read for splicing only up to this size.
constexpr std::uint64_t kMaxSplicedPartBytes = 256ULL << 20;

constexpr XmlTemplate kRelationship{"<Relationship Id=\"rId{id}\" Type=\"{type}\" Target=\"{target}\"/>"};
constexpr XmlTemplate kReference{"<{element}{declaration} {attribute}=\"rId{id}\"/>"};

const PackageEntry *find_entry(const PackageSource &source, std::string_view name) {
    for (const PackageEntry &entry : source.entries)
        if (same_part_name(entry.name, name)) return &entry;
    return nullptr;
}

// The plain text of a package entry; kFail when it cannot be inflated.
int read_entry(const PackageEntry &entry, std::string &out) {
    const int rc = inflate_stored_entry(entry, entry.raw, out, kMaxSplicedPartBytes);
    return rc == kNoMemory ? kNoMemory : rc == kOk ? kOk : kFail;
}

// The highest n of entries named "<anything>/<stem><n><dot...>" (stem "drawings/drawing").
int highest_number(const PackageSource &source, std::string_view stem) {
    int highest = 0;
    for (const PackageEntry &entry : source.entries) {
        const std::string_view name = entry.name;
        std::size_t at = name.rfind(stem);
        if (at == std::string_view::npos || (at > 0 && name[at - 1] != '/')) continue;
        at += stem.size();
        std::size_t digits = at;
        while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9') ++digits;
        if (digits == at || digits - at > 6 || digits >= name.size() || name[digits] != '.') continue;
        highest = std::max(highest, std::atoi(std::string(name.substr(at, digits - at)).c_str()));
    }
    return highest;
}

// The package folder that holds the workbook's parts ("xl"): new object parts go below it as a
// new package puts them below "xl".
std::string in_package_folder(std::string_view folder, const std::string &create_name) {
    if (folder == "xl"sv || !create_name.starts_with("xl/")) return create_name;
    return (folder.empty() ? std::string() : std::string(folder) + "/") + create_name.substr(3);
}

// The relationship elements of a relationship part's text, as written.
std::string relationship_elements(std::string_view rels) {
    XmlElementPlace root;
    std::vector<XmlElementPlace> children;
    if (!find_root_element(rels, root) || !find_child_elements(rels, root, children)) return {};
    std::string out;
    for (const XmlElementPlace &child : children) out.append(child.text(rels));
    return out;
}

// The relationship part text with `added` relationship elements appended (a new part when the
// package had none).
int extend_relationships(std::string_view rels, std::string_view added, std::string &out) {
    if (rels.empty()) {
        out = std::string(kRelationshipsHead) + std::string(added) + std::string(kRelationshipsTail);
        return kOk;
    }
    XmlElementPlace root;
    if (!find_root_element(rels, root)) return kFail;
    std::string inner(added);
    // Elements the engine writes carry no prefix; a prefixed root gets its namespace as default.
    std::vector<TextEdit> edits;
    const std::string tag = with_default_namespace(root.start_tag(rels));
    append_to_element(root, tag, inner, edits);
    out = apply_text_edits(rels, std::move(edits));
    return kOk;
}

// The target part of relationship `id` in a relationship part of `source_part`; "" when none.
std::string relationship_target_of(std::string_view rels, std::string_view source_part, std::string_view id) {
    XmlElementPlace root;
    std::vector<XmlElementPlace> children;
    if (!find_root_element(rels, root) || !find_child_elements(rels, root, children)) return {};
    for (const XmlElementPlace &child : children) {
        std::string_view value;
        const std::string_view tag = child.start_tag(rels);
        if (tag_attribute(tag, "Id", value) && value == id) return relationship_tag_target(tag, source_part);
    }
    return {};
}

// The highest id="n" of the cNvPr elements of a drawing.
int highest_object_id(std::string_view drawing) {
    int highest = 0;
    for (std::size_t at = drawing.find("cNvPr "); at != std::string_view::npos; at = drawing.find("cNvPr ", at + 1)) {
        const std::size_t end = drawing.find('>', at);
        if (end == std::string_view::npos) break;
        std::string_view id;
        if (tag_attribute("<" + std::string(drawing.substr(at, end + 1 - at)), "id", id))
            highest = std::max(highest, std::atoi(std::string(id).c_str()));
    }
    return highest;
}

// The anchors of a drawing part text the engine wrote, ready to go inside another drawing's
// root: each declares the namespaces it uses unless that root declares them already.
std::string drawing_anchors(std::string_view drawing, std::string_view host_root_tag) {
    XmlElementPlace root;
    std::vector<XmlElementPlace> anchors;
    if (!find_root_element(drawing, root) || !find_child_elements(drawing, root, anchors)) return {};
    std::string prefix;
    const bool xdr = declared_prefix(host_root_tag, kDrawingNamespace, prefix) && prefix == "xdr";
    const bool a = declared_prefix(host_root_tag, kDrawingMainNamespace, prefix) && prefix == "a";
    std::string out;
    for (const XmlElementPlace &anchor : anchors) {
        std::string tag(anchor.start_tag(drawing));
        if (!xdr) tag = tag_with_attribute(tag, "xmlns:xdr", kDrawingNamespace);
        if (!a) tag = tag_with_attribute(tag, "xmlns:a", kDrawingMainNamespace);
        out.append(tag).append(drawing.substr(anchor.start_end, anchor.end - anchor.start_end));
    }
    return out;
}

// The package's comments part with the engine's comments of the sheet added: their author joins
// the package's authors, and their author references follow.
int merge_comments(std::string_view old_text, std::string_view added, std::string &out) {
    XmlElementPlace old_root, new_root;
    std::vector<XmlElementPlace> old_children, new_children;
    if (!find_root_element(old_text, old_root) || !find_child_elements(old_text, old_root, old_children) ||
        !find_root_element(added, new_root) || !find_child_elements(added, new_root, new_children))
        return kFail;
    const XmlElementPlace *authors = find_child(old_children, "authors");
    const XmlElementPlace *list = find_child(old_children, "commentList");
    const XmlElementPlace *new_authors = find_child(new_children, "authors");
    const XmlElementPlace *new_list = find_child(new_children, "commentList");
    if (!authors || !list || !new_authors || !new_list) return kFail;
    std::vector<XmlElementPlace> old_authors, new_comments, author;
    if (!find_child_elements(old_text, *authors, old_authors) || !find_child_elements(added, *new_list, new_comments) ||
        !find_child_elements(added, *new_authors, author) || author.empty())
        return kFail;
    const std::string author_id = std::to_string(old_authors.size());
    std::string comments;
    for (const XmlElementPlace &comment : new_comments) {
        comments.append(tag_with_attribute(comment.start_tag(added), "authorId", author_id));
        comments.append(added.substr(comment.start_end, comment.end - comment.start_end));
    }
    // The engine writes its elements without a prefix; a prefixed package root gets its namespace
    // as the default.
    std::vector<TextEdit> edits;
    const std::string root_tag = with_default_namespace(old_root.start_tag(old_text));
    if (root_tag != old_root.start_tag(old_text)) edits.push_back({old_root.begin, old_root.start_end, root_tag});
    append_to_element(*authors, authors->start_tag(old_text), author.front().text(added), edits);
    append_to_element(*list, list->start_tag(old_text), comments, edits);
    out = apply_text_edits(old_text, std::move(edits));
    return kOk;
}

// Comment boxes already drawn in the package's note drawings: new box ids continue after the
// highest "_x0000_s<n>" shape, counted in the steps the engine numbers its boxes with.
int highest_comment_shape(const PackageSource &source) {
    int highest = 0;
    for (const PackageEntry &entry : source.entries) {
        if (!entry.name.ends_with(".vml")) continue;
        std::string text;
        if (read_entry(entry, text) != kOk) continue;
        for (std::size_t at = text.find("_x0000_s"); at != std::string::npos; at = text.find("_x0000_s", at + 1))
            highest = std::max(highest, std::atoi(text.c_str() + at + 8));
    }
    if (highest < kFirstCommentShapeId) return 0;
    return (highest - kFirstCommentShapeId) / kCommentShapeIdStep + 1;
}

// The highest table part number or table id of the package: table ids are unique in a workbook.
int highest_table_id(const PackageSource &source) {
    int highest = highest_number(source, "tables/table");
    for (const PackageEntry &entry : source.entries) {
        if (entry.name.find("tables/") == std::string::npos || !entry.name.ends_with(".xml")) continue;
        std::string text;
        XmlElementPlace root;
        std::string_view id;
        if (read_entry(entry, text) == kOk && find_root_element(text, root) &&
            tag_attribute(root.start_tag(text), "id", id))
            highest = std::max(highest, std::atoi(std::string(id).c_str()));
    }
    return highest;
}

// One sheet's share of the update.
class SheetObjects {
public:
    SheetObjects(const Book &book, const UpdatePlan &plan, ObjectUpdate &update, int sheet_index)
        : book_(book), source_(*book.source), update_(update), sheet_index_(sheet_index),
          placement_(plan.sheets[static_cast<std::size_t>(sheet_index)]),
          sheet_(*book.sheets[static_cast<std::size_t>(sheet_index)]) {}

    int run();

private:
    int read_sheet_relationships();
    int add_drawing();
    int add_background();
    int add_hyperlinks();
    int add_comments();
    int add_tables();
    void add_sparklines();
    std::string relationship_target_of_type(std::string_view kind) const;
    // Declares the relationships prefix "r" on the element's start tag where the worksheet root
    // does not declare it (the writers of these elements use "r:id").
    std::string with_relationship_prefix(std::string element) const;
    std::string reference(std::string_view element, int id) const;
    int add_relationship(std::string_view kind, const std::string &part);

    const Book &book_;
    const PackageSource &source_;
    ObjectUpdate &update_;
    int sheet_index_;
    const SheetPlacement &placement_;
    const Sheet &sheet_;
    std::string rels_path_, rels_xml_, added_relationships_;
    int next_relationship_ = 1;
};

int SheetObjects::read_sheet_relationships() {
    rels_path_ = relationships_part_name(placement_.part_path);
    if (placement_.new_part) return kOk;   // a new part has no relationships yet
    if (const PackageEntry *entry = find_entry(source_, rels_path_))
        if (int rc = read_entry(*entry, rels_xml_); rc != kOk) return rc;
    next_relationship_ = highest_relationship_number(rels_xml_) + 1;
    return kOk;
}

int SheetObjects::add_relationship(std::string_view kind, const std::string &part) {
    const int id = next_relationship_++;
    xml_fill<kRelationship>(added_relationships_, id, std::string(kRelationshipTypeBase) + std::string(kind),
                            XmlAttribute{part_target(placement_.part_path, part)});
    return id;
}

// A worksheet element that refers to a relationship: <drawing r:id="rId3"/>, with the prefix the
// package's root gives the relationships namespace (declared on the element when it has none).
std::string SheetObjects::reference(std::string_view element, int id) const {
    bool declared = false;
    std::string prefix = "r";
    if (sheet_.source) {
        std::string found;
        if (declared_prefix(sheet_.source->root_start_tag, kRelationshipsNamespace, found) && !found.empty()) {
            prefix = found;
            declared = true;
        }
    }
    std::string declaration;
    if (!declared) declaration = " xmlns:r=\"" + std::string(kRelationshipsNamespace) + "\"";
    std::string out;
    xml_fill<kReference>(out, element, std::string_view(declaration), std::string_view(qualified_name(prefix, "id")), id);
    return out;
}

int SheetObjects::add_drawing() {
    const std::size_t s = static_cast<std::size_t>(sheet_index_);
    SheetObjectParts &numbers = update_.parts.sheets[s];
    if (numbers.drawing == 0) return kOk;
    const std::string_view folder = part_folder(source_.workbook_path);

    // A sheet kept from the package that has a drawing already gets its new anchors there.
    std::string existing_path;
    if (!placement_.new_part && sheet_.source) {
        for (const SheetSource::Element &element : sheet_.source->elements) {
            if (element.name != "drawing") continue;
            XmlElementPlace root;
            std::string_view id;
            std::string attribute = "r:id", prefix;
            if (declared_prefix(sheet_.source->root_start_tag, kRelationshipsNamespace, prefix))
                attribute = qualified_name(prefix, "id");
            if (find_root_element(element.text, root) && tag_attribute(root.start_tag(element.text), attribute, id))
                existing_path = relationship_target_of(rels_xml_, placement_.part_path, id);
        }
    }
    const PackageEntry *existing = existing_path.empty() ? nullptr : find_entry(source_, existing_path);
    std::string drawing_xml, drawing_rels_xml;
    const std::string drawing_rels_path = existing ? relationships_part_name(existing_path) : std::string();
    if (existing) {
        if (int rc = read_entry(*existing, drawing_xml); rc != kOk) return rc;
        if (const PackageEntry *rels = find_entry(source_, drawing_rels_path))
            if (int rc = read_entry(*rels, drawing_rels_xml); rc != kOk) return rc;
        numbers.first_drawing_relationship = highest_relationship_number(drawing_rels_xml) + 1;
        numbers.first_drawing_object_id = highest_object_id(drawing_xml) + 1;
    }

    std::string drawing;
    if (int rc = drawing_part(book_, sheet_index_, update_.parts, drawing); rc != kOk) return rc;
    const std::string drawing_rels = drawing_rels_part(book_, sheet_index_, update_.parts);
    if (existing) {
        XmlElementPlace root;
        if (!find_root_element(drawing_xml, root)) return kFail;
        std::vector<TextEdit> edits;
        append_to_element(root, root.start_tag(drawing_xml), drawing_anchors(drawing, root.start_tag(drawing_xml)),
                          edits);
        update_.written.push_back({existing_path, apply_text_edits(drawing_xml, std::move(edits))});
        std::string rels;
        if (int rc = extend_relationships(drawing_rels_xml, relationship_elements(drawing_rels), rels); rc != kOk)
            return rc;
        update_.written.push_back({drawing_rels_path, std::move(rels)});
        return kOk;
    }
    const std::string path = in_package_folder(folder, part_file_name(kPartDrawing, numbers.drawing));
    update_.written.push_back({path, std::move(drawing)});
    update_.written.push_back(
        {in_package_folder(folder, part_file_name(kPartDrawingRels, numbers.drawing)), drawing_rels});
    update_.overrides.emplace_back(path, kDrawingContentType);
    update_.sheets[s].elements.push_back({"drawing", reference("drawing", add_relationship("drawing", path))});
    return kOk;
}

int SheetObjects::add_background() {
    const int media = update_.parts.sheets[static_cast<std::size_t>(sheet_index_)].background_media;
    if (media == 0) return kOk;
    for (const MediaItem &item : update_.parts.media) {
        if (item.number != media) continue;
        const std::string path = in_package_folder(part_folder(source_.workbook_path),
                                                   "xl/media/image" + std::to_string(item.number) + "." +
                                                       std::string(picture_extension(item.picture->type)));
        update_.sheets[static_cast<std::size_t>(sheet_index_)].elements.push_back(
            {"picture", reference("picture", add_relationship("image", path))});
    }
    return kOk;
}

std::string SheetObjects::with_relationship_prefix(std::string element) const {
    std::string prefix;
    if (sheet_.source && declared_prefix(sheet_.source->root_start_tag, kRelationshipsNamespace, prefix) &&
        prefix == "r")
        return element;
    XmlElementPlace root;
    if (!find_root_element(element, root)) return element;
    return tag_with_attribute(root.start_tag(element), "xmlns:r", kRelationshipsNamespace) +
           element.substr(root.start_end);
}

// The part the first relationship of that kind in the sheet's relationships leads to; "" none.
std::string SheetObjects::relationship_target_of_type(std::string_view kind) const {
    XmlElementPlace root;
    std::vector<XmlElementPlace> children;
    if (!find_root_element(rels_xml_, root) || !find_child_elements(rels_xml_, root, children)) return {};
    for (const XmlElementPlace &child : children) {
        std::string_view type;
        const std::string_view tag = child.start_tag(rels_xml_);
        if (tag_attribute(tag, "Type", type) && type.size() > kind.size() && type.ends_with(kind) &&
            type[type.size() - kind.size() - 1] == '/')
            return relationship_tag_target(tag, placement_.part_path);
    }
    return {};
}

int SheetObjects::add_hyperlinks() {
    if (sheet_.annotations.hyperlinks.empty()) return kOk;
    const int first = next_relationship_ - 1;
    write_hyperlink_relationships(sheet_, first, added_relationships_);
    next_relationship_ += external_hyperlink_count(sheet_);
    std::string element;
    write_hyperlinks(book_, sheet_, sheet_index_, first, element);
    if (!element.empty())
        update_.sheets[static_cast<std::size_t>(sheet_index_)].elements.push_back(
            {"hyperlinks", with_relationship_prefix(std::move(element))});
    return kOk;
}

// Comments go into the comments part and note drawing a kept sheet has already, or into new ones.
int SheetObjects::add_comments() {
    if (sheet_.annotations.comments.empty()) return kOk;
    const std::size_t s = static_cast<std::size_t>(sheet_index_);
    const SheetObjectParts &numbers = update_.parts.sheets[s];
    const std::string comments = comments_part(book_, sheet_);
    const std::string vml = vml_drawing_part(sheet_, numbers.vml_drawing, numbers.first_comment_shape);
    const std::string_view folder = part_folder(source_.workbook_path);

    const bool kept = !placement_.new_part && sheet_.source &&
                      std::any_of(sheet_.source->elements.begin(), sheet_.source->elements.end(),
                                  [](const SheetSource::Element &e) { return e.name == "legacyDrawing"; });
    const std::string old_comments = kept ? relationship_target_of_type("comments") : std::string();
    const std::string old_vml = kept ? relationship_target_of_type("vmlDrawing") : std::string();
    const PackageEntry *comments_entry = old_comments.empty() ? nullptr : find_entry(source_, old_comments);
    const PackageEntry *vml_entry = old_vml.empty() ? nullptr : find_entry(source_, old_vml);
    if (comments_entry && vml_entry) {
        std::string old_text, old_vml_text;
        if (int rc = read_entry(*comments_entry, old_text); rc != kOk) return rc;
        if (int rc = read_entry(*vml_entry, old_vml_text); rc != kOk) return rc;
        std::string merged;
        if (int rc = merge_comments(old_text, comments, merged); rc != kOk) return rc;
        update_.written.push_back({old_comments, std::move(merged)});
        // The note drawing is not strict XML: the new shapes go before its last end tag.
        const std::size_t end = old_vml_text.rfind("</xml>");
        const std::size_t shapes = vml.find("</o:shapelayout>");
        if (end == std::string::npos || shapes == std::string::npos) return kFail;
        std::string text = old_vml_text.substr(0, end);
        text.append(vml, shapes + std::string_view("</o:shapelayout>").size(),
                    vml.rfind("</xml>") - shapes - std::string_view("</o:shapelayout>").size());
        text.append(old_vml_text, end);
        update_.written.push_back({old_vml, std::move(text)});
        return kOk;
    }
    const std::string comments_path = in_package_folder(folder, part_file_name(kPartComments, numbers.comments));
    const std::string vml_path = in_package_folder(folder, part_file_name(kPartVmlDrawing, numbers.vml_drawing));
    update_.written.push_back({comments_path, comments});
    update_.written.push_back({vml_path, vml});
    update_.overrides.emplace_back(comments_path, kCommentsContentType);
    update_.defaults.emplace_back("vml", kVmlContentType);
    add_relationship("comments", comments_path);
    update_.sheets[s].elements.push_back(
        {"legacyDrawing", reference("legacyDrawing", add_relationship("vmlDrawing", vml_path))});
    return kOk;
}

int SheetObjects::add_tables() {
    const auto &tables = sheet_.annotations.tables;
    if (tables.empty()) return kOk;
    const std::size_t s = static_cast<std::size_t>(sheet_index_);
    const std::vector<int> &numbers = update_.parts.sheets[s].tables;
    std::string parts;
    for (std::size_t k = 0; k < tables.size() && k < numbers.size(); ++k) {
        const std::string path = in_package_folder(part_folder(source_.workbook_path), part_file_name(kPartTable, numbers[k]));
        update_.written.push_back({path, table_part(tables[k], numbers[k])});
        update_.overrides.emplace_back(path, kTableContentType);
        parts.append(reference("tablePart", add_relationship("table", path)));
    }
    update_.sheets[s].elements.push_back(
        {"tableParts", "<tableParts count=\"" + std::to_string(tables.size()) + "\">" + parts + "</tableParts>"});
    return kOk;
}

void SheetObjects::add_sparklines() {
    std::string element;
    write_sparkline_ext(book_, sheet_index_, element);
    if (!element.empty())
        update_.sheets[static_cast<std::size_t>(sheet_index_)].elements.push_back({"extLst", std::move(element)});
}

int SheetObjects::run() {
    const SheetObjectParts &numbers = update_.parts.sheets[static_cast<std::size_t>(sheet_index_)];
    const SheetAnnotations &annotations = sheet_.annotations;
    if (numbers.drawing == 0 && numbers.background_media == 0 && annotations.comments.empty() &&
        annotations.hyperlinks.empty() && annotations.tables.empty() && sheet_.sparklines.empty())
        return kOk;
    if (int rc = read_sheet_relationships(); rc != kOk) return rc;
    // The sheet's relationships in the order a new package gives them.
    if (int rc = add_hyperlinks(); rc != kOk) return rc;
    if (int rc = add_background(); rc != kOk) return rc;
    if (int rc = add_drawing(); rc != kOk) return rc;
    if (int rc = add_comments(); rc != kOk) return rc;
    if (int rc = add_tables(); rc != kOk) return rc;
    add_sparklines();
    if (added_relationships_.empty()) return kOk;
    std::string rels;
    if (int rc = extend_relationships(rels_xml_, added_relationships_, rels); rc != kOk) return rc;
    update_.written.push_back({rels_path_, std::move(rels)});
    return kOk;
}

}  // namespace

int plan_object_update(const Book &book, const UpdatePlan &plan, ObjectUpdate &update) {
    update = ObjectUpdate{};
    if (!book.source) return kFail;
    const PackageSource &source = *book.source;
    TakenPartNumbers taken;
    taken.drawing = highest_number(source, "drawings/drawing");
    taken.chart = highest_number(source, "charts/chart");
    taken.media = highest_number(source, "media/image");
    taken.comments = highest_number(source, "comments");
    taken.vml_drawing = highest_number(source, "drawings/vmlDrawing");
    // Finding these inflates the package's note drawings and tables: only a book that adds
    // comments or tables pays for it.
    bool comments = false, tables = false;
    for (const auto &sheet : book.sheets) {
        comments = comments || !sheet->annotations.comments.empty();
        tables = tables || !sheet->annotations.tables.empty();
    }
    if (comments) taken.comment_shapes = highest_comment_shape(source);
    if (tables) taken.table = highest_table_id(source);
    update.parts = plan_object_parts(book, taken);
    update.sheets.resize(book.sheets.size());
    const std::string_view folder = part_folder(source.workbook_path);

    for (int s = 0; s < book.sheet_count(); ++s) {
        SheetObjects sheet(book, plan, update, s);
        if (int rc = sheet.run(); rc != kOk) return rc;
    }
    for (std::size_t k = 0; k < book.drawings.size(); ++k) {
        const int number = update.parts.chart_of_object[k];
        if (number == 0) continue;
        const std::string path = in_package_folder(folder, part_file_name(kPartChart, number));
        update.written.push_back({path, chart_part(book, book.drawings[k])});
        update.overrides.emplace_back(path, kChartContentType);
    }
    for (const MediaItem &item : update.parts.media) {
        const std::string extension(picture_extension(item.picture->type));
        update.written.push_back(
            {in_package_folder(folder, "xl/media/image" + std::to_string(item.number) + "." + extension), {}, item.picture});
        update.defaults.emplace_back(extension, picture_content_type(item.picture->type));
    }
    // One Default per extension, however many sheets asked for it.
    std::vector<std::pair<std::string, std::string>> defaults;
    for (auto &entry : update.defaults)
        if (std::none_of(defaults.begin(), defaults.end(), [&](const auto &d) { return d.first == entry.first; }))
            defaults.push_back(std::move(entry));
    update.defaults = std::move(defaults);
    return kOk;
}

}  // namespace tabsmith
