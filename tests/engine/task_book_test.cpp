#include "tarvane/engine/task_book.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tarvane::test {
namespace {

using Kind = StoreChange::Kind;

CompletedItem Finished(const std::string& page, const std::string& path) {
    CompletedItem item;
    item.frmPge = page;
    item.path = path;
    return item;
}

TaskEntry Entry(const std::string& page) {
    TaskEntry entry;
    entry.page = page;
    entry.name = page;
    return entry;
}

std::vector<std::pair<Kind, std::string>> Taken(TaskBook& book) {
    std::vector<std::pair<Kind, std::string>> taken;
    for (const StoreChange& change : book.TakeStoreChanges(std::chrono::milliseconds(0))) {
        taken.emplace_back(change.kind,
                           change.kind == Kind::RemoveFinished ? change.finished.frmPge : change.task.frmPge);
    }
    return taken;
}

// Every follower sees every removal, whatever the others asked; the store changes come in the order
// the book made them, and a change to a task that left the list (even if its page came back) is none.
TEST(TaskBookTest, FollowersAndTheTaskFilesSeeEveryChangeInOrderByTaskId) {
    TaskBook book;
    book.Load({Entry("stored")}, {Finished("done", "/games/done.bin")});
    uint64_t first = book.ChangesSince(0).version, second = first;
    TaskId stored = book.Ids().front();
    TaskId added = book.Add(Entry("page"));
    EXPECT_TRUE(book.Update(added, [](TaskEntry& task) { task.done = 5; }));  // shown only
    EXPECT_TRUE(book.Update(
        added, [](TaskEntry& task) { task.counted = 7; }, Saving::Now));
    EXPECT_TRUE(book.Remove(added));
    TaskId again = book.Add(Entry("page"));
    EXPECT_FALSE(book.Update(
        added, [](TaskEntry& task) { task.name = "old worker"; }, Saving::Now));
    EXPECT_TRUE(book.Finish(stored, Finished("stored", "/games/stored.bin")));
    EXPECT_TRUE(book.RemoveFinished("done"));
    EXPECT_FALSE(book.RemoveFinished("done"));

    EXPECT_EQ(Taken(book), (std::vector<std::pair<Kind, std::string>>{{Kind::Add, "page"},
                                                                      {Kind::Save, "page"},
                                                                      {Kind::Remove, "page"},
                                                                      {Kind::Add, "page"},
                                                                      {Kind::Finish, "stored"},
                                                                      {Kind::RemoveFinished, "done"}}));
    auto seen = book.ChangesSince(first);
    EXPECT_EQ(seen.removed, (std::vector<TaskId>{added, stored}));
    ASSERT_EQ(seen.changed.size(), 1u);
    EXPECT_EQ(seen.changed[0].id, again);
    EXPECT_EQ(seen.changed[0].name, "page");
    // A second follower, asking later, still sees both removals.
    EXPECT_EQ(book.ChangesSince(second).removed, (std::vector<TaskId>{added, stored}));
    EXPECT_TRUE(book.ChangesSince(seen.version).removed.empty());

    EXPECT_EQ(book.LocatePage("page"), kPageInDownloadList);
    EXPECT_EQ(book.LocatePage("stored"), kPageCompleted);
    EXPECT_EQ(book.LocatePage("done"), kPageNew);
    EXPECT_TRUE(book.IsFinishedFile("/games/stored.bin"));
    EXPECT_FALSE(book.IsFinishedFile("/games/done.bin"));
}

}  // namespace
}  // namespace tarvane::test
