// The pictures, hyperlinks and comments of a package's sheet, read for the view of a book from
// the parts a save copies unread: the sheet's relationships, its hyperlinks element, its
// comments part and its drawing with the drawing's media.

#include "readers/package_objects.h"

#include <charconv>

#include "model/address.h"
#include "readers/xlsx_parts.h"
#include "readers/xml_scanner.h"
#include "support/package_path.h"
#include "support/results.h"
#include "support/zip_reader.h"

namespace tabsmith {
namespace {

using namespace std::string_view_literals;

// A part or picture larger than this is not read for a view.
constexpr std::uint64_t kMaxViewPartBytes = 64ULL << 20;
constexpr double kDrawingUnitsPerPixel = 9525.0;

const PackageEntry *entry_named(const PackageSource &source, std::string_view name) {
    if (name.empty()) return nullptr;
    for (const PackageEntry &entry : source.entries)
        if (same_part_name(entry.name, name)) return &entry;
    return nullptr;
}

// The plain bytes of a package part; false when it is missing or cannot be inflated.
bool part_bytes(const PackageSource &source, std::string_view name, std::string &out) {
    const PackageEntry *entry = entry_named(source, name);
    if (!entry) return false;
    const int rc = inflate_stored_entry(*entry, entry->raw, out, kMaxViewPartBytes);
    if (rc == kNoMemory) throw std::bad_alloc();
    return rc == kOk;
}

std::vector<Relationship> part_relationships(const PackageSource &source, std::string_view part) {
    std::vector<Relationship> relationships;
    std::string text;
    if (part_bytes(source, relationships_part_name(part), text)) read_relationships(text, part, relationships);
    return relationships;
}

const Relationship *relationship_of(const std::vector<Relationship> &relationships, std::string_view id) {
    for (const Relationship &relationship : relationships)
        if (relationship.id == id) return &relationship;
    return nullptr;
}

std::string decoded(std::string_view raw) {
    std::string text;
    xml_decode_append(text, raw);
    return text;
}

bool first_cell_of(std::string_view ref, int &row, int &column) {
    return parse_cell_name(ref.substr(0, ref.find(':')), row, column) == 0;
}

void read_links(const SheetSource &sheet, const std::vector<Relationship> &relationships, SheetObjects &out) {
    for (const SheetSource::Element &element : sheet.elements) {
        if (element.name != "hyperlinks"sv) continue;
        XmlScanner scanner(element.text);
        for (XmlToken token; (token = scanner.next()) != XmlToken::kEndOfInput;) {
            if (token != XmlToken::kStart || scanner.local_name() != "hyperlink"sv) continue;
            std::string_view value;
            Hyperlink link;
            if (!scanner.attribute("ref", value) || !first_cell_of(decoded(value), link.row, link.column)) continue;
            const Relationship *target = scanner.attribute("id", value) ? relationship_of(relationships, decoded(value)) : nullptr;
            if (target && target->external) {
                link.target = target->target;
            } else if (!scanner.attribute("location", value) || !parse_book_location(decoded(value), link)) {
                continue;
            }
            out.links.push_back(std::move(link));
        }
    }
}

// Comment texts: the runs of <text>, without the phonetic guides.
void read_comments(const PackageSource &source, const std::vector<Relationship> &relationships, SheetObjects &out) {
    for (const Relationship &relationship : relationships) {
        std::string text;
        if (relationship.external || !relationship_is(relationship, "comments") ||
            !part_bytes(source, relationship.target, text))
            continue;
        XmlScanner scanner(text);
        CellComment comment;
        bool in_comment = false, in_text = false;
        int phonetic = 0;
        for (XmlToken token; (token = scanner.next()) != XmlToken::kEndOfInput;) {
            const std::string_view name = scanner.local_name();
            if (token == XmlToken::kStart) {
                std::string_view ref;
                if (name == "comment"sv) {
                    comment = CellComment{};
                    in_comment = scanner.attribute("ref", ref) && first_cell_of(decoded(ref), comment.row, comment.column);
                } else if (name == "rPh"sv) {
                    ++phonetic;
                } else if (name == "t"sv) {
                    in_text = in_comment && phonetic == 0;
                }
            } else if (token == XmlToken::kEnd) {
                if (name == "comment"sv && in_comment) {
                    out.comments.push_back(std::move(comment));
                    in_comment = false;
                } else if (name == "rPh"sv && phonetic > 0) {
                    --phonetic;
                } else if (name == "t"sv) {
                    in_text = false;
                }
            } else if (token == XmlToken::kText && in_text) {
                if (scanner.cdata()) comment.text.append(scanner.text());
                else xml_decode_append(comment.text, scanner.text());
            }
        }
    }
}

double number_of(std::string_view text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// One anchor of a drawing while it is read.
struct AnchorState {
    int depth = 0;                 // of the anchor element; 0 outside one
    int corner = 0;                // 1 inside <from>, 2 inside <to>
    std::string_view field;        // col, colOff, row, rowOff being read
    int group_depth = 0;           // pictures inside a group are left out
    bool picture = false;
    std::string embed, link;
    PlacedPicture placed;
};

void read_pictures(const PackageSource &source, const SheetSource &sheet, const std::vector<Relationship> &relationships,
                   SheetObjects &out) {
    for (const SheetSource::Element &element : sheet.elements) {
        if (element.name != "drawing"sv) continue;
        XmlScanner tag(element.text);
        std::string_view id;
        if (tag.next() != XmlToken::kStart || !tag.attribute("id", id)) continue;
        const Relationship *drawing = relationship_of(relationships, decoded(id));
        std::string text;
        if (!drawing || drawing->external || !part_bytes(source, drawing->target, text)) continue;
        const std::vector<Relationship> media = part_relationships(source, drawing->target);
        XmlScanner scanner(text);
        AnchorState anchor;
        for (XmlToken token; (token = scanner.next()) != XmlToken::kEndOfInput;) {
            const std::string_view name = scanner.local_name();
            std::string_view value;
            if (token == XmlToken::kStart) {
                if (name == "twoCellAnchor"sv || name == "oneCellAnchor"sv || name == "absoluteAnchor"sv) {
                    anchor = AnchorState{};
                    anchor.depth = scanner.depth();
                } else if (anchor.depth == 0) {
                    continue;
                } else if (name == "from"sv || name == "to"sv) {
                    anchor.corner = name == "from"sv ? 1 : 2;
                    if (anchor.corner == 2) anchor.placed.end_row = anchor.placed.end_column = 0;
                } else if (anchor.corner != 0 && (name == "col"sv || name == "colOff"sv || name == "row"sv || name == "rowOff"sv)) {
                    anchor.field = name;
                } else if ((name == "ext"sv || name == "pos"sv) && scanner.depth() == anchor.depth + 1) {
                    const bool size = name == "ext"sv;
                    if (scanner.attribute(size ? "cx" : "x", value))
                        (size ? anchor.placed.width : anchor.placed.x) = number_of(value) / kDrawingUnitsPerPixel;
                    if (scanner.attribute(size ? "cy" : "y", value))
                        (size ? anchor.placed.height : anchor.placed.y) = number_of(value) / kDrawingUnitsPerPixel;
                } else if (name == "grpSp"sv) {
                    ++anchor.group_depth;
                } else if (name == "pic"sv && anchor.group_depth == 0) {
                    anchor.picture = true;
                } else if (name == "blip"sv && anchor.picture && scanner.attribute("embed", value)) {
                    anchor.embed = decoded(value);
                } else if (name == "hlinkClick"sv && anchor.picture && scanner.attribute("id", value)) {
                    anchor.link = decoded(value);
                }
            } else if (token == XmlToken::kText && !anchor.field.empty()) {
                const double number = number_of(scanner.text());
                PlacedPicture &p = anchor.placed;
                const bool from = anchor.corner == 1;
                if (anchor.field == "col"sv) (from ? p.column : p.end_column) = static_cast<int>(number);
                else if (anchor.field == "row"sv) (from ? p.row : p.end_row) = static_cast<int>(number);
                else if (anchor.field == "colOff"sv) (from ? p.x : p.end_x) = number / kDrawingUnitsPerPixel;
                else (from ? p.y : p.end_y) = number / kDrawingUnitsPerPixel;
            } else if (token == XmlToken::kEnd) {
                if (name == anchor.field) anchor.field = {};
                else if (name == "from"sv || name == "to"sv) anchor.corner = 0;
                else if (name == "grpSp"sv && anchor.group_depth > 0) --anchor.group_depth;
                else if (anchor.depth != 0 && scanner.depth() < anchor.depth) {
                    const Relationship *file = relationship_of(media, anchor.embed);
                    if (anchor.picture && file && !file->external && part_bytes(source, file->target, anchor.placed.bytes)) {
                        const Relationship *link = anchor.link.empty() ? nullptr : relationship_of(media, anchor.link);
                        if (link && link->external) {
                            anchor.placed.has_link = true;
                            anchor.placed.link.target = link->target;
                        }
                        out.pictures.push_back(std::move(anchor.placed));
                    }
                    anchor = AnchorState{};
                }
            }
        }
    }
}

}  // namespace

int read_sheet_objects(const Book &book, int sheet_index, SheetObjects &out) {
    const Sheet *sheet = book.sheet(sheet_index);
    if (!book.source || !sheet || !sheet->source || sheet->source->part_path.empty()) return kOk;
    try {
        const PackageSource &source = *book.source;
        const std::vector<Relationship> relationships = part_relationships(source, sheet->source->part_path);
        read_links(*sheet->source, relationships, out);
        read_comments(source, relationships, out);
        read_pictures(source, *sheet->source, relationships, out);
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
    return kOk;
}

}  // namespace tabsmith
