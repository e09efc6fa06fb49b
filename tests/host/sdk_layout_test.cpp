// The interface header must give a C module and the C++ host the same records.
#include <gtest/gtest.h>

#include <cstddef>

#include "sdk/plugin_api.h"

extern "C" size_t SdkLayoutFromC(int which);

namespace {

TEST(SdkLayout, CAndCppAgreeOnEveryRecord) {
  const std::size_t cpp[] = {
      sizeof(PLUGININFO),
      sizeof(DBEVENTINFO),
      sizeof(CLISTMENUITEM),
      sizeof(CCSDATA),
      sizeof(PLUGINLINK),
      offsetof(PLUGININFO, replacesDefaultModule),
      offsetof(DBEVENTINFO, pBlob),
      offsetof(CLISTMENUITEM, pszContactOwner),
      offsetof(PLUGINLINK, ServiceExists),
  };
  for (int i = 0; i < static_cast<int>(std::size(cpp)); ++i) {
    EXPECT_EQ(SdkLayoutFromC(i), cpp[i]) << "item " << i;
  }
}

TEST(SdkLayout, PointerSizedArgumentsAndVersions) {
  static_assert(sizeof(WPARAM) == sizeof(void*) && sizeof(LPARAM) == sizeof(void*));
  static_assert(sizeof(INT_PTR) == sizeof(void*));
  static_assert(sizeof(DWORD) == 4 && sizeof(WORD) == 2 && sizeof(BYTE) == 1);
  EXPECT_EQ(PLUGIN_MAKE_VERSION(1, 0, 0, 0), 0x01000000u);
  EXPECT_EQ(PLUGIN_MAKE_VERSION(1, 2, 3, 4), 0x01020304u);
  EXPECT_EQ(PLUGIN_MAKE_VERSION(0x1FF, 0, 0, 0x100), 0xFF000000u);  // one byte per part
}

}  // namespace
