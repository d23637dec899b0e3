// How much of the table file reading costs: a full scan reads the file about
// once in large blocks, a random goto about a page, and whatever the access
// pattern every record read is the right one.
#include <gtest/gtest.h>

#include <random>

#include "store/data_tables.h"
#include "store/work_area.h"
#include "test_support.h"

namespace zol {
namespace {

// Counts the bytes and calls of reads from table files.
class CountingFileSystem : public FileSystem {
 public:
  uint64_t bytes = 0, calls = 0;

  std::unique_ptr<File> open(const std::string& path, OpenMode mode, bool exclusive, int& osError) override {
    auto f = realFileSystem().open(path, mode, exclusive, osError);
    if (!f) return f;
    return std::make_unique<Counted>(std::move(f), *this);
  }
  bool exists(const std::string& path) override { return realFileSystem().exists(path); }
  bool remove(const std::string& path) override { return realFileSystem().remove(path); }
  bool rename(const std::string& from, const std::string& to) override { return realFileSystem().rename(from, to); }

 private:
  class Counted : public File {
   public:
    Counted(std::unique_ptr<File> f, CountingFileSystem& fs) : f_(std::move(f)), fs_(fs) {}
    size_t readAt(uint64_t offset, void* buf, size_t n) override {
      size_t got = f_->readAt(offset, buf, n);
      fs_.bytes += got;
      ++fs_.calls;
      return got;
    }
    size_t writeAt(uint64_t offset, const void* buf, size_t n) override { return f_->writeAt(offset, buf, n); }
    uint64_t size() override { return f_->size(); }
    bool truncate(uint64_t size) override { return f_->truncate(size); }
    bool flush() override { return f_->flush(); }
    int osError() const override { return f_->osError(); }

   private:
    std::unique_ptr<File> f_;
    CountingFileSystem& fs_;
  };
};

class RecordCache : public ::testing::Test {
 protected:
  static constexpr uint32_t kRecords = 20000;  // 1.7 MB: several read blocks
  test::TempDir dir;
  CountingFileSystem fs;
  WorkAreas wa{fs};
  ErrorRecorder errors;

  void SetUp() override {
    ASSERT_TRUE(wa.create(dir / "entradas", movementStructure()));
    ASSERT_TRUE(wa.use(dir / "entradas"));
    for (uint32_t i = 1; i <= kRecords; ++i) {
      ASSERT_TRUE(wa.cur().appendBlank());
      wa.cur().put("articulo", static_cast<int>(i));
    }
    wa.closeAll();
    ASSERT_TRUE(wa.use(dir / "entradas"));
    fs.bytes = fs.calls = 0;
  }
  uint64_t fileBytes() { return test::fileSize(dir / "entradas.dbf"); }
  int articulo() { return static_cast<int>(wa.cur().getNumber(2)); }
};

TEST_F(RecordCache, FullScanReadsTheFileOnceInLargeBlocks) {
  uint32_t n = 0;
  for (wa.cur().goTop(); !wa.cur().eof(); wa.cur().skip(1)) ASSERT_EQ(articulo(), static_cast<int>(++n));
  EXPECT_EQ(n, kRecords);
  EXPECT_LE(fs.bytes, fileBytes() + fileBytes() / 10);
  EXPECT_LE(fs.calls, 20u);
}

TEST_F(RecordCache, BackwardScanReadsTheFileOnceInLargeBlocks) {
  uint32_t n = kRecords;
  for (wa.cur().goBottom(); !wa.cur().bof(); wa.cur().skip(-1)) ASSERT_EQ(articulo(), static_cast<int>(n--));
  EXPECT_EQ(n, 0u);
  EXPECT_LE(fs.bytes, 2 * fileBytes());
  EXPECT_LE(fs.calls, 40u);
}

TEST_F(RecordCache, RandomGotoReadsAboutAPage) {
  std::mt19937 rng(7);
  const int lookups = 2000;
  for (int i = 0; i < lookups; ++i) {
    uint32_t r = 1 + rng() % kRecords;
    wa.cur().goTo(r);
    ASSERT_EQ(articulo(), static_cast<int>(r));
  }
  EXPECT_LE(fs.bytes, uint64_t(lookups) * 8192);
}

TEST_F(RecordCache, MixedMovesAlwaysReadTheRightRecord) {
  // Jumps, short walks both ways and runs past the cached window, against
  // the record numbers they must land on.
  std::mt19937 rng(11);
  uint32_t at = 1;
  wa.cur().goTo(at);
  for (int i = 0; i < 3000; ++i) {
    switch (rng() % 4) {
      case 0: at = 1 + rng() % kRecords; wa.cur().goTo(at); break;
      case 1: for (int k = static_cast<int>(rng() % 200); k > 0 && at < kRecords; --k) { wa.cur().skip(1); ++at; } break;
      case 2: for (int k = static_cast<int>(rng() % 200); k > 0 && at > 1; --k) { wa.cur().skip(-1); --at; } break;
      default: at = std::min<uint32_t>(kRecords, at + 1 + rng() % 5000); wa.cur().goTo(at);
    }
    ASSERT_EQ(wa.cur().recNo(), at);
    ASSERT_EQ(articulo(), static_cast<int>(at)) << "step " << i;
  }
  EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace zol
