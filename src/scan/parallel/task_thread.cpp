#include "scan/parallel/task_thread.h"

#include <utility>

namespace quillon {

TaskThread::TaskThread() : thread_([this] { Loop(); }) {}

TaskThread::~TaskThread() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !task_; });
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void TaskThread::Start(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    task_ = std::move(task);
  }
  changed_.notify_all();
}

void TaskThread::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !task_; });
}

void TaskThread::Loop() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return quit_ || task_; });
    if (!task_) return;  // told to quit with nothing in hand
    lock.unlock();
    task_();
    lock.lock();
    task_ = nullptr;
    changed_.notify_all();
  }
}

}  // namespace quillon
