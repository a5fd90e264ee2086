// Entries into the archive (deflated texts, streamed parts, copied entries) and the two
// targets of a save: a memory file, or a disk file replaced by a complete archive only.

#include "xlsx_write/package_archive.h"

#include "support/deflate_pipeline.h"
#include "support/files.h"
#include "support/mfile.h"
#include "support/results.h"
#include "support/zip_reader.h"

namespace tabsmith {
namespace {

constexpr std::uint64_t kZip32Limit = 0xFFFFFFFFull;

DeflatePipeline::Output archive_output(ZipPackageWriter &zip) {
    return [&zip](const unsigned char *data, std::size_t size) { return zip.write_raw(data, size); };
}

int finish_entry(ZipPackageWriter &zip, DeflatePipeline &pipeline) {
    if (int rc = pipeline.finish(); rc != kOk) return rc;
    return archive_failure(zip.end_entry(pipeline.input_size(), pipeline.crc32()));
}

// Hands the pieces of a streamed part to the pipeline, and gives the writer back a string
// with room left by a piece already compressed.
class PipelineSink : public PartSink {
public:
    explicit PipelineSink(DeflatePipeline &pipeline) : pipeline_(pipeline) {}
    int take(std::string &text) override {
        int rc = pipeline_.write(std::move(text));
        text = pipeline_.spare_piece();
        return rc;
    }
    bool takes_deflated() const override { return true; }
    int take_deflated(DeflateBytes &&joinable, std::uint32_t crc, std::uint64_t plain_size) override {
        return pipeline_.write_deflated(std::move(joinable), crc, plain_size);
    }

private:
    DeflatePipeline &pipeline_;
};

// A save into a memory file. However it ends (a result or memory running out), the routing
// flag comes back and no half-written memory file stays behind.
int write_memory_archive(const std::string &name, const ArchiveFill &fill) {
    struct Restore {
        const std::string &name;
        int route = zip_route();
        bool complete = false;
        ~Restore() {
            set_zip_route(route);
            if (!complete) mrelease(name);   // finds the entry without asking for memory
        }
    } restore{name};
    set_zip_route(0);
    ZipPackageWriter zip;
    int rc = zip.open(name);
    set_zip_route(restore.route);
    if (rc != kOk) return archive_failure(rc);
    rc = fill(zip);
    if (rc == kOk) rc = archive_failure(zip.close());
    restore.complete = rc == kOk;
    return rc;
}

// The target is only ever replaced by a complete archive, written under a name nobody else
// can have chosen; a failure anywhere, up to the rename, removes that file and keeps the old
// target.
int write_disk_archive(const SaveTarget &target, const ArchiveFill &fill) {
    ReplacementFile file;
    if (file.create(target.name) != kOk) return kWriteError;
    int rc;
    {
        ZipPackageWriter zip;
        rc = zip.open_descriptor(file.descriptor());
        if (rc != kOk) rc = archive_failure(rc);
        else if ((rc = fill(zip)) == kOk) rc = archive_failure(zip.close());
    }
    if (rc == kOk) rc = file.commit(target.read_version);
    return rc;
}

}  // namespace

int archive_failure(int rc) { return rc == kOk || rc == kNoMemory ? rc : kWriteError; }

int archive_text_entry(ZipPackageWriter &zip, const std::string &name, std::string &&text) {
    const std::string owned = std::move(text);
    return archive_bytes_entry(zip, name, owned);
}

int archive_bytes_entry(ZipPackageWriter &zip, const std::string &name, std::string_view bytes) {
    if (int rc = zip.begin_entry(name, bytes.size() >= kZip32Limit); rc != kOk) return archive_failure(rc);
    DeflatePipeline pipeline(archive_output(zip), bytes.size() > kDeflatePieceBytes ? 0 : 1);
    for (std::size_t at = 0; at < bytes.size(); at += kDeflatePieceBytes)
        if (int rc = pipeline.write(std::string(bytes.substr(at, kDeflatePieceBytes))); rc != kOk) return rc;
    return finish_entry(zip, pipeline);
}

int archive_streamed_entry(ZipPackageWriter &zip, const std::string &name, std::uint64_t bound,
                           const StreamedPart &write, std::size_t piece_bytes) {
    if (int rc = zip.begin_entry(name, bound >= kZip32Limit); rc != kOk) return archive_failure(rc);
    DeflatePipeline pipeline(archive_output(zip));
    PipelineSink sink(pipeline);
    std::string rest;
    int rc = write(rest, &sink, piece_bytes);
    if (rc == kOk) rc = pipeline.write(std::move(rest));
    return rc != kOk ? rc : finish_entry(zip, pipeline);
}

int archive_copied_entry(ZipPackageWriter &zip, const PackageEntry &entry) {
    // The entry goes in exactly as the package stored it: same bytes, CRC, sizes and time.
    return archive_failure(zip.copy_entry(entry, entry.raw));
}

int write_package_archive(const SaveTarget &target, const ArchiveFill &fill) {
    return target.to_memory ? write_memory_archive(target.name, fill) : write_disk_archive(target, fill);
}

}  // namespace tabsmith
