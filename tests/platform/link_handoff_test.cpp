#include "platform/link_handoff.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "tests/support/socket_receiver.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

TEST(LinkHandoff, RecordKeepsItsLayoutAndRoundTrips) {
    LinkHandoffRecord record{"http://game.quellora.localhost/a.htm", "name", "agent", 0x01020304};
    auto bytes = EncodeLinkHandoff(record);
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->size(), 784u);
    EXPECT_EQ(bytes->substr(0, record.link.size() + 1), record.link + '\0');
    EXPECT_EQ(bytes->substr(260, 4), "name");
    EXPECT_EQ(bytes->substr(520, 5), "agent");
    EXPECT_EQ(bytes->substr(780), std::string("\x04\x03\x02\x01", 4));

    auto decoded = DecodeLinkHandoff(*bytes + "trailing");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->link + "|" + decoded->name + "|" + decoded->agent, record.link + "|name|agent");
    EXPECT_EQ(decoded->useDefaultProxy, 0x01020304);

    // Bytes after a field's terminating zero are not part of it.
    std::string dirty = *bytes;
    dirty[265] = 'x';
    EXPECT_EQ(DecodeLinkHandoff(dirty)->name, "name");
    // Short or unterminated records are ignored.
    EXPECT_FALSE(DecodeLinkHandoff(bytes->substr(0, 783)));
    std::memset(dirty.data() + 260, 'z', 260);
    EXPECT_FALSE(DecodeLinkHandoff(dirty));

    // Fields that would be cut are refused.
    record.link = std::string(259, 'a');
    EXPECT_TRUE(EncodeLinkHandoff(record));
    record.link = std::string(260, 'a');
    EXPECT_FALSE(EncodeLinkHandoff(record));
    record.link = std::string("a\0b", 3);
    EXPECT_FALSE(EncodeLinkHandoff(record));
}

TEST(LinkHandoff, FolderIsPrivateAndForeignFoldersAreRefused) {
    tarvane::test::TempDir runtime;
    std::string folder = HandoffFolderIn(runtime.path().string());
    ASSERT_EQ(folder, runtime.path().string() + "/tarvane");
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // Opened to others (or replaced by a link), it is not used.
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(HandoffFolderIn(runtime.path().string()), "");
    rmdir(folder.c_str());
    tarvane::test::TempDir elsewhere;
    ASSERT_EQ(symlink(elsewhere.path().c_str(), folder.c_str()), 0);
    EXPECT_EQ(HandoffFolderIn(runtime.path().string()), "");

    // A refused candidate is passed over for a private folder of the user's own, never for none.
    tarvane::test::TempDir cache;
    std::string own = cache.path().string() + "/new/tarvane-run";
    EXPECT_EQ(FirstPrivateFolder({folder, "/proc/tarvane-none", own}), own);
}

using tarvane::test::SocketReceiver;

TEST(LinkHandoff, SenderWaitsForTheHandlerAndFramesTheRecord) {
    tarvane::test::TempDir dir;
    std::string path = dir.File("Quellora");
    std::string record = *EncodeLinkHandoff({"http://game.quellora.localhost/g.htm", "", "", 0});
    std::string received;
    {
        SocketReceiver receiver(path, {}, std::chrono::milliseconds(300));
        EXPECT_EQ(SendLinkHandoff(path, record), HandoffResult::Delivered);
        EXPECT_TRUE(receiver.handled);  // not before the handler returned
        received = receiver.Finish();
    }
    ASSERT_EQ(received.size(), 5u + 8u + 784u);
    EXPECT_EQ(received[0], 'C');
    EXPECT_EQ(SocketReceiver::Length(received), 8u + 784u);
    EXPECT_EQ(received.substr(5, 8), std::string(8, '\0'));  // dwData 0
    EXPECT_EQ(received.substr(13), record);

    unlink(path.c_str());
    {
        // A receiver that never answers: the sender gives up at its limit and says so.
        SocketReceiver silent(path, {}, {}, false);
        HandoffTiming timing;
        timing.replyWait = std::chrono::milliseconds(200);
        EXPECT_EQ(SendHandoffMessage(path, HandoffMessage::BringForward, "", timing), HandoffResult::Failed);
    }
    EXPECT_EQ(SendLinkHandoff(dir.File("nobody"), record), HandoffResult::NoReceiver);
}

}  // namespace
}  // namespace platform
