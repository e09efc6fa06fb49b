// The host's user-interface thread, seen as a queue of tasks.
//
// Everything of the host and its plug-ins runs on one thread. Work that starts
// elsewhere (a network transport's reader) or must not run inside the current call
// (a loopback delivery) is posted here and runs later, in posting order, on that
// thread. The window framework's platform provides the real queue; ManualQueue serves
// tests and tools that pump by hand.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace tessaro::host {

// ---- The interface the host depends on ----

class UiQueue {
 public:
  virtual ~UiQueue();
  // Thread-safe. Queues `task` to run on the user-interface thread after every task
  // posted before it. Never runs it inside this call.
  virtual void Post(std::function<void()> task) = 0;
};

// ---- A queue drained by hand ----

class ManualQueue final : public UiQueue {
 public:
  void Post(std::function<void()> task) override;

  // Runs tasks on the calling thread until the queue is empty, including tasks that
  // the running ones post. Returns how many ran.
  std::size_t RunPending();
  // Runs the first queued task, if any. Returns whether one ran.
  bool RunOne();
  std::size_t Size() const;

 private:
  mutable std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
};

}  // namespace tessaro::host
