#include "system/win32_view_guard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "system/win32_system.h"

namespace brx {
namespace {

constexpr uint32_t kPage = 4096;

bool FillTwoPages(void* value, uint8_t* view) {
  std::memset(view, *static_cast<uint8_t*>(value), 2 * kPage);
  return *static_cast<uint8_t*>(value) != 0;
}

// Tests that a fill whose writes all land gives its own result through the
// seam; that a write the view's second page refuses (as a page the disk
// cannot back refuses it) ends the fill there with false instead of ending
// the program, keeping what was written before; and that the guard is gone
// afterwards, so the next fill runs as usual.
TEST(Win32ViewGuardTest, AFaultInsideTheViewFailsTheFill) {
  Win32System system(nullptr);
  auto* pages = static_cast<uint8_t*>(
      VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  for (uint8_t value : {0x5A, 0x00}) {
    EXPECT_EQ(system.FillView(pages, 2 * kPage, FillTwoPages, &value), value != 0);
    EXPECT_EQ(pages[2 * kPage - 1], value);
  }
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(pages + kPage, kPage, PAGE_READONLY, &old));
  uint8_t value = 0x33;
  EXPECT_FALSE(system.FillView(pages, 2 * kPage, FillTwoPages, &value));
  EXPECT_EQ(pages[kPage - 1], 0x33);
  EXPECT_EQ(pages[kPage], 0x00);
  ASSERT_TRUE(VirtualProtect(pages + kPage, kPage, PAGE_READWRITE, &old));
  value = 0x44;
  EXPECT_TRUE(system.FillView(pages, 2 * kPage, FillTwoPages, &value));
  EXPECT_EQ(pages[2 * kPage - 1], 0x44);
  VirtualFree(pages, 0, MEM_RELEASE);
}

}  // namespace
}  // namespace brx
