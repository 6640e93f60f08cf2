#include "system/win32_view_guard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "system/win32_system.h"

namespace brx {
namespace {

constexpr uint32_t kPage = 4096;

// Two pages; the second refuses writes when `secondWritable` is false, as
// a page the disk cannot back refuses them.
class TwoPages {
 public:
  explicit TwoPages(bool secondWritable) {
    bytes_ = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (bytes_ != nullptr && !secondWritable)
      VirtualProtect(bytes_ + kPage, kPage, PAGE_READONLY, &old);
  }
  ~TwoPages() {
    if (bytes_ != nullptr) VirtualFree(bytes_, 0, MEM_RELEASE);
  }
  uint8_t* bytes() const { return bytes_; }

 private:
  uint8_t* bytes_ = nullptr;
};

struct Fill {
  uint8_t value;
  bool result;
  int calls = 0;
};

bool FillBytes(void* context, uint8_t* view) {
  auto* fill = static_cast<Fill*>(context);
  ++fill->calls;
  std::memset(view, fill->value, 2 * kPage);
  return fill->result;
}

// Tests that a fill whose writes all land gives its own result, true or
// false, through the seam.
TEST(Win32ViewGuardTest, GivesTheFillsOwnResult) {
  Win32System system(nullptr);
  for (bool result : {true, false}) {
    TwoPages pages(true);
    ASSERT_NE(pages.bytes(), nullptr);
    Fill fill{0x5A, result};
    EXPECT_EQ(system.FillView(pages.bytes(), 2 * kPage, FillBytes, &fill), result);
    EXPECT_EQ(fill.calls, 1);
    EXPECT_EQ(pages.bytes()[2 * kPage - 1], 0x5A);
  }
}

// Tests that a write the view's page refuses ends the fill there with
// false instead of ending the program, that what was written before the
// fault stays, and that the guard is gone afterwards: the next fill runs as
// usual.
TEST(Win32ViewGuardTest, FaultInsideTheViewFailsTheFill) {
  Win32System system(nullptr);
  TwoPages pages(false);
  ASSERT_NE(pages.bytes(), nullptr);
  Fill fill{0x33, true};
  EXPECT_FALSE(system.FillView(pages.bytes(), 2 * kPage, FillBytes, &fill));
  EXPECT_EQ(fill.calls, 1);
  EXPECT_EQ(pages.bytes()[0], 0x33);
  EXPECT_EQ(pages.bytes()[kPage - 1], 0x33);
  EXPECT_EQ(pages.bytes()[kPage], 0);

  TwoPages next(true);
  ASSERT_NE(next.bytes(), nullptr);
  Fill again{0x44, true};
  EXPECT_TRUE(system.FillView(next.bytes(), 2 * kPage, FillBytes, &again));
  EXPECT_EQ(next.bytes()[2 * kPage - 1], 0x44);
}

// Tests the case the guard is for: a view of a new file whose mapping
// could be made but whose pages fault. A read-only view of a real file
// stands in for pages a full disk cannot back: every fault is caught, and
// the file keeps its bytes.
TEST(Win32ViewGuardTest, FaultInAFileViewFailsTheFill) {
  char temp[MAX_PATH];
  ASSERT_NE(GetTempPathA(sizeof(temp), temp), 0u);
  const std::string path =
      std::string(temp) + "brx_view_guard_" + std::to_string(GetCurrentProcessId()) + ".bin";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  std::string content(2 * kPage, 'k');
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, content.data(), content.size(), &written, nullptr));
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  auto* view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(view, nullptr);

  Win32System system(nullptr);
  Fill fill{0x11, true};
  EXPECT_FALSE(system.FillView(view, 2 * kPage, FillBytes, &fill));
  EXPECT_EQ(view[0], 'k');

  UnmapViewOfFile(view);
  CloseHandle(mapping);
  CloseHandle(file);
  DeleteFileA(path.c_str());
}

}  // namespace
}  // namespace brx
