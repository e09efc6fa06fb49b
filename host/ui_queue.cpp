#include "host/ui_queue.h"

#include <utility>

namespace tessaro::host {

UiQueue::~UiQueue() = default;

void ManualQueue::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.push_back(std::move(task));
}

bool ManualQueue::RunOne() {
  std::function<void()> task;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (tasks_.empty()) return false;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
  // Run outside the lock: the task may post more work.
  if (task) task();
  return true;
}

std::size_t ManualQueue::RunPending() {
  std::size_t ran = 0;
  while (RunOne())
    ++ran;
  return ran;
}

std::size_t ManualQueue::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tasks_.size();
}

}  // namespace tessaro::host
