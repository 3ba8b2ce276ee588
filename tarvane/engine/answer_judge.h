#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tarvane/engine/file_digest.h"

namespace tarvane {

// A validator header (ETag, Last-Modified) of the last response, when it can be kept and sent back.
std::string ReadValidator(void* curlHandle, const char* name);
// The server's digest of the whole file among the last response's headers; an MD5 only `withMd5`.
ExpectedDigest ReadDigest(void* curlHandle, bool withMd5);

// What a task knows of the file its answers must be.
struct KnownFile {
    int64_t size = -1;  // -1: the server named none
    std::string etag;
    std::string lastModified;
    std::string type;  // of the data file: a web page's own type may well be markup
};

// Judges the answers of one connection: status and headers, then the first bytes, then what the
// compare with the disk found. Every answer of every connection of a task goes through one.
class AnswerJudge {
public:
    enum class Headers {
        Range,     // a 206 of just the bytes asked for, of the known version
        Whole,     // the whole file (a status other than 206 below 400), of the known size
        Status,    // an error status
        BadRange,  // a 206 of other bytes than asked for, or to a request without a range
        Changed,   // a range of another version, or a whole file of another size
    };
    // The answer to a request from `from` to `last` (-1: the end; `ranged` false: no Range sent).
    Headers Judge(void* curlHandle, const KnownFile& file, int64_t from, int64_t last, bool ranged);
    // The status of an answer that ended before its headers were judged.
    long ReadStatus(void* curlHandle);

    enum class Body { NeedMore, WebPage, Pass };
    // The answer's next bytes: held back while they cannot tell whether the answer is a web page;
    // once it passes, `passed` holds every byte held so far. `complete`: the body ended.
    Body Take(std::string_view bytes, bool complete, std::string_view& passed);

    long status() const { return status_; }
    bool whole() const { return whole_; }
    // Whether a whole answer carries the validators of the file the task knows (or none).
    bool sameVersion() const { return sameVersion_; }
    // Whether the answer's Content-Type names a web page while the task's file is none.
    bool namesWebPage() const { return markup_; }
    const std::string& etag() const { return etag_; }
    const std::string& lastModified() const { return lastModified_; }
    // The server's digest of the whole file; an MD5 only with a whole answer, since it describes the body.
    const ExpectedDigest& digest() const { return digest_; }

    // The compare with the disk found other bytes at `at`; true when the last one found them there too.
    bool MismatchAgain(int64_t at);
    void ForgetMismatch() { lastMismatchAt_ = -1; }

private:
    long status_ = 0;
    bool whole_ = false;
    bool sameVersion_ = false;
    bool markup_ = false;  // the first bytes decide
    bool passed_ = false;
    std::string held_;
    std::string etag_;
    std::string lastModified_;
    ExpectedDigest digest_;
    int64_t lastMismatchAt_ = -1;
};

}  // namespace tarvane
