#include "platform/photos/store/StoreAttempt.h"

#include <chrono>
#include <random>
#include <thread>

#include "platform/log/Log.h"
#include "platform/photos/store/Database.h"

namespace hx::photos {
namespace {

constexpr int kMaxAttempts = 12;

}  // namespace

Attempt failedAttempt(const Database& db) {
    return db.lastErrorIsBusy() ? Attempt::Busy : Attempt::Failed;
}

Attempt attemptResult(const Database& db, bool succeeded) {
    return succeeded ? Attempt::Done : failedAttempt(db);
}

bool retryWhileBusy(const char* what, const std::function<Attempt()>& attempt) {
    thread_local std::minstd_rand random{std::random_device{}()};
    for (int round = 1;; ++round) {
        Attempt result = attempt();
        if (result == Attempt::Done) return true;
        if (result == Attempt::Failed) return false;
        if (round == kMaxAttempts) {
            hxLog("photo library: gave up %s after %s tries: the database stayed busy", what,
                  std::to_string(round).c_str());
            return false;
        }
        // A random pause, growing with each round, so that two writers do not collide again.
        int ceiling = std::min(200, 5 << std::min(round, 5));
        std::this_thread::sleep_for(
            std::chrono::milliseconds(1 + int(random() % unsigned(ceiling))));
    }
}

}  // namespace hx::photos
