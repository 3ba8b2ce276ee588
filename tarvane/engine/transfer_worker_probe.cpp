// The part of the transfer worker that asks the server what the file is, and sets up every request
// of the task alike.
#include <curl/curl.h>

#include <cstdio>
#include <thread>

#include "platform/curl_easy.h"
#include "tarvane/engine/answer_judge.h"
#include "tarvane/engine/failure_reason.h"
#include "tarvane/engine/file_name.h"
#include "tarvane/engine/file_types.h"
#include "tarvane/engine/transfer_worker.h"

namespace tarvane {

namespace {

// "未知" in code page 936: the type of a file whose extension could not be found.
constexpr const char* kUnknownType = "\xCE\xB4\xD6\xAA";
// A chain of redirects longer than this is a loop: the task fails instead of probing for ever.
constexpr long kMaxRedirects = 20;

std::string FormatCount(double value) {
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

size_t DiscardProbeBody(char*, size_t, size_t, void*) {
    return 0;
}

int ProbePauseCheck(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<WorkerControl*>(user)->pauseRequested.load() != 0 ? 1 : 0;
}

// Answers the result of setting the password.
CURLcode SetProxy(CURL* handle, const TaskLaunch& launch) {
    curl_easy_setopt(handle, CURLOPT_PROXY, launch.prxIP.c_str());
    curl_easy_setopt(handle, CURLOPT_PROXYPORT, static_cast<long>(launch.prxPort));
    curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, launch.prxName.c_str());
    return curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, launch.prxPwd.c_str());
}

// The wait a busy server asks for (Retry-After, in seconds or as a date), at most a minute.
std::chrono::milliseconds AskedWait(CURL* handle) {
    curl_off_t seconds = 0;
    if (curl_easy_getinfo(handle, CURLINFO_RETRY_AFTER, &seconds) != CURLE_OK || seconds <= 0) {
        return {};
    }
    return std::chrono::seconds(std::min<curl_off_t>(seconds, 60));
}

// What the probe and the transfer ask alike: the file's link through the task's proxy, with its
// agent, redirects up to a limit, and limits that keep a request from hanging (nothing received for
// the stall time ends it). Answers the result of setting the proxy password.
CURLcode SetRequestOptions(CURL* handle, const TaskLaunch& launch, const std::string& agent,
                           const RetrySettings& retry) {
    curl_easy_setopt(handle, CURLOPT_URL, launch.fileLink.c_str());
    platform::LimitToWeb(handle);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(handle, CURLOPT_UNRESTRICTED_AUTH, 1L);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, retry.StallSeconds());
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, retry.StallSeconds());
    return SetProxy(handle, launch);
}

}  // namespace

bool TransferWorker::WaitForHostPlace(HostShare& host) {
    while (!host.TryTake()) {
        if (pauseRequested.load() != 0 || (stopAll_ != nullptr && stopAll_->load())) {
            pauseRequested = 1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

bool TransferWorker::ConfigureConnection(void* handle) {
    return SetRequestOptions(static_cast<CURL*>(handle), launch_, agent_, context_.retry) == CURLE_OK;
}

TransferWorker::ProbeResult TransferWorker::Probe() {
    // The probe is a connection to the host like any other; its place goes back once it is closed.
    HostShare host(context_.hostBudget, HostKey(launch_.fileLink));
    platform::CurlEasy owned(curl_easy_init());
    CURL* probe = owned.get();
    if (probe == nullptr) {
        return ProbeResult::Failed;
    }
    // A link of another scheme, from the service or handed over, is never asked for.
    if (!IsWebLink(launch_.fileLink)) {
        failure_ = ReasonBadLink();
        return ProbeResult::Failed;
    }
    if (!WaitForHostPlace(host)) {
        return ProbeResult::Paused;
    }
    SetRequestOptions(probe, launch_, agent_, context_.retry);
    curl_easy_setopt(probe, CURLOPT_WRITEFUNCTION, DiscardProbeBody);
    // A pause or the program's end must not wait for a server that never answers the probe.
    curl_easy_setopt(probe, CURLOPT_XFERINFOFUNCTION, ProbePauseCheck);
    curl_easy_setopt(probe, CURLOPT_XFERINFODATA, static_cast<WorkerControl*>(this));
    CURLcode code = curl_easy_perform(probe);

    ProbeResult result = ProbeResult::Ok;
    long status = 0;
    curl_easy_getinfo(probe, CURLINFO_RESPONSE_CODE, &status);
    if (pauseRequested.load() != 0) {
        result = ProbeResult::Paused;
    } else if (status >= 400) {
        // An error page (404, a proxy's 407) is no file to download; an expired link may be renewed,
        // a busy server asked again.
        failure_ = ReasonForStatus(status);
        result = IsExpiredStatus(status) ? ProbeResult::Expired : ProbeResult::Failed;
        if (IsBusyStatus(status)) {
            result = ProbeResult::Retry;
            askedWait_ = AskedWait(probe);
        }
    } else if ((code != CURLE_OK && code != CURLE_WRITE_ERROR) || status == 0) {
        failure_ = ReasonForTransfer(code, 0);
        result = IsRetryable(code) ? ProbeResult::Retry : ProbeResult::Failed;
    } else {
        failure_.clear();
        etag_ = ReadValidator(probe, "ETag");
        lastModified_ = ReadValidator(probe, "Last-Modified");
        probeDigest_ = ReadDigest(probe, false);
        curl_off_t length = -1;
        progress_.totalSize =
            (curl_easy_getinfo(probe, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length > 0)
                ? static_cast<double>(length)
                : 0;
        sizeText_ = FormatCount(progress_.totalSize);
        char* effective = nullptr;
        curl_easy_getinfo(probe, CURLINFO_EFFECTIVE_URL, &effective);
        probedType_ = ExtensionFromUrl(effective != nullptr ? effective : "");
        if (probedType_.empty()) {
            char* contentType = nullptr;
            if (curl_easy_getinfo(probe, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType != nullptr) {
                std::string mime(contentType);
                probedType_ = ExtensionForMimeType(mime.substr(0, mime.find(';')));
            }
            if (probedType_.empty()) {
                probedType_ = kUnknownType;
            }
        }
        probedType_ = PlainFileName(probedType_);
    }
    return result;
}

}  // namespace tarvane
