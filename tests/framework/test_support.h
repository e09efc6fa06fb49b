// Shared fixtures: a resource module with test dialogs, menus, bitmaps and
// icons, and a headless platform that uses it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/afx.h"
#include "framework/headless/headless.h"

namespace tessaro::test {

// Dialog 200: like the game window (348 x 185, visible, menu 300, controls
//   1008 edit, 1007 rich edit, 1009 button "&sim", 1000 and 1001 statics).
// Dialog 201: an input box (edit 1001, OK 1 default, Cancel 2), not visible.
// Dialog 202: a small hidden dialog with one edit 10.
// Dialog 203: names a menu that does not exist. Dialog 204: an unknown class.
// Menu 300: "&Game" with 32778, 32773 and a grayed 32790.
// Bitmap 500: 4 x 3, 24 bits (kBitmap500 below); 501: 15 x 15 grey disc on red.
// Icon 600: 16 and 32 pixels, blue with a transparent top-left pixel.
// String 101: "&About test...".
const ResourceModule& Resources();
extern const uint32_t kBitmap500[12];

class FrameworkTest : public testing::Test {
 protected:
  FrameworkTest() { os.platform().SetResourceModule(&Resources()); }

  Headless os;
};

}  // namespace tessaro::test
