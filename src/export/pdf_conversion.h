// PDF output through LibreOffice run headless: a saved workbook converted inside a private work
// folder (the converter's profile and temporary files included) and the PDF moved to its target.
#pragma once

#include <string>

#include "support/errors.h"

namespace tabsmith {

constexpr const char *kDefaultPdfConverter = "soffice";
constexpr double kDefaultPdfTimeoutSeconds = 120;

struct PdfConversion {
    std::string converter;       // as the caller named it: a path, or a name looked up on PATH
    std::string converter_path;  // found by find_pdf_converter
    std::string book_path;       // the saved workbook, inside work_folder
    std::string work_folder;     // private to this conversion; its owner removes it afterwards
    std::string target;          // where the PDF goes
    double timeout_seconds = kDefaultPdfTimeoutSeconds;
};

// Finds the converter before anything is saved: 0, or kConvertError with TXLS-03700.
int find_pdf_converter(PdfConversion &conversion, ErrorSink &err);

// Runs the converter on the book and replaces the target with the PDF it wrote. 0, or
// kConvertError with TXLS-03700 (could not be started), 03701 (ended with an error), 03702 (out
// of time: killed with every process it started) or 03703 (wrote no PDF); kWriteError with
// TXLS-03120 when the target cannot be written (it is left as it was); kNoMemory.
int convert_book_to_pdf(const PdfConversion &conversion, ErrorSink &err);

}  // namespace tabsmith
