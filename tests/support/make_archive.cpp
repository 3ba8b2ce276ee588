#include "tests/support/make_archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

#include "tarvane/engine/base64.h"

namespace tarvane::test {

std::string MakeArchive(const std::string& format, const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string out;
    std::unique_ptr<archive, int (*)(archive*)> a(archive_write_new(), archive_write_free);
    auto append = [](archive*, void* to, const void* bytes, size_t size) {
        static_cast<std::string*>(to)->append(static_cast<const char*>(bytes), size);
        return static_cast<la_ssize_t>(size);
    };
    bool made = (format == "7z" ? archive_write_set_format_7zip : archive_write_set_format_zip)(a.get()) == 0 &&
                archive_write_set_bytes_in_last_block(a.get(), 1) == 0 &&
                archive_write_open(a.get(), &out, nullptr, append, nullptr) == 0;
    for (const auto& [name, bytes] : entries) {
        std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(), archive_entry_free);
        archive_entry_set_pathname(entry.get(), name.c_str());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(bytes.size()));
        made = made && archive_write_header(a.get(), entry.get()) == 0 &&
               archive_write_data(a.get(), bytes.data(), bytes.size()) == static_cast<la_ssize_t>(bytes.size());
    }
    if (archive_write_close(a.get()) != 0 || !made) {
        throw std::runtime_error("cannot make a " + format + " archive");
    }
    return out;
}

std::string ReprDigest(const std::string& bytes) {
    unsigned char digest[32];
    EVP_Digest(bytes.data(), bytes.size(), digest, nullptr, EVP_sha256(), nullptr);
    return "sha-256=:" + Base64Encode(std::string(reinterpret_cast<char*>(digest), 32)) + ":";
}

}  // namespace tarvane::test
