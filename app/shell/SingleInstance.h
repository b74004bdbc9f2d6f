#pragma once
// One halidex per user. The first launch becomes the primary: it holds an exclusive lock on
// "halidex.lock" in the runtime folder for its whole life (so only one process ever runs the
// camera) and listens on the unix-domain socket "halidex.sock" next to it. A later launch finds
// the lock taken, forwards its request over the socket and ends.
//
// The lock alone decides who is primary, so two launches at the same moment never both win, and
// a socket left behind by a primary that died (its lock went with it) is replaced by the next
// primary.
//
// Protocol: the client sends one line, at most 255 bytes before the newline, and the primary
// answers one line and closes:
//   "activate"                             bring the window forward
//   "action takephoto", "action takeselfie" a quick action
// The answer is "ok" when the request was taken and "refused" for anything else (logged; the
// request is dropped). A client that sends nothing within a second is refused.
//
// Threads: make and destroy on the main thread. The primary's listener is a thread of its own
// that answers clients without waiting for the main thread and posts each accepted request to
// the main run loop, where the request handler runs.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace hx::app {

class SingleInstance {
  public:
    using RequestHandler = std::function<void(const std::string& request)>;

    // How long a secondary waits for the primary to answer.
    static constexpr double kForwardTimeoutSeconds = 3;
    // Longest request line, newline excluded.
    static constexpr size_t kMaxRequestLength = 255;

    // Takes part in the election in the runtime folder (paths::runtimeDirectory(), which
    // HALIDEX_HOME moves). Null, with the reason, when the folder, lock or socket cannot be made.
    static std::unique_ptr<SingleInstance> acquire(std::string* error);
    // The same in the given folder.
    static std::unique_ptr<SingleInstance> acquireIn(const std::string& directory,
                                                     std::string* error);

    // A primary stops listening, removes its socket and gives up the lock.
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool isPrimary() const { return primary_; }
    const std::string& socketPath() const { return socketPath_; }

    // Sends the request to the primary and waits for its answer; true when it took it. Retries
    // while the primary is still starting, until the time-out.
    bool forward(const std::string& request, std::string* error,
                 double timeoutSeconds = kForwardTimeoutSeconds) const;

    // Primary: each accepted request is handed to the handler on the main thread, in the order
    // they came. Requests that came before a handler was set wait for it.
    void setRequestHandler(RequestHandler handler);

    // Whether the line is a request of the protocol.
    static bool isValidRequest(std::string_view line);
    // The request a launch sends: "activate" without an action, else "action ACTION".
    static std::string requestForAction(const std::string& action);

    struct State;

  private:
    SingleInstance() = default;

    bool primary_ = false;
    std::string socketPath_;
    int lockFd_ = -1;
    std::shared_ptr<State> state_;
};

}  // namespace hx::app
