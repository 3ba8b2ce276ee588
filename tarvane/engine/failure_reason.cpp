#include "tarvane/engine/failure_reason.h"

#include <curl/curl.h>

#include <cerrno>

#include "platform/codepage.h"

namespace tarvane {

namespace {

std::string Ansi(const char* utf8) {
    return platform::AnsiFromUtf8(utf8);
}

}  // namespace

std::string ReasonForStatus(long status) {
    return Ansi("服务器返回 ") + std::to_string(status);
}

std::string ReasonNoRoom() {
    return Ansi("磁盘空间不足");
}

std::string ReasonNotWritable() {
    return Ansi("文件无法写入");
}

std::string ReasonLinkExpired() {
    return Ansi("下载地址已失效，重新解析也未成功");
}

std::string ReasonLookupFailed(const std::string& officialHost) {
    return Ansi(
               "Sorry,添加下载任务失败！有以下几种可能：\r\n1、您输入的网址不是游戏所在的页面，"
               "您不能输入游戏的列表页和搜索页等；\r\n2、官方服务器出现故障，如需帮助请到") +
           officialHost + Ansi("找在线客服帮忙。");
}

std::string ReasonLookingUp() {
    return Ansi("解析中");
}

std::string ReasonWebPage() {
    return Ansi("服务器返回了网页，不是文件");
}

std::string ReasonKeepsChanging() {
    return Ansi("文件在服务器上不断变化");
}

std::string ReasonArchiveDamaged() {
    return Ansi("文件已损坏（校验未通过）");
}

std::string ReasonChecking() {
    return Ansi("校验中");
}

std::string ReasonUnpacking() {
    return Ansi("解压中");
}

std::string ReasonNotContinuation() {
    return Ansi("重新下载的数据与已下载的部分不一致");
}

std::string ReasonBadLink() {
    return Ansi("下载地址无效");
}

std::string ReasonNoThread() {
    return Ansi("系统资源不足，无法开始下载");
}

std::string ReasonStalled(long stallSeconds, int retries) {
    return std::to_string(stallSeconds) + Ansi(" 秒没有收到数据，已重试 ") + std::to_string(retries) + Ansi(" 次");
}

std::string ReasonAfterRetries(const std::string& reason, int retries) {
    return reason + Ansi("，已重试 ") + std::to_string(retries) + Ansi(" 次");
}

std::string ReasonForTransfer(int curlCode, int writeError) {
    switch (curlCode) {
        case CURLE_COULDNT_CONNECT:
            return Ansi("连接被拒绝");
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return Ansi("找不到服务器");
        case CURLE_OPERATION_TIMEDOUT:
            return Ansi("连接超时");
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
            return Ansi("连接中断");
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            return ReasonBadLink();
        case CURLE_TOO_MANY_REDIRECTS:
            return Ansi("重定向次数过多");
        case CURLE_WRITE_ERROR:
            // A file larger than the file system or the process may hold finds no room, as a full disk.
            return writeError == ENOSPC || writeError == EDQUOT || writeError == EFBIG ? ReasonNoRoom()
                                                                                       : ReasonNotWritable();
        default:
            return Ansi("下载失败（错误 ") + std::to_string(curlCode) + Ansi("）");
    }
}

bool IsExpiredStatus(long status) {
    return status == 401 || status == 403 || status == 404 || status == 410;
}

bool IsBusyStatus(long status) {
    return status == 429 || status == 502 || status == 503 || status == 504;
}

bool IsRetryable(int curlCode) {
    switch (curlCode) {
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
        case CURLE_COULDNT_CONNECT:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return true;
        default:
            return false;
    }
}

}  // namespace tarvane
