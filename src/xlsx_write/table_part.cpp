// The table part of a table format (xl/tables/table<n>.xml): its range, column names and
// built-in style.

#include "xlsx_write/annotation_parts.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

constexpr XmlTemplate kTableHead{
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?><table "
    "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" id=\"{number}\" name=\"テーブル{number}\" "
    "displayName=\"テーブル{number}\" ref=\"{first}:{last}\" totalsRowShown=\"0\"><autoFilter ref=\"{first}:{last}\" />"
    "<tableColumns count=\"{count}\">"};
constexpr XmlTemplate kTableColumn{"<tableColumn id=\"{id}\" name=\"{name}\" />"};
constexpr XmlTemplate kTableTail{
    "</tableColumns><tableStyleInfo name=\"TableStyle{family}{style}\" showFirstColumn=\"0\" showLastColumn=\"0\" "
    "showRowStripes=\"1\" showColumnStripes=\"0\" /></table>"};

std::string_view family_name(TableStyleFamily family) {
    switch (family) {
    case TableStyleFamily::kMedium: return "Medium";
    case TableStyleFamily::kDark: return "Dark";
    case TableStyleFamily::kLight: break;
    }
    return "Light";
}

}  // namespace

std::string table_part(const TableFormat &table, int number) {
    std::string out;
    xml_fill<kTableHead>(out, number, CellName{table.row1, table.column1}, CellName{table.row2, table.column2},
                         table.column2 - table.column1 + 1);
    int id = 0;
    for (const std::string &name : table.column_names) xml_fill<kTableColumn>(out, ++id, XmlAttribute{name});
    xml_fill<kTableTail>(out, family_name(table.family), table.style);
    return out;
}

}  // namespace tabsmith
