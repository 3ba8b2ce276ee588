#include "platform/link_handoff.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/caption.h"
#include "platform/unique_fd.h"
#include "platform/xdg_folders.h"

namespace platform {

namespace {

void PutLe(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

std::optional<std::string> ReadField(std::string_view field) {
    auto end = field.find('\0');
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(field.substr(0, end));
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = send(fd, data, size, MSG_NOSIGNAL);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// A usable folder: a real directory (not a link), owned by us, closed to everyone else.
bool FolderIsPrivate(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return false;
    }
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0;
}

}  // namespace

std::optional<std::string> EncodeLinkHandoff(const LinkHandoffRecord& record) {
    std::string out;
    out.reserve(kLinkHandoffRecordSize);
    for (const std::string* field : {&record.link, &record.name, &record.agent}) {
        if (field->size() >= kHandoffFieldSize || field->find('\0') != std::string::npos) {
            return std::nullopt;
        }
        out += *field;
        out.append(kHandoffFieldSize - field->size(), '\0');
    }
    PutLe(out, static_cast<std::uint32_t>(record.useDefaultProxy), 4);
    return out;
}

std::optional<LinkHandoffRecord> DecodeLinkHandoff(std::string_view bytes) {
    if (bytes.size() < kLinkHandoffRecordSize) {
        return std::nullopt;
    }
    LinkHandoffRecord record;
    std::string* fields[] = {&record.link, &record.name, &record.agent};
    for (std::size_t i = 0; i < 3; ++i) {
        auto text = ReadField(bytes.substr(i * kHandoffFieldSize, kHandoffFieldSize));
        if (!text) {
            return std::nullopt;
        }
        *fields[i] = std::move(*text);
    }
    std::uint32_t flag = 0;
    for (int i = 3; i >= 0; --i) {
        flag = (flag << 8) | static_cast<unsigned char>(bytes[3 * kHandoffFieldSize + static_cast<std::size_t>(i)]);
    }
    record.useDefaultProxy = static_cast<std::int32_t>(flag);
    return record;
}

std::string EncodeHandoffMessage(HandoffMessage type, std::string_view payload) {
    std::string out;
    out.push_back(static_cast<char>(type));
    PutLe(out, payload.size(), 4);
    out.append(payload);
    return out;
}

std::string CopyDataPayload(std::uint64_t dwData, std::string_view record) {
    std::string out;
    PutLe(out, dwData, 8);
    out.append(record);
    return out;
}

std::string FirstPrivateFolder(const std::vector<std::string>& candidates) {
    for (const std::string& folder : candidates) {
        if (folder.empty()) {
            continue;
        }
        // Parents are made as needed (a new user may have no cache folder yet), private as well.
        std::size_t slash = folder.find('/', 1);
        while (slash != std::string::npos) {
            mkdir(folder.substr(0, slash).c_str(), 0700);
            slash = folder.find('/', slash + 1);
        }
        if ((mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) && FolderIsPrivate(folder)) {
            return folder;
        }
    }
    return "";
}

std::string HandoffFolderIn(const std::string& runtimeDirectory) {
    std::string folder =
        runtimeDirectory.empty() ? "/tmp/tarvane-" + std::to_string(geteuid()) : runtimeDirectory + "/tarvane";
    return FirstPrivateFolder({folder});
}

std::string HandoffFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string cacheHome = XdgFolder("XDG_CACHE_HOME", "/.cache");
    return FirstPrivateFolder({runtime != nullptr && runtime[0] != '\0' ? std::string(runtime) + "/tarvane" : "",
                               "/tmp/tarvane-" + std::to_string(geteuid()),
                               cacheHome.empty() ? "" : cacheHome + "/tarvane-run"});
}

std::string HandoffSocketPath() {
    std::string folder = HandoffFolder();
    return folder.empty() ? "" : folder + "/" + kCaption;
}

HandoffResult SendHandoffMessage(const std::string& socketPath, HandoffMessage type, std::string_view payload,
                                 HandoffTiming timing) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof(address.sun_path)) {
        return HandoffResult::NoReceiver;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);

    auto connectDeadline = std::chrono::steady_clock::now() + timing.connectWait;
    UniqueFd fd;
    for (;;) {
        fd = UniqueFd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!fd.valid()) {
            return HandoffResult::Failed;
        }
        if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
            break;
        }
        int error = errno;
        fd.Close();
        if (error != ENOENT && error != ECONNREFUSED) {
            return HandoffResult::NoReceiver;
        }
        if (std::chrono::steady_clock::now() >= connectDeadline) {
            return HandoffResult::NoReceiver;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    std::string message = EncodeHandoffMessage(type, payload);
    HandoffResult result = HandoffResult::Failed;
    if (WriteAll(fd.get(), message.data(), message.size())) {
        auto deadline = std::chrono::steady_clock::now() + timing.replyWait;
        for (;;) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd waiting{fd.get(), POLLIN, 0};
            int ready = poll(&waiting, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
            if (ready < 0 && errno != EINTR) {
                break;
            }
            if (ready <= 0) {
                continue;
            }
            unsigned char ack = 0;
            ssize_t got = recv(fd.get(), &ack, 1, 0);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got == 1 && ack == kHandoffAck) {
                result = HandoffResult::Delivered;
            }
            break;
        }
    }
    return result;
}

HandoffResult SendLinkHandoff(const std::string& socketPath, const std::string& encodedRecord, HandoffTiming timing) {
    return SendHandoffMessage(socketPath, HandoffMessage::CopyData, CopyDataPayload(0, encodedRecord), timing);
}

}  // namespace platform
