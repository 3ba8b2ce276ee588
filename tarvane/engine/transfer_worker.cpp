#include "tarvane/engine/transfer_worker.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <memory>
#include <thread>

#include "platform/codepage.h"
#include "platform/curl_easy.h"
#include "platform/settings.h"
#include "tarvane/engine/failure_reason.h"
#include "tarvane/engine/file_name.h"
#include "tarvane/engine/file_types.h"
#include "tarvane/engine/folder_of_path.h"
#include "tarvane/engine/format_size.h"

namespace tarvane {

namespace {

// "未知" in code page 936: the type of a file whose extension could not be found.
constexpr const char* kUnknownType = "\xCE\xB4\xD6\xAA";
// libcurl's default receive buffer is 16 KiB; a larger one cuts the per-block overhead on fast links.
constexpr long kReceiveBufferBytes = 100 * 1024;
// How many "name(n).type" a new task tries before it gives up on a free name.
constexpr int kMaxFreeNameTries = 1000;
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

size_t WriteThunk(char* data, size_t size, size_t count, void* user) {
    return static_cast<TransferWorker*>(user)->WriteData(data, size * count);
}

int ProgressThunk(void* user, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t) {
    int result =
        static_cast<TransferWorker*>(user)->OnProgress(static_cast<double>(total), static_cast<double>(received));
    return result == kProgressContinue ? 0 : 1;
}

// Answers the result of setting the password.
CURLcode SetProxy(CURL* handle, const TaskLaunch& launch) {
    curl_easy_setopt(handle, CURLOPT_PROXY, launch.prxIP.c_str());
    curl_easy_setopt(handle, CURLOPT_PROXYPORT, static_cast<long>(launch.prxPort));
    curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, launch.prxName.c_str());
    return curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, launch.prxPwd.c_str());
}

std::string NumberedName(const std::string& name, int number) {
    return name + "(" + std::to_string(number) + ")";
}

// Whether a 206 carries the bytes from `offset` to the end of a file of `total` bytes (any total when
// none was announced): "Content-Range: bytes offset-(total-1)/total", and a body of just that length.
bool RangeAnswersFrom(CURL* handle, int64_t offset, int64_t total) {
    curl_header* header = nullptr;
    if (curl_easy_header(handle, "Content-Range", 0, CURLH_HEADER, -1, &header) != CURLHE_OK) {
        return false;
    }
    long long first = -1, last = -1, whole = -1;
    int consumed = 0;
    if (std::sscanf(header->value, " bytes %lld-%lld/%lld%n", &first, &last, &whole, &consumed) != 3 ||
        header->value[consumed] != '\0') {
        return false;
    }
    curl_off_t length = -1;
    curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return first == offset && last == whole - 1 && (total <= 0 || whole == total) &&
           (length < 0 || length == last - first + 1);
}

// The response's validators, where it sends them (after redirects, those of the last response).
void ReadValidators(CURL* handle, std::string& etag, std::string& lastModified) {
    curl_header* header = nullptr;
    if (curl_easy_header(handle, "ETag", 0, CURLH_HEADER, -1, &header) == CURLHE_OK) {
        etag = header->value;
    }
    if (curl_easy_header(handle, "Last-Modified", 0, CURLH_HEADER, -1, &header) == CURLHE_OK) {
        lastModified = header->value;
    }
}

// Whether two sets of validators can describe the same file: they differ only where both have one.
bool ValidatorsAgree(const std::string& etagA, const std::string& dateA, const std::string& etagB,
                     const std::string& dateB) {
    if (!etagA.empty() && !etagB.empty()) {
        return etagA == etagB;
    }
    return dateA.empty() || dateB.empty() || dateA == dateB;
}

// The wait a busy server asks for (Retry-After, in seconds or as a date), at most a minute.
std::chrono::milliseconds AskedWait(CURL* handle) {
    curl_off_t seconds = 0;
    if (curl_easy_getinfo(handle, CURLINFO_RETRY_AFTER, &seconds) != CURLE_OK || seconds <= 0) {
        return {};
    }
    return std::chrono::seconds(std::min<curl_off_t>(seconds, 60));
}

