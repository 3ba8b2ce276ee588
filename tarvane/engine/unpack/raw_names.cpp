#include "tarvane/engine/unpack/raw_names.h"

#include <archive_entry.h>

#include "platform/codepage.h"

namespace tarvane {

std::string RawNames::At(std::int64_t index) {
    if (!reader_ && !failed_) {
        reader_ = NewArchiveReader(set_, {}, false);
        source_.Attach(reader_.get());
        failed_ = !source_.Open(set_.parts) || archive_read_open1(reader_.get()) != ARCHIVE_OK;
    }
    archive_entry* entry = nullptr;
    while (!failed_ && next_ <= index) {
        int result = archive_read_next_header(reader_.get(), &entry);
        failed_ = result != ARCHIVE_OK && result != ARCHIVE_WARN;
        ++next_;
    }
    const char* name = failed_ || next_ != index + 1 || entry == nullptr ? nullptr : archive_entry_pathname(entry);
    return name == nullptr ? std::string()
                           : platform::ConvertCodePage(platform::kAnsiCodePage, platform::kUtf8CodePage, name);
}

}  // namespace tarvane
