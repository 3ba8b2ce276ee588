#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The record by which a link reaches the running tarvane, from a second instance or from selvik.
// On the wire: three 260-byte zero-terminated code page 936 fields (link, name, agent), then a
// 32-bit little-endian flag, 784 bytes in all.
inline constexpr std::size_t kHandoffFieldSize = 260;
inline constexpr std::size_t kLinkHandoffRecordSize = 3 * kHandoffFieldSize + 4;

struct LinkHandoffRecord {
    std::string link;
    std::string name;
    std::string agent;
    std::int32_t useDefaultProxy = 0;
};

// The 784 bytes of a record; nothing when a field needs more than 259 bytes (it would lose its end)
// or holds a zero byte.
std::optional<std::string> EncodeLinkHandoff(const LinkHandoffRecord& record);
// Reads a record; nothing when fewer than 784 bytes arrived or a field has no terminating zero
// inside its 260 bytes. Bytes past 784 are ignored.
std::optional<LinkHandoffRecord> DecodeLinkHandoff(std::string_view bytes);

// Messages on the hand-off socket: a type byte and a 32-bit little-endian payload length, then the
// payload. The receiver answers every message with one acknowledgement byte once its handler has
// returned, so the sender waits as long as the handler runs.
enum class HandoffMessage : std::uint8_t {
    CopyData = 'C',     // payload: 64-bit little-endian dwData, then the record bytes
    BringForward = 'F'  // no payload
};
inline constexpr std::uint8_t kHandoffAck = 'A';
inline constexpr std::size_t kHandoffHeaderSize = 5;
// Larger payloads are refused by the receiver before it reads them.
inline constexpr std::uint32_t kHandoffMaxPayload = 8 + kLinkHandoffRecordSize;

std::string EncodeHandoffMessage(HandoffMessage type, std::string_view payload);
// The payload of a copy-data message.
std::string CopyDataPayload(std::uint64_t dwData, std::string_view record);

// The folder of the hand-off socket and the single-instance lock: "tarvane" in $XDG_RUNTIME_DIR,
// else /tmp/tarvane-UID, else "tarvane-run" in the user's cache folder ($XDG_CACHE_HOME or
// ~/.cache). Created with mode 0700 when missing. A candidate is passed over when it cannot be
// created, or when what is there is not a folder of this user that only this user can reach (a
// folder in /tmp may have been put there by someone else). Empty only when none will do.
std::string HandoffFolder();
// The same under a given runtime folder (empty: the /tmp candidate), without the later candidates.
std::string HandoffFolderIn(const std::string& runtimeDirectory);
// The first of `candidates` that is, or can be made, a private folder of this user; empty if none.
std::string FirstPrivateFolder(const std::vector<std::string>& candidates);
// The socket, named after the caption (kCaption); empty when the folder is not usable.
std::string HandoffSocketPath();

enum class HandoffResult {
    Delivered,   // the receiver's handler has returned
    NoReceiver,  // nothing listens (no running window)
    Failed       // connection lost or no answer in time
};

struct HandoffTiming {
    // How long to keep trying while the socket is missing or refuses (an instance still starting).
    std::chrono::milliseconds connectWait{0};
    // How long to wait for the acknowledgement; the receiver may be asking the parse service.
    std::chrono::milliseconds replyWait{std::chrono::seconds(90)};
};

// Sends one message and waits for its acknowledgement (like a synchronous window message).
HandoffResult SendHandoffMessage(const std::string& socketPath, HandoffMessage type, std::string_view payload,
                                 HandoffTiming timing = {});
// Sends a record as copy-data with dwData 0.
HandoffResult SendLinkHandoff(const std::string& socketPath, const std::string& encodedRecord,
                              HandoffTiming timing = {});

}  // namespace platform