long WholeSeconds(std::chrono::milliseconds time) {
    return std::max<long>(1, static_cast<long>((time.count() + 999) / 1000));
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
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, WholeSeconds(retry.stallTime));
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, WholeSeconds(retry.stallTime));
    return SetProxy(handle, launch);
}

}  // namespace

int64_t ParseByteCount(const std::string& text) {
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > (INT64_MAX - 9) / 10) {
            break;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

TransferWorker::TransferWorker(EngineContext& context, const TaskLaunch& launch, const std::atomic<bool>* stopAll)
    : context_(context), stopAll_(stopAll), launch_(launch), agent_(launch.agent) {
    launch_.worker = this;
}

void TransferWorker::SetImage(int image) {
    context_.list.SetImageOf(launch_.key, image);
}

void TransferWorker::SetText(int column, const std::string& text) {
    context_.list.SetTextOf(launch_.key, column, text);
}

int TransferWorker::Run() {
    if (stopAll_ != nullptr && stopAll_->load()) {
        pauseRequested = 1;
    }
    SetImage(kImageDownloading);
    context_.list.SetTipOf(launch_.key, "");
    etag_ = launch_.etag;
    lastModified_ = launch_.lastModified;
    progress_.resumeBase = static_cast<double>(ParseByteCount(launch_.downloadedSize));

    ProbeResult probe = ProbeWithRetries();
    if (probe != ProbeResult::Ok) {
        EndUnfinished(probe == ProbeResult::Paused ? kStatePaused : kStateFailed);
        return state;
    }
    SetText(kColumnSize, FormatSize(progress_.totalSize));
    if (!OpenDataFile()) {
        failure_ = ReasonNotWritable();
        EndUnfinished(kStateFailed);
        return state;
    }
    if (!RoomForTheRest()) {
        failure_ = ReasonNoRoom();
        Finish(CURLE_WRITE_ERROR);
        return state;
    }
    SetText(kColumnName, launch_.name + "." + type_);
    Finish(TransferWithRetries());
    return state;
}

TransferWorker::ProbeResult TransferWorker::ProbeWithRetries() {
    for (;;) {
        ProbeResult result = Probe();
        if (result == ProbeResult::Expired) {
            if (RenewLink()) {
                continue;
            }
            return pauseRequested.load() != 0 ? ProbeResult::Paused : ProbeResult::Failed;
        }
        if (result != ProbeResult::Retry) {
            return result;
        }
        if (!WaitToRetry(false, failure_, false)) {
            return pauseRequested.load() != 0 ? ProbeResult::Paused : ProbeResult::Failed;
        }
    }
}

bool TransferWorker::RenewLink() {
    // Only a game page of the maker's site can name its file anew, and only once a start.
    if (renewed_ || context_.resolver == nullptr || !context_.resolver->IsGamePage(launch_.frmPge)) {
        return false;
    }
    renewed_ = true;
    // A pause or the program's end does not wait for the service.
    ParseResult parsed = context_.resolver->ResolveLink(launch_.frmPge, [this] { return pauseRequested.load() != 0; });
    if (pauseRequested.load() != 0) {
        return false;
    }
    if (parsed.realLink.empty() || parsed.realLink == launch_.fileLink) {
        failure_ = ReasonLinkExpired();
        return false;
    }
    if (!IsWebLink(parsed.realLink)) {
        failure_ = ReasonBadLink();
        return false;
    }
    launch_.fileLink = parsed.realLink;
    context_.store.SetDownloadField(launch_.frmPge, "fileLink", launch_.fileLink);
    SetText(kColumnLink, launch_.fileLink);
    return true;
}

bool TransferWorker::WaitToRetry(bool broughtData, const std::string& reason, bool stalled) {
    const RetrySettings& retry = context_.retry;
    int allowed = static_cast<int>(retry.waits.size());
    attemptsWithoutData_ = broughtData ? 1 : attemptsWithoutData_ + 1;
    if (attemptsWithoutData_ > allowed) {
        failure_ = allowed == 0 ? reason
                   : stalled    ? ReasonStalled(WholeSeconds(retry.stallTime), allowed)
                                : ReasonAfterRetries(reason, allowed);
        return false;
    }
    SetText(kColumnTimeLeft,
            platform::AnsiFromUtf8("重试 ") + std::to_string(attemptsWithoutData_) + "/" + std::to_string(allowed));
    // A pause or delete ends the wait at once.
    auto wait = std::max(retry.waits[static_cast<std::size_t>(attemptsWithoutData_ - 1)], askedWait_);
    askedWait_ = {};
    auto deadline = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < deadline) {
        if (pauseRequested.load() != 0 || (stopAll_ != nullptr && stopAll_->load())) {
            pauseRequested = 1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pauseRequested.load() == 0;
}

TransferWorker::ProbeResult TransferWorker::Probe() {
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
        etag_.clear();
        lastModified_.clear();
        ReadValidators(probe, etag_, lastModified_);
        curl_off_t length = -1;
        progress_.totalSize =
            (curl_easy_getinfo(probe, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length > 0)
                ? static_cast<double>(length)
                : 0;
        sizeText_ = FormatCount(progress_.totalSize);
        char* effective = nullptr;
        curl_easy_getinfo(probe, CURLINFO_EFFECTIVE_URL, &effective);
        type_ = ExtensionFromUrl(effective != nullptr ? effective : "");
        if (type_.empty()) {
            char* contentType = nullptr;
            if (curl_easy_getinfo(probe, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType != nullptr) {
                std::string mime(contentType);
                type_ = ExtensionForMimeType(mime.substr(0, mime.find(';')));
            }
            if (type_.empty()) {
                type_ = kUnknownType;
            }
        }
        type_ = PlainFileName(type_);
    }
    return result;
}

bool TransferWorker::OpenDataFile() {
    launch_.name = PlainFileName(launch_.name);
    int64_t recorded = ParseByteCount(launch_.downloadedSize);
    // A task that has begun a transfer owns the data file it began with, its stored name and type,
    // whatever type the server names now. A new one must not touch a file that carries its name.
    bool begun = !launch_.size.empty() || recorded > 0;
    if (begun && !launch_.type.empty()) {
        type_ = PlainFileName(launch_.type);
    }
    int fd = -1;
    // No two workers ever write one data file: each claims its path in the tables before opening it.
    if (begun) {
        dataPath_ = DataFilePath(launch_.path, launch_.name, type_);
        // A finished download's file is never reopened; a missing one is started anew like a new
        // task's, since another task may have taken its name meanwhile.
        if (context_.tables.ClaimPath(this, dataPath_) && !context_.store.IsCompletedFile(dataPath_)) {
            fd = open(platform::Utf8FromAnsi(dataPath_).c_str(), O_RDWR | O_CLOEXEC);
        }
        begun = fd >= 0;
    }
    if (!begun) {
        std::string name = launch_.name;
        for (int number = 1; number <= kMaxFreeNameTries; ++number) {
            dataPath_ = DataFilePath(launch_.path, name, type_);
            if (context_.tables.ClaimPath(this, dataPath_)) {
                fd = open(platform::Utf8FromAnsi(dataPath_).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
                if (fd >= 0 || errno != EEXIST) {
                    break;
                }
            }
            name = NumberedName(launch_.name, number);
        }
        launch_.name = name;
    }
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    fstat(fd, &info);
    // Resume from what is both counted and on disk: a count saved before a crash may be ahead of
    // the file, and seeking past its end would leave a hole.
    int64_t base = std::min<int64_t>(recorded, info.st_size);
    int64_t offset = 0;
    // A probed size other than the stored one means another file behind the link: start over.
    if (begun && base > 0 && launch_.size == sizeText_ &&
        ValidatorsAgree(launch_.etag, launch_.lastModified, etag_, lastModified_)) {
        offset = base / 20 * 19 + (base % 20) * 19 / 20;  // base x 0.95, truncated, without overflow
        rangeRequested_ = true;
    }
    // Only a longer file is cut: ext4 flushes a file truncated to nothing when it is closed, which
    // would cost a fresh download its whole write-back.
    if ((info.st_size > offset && ftruncate(fd, offset) != 0) || lseek(fd, offset, SEEK_SET) != offset) {
        close(fd);
        return false;
    }
    file_ = fdopen(fd, "r+b");
    if (file_ == nullptr) {
        close(fd);
        return false;
    }

    progress_.resumeBase = static_cast<double>(offset);
    return true;
}

bool TransferWorker::RoomForTheRest() {
    struct statvfs info {};
    if (progress_.totalSize <= 0 ||
        statvfs(platform::Utf8FromAnsi(std::string(FolderOfPath(dataPath_))).c_str(), &info) != 0) {
        return true;
    }
    double free = static_cast<double>(info.f_bavail) * static_cast<double>(info.f_frsize);
    return progress_.totalSize - progress_.resumeBase <= free;
}

int TransferWorker::Transfer() {
    platform::CurlEasy owned(curl_easy_init());
    CURL* handle = owned.get();
    if (handle == nullptr) {
        return CURLE_FAILED_INIT;
    }
    handle_ = handle;
    std::string range;
    platform::CurlList headers;
    if (rangeRequested_) {
        range = std::to_string(static_cast<int64_t>(progress_.resumeBase)) + "-";
        curl_easy_setopt(handle, CURLOPT_RANGE, range.c_str());
        // The range only if the file is still the one the bytes on disk came from; else all of it.
        const std::string& validator = !etag_.empty() ? etag_ : lastModified_;
        if (!validator.empty()) {
            platform::AppendCurlList(headers, ("If-Range: " + validator).c_str());
            curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
        }
    }
    CURLcode passwordResult = SetRequestOptions(handle, launch_, agent_, context_.retry);
    curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, WriteThunk);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, ProgressThunk);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    if (passwordResult != CURLE_OK) {
        handle_ = nullptr;
        return passwordResult;
    }
    double now = context_.clock.NowMs();
    progress_.Begin(progress_.resumeBase, progress_.totalSize, now);
    lastRecordMs_ = now;
    RecordProgress(true);
    state = kStateDownloading;
    CURLcode code = curl_easy_perform(handle);
    if (code == CURLE_WRITE_ERROR && rangeRejected_) {
        // The server's 206 does not answer the range asked for: fetch the whole file instead.
        rangeRequested_ = rangeRejected_ = responseChecked_ = false;
        if (!RestartDataFile()) {
            return code;
        }
        curl_easy_setopt(handle, CURLOPT_RANGE, nullptr);
        progress_.Begin(0, progress_.totalSize, context_.clock.NowMs());
        code = curl_easy_perform(handle);
    }
    // An error page without a body never reaches WriteData.
    if (!responseChecked_) {
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status_);
        httpError_ = status_ >= 400;
    }
    if (httpError_ && IsBusyStatus(status_)) {
        askedWait_ = AskedWait(handle);
    }
    handle_ = nullptr;
    return code;
}

int64_t TransferWorker::BytesOnDisk() {
    std::fflush(file_);
    struct stat info {};
    return fstat(fileno(file_), &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
}

bool TransferWorker::ResumeFromDisk() {
    int64_t offset = BytesOnDisk();
    auto total = static_cast<int64_t>(progress_.totalSize);
    rangeRejected_ = responseChecked_ = httpError_ = false;
    status_ = 0;
    writeError_ = 0;
    if (offset == 0 || (total > 0 && offset >= total)) {
        rangeRequested_ = false;
        return RestartDataFile();
    }
    if (fseeko(file_, offset, SEEK_SET) != 0) {
        return false;
    }
    rangeRequested_ = true;
    progress_.resumeBase = static_cast<double>(offset);
    return true;
}

int TransferWorker::TransferWithRetries() {
    for (;;) {
        int64_t before = BytesOnDisk();
        int code = Transfer();
        if (pauseRequested.load() != 0 || code == CURLE_ABORTED_BY_CALLBACK) {
            return CURLE_ABORTED_BY_CALLBACK;
        }
        if (std::fflush(file_) != 0) {
            writeError_ = errno;
            return CURLE_WRITE_ERROR;
        }
        if (code == CURLE_OK && !httpError_ && HoldsAnnouncedSize()) {
            return CURLE_OK;
        }
        if (httpError_) {
            failure_ = ReasonForStatus(status_);
            if (IsBusyStatus(status_)) {
                if (!WaitToRetry(false, failure_, false)) {
                    return pauseRequested.load() != 0 ? CURLE_ABORTED_BY_CALLBACK : code;
                }
                if (!ResumeFromDisk()) {
                    failure_ = ReasonNotWritable();
                    return CURLE_WRITE_ERROR;
                }
                continue;
            }
            if (!IsExpiredStatus(status_) || !RenewLink()) {
                return pauseRequested.load() != 0 ? CURLE_ABORTED_BY_CALLBACK : code;
            }
            // The new link leads on from the disk to the same file; another file starts over.
            std::string size = sizeText_, etag = etag_, date = lastModified_;
            if (ProbeWithRetries() != ProbeResult::Ok) {
                return pauseRequested.load() != 0 ? CURLE_ABORTED_BY_CALLBACK : code;
            }
            if ((sizeText_ != size || !ValidatorsAgree(etag, date, etag_, lastModified_)) && !RestartDataFile()) {
                return CURLE_WRITE_ERROR;
            }
            if (!ResumeFromDisk()) {
                return CURLE_WRITE_ERROR;
            }
            continue;
        }
        // A body that ended before its length, with or without a word from libcurl.
        int cause = code == CURLE_OK ? CURLE_PARTIAL_FILE : code;
        if (!IsRetryable(cause)) {
            failure_ = ReasonForTransfer(cause, writeError_);
            return cause;
        }
        if (!WaitToRetry(BytesOnDisk() > before, ReasonForTransfer(cause, 0), cause == CURLE_OPERATION_TIMEDOUT)) {
            return pauseRequested.load() != 0 ? CURLE_ABORTED_BY_CALLBACK : cause;
        }
        if (!ResumeFromDisk()) {
            failure_ = ReasonNotWritable();
            return CURLE_WRITE_ERROR;
        }
    }
}

bool TransferWorker::RestartDataFile() {
    std::fflush(file_);
    if (ftruncate(fileno(file_), 0) != 0 || fseeko(file_, 0, SEEK_SET) != 0) {
        return false;
    }
    progress_.resumeBase = 0;
    return true;
}

size_t TransferWorker::WriteData(const char* data, size_t bytes) {
    if (!responseChecked_) {
        responseChecked_ = true;
        long status = 0;
        curl_easy_getinfo(static_cast<CURL*>(handle_), CURLINFO_RESPONSE_CODE, &status);
        status_ = status;
        if (status >= 400) {
            // An error page never lands in the data file.
            httpError_ = true;
            return 0;
        }
        auto offset = static_cast<int64_t>(progress_.resumeBase);
        auto total = static_cast<int64_t>(progress_.totalSize);
        if (status == 206 && !RangeAnswersFrom(static_cast<CURL*>(handle_), rangeRequested_ ? offset : 0, total)) {
            // Bytes from another place than asked for would land at the resume point. Without a
            // range asked for, the same request would only bring the same answer: the task fails.
            rangeRejected_ = rangeRequested_;
            httpError_ = !rangeRequested_;
            return 0;
        }
        if (rangeRequested_ && status != 206 && !RestartDataFile()) {
            // The server sent the whole file instead of the range (or the file changed, and If-Range
            // asked for all of it): the data file starts over.
            return 0;
        }
        // What now lands on disk belongs to this response's file.
        std::string etag, date;
        ReadValidators(static_cast<CURL*>(handle_), etag, date);
        if (!etag.empty() || !date.empty()) {
            etag_ = etag;
            lastModified_ = date;
        }
    }
    size_t written = std::fwrite(data, 1, bytes, file_);
    if (written < bytes) {
        writeError_ = errno;
    }
    return written;
}

int TransferWorker::OnProgress(double total, double received) {
    int result = ReportProgress(progress_, total, received, context_.clock.NowMs(), context_.tables, *this, launch_.key,
                                context_.list);
    if (result == kProgressContinue) {
        RecordProgress(false);
    }
    return result;
}

void TransferWorker::RecordProgress(bool force) {
    double now = context_.clock.NowMs();
    if (!force && now - lastRecordMs_ < context_.saveIntervalMs) {
        return;
    }
    int64_t count = ParseByteCount(progress_.downloadedText);
    if ((!force && count == recordedCount_) || !context_.tables.WorkerListed(this)) {
        return;
    }
    lastRecordMs_ = now;
    recordedCount_ = count;
    // Written bytes reach the disk before the count that claims them.
    std::fflush(file_);
    context_.store.UpdateDownload(launch_.frmPge, StateRecord(kStateDownloading));
}

DownloadTask TransferWorker::StateRecord(int flag) const {
    // Every field but the agent, which the stored task keeps.
    DownloadTask record;
    record.name = launch_.name;
    record.frmPge = launch_.frmPge;
    record.fileLink = launch_.fileLink;
    record.path = launch_.path;
    record.size = sizeText_;
    record.downloadedSize = progress_.downloadedText;
    record.type = type_;
    record.prxIP = launch_.prxIP;
    record.prxPort = launch_.prxPort;
    record.prxName = launch_.prxName;
    record.prxPwd = launch_.prxPwd;
    record.flag = std::to_string(flag);
    record.etag = etag_;
    record.lastModified = lastModified_;
    if (flag == kStateFailed) {
        record.error = failure_;
    }
    return record;
}

bool TransferWorker::HoldsAnnouncedSize() {
    if (progress_.totalSize <= 0) {
        return true;  // nothing was announced to hold it to
    }
    struct stat info {};
    if (fstat(fileno(file_), &info) != 0) {
        return false;
    }
    auto total = static_cast<int64_t>(progress_.totalSize);
    if (info.st_size == total) {
        return true;
    }
    // Short: the next start resumes from what is there. Longer than the whole file: it is spoilt,
    // and the next start begins from nothing.
    progress_.downloadedText = FormatCount(info.st_size < total ? static_cast<double>(info.st_size) : 0);
    return false;
}

void TransferWorker::Finish(int code) {
    bool flushed = file_ != nullptr && std::fflush(file_) == 0;
    if (!flushed && code == CURLE_OK) {
        writeError_ = errno;
        code = CURLE_WRITE_ERROR;
    }
    bool completed = code == CURLE_OK && !httpError_ && HoldsAnnouncedSize();
    if (completed) {
        completed = std::fclose(file_) == 0;
        file_ = nullptr;
    }
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }

    if (completed) {
        Complete();
        return;
    }
    bool paused = code == CURLE_ABORTED_BY_CALLBACK;
    if (!paused && failure_.empty()) {
        failure_ = ReasonForTransfer(code, writeError_);
    }
    EndUnfinished(paused ? kStatePaused : kStateFailed);
}

void TransferWorker::EndUnfinished(int finalState) {
    state = finalState;
    // Recorded while still in the table: a second start of the task waits until its state is saved.
    if (context_.tables.WorkerListed(this)) {
        context_.store.UpdateDownload(launch_.frmPge, StateRecord(finalState));
        SetImage(finalState == kStatePaused ? kImageIdle : kImageFailed);
        // A task that stopped has no speed, no time left and no retry under way.
        SetText(kColumnSpeed, "");
        SetText(kColumnTimeLeft, "");
        context_.list.SetTipOf(launch_.key, finalState == kStateFailed ? failure_ : "");
    }
    context_.tables.ReleaseWorker(this);
}

void TransferWorker::Complete() {
    state = kStateCompleted;
    if (!context_.tables.WorkerListed(this)) {
        context_.tables.ReleaseWorker(this);
        return;  // deleted from the list while it finished: its item is gone too
    }
    DownloadTask record;
    record.frmPge = launch_.frmPge;
    record.name = launch_.name;
    record.path = launch_.path;
    // Without a length from the server, what arrived is the size.
    record.size = progress_.totalSize > 0 ? sizeText_ : progress_.downloadedText;
    record.fileLink = launch_.fileLink;
    record.type = type_;
    // The finished entry is written before the unfinished one goes, so that an end in between
    // leaves the task in both files (tidied at the next start), never in neither.
    if (context_.store.AddCompleted(record)) {
        context_.store.DeleteDownload(launch_.frmPge);
    } else {
        context_.store.UpdateDownload(launch_.frmPge, StateRecord(kStateCompleted));
    }
    context_.list.DeleteRowOf(launch_.key);
    context_.tables.ReleaseWorker(this);
    if (platform::Settings(context_.programDirectory).PlayAudioCmp() == 1) {
        context_.sound.PlayCompletionSound();
    }
}

}  // namespace tarvane
