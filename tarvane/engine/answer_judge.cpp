#include "tarvane/engine/answer_judge.h"

#include <curl/curl.h>

#include "tarvane/engine/answer_check.h"
#include "tarvane/engine/content_range.h"

namespace tarvane {

std::string ReadValidator(void* curlHandle, const char* name) {
    CURL* handle = static_cast<CURL*>(curlHandle);
    curl_header* header = nullptr;
    if (curl_easy_header(handle, name, 0, CURLH_HEADER, -1, &header) == CURLHE_OK && IsUsableValidator(header->value)) {
        return header->value;
    }
    return "";
}

ExpectedDigest ReadDigest(void* curlHandle, bool withMd5) {
    CURL* handle = static_cast<CURL*>(curlHandle);
    ExpectedDigest digest;
    for (const char* name : {"Repr-Digest", "Digest", "Content-MD5"}) {
        if (!withMd5 && std::string_view(name) == "Content-MD5") {
            continue;
        }
        curl_header* header = nullptr;
        for (size_t index = 0, count = 1;
             index < count && curl_easy_header(handle, name, index, CURLH_HEADER, -1, &header) == CURLHE_OK; ++index) {
            count = header->amount;
            NoteDigestHeader(digest, name, header->value);
        }
    }
    return digest;
}

long AnswerJudge::ReadStatus(void* curlHandle) {
    curl_easy_getinfo(static_cast<CURL*>(curlHandle), CURLINFO_RESPONSE_CODE, &status_);
    return status_;
}

AnswerJudge::Headers AnswerJudge::Judge(void* curlHandle, const KnownFile& file, int64_t from, int64_t last,
                                        bool ranged) {
    CURL* handle = static_cast<CURL*>(curlHandle);
    whole_ = sameVersion_ = markup_ = passed_ = false;
    held_.clear();
    if (ReadStatus(handle) >= 400) {
        return Headers::Status;  // an error page never lands in the data file
    }
    etag_ = ReadValidator(handle, "ETag");
    lastModified_ = ReadValidator(handle, "Last-Modified");
    digest_ = ReadDigest(handle, status_ != 206);
    bool sameValidators = ValidatorsAgree(file.etag, file.lastModified, etag_, lastModified_);
    char* contentType = nullptr;
    curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &contentType);
    markup_ = contentType != nullptr && IsWebPageType(contentType) && !IsWebPageFileType(file.type);
    if (status_ == 206) {
        auto range = AnsweredRange(handle);
        // Bytes from another place than asked for would land at the wrong offset.
        if (!ranged || !range || range->first != from || range->last != (last < 0 ? range->total - 1 : last) ||
            (file.size >= 0 && range->total != file.size)) {
            return Headers::BadRange;
        }
        // A server that let If-Range pass for another version.
        return sameValidators ? Headers::Range : Headers::Changed;
    }
    whole_ = true;
    curl_off_t length = -1;
    curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length >= 0 && file.size >= 0 && length != file.size) {
        return Headers::Changed;  // another size than the probe found: the file changed since
    }
    sameVersion_ = sameValidators;
    return Headers::Whole;
}

AnswerJudge::Body AnswerJudge::Take(std::string_view bytes, bool complete, std::string_view& passed) {
    if (!markup_ || passed_) {
        passed_ = true;
        passed = bytes;
        return Body::Pass;
    }
    // A login page, a portal or an error page served as the file.
    held_.append(bytes);
    switch (StartsWithMarkup(held_, complete)) {
        case MarkupCheck::NeedMore:
            return Body::NeedMore;
        case MarkupCheck::Markup:
            return Body::WebPage;
        case MarkupCheck::NotMarkup:
            break;
    }
    passed_ = true;
    passed = held_;
    return Body::Pass;
}

bool AnswerJudge::MismatchAgain(int64_t at) {
    // Once may be a fault on the way; twice at one place, the server's file is not the one on disk.
    bool again = at == lastMismatchAt_;
    lastMismatchAt_ = at;
    return again;
}

}  // namespace tarvane
