// GDI owners: an object is gone when its owner deletes it only if nothing holds it
// selected; the counts of the owners show a delete that did not take.
#include <windows.h>

#include <gtest/gtest.h>

#include "util/unique_resource.h"

namespace {

long Outstanding() {
  const util::GdiObjectCounts counts = util::CountedGdiObjects();
  return counts.taken - counts.gone;
}

// The bitmap's owner declared before or after the memory DC's: with the DC declared first
// the bitmap's owner goes first and deletes a bitmap the DC still holds, which Windows
// refuses (Wine delays it); the selection that goes first hands it back in time.
TEST(GdiOwners, AnObjectIsGoneOnlyWhenItsSelectionEndedBeforeItsOwner) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  const long before = Outstanding();
  {
    util::MemoryDc dc(screen);
    util::UniqueBitmap bitmap(CreateCompatibleBitmap(screen, 8, 8));
    ASSERT_TRUE(dc && bitmap);
    dc.Select(bitmap.get());
  }
  EXPECT_EQ(Outstanding(), before + 1) << "a bitmap deleted while still selected counted as gone";
  {
    util::UniqueBitmap bitmap(CreateCompatibleBitmap(screen, 8, 8));
    util::MemoryDc dc(screen);
    ASSERT_TRUE(dc && bitmap);
    util::SelectedObject selected(dc.get(), bitmap.get());
    EXPECT_TRUE(selected);
  }
  EXPECT_EQ(Outstanding(), before + 1) << "the bitmap handed back before its delete was not gone";
  ReleaseDC(nullptr, screen);
}

TEST(GdiOwners, ASelectionPutsThePreviousObjectBack) {
  util::MemoryDc dc(nullptr);
  util::UniqueBrush brush(CreateSolidBrush(RGB(1, 2, 3)));
  ASSERT_TRUE(dc && brush);
  const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_BRUSH);
  {
    util::SelectedObject selected(dc.get(), brush.get());
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BRUSH), brush.get());
  }
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BRUSH), original);
  EXPECT_FALSE(util::SelectedObject(nullptr, brush.get()));
}

}  // namespace
