// The host's user-interface queue on the window framework's platform: tasks
// posted from any thread run in the platform's message loop, in order, between
// window messages.
#pragma once

#include <functional>

#include "framework/platform.h"
#include "host/ui_queue.h"

namespace tessaro {

class PlatformQueue final : public host::UiQueue {
 public:
  void Post(std::function<void()> task) override {
    if (Platform* platform = Platform::Current()) platform->PostTask(std::move(task));
  }
};

}  // namespace tessaro
