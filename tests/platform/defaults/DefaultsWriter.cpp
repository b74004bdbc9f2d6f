// A second process for the store's tests: writes "<prefix>.<i>" = i and "shared" = i for i in
// [0, rounds), synchronizing after each, into the named store under the inherited HALIDEX_HOME.
// Exits 0 when every write succeeded.

#include <cstdlib>
#include <string>

#include "platform/defaults/UserDefaults.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const std::string prefix = argv[2];
    const int rounds = std::atoi(argv[3]);
    hx::UserDefaults store(argv[1]);
    bool ok = true;
    for (int i = 0; i < rounds; ++i) {
        store.setInteger(i, prefix + "." + std::to_string(i));
        store.setInteger(i, "shared");
        ok = store.synchronize() && ok;
    }
    return ok ? 0 : 1;
}
