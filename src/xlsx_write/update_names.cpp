// What a package's book-level parts say of its sheets, kept in step when a save into the package
// copied, reordered, renamed or dropped sheets: names local to a sheet and the sheet titles.

#include "xlsx_write/update_names.h"

#include <cstdlib>
#include <string>

#include "formula/references.h"
#include "support/xml_escape.h"
#include "xlsx_write/xml_splice.h"

namespace tabsmith {
namespace {

bool parse_children(std::string_view xml, const XmlElementPlace &parent, std::vector<XmlElementPlace> &children) {
    return !parent.self_closing && find_child_elements(xml, parent, children);
}

std::string_view content(std::string_view xml, const XmlElementPlace &element) {
    return xml.substr(element.start_end, element.content_end - element.start_end);
}

// The first element child of `parent` of that local name, found in `xml`.
bool child_named(std::string_view xml, const XmlElementPlace &parent, std::string_view local, XmlElementPlace &out) {
    std::vector<XmlElementPlace> children;
    if (!parse_children(xml, parent, children)) return false;
    const XmlElementPlace *found = find_child(children, local);
    if (found) out = *found;
    return found != nullptr;
}

}  // namespace

std::vector<SavedSheet> saved_sheet_list(const Book &book) {
    std::vector<SavedSheet> list;
    const auto *others = book.source ? &book.source->other_sheets : nullptr;
    std::size_t other = 0;
    auto others_before = [&](std::size_t position) {
        for (; others && other < others->size() && static_cast<std::size_t>((*others)[other].position) <= position; ++other)
            list.push_back({(*others)[other].name, (*others)[other].package_position, nullptr, &(*others)[other]});
    };
    for (std::size_t k = 0; k < book.sheets.size(); ++k) {
        others_before(k);
        const Sheet &sheet = *book.sheets[k];
        list.push_back({sheet.name, sheet.source ? sheet.source->package_position : -1, &sheet, nullptr});
    }
    others_before(static_cast<std::size_t>(-1));
    return list;
}

std::string updated_defined_names(std::string_view element, const std::vector<SavedSheet> &list,
                                  const std::vector<std::string> &package_names) {
    XmlElementPlace names;
    std::vector<XmlElementPlace> entries;
    if (!find_root_element(element, names)) return std::string(element);
    if (!parse_children(element, names, entries)) return std::string(element);
    // In names of the whole book the first saved sheet of a package sheet speaks for it.
    SheetRenames everywhere;
    std::vector<bool> seen(package_names.size(), false);
    for (const SavedSheet &saved : list) {
        const auto position = static_cast<std::size_t>(saved.package_position);
        if (saved.package_position < 0 || position >= seen.size() || seen[position]) continue;
        seen[position] = true;
        if (package_names[position] != saved.name) everywhere.emplace_back(package_names[position], saved.name);
    }
    // A name whose references did not change keeps its text as written.
    auto formula_text = [&](const XmlElementPlace &entry, const SheetRenames &renames) {
        const std::string_view written = content(element, entry);
        const std::string formula = xml_unescape(written), renamed = with_sheets_renamed(formula, renames);
        return renamed == formula ? std::string(written) : xml_escape(renamed, EscapeMode::kText);
    };
    std::string inner;
    for (const XmlElementPlace &entry : entries) {
        const std::string_view tag = entry.start_tag(element);
        const std::string end_tag = "</" + std::string(entry.qualified) + ">";
        std::string_view local;
        if (entry.local != "definedName" || entry.self_closing) {
            inner.append(entry.text(element));
        } else if (!tag_attribute(tag, "localSheetId", local)) {
            inner.append(tag).append(formula_text(entry, everywhere)).append(end_tag);
        } else {
            const int position = std::atoi(std::string(local).c_str());
            for (std::size_t k = 0; k < list.size(); ++k) {
                if (list[k].package_position != position || static_cast<std::size_t>(position) >= package_names.size())
                    continue;
                SheetRenames renames;
                if (package_names[static_cast<std::size_t>(position)] != list[k].name)
                    renames.emplace_back(package_names[static_cast<std::size_t>(position)], list[k].name);
                renames.insert(renames.end(), everywhere.begin(), everywhere.end());
                inner.append(tag_with_attribute(tag, "localSheetId", std::to_string(k)))
                    .append(formula_text(entry, renames))
                    .append(end_tag);
            }
        }
    }
    if (inner.empty()) return {};
    return std::string(names.start_tag(element)) + inner + "</" + std::string(names.qualified) + ">";
}

std::string updated_app_part(std::string_view app_xml, const std::vector<SavedSheet> &list,
                             const std::vector<std::string> &package_names) {
    XmlElementPlace root, pairs, titles, pair_vector, title_vector;
    std::vector<XmlElementPlace> variants, entries;
    if (!find_root_element(app_xml, root) || !child_named(app_xml, root, "HeadingPairs", pairs) ||
        !child_named(app_xml, root, "TitlesOfParts", titles) || !child_named(app_xml, pairs, "vector", pair_vector) ||
        !child_named(app_xml, titles, "vector", title_vector) || !parse_children(app_xml, pair_vector, variants) ||
        !parse_children(app_xml, title_vector, entries))
        return std::string(app_xml);

    // The package's worksheets, in list order: what the worksheet group of titles names.
    std::vector<std::string> package_worksheets;
    std::vector<bool> other_position(package_names.size(), false);
    for (const SavedSheet &saved : list)
        if (saved.other && saved.package_position >= 0 && static_cast<std::size_t>(saved.package_position) < other_position.size())
            other_position[static_cast<std::size_t>(saved.package_position)] = true;
    for (std::size_t k = 0; k < package_names.size(); ++k)
        if (!other_position[k]) package_worksheets.push_back(package_names[k]);

    // Heading pairs are (label, count) variants; the titles come group after group.
    std::size_t first_title = 0;
    for (std::size_t pair = 0; pair + 1 < variants.size(); pair += 2) {
        XmlElementPlace count;
        if (!child_named(app_xml, variants[pair + 1], "i4", count)) return std::string(app_xml);
        const std::size_t size = static_cast<std::size_t>(std::strtoul(std::string(content(app_xml, count)).c_str(), nullptr, 10));
        if (first_title + size > entries.size()) return std::string(app_xml);
        // The worksheets' group lists their names, or comes first (as every producer writes it)
        // with one title per worksheet.
        bool same = size == package_worksheets.size();
        for (std::size_t k = 0; same && pair > 0 && k < size; ++k)
            same = xml_unescape(content(app_xml, entries[first_title + k])) == package_worksheets[k];
        if (!same) {
            first_title += size;
            continue;
        }
        std::vector<std::string> saved_worksheets;
        for (const SavedSheet &saved : list)
            if (saved.sheet) saved_worksheets.push_back(saved.name);
        if (saved_worksheets == package_worksheets) return std::string(app_xml);
        const std::string title_name(entries.empty() ? "vt:lpstr" : std::string(entries.front().qualified));
        std::string group;
        for (const std::string &name : saved_worksheets)
            group.append("<" + title_name + ">").append(xml_escape(name, EscapeMode::kText)).append("</" + title_name + ">");
        const std::size_t group_begin = size > 0 ? entries[first_title].begin : first_title < entries.size()
                                                                                ? entries[first_title].begin : title_vector.content_end;
        const std::size_t group_end = size > 0 ? entries[first_title + size - 1].end : group_begin;
        const std::size_t total = entries.size() - size + saved_worksheets.size();
        std::vector<TextEdit> edits;
        edits.push_back({count.start_end, count.content_end, std::to_string(saved_worksheets.size())});
        edits.push_back({title_vector.begin, title_vector.start_end,
                         tag_with_attribute(title_vector.start_tag(app_xml), "size", std::to_string(total))});
        edits.push_back({group_begin, group_end, std::move(group)});
        return apply_text_edits(app_xml, std::move(edits));
    }
    return std::string(app_xml);
}

}  // namespace tabsmith
