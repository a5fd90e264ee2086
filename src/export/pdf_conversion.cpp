// The converter run behind the PDF export: LibreOffice headless with a profile and temporary
// folder of its own inside the conversion's work folder, so that conversions run side by side
// and nothing of one is left anywhere once its folder is removed.

#include "export/pdf_conversion.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <unistd.h>

#include "support/files.h"
#include "support/process_runner.h"

namespace tabsmith {
namespace {

// Below the work folder: the converter's profile, its temporary files, the PDF it writes and
// what it prints.
constexpr const char *kProfileFolder = "/profile";
constexpr const char *kConverterTempFolder = "/tmp";
constexpr const char *kOutputFolder = "/out";
constexpr const char *kConverterLog = "/converter.log";
constexpr std::string_view kPdfSignature = "%PDF-";
// The part of the converter's output a message quotes.
constexpr std::size_t kQuotedOutputBytes = 200;
constexpr std::size_t kLogTailBytes = 4096;

bool is_unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
}

// LibreOffice takes its profile as a file URL: every byte outside the unreserved set escaped.
std::string file_url(const std::string &path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        if (is_unreserved(c)) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

// The converter's own words for a failure: its last line starting "Error" (LibreOffice ends
// with unrelated warnings), else its last line; printable ASCII only, cut to fit a message.
std::string converter_says(const std::string &log_path) {
    std::string text;
    if (aod_read_all(1, log_path, text) != 0) return {};
    if (text.size() > kLogTailBytes) text.erase(0, text.size() - kLogTailBytes);
    std::string last, last_error;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) {
            last = line;
            if (line.starts_with("Error")) last_error = line;
        }
        start = end + 1;
    }
    std::string said = last_error.empty() ? last : last_error;
    for (char &c : said)
        if (c < ' ' || c > '~' || c == '"') c = '?';
    if (said.size() > kQuotedOutputBytes) said.resize(kQuotedOutputBytes);
    return said;
}

// The stem of the book's file name: LibreOffice names its PDF after it.
std::string pdf_name_for(const std::string &book_path) {
    std::string folder, file;
    split_path(book_path, kUtf8, folder, file);
    return replace_extension(file, "pdf");
}

std::string seconds_text(double seconds) {
    char text[32];
    auto [end, rc] = std::to_chars(text, text + sizeof text, seconds);
    return rc == std::errc() ? std::string(text, end) : std::string("?");
}

bool looks_like_pdf(const std::string &bytes) { return bytes.starts_with(kPdfSignature); }

// The PDF into the target, which is replaced only by a complete file.
int write_target(const std::string &target, const std::string &bytes) {
    ReplacementFile file;
    if (file.create(target) != 0) return kWriteError;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(file.descriptor(), bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return kWriteError;   // the temporary file goes with `file`
        written += static_cast<std::size_t>(n);
    }
    return file.commit();
}

}  // namespace

int find_pdf_converter(PdfConversion &conversion, ErrorSink &err) {
    conversion.converter_path = find_program(conversion.converter);
    if (conversion.converter_path.empty()) return err.raise(kConvertError, Msg::k03700, conversion.converter.c_str());
    return 0;
}

int convert_book_to_pdf(const PdfConversion &conversion, ErrorSink &err) {
    const std::string &work = conversion.work_folder;
    const std::string output_folder = work + kOutputFolder;
    const std::string temp_folder = work + kConverterTempFolder;
    const std::string log_path = work + kConverterLog;
    for (const std::string &folder : {output_folder, temp_folder})
        if (make_folders(folder) != 0) return err.raise(kWriteError, Msg::k03122, folder.c_str());

    ProgramRequest request;
    request.program = conversion.converter_path;
    request.arguments = {"-env:UserInstallation=" + file_url(work + kProfileFolder),
                         "--headless", "--norestore", "--convert-to", "pdf", "--outdir", output_folder,
                         conversion.book_path};
    // The converter's temporary files stay in the work folder too, also when it is killed.
    request.environment = {"TMPDIR=" + temp_folder, "TMP=" + temp_folder, "TEMP=" + temp_folder};
    request.output_path = log_path;
    request.timeout_seconds = conversion.timeout_seconds;
    const ProgramRun run = run_program(request);
    const char *converter = conversion.converter_path.c_str();
    switch (run.end) {
    case ProgramEnd::kExited:
        if (run.status == 0) break;
        return err.raise(kConvertError, Msg::k03701, converter, run.status, converter_says(log_path).c_str());
    case ProgramEnd::kSignalled:
        // As the shells report it.
        return err.raise(kConvertError, Msg::k03701, converter, 128 + run.status, converter_says(log_path).c_str());
    case ProgramEnd::kTimedOut:
        return err.raise(kConvertError, Msg::k03702, seconds_text(conversion.timeout_seconds).c_str(), converter);
    case ProgramEnd::kNotFound:
    case ProgramEnd::kNotStarted: return err.raise(kConvertError, Msg::k03700, converter);
    }

    // A workbook the converter cannot load ends with success and no file.
    std::string pdf;
    const int read = aod_read_all(1, output_folder + "/" + pdf_name_for(conversion.book_path), pdf);
    if (read == kNoMemory) return err.raise_out_of_memory();
    if (read != 0 || !looks_like_pdf(pdf))
        return err.raise(kConvertError, Msg::k03703, converter, converter_says(log_path).c_str());
    if (write_target(conversion.target, pdf) != 0) return err.raise(kWriteError, Msg::k03120, conversion.target.c_str());
    return 0;
}

}  // namespace tabsmith
