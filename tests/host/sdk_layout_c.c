/* The interface header compiled as C: sizes and field offsets as a C module sees
 * them, for the test to compare with what the C++ host sees. */
#include <stddef.h>

#include "sdk/plugin_api.h"

size_t SdkLayoutFromC(int which) {
  switch (which) {
    case 0:
      return sizeof(PLUGININFO);
    case 1:
      return sizeof(DBEVENTINFO);
    case 2:
      return sizeof(CLISTMENUITEM);
    case 3:
      return sizeof(CCSDATA);
    case 4:
      return sizeof(PLUGINLINK);
    case 5:
      return offsetof(PLUGININFO, replacesDefaultModule);
    case 6:
      return offsetof(DBEVENTINFO, pBlob);
    case 7:
      return offsetof(CLISTMENUITEM, pszContactOwner);
    case 8:
      return offsetof(PLUGINLINK, ServiceExists);
    default:
      return 0;
  }
}
