// A thread of its own that runs one task at a time, handed over and waited for by one owner: the
// scan keeps one such thread busy with the work of a later chunk while it carves the current
// one, without starting a thread per chunk.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace quillon {

class TaskThread {
 public:
  TaskThread();
  // Waits for the task in hand, then ends the thread.
  ~TaskThread();
  TaskThread(const TaskThread&) = delete;
  TaskThread& operator=(const TaskThread&) = delete;

  // Starts `task` on the thread; the task before it must have been waited for. What the owner
  // wrote before is visible to the task.
  void Start(std::function<void()> task);
  // Waits until the task started last has returned (at once when none runs); what it wrote is
  // visible to the owner from here on.
  void Wait();

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> task_;  // set while a task waits or runs
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace quillon
