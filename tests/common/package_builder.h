// Small workbook packages written part by part for the reader tests: the minimal parts of a
// workbook (each replaceable) and a zip writer for any list of entries.
#pragma once

#include <minizip/zip.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tabsmith::testing {

using PackageParts = std::vector<std::pair<std::string, std::string>>;

// Writes the entries into a new zip archive at `path`; false when minizip fails.
inline bool write_package(const std::string &path, const PackageParts &parts) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip) return false;
    bool ok = true;
    for (const auto &[name, text] : parts) {
        const zip_fileinfo info{};
        ok = ok && zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6, 0) == ZIP_OK &&
             zipWriteInFileInZip(zip, text.data(), static_cast<unsigned>(text.size())) == ZIP_OK && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

constexpr const char *kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char *kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char *kPackageRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";

inline std::string worksheet_xml(const std::string &rows, const std::string &after = "") {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"") + kMainNs +
           "\" xmlns:r=\"" + kRelNs + "\"><sheetData>" + rows + "</sheetData>" + after + "</worksheet>";
}

// A workbook of the given sheets (name, worksheet XML), with optional styles and shared strings.
// Sheet k (1-based) is the part xl/worksheets/sheet<k>.xml with relationship rId<k>.
struct WorkbookPackage {
    std::vector<std::pair<std::string, std::string>> sheets;
    std::string styles;          // whole styles part, "" for none
    std::string shared_strings;  // whole part, "" for none
    std::string workbook_pr;     // e.g. "<workbookPr date1904=\"1\"/>"

    PackageParts parts() const {
        const std::string office = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
        std::string types = "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                            "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                            "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                            "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" + office + "sheet.main+xml\"/>";
        std::string book = std::string("<?xml version=\"1.0\"?><workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs +
                           "\">" + workbook_pr + "<sheets>";
        const std::string head = std::string("<?xml version=\"1.0\"?><Relationships xmlns=\"") + kPackageRelNs + "\">";
        std::string rels = head;
        PackageParts out;
        // A part of the workbook: its relationship, content type and text.
        auto add = [&](const std::string &id, const std::string &kind, const std::string &target, const std::string &text) {
            rels += "<Relationship Id=\"" + id + "\" Type=\"" + kRelNs + "/" + kind + "\" Target=\"" + target + "\"/>";
            types += "<Override PartName=\"/xl/" + target + "\" ContentType=\"" + office + kind + "+xml\"/>";
            out.emplace_back("xl/" + target, text);
        };
        for (std::size_t k = 1; k <= sheets.size(); ++k) {
            const std::string n = std::to_string(k);
            book += "<sheet name=\"" + sheets[k - 1].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
            add("rId" + n, "worksheet", "worksheets/sheet" + n + ".xml", sheets[k - 1].second);
        }
        if (!styles.empty()) add("rIdS", "styles", "styles.xml", styles);
        if (!shared_strings.empty()) add("rIdT", "sharedStrings", "sharedStrings.xml", shared_strings);
        out.emplace_back("[Content_Types].xml", types + "</Types>");
        out.emplace_back("_rels/.rels", head + "<Relationship Id=\"rId1\" Type=\"" + kRelNs + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
        out.emplace_back("xl/workbook.xml", book + "</sheets></workbook>");
        out.emplace_back("xl/_rels/workbook.xml.rels", rels + "</Relationships>");
        return out;
    }
};

inline std::string shared_strings_xml(const std::vector<std::string> &items) {
    std::string text = std::string("<?xml version=\"1.0\"?><sst xmlns=\"") + kMainNs + "\">";
    for (const std::string &item : items) text += "<si>" + item + "</si>";
    return text + "</sst>";
}

// A styles part with the given numFmts and cellXfs contents (xf 0 first).
inline std::string styles_xml(const std::string &num_fmts, const std::string &cell_xfs) {
    return std::string("<?xml version=\"1.0\"?><styleSheet xmlns=\"") + kMainNs + "\">" + num_fmts +
           "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
           "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></fills>"
           "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
           "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
           "<cellXfs>" + cell_xfs + "</cellXfs></styleSheet>";
}

}  // namespace tabsmith::testing
