#pragma once

// The machinery behind a DispatchQueue: where its blocks go and which thread runs them.
// Internal to the run loop module.

#include <functional>
#include <memory>
#include <string>

#include "platform/runloop/CancelToken.h"

namespace hx::detail {

struct Task {
    std::function<void()> block;
    CancelToken token;  // Empty unless the block came from asyncAfter.
};

class QueueCore : public std::enable_shared_from_this<QueueCore> {
  public:
    explicit QueueCore(std::string label) : label_(std::move(label)) {}
    virtual ~QueueCore() = default;
    QueueCore(const QueueCore&) = delete;
    QueueCore& operator=(const QueueCore&) = delete;

    const std::string& label() const { return label_; }

    // Thread safety: every member may be called from any thread.
    virtual void enqueue(Task task) = 0;
    // Runs inline when the calling thread is already this queue's; otherwise queues the block
    // and waits for it.
    virtual void runSync(const std::function<void()>& block);
    virtual CancelToken enqueueAfter(double seconds, std::function<void()> block);
    virtual bool isCurrent() const;
    // Called when the last DispatchQueue handle goes; queues with threads of their own let them
    // end once their work is done.
    virtual void close() {}

  private:
    std::string label_;
};

// Runs a task unless it was cancelled, logging an exception instead of letting it end the thread.
void runTask(const Task& task, const std::string& queueLabel);
void runGuarded(const std::function<void()>& block, const std::string& queueLabel);

// The queue whose blocks the calling thread runs (none for the delayed-dispatch thread).
void setCurrentQueue(const QueueCore* queue);
const QueueCore* currentQueue();

// Set at process exit: worker threads stop taking new blocks.
bool isShuttingDown();
void beginShutdown();

}  // namespace hx::detail
