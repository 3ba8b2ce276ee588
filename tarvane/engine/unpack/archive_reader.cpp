#include "tarvane/engine/unpack/archive_reader.h"

namespace tarvane {

namespace {

// Only the filters built into the library: the others would start outside programs.
void SupportFilters(archive* a) {
    archive_read_support_filter_gzip(a);
    archive_read_support_filter_bzip2(a);
    archive_read_support_filter_xz(a);
    archive_read_support_filter_lzma(a);
    archive_read_support_filter_zstd(a);
}

}  // namespace

void SupportGameArchives(archive* a) {
    archive_read_support_format_zip(a);
    archive_read_support_format_7zip(a);
    archive_read_support_format_rar(a);
    archive_read_support_format_rar5(a);
    archive_read_support_format_tar(a);
    SupportFilters(a);
}

ArchiveReader NewArchiveReader(const ArchiveSet& set, const std::string& password, bool codePageNames) {
    ArchiveReader reader(archive_read_new());
    archive* a = reader.get();
    if (set.spannedZip) {
        // Its directory counts offsets per part: only the entries' own headers read through.
        archive_read_support_format_zip_streamable(a);
        SupportFilters(a);
    } else {
        SupportGameArchives(a);
    }
    if (codePageNames) {
        // Names without the UTF-8 mark were written on a Chinese system.
        archive_read_set_options(a, "zip:hdrcharset=CP936,rar:hdrcharset=CP936");
    }
    if (!password.empty()) {
        archive_read_add_passphrase(a, password.c_str());
    }
    return reader;
}

}  // namespace tarvane
