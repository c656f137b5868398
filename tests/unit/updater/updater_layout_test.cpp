// The updater window's arithmetic and labels.
#include <gtest/gtest.h>

#include "updater/updater_layout.h"

namespace {

TEST(UpdaterLayout, WindowHeightAndRowTops) {
  EXPECT_EQ(updater::WindowHeight(1), 104);
  EXPECT_EQ(updater::WindowHeight(3), 152);
  EXPECT_EQ(updater::RowTop(1), 16);
  EXPECT_EQ(updater::RowTop(2), 40);
  EXPECT_EQ(updater::RowTop(3), 64);
}

TEST(UpdaterLayout, NameLabels) {
  EXPECT_EQ(updater::NameLabel("tandrel.exe"), "tandrel：");
  EXPECT_EQ(updater::NameLabel("SkinH_EL.dll"), "SkinH_EL：");
  EXPECT_EQ(updater::NameLabel("a.b.c"), "a：");
  EXPECT_EQ(updater::NameLabel("README"), "：");
  EXPECT_EQ(updater::NameLabel("微信.dat"), "微信：");
}

TEST(UpdaterLayout, ProgressScaleAtEachThreshold) {
  struct Case { long long total; long long scale; };
  const Case cases[] = {
      {0, 1},
      {10000, 1},           {10001, 10},
      {100000, 10},         {100001, 100},
      {1000000, 100},       {1000001, 1000},
      {10000000, 1000},     {10000001, 10000},
      {100000000, 10000},   {100000001, 100000},
      {1000000000, 100000}, {1000000001, 1000000},
      {50000000000LL, 1000000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(updater::ProgressScale(c.total), c.scale) << c.total;
    // What the bar gets must fit its signed 32-bit range.
    EXPECT_LE(c.total / updater::ProgressScale(c.total), 2147483647LL) << c.total;
  }
}

TEST(UpdaterLayout, SizeLabels) {
  const long long mib = 1048576;
  EXPECT_EQ(updater::SizeLabel(mib * 11 / 2, mib * 11 / 2), "5.5MB/5.5MB");
  EXPECT_EQ(updater::SizeLabel(0, 700 * 1024), "0B/0.7MB");
  EXPECT_EQ(updater::SizeLabel(0, 0), "0B/0B");
  EXPECT_EQ(updater::SizeLabel(mib, 2 * mib), "1MB/2MB");
  EXPECT_EQ(updater::SizeText(mib * 3 / 20 + 1), "0.2MB");  // just above 0.15 rounds up
  EXPECT_EQ(updater::SizeText(512), "512B");             // below a twentieth of a megabyte
  EXPECT_EQ(updater::SizeText(123 * mib + mib / 4), "123.3MB");
}

}  // namespace
