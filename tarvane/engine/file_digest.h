#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tarvane {

// A digest of the whole file that a server sent with it.
struct ExpectedDigest {
    enum class Kind { None, Sha256, Md5 };
    Kind kind = Kind::None;
    std::string bytes;  // the raw digest, 32 or 16 bytes
};

// Reads one response header into `best`: "Repr-Digest" (sha-256=:BASE64:) and "Digest"
// (SHA-256=BASE64) give sha-256, "Content-MD5" gives MD5 and only counts for a 200 that carried the
// whole file, which the caller decides. A sha-256 is kept over an MD5; other headers, other
// algorithms and malformed values leave `best` as it was.
void NoteDigestHeader(ExpectedDigest& best, std::string_view name, std::string_view value);

// A digest as the task keeps it ("sha-256=:BASE64:" or "md5=:BASE64:"; empty for none), and back.
std::string DigestText(const ExpectedDigest& digest);
ExpectedDigest DigestFromText(std::string_view text);

// Hashes bytes as they come and answers whether they match.
class DigestMatcher {
public:
    explicit DigestMatcher(ExpectedDigest expected);
    ~DigestMatcher();
    DigestMatcher(const DigestMatcher&) = delete;
    DigestMatcher& operator=(const DigestMatcher&) = delete;

    bool Active() const { return expected_.kind != ExpectedDigest::Kind::None; }
    void Update(const void* bytes, std::size_t size);
    // Ends the hash; an inactive matcher always matches.
    bool Matches();

private:
    struct Context;
    ExpectedDigest expected_;
    std::unique_ptr<Context> context_;
    bool matched_ = true;
};

}  // namespace tarvane
