#include <filesystem>

#include "tarvane/engine/segment_map.h"
#include "tests/download/engine_harness.h"

namespace tarvane::test {
namespace {

constexpr size_t kMiB = 1024 * 1024;

// Several files over many connections at once keep a sanitizer build's cores so busy that a
// connection may wait a second for its turn: these tests allow a longer stall than the rest.
class ManyConnectionsTest : public DownloadTest {
protected:
    ManyConnectionsTest() {
        engine_.reset();
        engine_ = std::make_unique<EngineHarness>(temp_.Directory(), site_.Host(), 5s);
    }
};

// Large files from servers of every kind, side by side: each arrives byte for byte, over several
// connections where the server allows them, over fewer where it does not, never mixed from two
// versions, and leaves no segment map behind.
TEST_F(ManyConnectionsTest, LargeFilesComeOverAsManyConnectionsAsTheServerAllowsAndArriveWhole) {
    const std::string bytes = MakeFileBytes(20 * kMiB, 31), other = MakeFileBytes(20 * kMiB, 32);
    const TestSite::Answer plain{.bytes = bytes, .bytesPerSecond = 4 * kMiB};  // per connection
    TestSite::Answer ignoring = plain, cutting = plain, limited = plain, first = plain, second = plain;
    ignoring.ignoreRange = true;
    cutting.cutAfter = 3 * kMiB;
    limited.maxConnections = 2;
    first.etag = "\"v1\"";
    second.bytes = other;
    second.etag = "\"v2\"";
    struct Case {
        std::string name;
        std::vector<TestSite::Answer> answers;  // to the probe, the first answer and on
        int fewest, most;                       // ranges under way at once
    } cases[] = {
        {"ranges", {plain}, 4, 8},    {"ignored", {ignoring}, 1, 1}, {"second", {plain, plain, ignoring}, 1, 8},
        {"limited", {limited}, 1, 2}, {"cutting", {cutting}, 1, 8},  {"changing", {first, first, second}, 1, 8},
    };
    std::vector<std::string> pages;
    for (const Case& c : cases) {
        site_.AddScriptedFile("/big/" + c.name + ".bin", c.answers);
        pages.push_back(Add("/big/" + c.name + ".bin", c.name));
    }
    // The row of a task under way tells how many connections it runs.
    ASSERT_TRUE(
        WaitFor([&] { return engine_->list.Tip(0).find(platform::AnsiFromUtf8("个连接")) != std::string::npos; }));
    // Slow builds (the sanitizers, two tests at once) need longer for six files at once.
    ASSERT_TRUE(WaitCompleted(pages, 240s));
    for (const Case& c : cases) {
        EXPECT_TRUE(Game(c.name + ".bin") == c.answers.back().bytes) << c.name;
        EXPECT_GE(site_.PeakConnections("/big/" + c.name + ".bin"), c.fewest) << c.name;
        // A connection the client has closed (a segment cut short for another) counts at the server
        // until its next write there fails: on a busy machine it may overlap the one that follows.
        EXPECT_LE(site_.PeakConnections("/big/" + c.name + ".bin"), c.most + 1) << c.name;
        EXPECT_FALSE(std::filesystem::exists(SegmentMapPath(games_ + "/" + c.name + ".bin"))) << c.name;
    }
}

// A task stopped over several connections goes on from its segment map, without fetching again what
// the map holds; a map that is cut short, of another version, or claims more than the file holds is
// not believed: the task goes on from its count.
TEST_F(ManyConnectionsTest, ATaskGoesOnFromItsSegmentMapAndSurvivesOneThatCannotBeBelieved) {
    const int64_t size = 20 * kMiB;
    const std::string bytes = MakeFileBytes(size, 33);
    // 2-6 MiB on disk are not the file's: a map that claims them spoils the file unless it is not believed.
    std::string partial = bytes.substr(0, 12 * kMiB);
    std::fill(partial.begin() + 2 * kMiB, partial.begin() + 6 * kMiB, 'x');
    SegmentMap kept = SegmentMap::Whole(size, 2 * kMiB, "");
    kept.SplitAt(0, 8 * kMiB).next = 12 * kMiB;
    SegmentMap claims = SegmentMap::Whole(size, 8 * kMiB, ""), beyond = SegmentMap::Whole(size, 16 * kMiB, "");
    SegmentMap other = claims;
    other.validator = "\"old\"";
    std::string cut = claims.Text();
    cut.resize(cut.size() - 4);
    const std::pair<std::string, std::string> cases[] = {
        {"kept", kept.Text()}, {"cut", cut}, {"other", other.Text()}, {"beyond", beyond.Text()}};
    std::vector<std::string> pages;
    // The server's copy differs where the kept map holds bytes before the overlap of its resume: they
    // must not be fetched again.
    std::string served = bytes;
    std::fill(served.begin() + 8 * kMiB, served.begin() + 11 * kMiB, 'y');
    for (const auto& [name, map] : cases) {
        // One range at a time for the kept map: one connection that still goes by the map.
        site_.Add("/m/" + name, {.bytes = name == "kept" ? served : bytes,
                                 .bytesPerSecond = 16 * kMiB,
                                 .maxConnections = name == "kept" ? 1u : 0u});
        pages.push_back(Store(name, "/m/" + name, size, std::to_string(2 * kMiB), partial));
        WriteFile(SegmentMapPath(games_ + "/" + name + ".bin"), map);
    }
    // A server that turns away the run over several connections: one connection goes on, still by the map.
    const TestSite::Answer whole{.bytes = served}, busy{.status = 503};
    site_.AddScriptedFile("/m/refused", {whole, whole, busy, busy, busy, whole});
    pages.push_back(Store("refused", "/m/refused", size, std::to_string(2 * kMiB), partial));
    WriteFile(SegmentMapPath(games_ + "/refused.bin"), kept.Text());
    for (int row = 0; row < 5; ++row) {
        engine_->commands.StartTask(engine_->Task(row));
    }
    // Slow builds (the sanitizers) need longer for four files at once.
    ASSERT_TRUE(WaitCompleted(pages, 240s));
    for (const auto& [name, map] : cases) {
        EXPECT_TRUE(Game(name + ".bin") == bytes) << name;
    }
    EXPECT_TRUE(Game("refused.bin") == bytes);
}

}  // namespace
}  // namespace tarvane::test
