#include "system/win32_view_guard.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <windows.h>
#include <zlib.h>

#include <vector>

#include "package/entry_lookup.h"
#include "system/win32_system.h"

namespace brx {
namespace {

constexpr uint32_t kPage = 4096;

// Bytes in use on the C runtime's heap, where zlib keeps its inflate state.
size_t HeapInUse() {
  _HEAPINFO block = {};
  size_t used = 0;
  while (_heapwalk(&block) == _HEAPOK) {
    if (block._useflag == _USEDENTRY) used += block._size;
  }
  return used;
}

// Tests that an entry produced into a view through the guard gives its own
// result while every write lands; that a write the view's second page
// refuses (as a page the disk cannot back refuses it) fails the entry
// instead of ending the program, keeps what was written before, and frees
// the inflate state it cut short, so a hundred such faults leave the heap
// as it was; and that the guard is gone afterwards.
TEST(Win32ViewGuardTest, AFaultInsideTheViewFailsTheEntryAndFreesItsState) {
  std::vector<uint8_t> content(2 * kPage);
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i * 7 + i / 251);
  uLongf streamSize = compressBound(content.size());
  std::vector<uint8_t> stream(streamSize);
  ASSERT_EQ(compress2(stream.data(), &streamSize, content.data(), content.size(), 9), Z_OK);
  Package package;
  package.bytes = {stream.data(), static_cast<uint32_t>(streamSize)};
  DirectoryEntry entry = {};
  entry.size = 2 * kPage;
  entry.flags = kEntryCompressed;
  entry.compressedSize = static_cast<uint32_t>(streamSize);
  DirectoryEntry cut = entry;
  cut.compressedSize -= 1;

  Win32System system(nullptr);
  auto* view = static_cast<uint8_t*>(
      VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(ExtractEntryIntoView(system, package, cut, view));
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(view + kPage, kPage, PAGE_READONLY, &old));
  const size_t heapBefore = HeapInUse();
  for (int fault = 0; fault < 100; ++fault) {
    ASSERT_FALSE(ExtractEntryIntoView(system, package, entry, view)) << fault;
  }
  EXPECT_LT(HeapInUse(), heapBefore + 64 * 1024) << "before: " << heapBefore;
  EXPECT_EQ(view[kPage - 1], content[kPage - 1]);

  ASSERT_TRUE(VirtualProtect(view + kPage, kPage, PAGE_READWRITE, &old));
  EXPECT_TRUE(ExtractEntryIntoView(system, package, entry, view));
  EXPECT_EQ(std::vector<uint8_t>(view, view + 2 * kPage), content);
  VirtualFree(view, 0, MEM_RELEASE);
}

}  // namespace
}  // namespace brx
