// Any bytes as a library's database file: the library opens it and answers, or refuses it with
// a reason; it never crashes, whatever the damage.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/photos/store/LibraryStore.h"

namespace {

const std::filesystem::path& folder() {
    static const std::filesystem::path path = [] {
        char name[] = "/tmp/hx-fuzz-library-XXXXXX";
        if (!::mkdtemp(name)) __builtin_trap();
        return std::filesystem::path(name);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::error_code ec;
    std::filesystem::remove_all(folder(), ec);
    std::filesystem::create_directories(folder());
    {
        std::ofstream out(folder() / "library.sqlite", std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::string error;
    auto store = hx::photos::LibraryStore::open(folder().string(), &error);
    if (!store) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    for (const auto& asset : store->assets()) {
        (void)store->albumsContaining(asset.localIdentifier);
        (void)store->originalPath(asset);
    }
    (void)store->allAlbums();
    (void)store->countAssets();
    (void)store->transactionsAfter(0, 16);
    hx::photos::LibraryCheckReport report;
    (void)store->check({}, &report, &error);
    return 0;
}
