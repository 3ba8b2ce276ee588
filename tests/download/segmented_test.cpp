#include <filesystem>

#include "tarvane/engine/segment_map.h"
#include "tests/download/engine_harness.h"
#include "tests/support/connection_peak.h"

namespace tarvane::test {
namespace {

constexpr size_t kMiB = 1024 * 1024;

// Several files over many connections at once keep a sanitizer build's cores so busy that a
// connection may wait a second for its turn: these tests allow a longer stall than the rest.
class ManyConnectionsTest : public DownloadTest {
protected:
    ManyConnectionsTest() {
        engine_.reset();
        engine_ = std::make_unique<EngineHarness>(temp_.Directory(), site_.Host(), std::max(TestStall(), 5s));
    }
};

// Large files from servers of every kind, side by side: each arrives byte for byte, never over more
// connections than the server allows, never mixed from two versions, and leaves no segment map behind.
TEST_F(ManyConnectionsTest, LargeFilesArriveWholeOverNoMoreConnectionsThanTheServerAllows) {
    const std::string bytes = MakeFileBytes(20 * kMiB, 31), other = MakeFileBytes(20 * kMiB, 32);
    const TestSite::Answer plain{.bytes = bytes, .etag = "\"v1\"", .bytesPerSecond = 4 * kMiB};  // per connection
    TestSite::Answer ignoring = plain, cutting = plain, limited = plain, second = plain, unnamed = plain, login = plain,
                     early = plain;
    ignoring.ignoreRange = true;
    cutting.cutAfter = 3 * kMiB;
    limited.maxConnections = 2;
    second.bytes = other;
    second.etag = "\"v2\"";
    unnamed.etag.clear();
    unnamed.offsetBytes = other;
    login.maxConnections = 1;
    login.beyondPage = "<!DOCTYPE html><p>log in</p>";
    early.earlyBy = 4096;
    struct Case {
        std::string name;
        std::vector<TestSite::Answer> answers;  // to the probe, the first answer and on
        int most;                               // ranges under way at once
    } cases[] = {
        {"ranges", {plain}, 8},
        {"ignored", {ignoring}, 1},
        {"second", {plain, plain, ignoring}, 8},
        {"limited", {limited}, 2},
        {"cutting", {cutting}, 8},
        {"changing", {plain, plain, second}, 8},
        // Without a validator nothing tells the versions of a mirror's nodes apart: one connection.
        {"unnamed", {unnamed}, 1},
        // A login page to extra connections refuses them; the file is still the first connection's.
        {"login", {login}, 1},
        // A range from another place than asked for, as its Content-Range says, never lands in the file
        // (how many ranges open before the first such answer is read depends on the machine's speed).
        {"early", {early}, 8},
    };
    std::vector<std::string> pages;
    for (const Case& c : cases) {
        site_.AddScriptedFile("/big/" + c.name + ".bin", c.answers);
        pages.push_back(Add("/big/" + c.name + ".bin", c.name));
    }
    // The row of a task under way tells how many connections it runs.
    ASSERT_TRUE(
        WaitFor([&] { return engine_->list.Tip(0).find(platform::AnsiFromUtf8("个连接")) != std::string::npos; }));
    // Slow builds (the sanitizers, two tests at once) need longer for several files at once.
    ASSERT_TRUE(WaitCompleted(pages, 240s));
    // The site stops counting a range the moment its connection closes, whatever the machine's speed;
    // one more allows for an answer whose last byte the client already has while the server has yet to
    // let go of it.
    const int lag = 1;
    for (const Case& c : cases) {
        EXPECT_TRUE(Game(c.name + ".bin") == c.answers.back().bytes) << c.name;
        EXPECT_LE(site_.PeakConnections("/big/" + c.name + ".bin"), c.most + lag) << c.name;
        EXPECT_FALSE(std::filesystem::exists(SegmentMapPath(games_ + "/" + c.name + ".bin"))) << c.name;
    }
}

// A mirror whose connections get unequal rates: slow connections do not keep the task from opening
// more, and one far too slow to bring its piece within the wait does not hold the file's end.
TEST_F(ManyConnectionsTest, ConnectionsAreJudgedOneByOneAndASlowOneDoesNotHoldTheEnd) {
    constexpr size_t kFast = kMiB, kSlow = 32 * 1024, kCrawl = 2 * 1024;
    const std::string bytes = MakeFileBytes(16 * kMiB, 34);
    // Rates by arrival, the probe first: two slow connections in six; one in eight so slow that the
    // smallest piece it could get first would take far longer than the wait.
    const std::vector<std::pair<std::string, std::vector<size_t>>> rates = {
        {"unequal", {kFast, kFast, kSlow, kFast, kFast, kSlow}},
        {"tail", {kFast, kFast, kFast, kFast, kFast, kFast, kFast, kCrawl}}};
    std::vector<std::string> pages;
    for (const auto& [name, byArrival] : rates) {
        site_.Add("/mirror/" + name + ".bin", {.bytes = bytes, .etag = "\"m\"", .ratesByArrival = byArrival});
        pages.push_back(Add("/mirror/" + name + ".bin", name));
    }
    ASSERT_TRUE(WaitCompleted(pages, 120s));
    for (const auto& [name, byArrival] : rates) {
        EXPECT_TRUE(Game(name + ".bin") == bytes) << name;
        EXPECT_GE(site_.PeakConnections("/mirror/" + name + ".bin"), 4) << name;
    }
}

// A speed limit lowered cuts a task's connections; raised again, the task opens more again.
TEST_F(ManyConnectionsTest, ConnectionsFollowASpeedLimitDownAndUpAgain) {
    // Each connection is faster than the raised limit: one alone could bring all of it.
    site_.Add("/limit/game.bin", {.etag = "\"l\"", .bytesPerSecond = kMiB, .virtualSize = 256 * kMiB});
    const std::string page = Add("/limit/game.bin", "game");
    auto connections = [&] { return std::atoi(engine_->book.Get(engine_->FindTask(page))->connections.c_str()); };
    ASSERT_TRUE(WaitFor([&] { return connections() >= 4; }));
    engine_->limiter.SetLimit(16);  // KB/s: room for one connection
    EXPECT_TRUE(WaitFor([&] { return connections() == 1; }));
    engine_->limiter.SetLimit(512);
    EXPECT_TRUE(WaitFor([&] { return connections() >= 4; }));
    engine_->commands.PauseTask(engine_->FindTask(page));
}

// A task stopped over several connections goes on from its segment map, without fetching again what
// the map holds, however little is missing; a map that is cut short, of another version, or claims
// more than the file holds is not believed: the task goes on from its count.
TEST_F(ManyConnectionsTest, ATaskGoesOnFromItsSegmentMapAndSurvivesOneThatCannotBeBelieved) {
    const int64_t size = 20 * kMiB;
    const std::string bytes = MakeFileBytes(size, 33);
    // 2-6 MiB on disk are not the file's: a map that claims them spoils the file unless it is not believed.
    std::string partial = bytes.substr(0, 12 * kMiB);
    std::fill(partial.begin() + 2 * kMiB, partial.begin() + 6 * kMiB, 'x');
    const std::string etag = "\"m\"";
    SegmentMap kept = SegmentMap::Whole(size, 2 * kMiB, etag);
    kept.SplitAt(0, 8 * kMiB).next = 12 * kMiB;
    SegmentMap claims = SegmentMap::Whole(size, 8 * kMiB, etag), beyond = SegmentMap::Whole(size, 16 * kMiB, etag);
    SegmentMap other = claims;
    other.validator = "\"old\"";
    std::string cut = claims.Text();
    cut.resize(cut.size() - 4);
    const std::pair<std::string, std::string> cases[] = {
        {"kept", kept.Text()}, {"cut", cut}, {"other", other.Text()}, {"beyond", beyond.Text()}};
    std::vector<std::string> pages;
    auto store = [&](const std::string& name, const std::string& count, const std::string& onDisk,
                     const std::string& map) {
        pages.push_back(Store(name, "/m/" + name, size, count, onDisk));
        SetStored(pages.back(), "etag", etag);
        WriteFile(SegmentMapPath(games_ + "/" + name + ".bin"), map);
    };
    // The server's copy differs where the kept map holds bytes before the overlap of its resume: they
    // must not be fetched again.
    std::string served = bytes;
    std::fill(served.begin() + 8 * kMiB, served.begin() + 11 * kMiB, 'y');
    for (const auto& [name, map] : cases) {
        // One range at a time for the kept map: one connection that still goes by the map.
        site_.Add("/m/" + name, {.bytes = name == "kept" ? served : bytes,
                                 .etag = etag,
                                 .bytesPerSecond = 16 * kMiB,
                                 .maxConnections = name == "kept" ? 1u : 0u});
        store(name, std::to_string(2 * kMiB), partial, map);
    }
    // A server that turns away the run over several connections: one connection goes on, still by the map.
    const TestSite::Answer whole{.bytes = served, .etag = etag}, busy{.status = 503};
    site_.AddScriptedFile("/m/refused", {whole, whole, busy, busy, busy, whole});
    store("refused", std::to_string(2 * kMiB), partial, kept.Text());
    // Half a MiB missing after the count, every other byte held.
    SegmentMap little = SegmentMap::Whole(size, kMiB, etag);
    little.SplitAt(0, 3 * kMiB / 2).next = size;
    std::string held = bytes;
    std::fill(held.begin() + kMiB, held.begin() + 3 * kMiB / 2, '\0');
    site_.Add("/m/little", whole);
    store("little", std::to_string(kMiB), held, little.Text());
    for (int row = 0; row < 6; ++row) {
        engine_->commands.StartTask(engine_->Task(row));
    }
    // Slow builds (the sanitizers) need longer for four files at once.
    ASSERT_TRUE(WaitCompleted(pages, 240s));
    for (const auto& [name, map] : cases) {
        EXPECT_TRUE(Game(name + ".bin") == bytes) << name;
    }
    EXPECT_TRUE(Game("refused.bin") == bytes);
    EXPECT_TRUE(Game("little.bin") == bytes);
}

// Twenty tasks from one mirror under a budget of six connections: the mirror never holds more connections
// at once (probes included), and every task arrives, the two big ones too.
TEST_F(ManyConnectionsTest, TwentyTasksOfOneHostShareItsBudgetAndEveryOneArrives) {
    WriteConfig("[options]\nmaxTaskNum=20\n");
    engine_->SetConnectionsPerHost(6);
    TestSite mirror;
    std::vector<std::string> pages, files;
    for (int i = 0; i < 20; ++i) {
        const size_t size = i < 2 ? 16 * kMiB : kMiB / 2;
        files.push_back(MakeFileBytes(size, 40 + i));
        const std::string path = "/host/" + std::to_string(i) + ".bin";
        mirror.Add(path, {.bytes = files.back(), .etag = "\"h\"", .bytesPerSecond = i < 2 ? 4 * kMiB : kMiB / 2});
        pages.push_back(GamePage("h" + std::to_string(i)));
        site_.SetParseReply(pages.back(), mirror.Url(path), "h" + std::to_string(i));
        engine_->AddPage(pages.back(), games_);
    }
    ConnectionPeak peak(mirror.port());
    ASSERT_TRUE(WaitCompleted(pages, 240s));
    EXPECT_LE(peak.Stop(), 6);
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(Game("h" + std::to_string(i) + ".bin") == files[static_cast<size_t>(i)]) << i;
    }
}

}  // namespace
}  // namespace tarvane::test
