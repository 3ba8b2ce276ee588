#include "tarvane/engine/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace tarvane {
namespace {

// A 64 MiB ext4 file system of its own, mounted from an image in the test's folder. ext4 keeps
// what a refused fallocate allocated (tmpfs does not); mounting it needs root and a loop device.
class SmallDiskTest : public test::TempDirTest {
protected:
    void SetUp() override {
        std::string image = temp_.File("disk.img");
        mount_ = temp_.File("disk");
        std::string make = "truncate -s 64M " + image + " && mkfs.ext4 -q -F -m 0 " + image + " && mkdir " + mount_ +
                           " && mount -o loop " + image + " " + mount_ + " 2>/dev/null";
        if (std::system(make.c_str()) != 0) {
            GTEST_SKIP() << "no ext4 file system of its own can be mounted here";
        }
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_) {
            EXPECT_EQ(std::system(("umount " + mount_).c_str()), 0);
        }
    }
    int64_t FreeBytes() const {
        struct statvfs disk {};
        EXPECT_EQ(statvfs(mount_.c_str(), &disk), 0);
        return static_cast<int64_t>(disk.f_bavail) * static_cast<int64_t>(disk.f_frsize);
    }
    int64_t BlockBytes() const {
        struct statvfs disk {};
        EXPECT_EQ(statvfs(mount_.c_str(), &disk), 0);
        return static_cast<int64_t>(disk.f_frsize);
    }

    std::string mount_;
    bool mounted_ = false;
};

// A reservation the disk cannot hold leaves the disk and the file as they were: one far too large
// is not tried, and one that only the file system's own bookkeeping makes fail gives back what it got.
TEST_F(SmallDiskTest, ARefusedReservationLeavesTheDiskAsItWas) {
    // A resumed file: bytes at its start and further on, a hole between.
    std::string path = mount_ + "/game.bin";
    int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const std::string head(4096, 'h'), tail(4096, 't');
    ASSERT_EQ(pwrite(fd, head.data(), head.size(), 0), 4096);
    ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), 1 << 20), 4096);
    ASSERT_EQ(fsync(fd), 0);
    struct stat before {};
    ASSERT_EQ(fstat(fd, &before), 0);
    DataFile data;
    data.Adopt(platform::UniqueFd(fd), path, 4096);
    const int64_t free = FreeBytes();
    // Far too much; then exactly what is free, which the data fills but its extent tree does not.
    for (int64_t size : {int64_t{1} << 30, free + static_cast<int64_t>(before.st_blocks) * 512}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(data.Reserve(size), DataFile::ReserveResult::NoRoom);
        // The file's bytes and holes are as they were; the file system may keep one block of its
        // extent tree, which it grew for the allocation.
        EXPECT_GE(FreeBytes(), free - BlockBytes());
        struct stat after {};
        ASSERT_EQ(fstat(fd, &after), 0);
        EXPECT_EQ(after.st_size, before.st_size);
        EXPECT_LE(after.st_blocks * 512, before.st_blocks * 512 + BlockBytes());
        std::string read(4096, '\0');
        EXPECT_TRUE(pread(fd, read.data(), read.size(), 0) == 4096 && read == head);
        EXPECT_TRUE(pread(fd, read.data(), read.size(), 1 << 20) == 4096 && read == tail);
    }
    EXPECT_EQ(data.Reserve(free / 2), DataFile::ReserveResult::Reserved);
    EXPECT_EQ(data.Size(), free / 2);
}

// Two answers fetch one rest: the bytes one brought first are compared by the other, wherever it
// stands in its answer, and never written over; other bytes there are a mismatch.
using DataFileTest = test::TempDirTest;

TEST_F(DataFileTest, ASecondAnswerComparesWhatAnotherBroughtFirstAndNeverWritesOverIt) {
    std::string path = temp_.File("game.bin");
    DataFile data;
    data.Adopt(platform::UniqueFd(open(path.c_str(), O_RDWR | O_CREAT, 0644)), path, 0);
    std::string file(5 * 4096, '\0');
    for (size_t i = 0; i < file.size(); ++i) {
        file[i] = static_cast<char>(i % 251);
    }
    using Put = DataFile::PutResult;
    auto first = DataFile::Cursor::At(0, 0), second = DataFile::Cursor::At(0, 0);
    ASSERT_EQ(data.PutAt(second, file.data(), 100), Put::Ok);
    ASSERT_EQ(data.PutAt(first, file.data(), 3 * 4096 + 7), Put::Ok);
    // The second goes on from byte 100 over the first's bytes, then brings the rest itself.
    second.CompareTo(first.writePos);
    ASSERT_EQ(data.PutAt(second, file.data() + 100, 4000), Put::Ok);
    second.CompareTo(first.writePos);
    ASSERT_EQ(data.PutAt(second, file.data() + 4100, file.size() - 4100), Put::Ok);
    auto late = DataFile::Cursor::At(4096, 0);
    late.CompareTo(second.writePos);
    std::string other = file.substr(4096, 4096);
    other[5] ^= 1;
    EXPECT_EQ(data.PutAt(late, other.data(), other.size()), Put::Mismatch);
    EXPECT_EQ(test::ReadFile(path), file);
}

}  // namespace
}  // namespace tarvane
