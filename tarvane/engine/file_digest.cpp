#include "tarvane/engine/file_digest.h"

#include <openssl/evp.h>

#include <strings.h>

#include "tarvane/engine/base64.h"

namespace tarvane {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// Base64 that decodes whole to exactly `size` bytes.
bool DecodeExactly(std::string_view text, std::size_t size, std::string& out) {
    return Base64Decode(text, out) == static_cast<std::ptrdiff_t>(size) && Base64Encode(out) == text;
}

// The sha-256 member of a comma-separated list of algorithm=value; `colons` for the structured form.
bool FindSha256(std::string_view list, bool colons, std::string& out) {
    while (!list.empty()) {
        std::size_t comma = list.find(',');
        std::string_view member = Trim(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        std::size_t equals = member.find('=');
        if (equals == std::string_view::npos || !SameNoCase(Trim(member.substr(0, equals)), "sha-256")) {
            continue;
        }
        std::string_view value = Trim(member.substr(equals + 1));
        if (colons) {
            if (value.size() < 2 || value.front() != ':' || value.back() != ':') {
                return false;
            }
            value = value.substr(1, value.size() - 2);
        }
        return DecodeExactly(value, 32, out);
    }
    return false;
}

}  // namespace

void NoteDigestHeader(ExpectedDigest& best, std::string_view name, std::string_view value) {
    name = Trim(name);
    value = Trim(value);
    std::string bytes;
    if ((SameNoCase(name, "Repr-Digest") && FindSha256(value, true, bytes)) ||
        (SameNoCase(name, "Digest") && FindSha256(value, false, bytes))) {
        best = {ExpectedDigest::Kind::Sha256, bytes};
    } else if (SameNoCase(name, "Content-MD5") && best.kind == ExpectedDigest::Kind::None &&
               DecodeExactly(value, 16, bytes)) {
        best = {ExpectedDigest::Kind::Md5, bytes};
    }
}

std::string DigestText(const ExpectedDigest& digest) {
    switch (digest.kind) {
        case ExpectedDigest::Kind::Sha256:
            return "sha-256=:" + Base64Encode(digest.bytes) + ":";
        case ExpectedDigest::Kind::Md5:
            return "md5=:" + Base64Encode(digest.bytes) + ":";
        case ExpectedDigest::Kind::None:
            break;
    }
    return "";
}

ExpectedDigest DigestFromText(std::string_view text) {
    ExpectedDigest digest;
    constexpr std::string_view kMd5 = "md5=:";
    if (text.starts_with(kMd5) && text.size() > kMd5.size() && text.back() == ':') {
        NoteDigestHeader(digest, "Content-MD5", text.substr(kMd5.size(), text.size() - kMd5.size() - 1));
    } else {
        NoteDigestHeader(digest, "Repr-Digest", text);
    }
    return digest;
}

struct DigestMatcher::Context {
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(md); }
};

DigestMatcher::DigestMatcher(ExpectedDigest expected) : expected_(std::move(expected)) {
    if (!Active()) {
        return;
    }
    context_ = std::make_unique<Context>();
    EVP_DigestInit_ex(context_->md, expected_.kind == ExpectedDigest::Kind::Sha256 ? EVP_sha256() : EVP_md5(), nullptr);
}

DigestMatcher::~DigestMatcher() = default;

void DigestMatcher::Update(const void* bytes, std::size_t size) {
    if (context_) {
        EVP_DigestUpdate(context_->md, bytes, size);
    }
}

bool DigestMatcher::Matches() {
    if (context_) {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_DigestFinal_ex(context_->md, digest, &size);
        context_.reset();
        matched_ = std::string_view(reinterpret_cast<const char*>(digest), size) == expected_.bytes;
    }
    return matched_;
}

}  // namespace tarvane
