// halidex-library check [--repair]: the library's rows against its files, and a rebuild from
// the originals when the database is lost.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/photos/store/LibraryStore.h"
#include "platform/photos/store/PicturesFolder.h"
#include "tools/halidex-library/Interruption.h"
#include "tools/halidex-library/LibraryCommands.h"

namespace hx::library_tool {
namespace {

using namespace hx::photos;

void line(const char* kind, const std::string& first, const std::string& second = {}) {
    if (second.empty()) {
        std::printf("%s\t%s\n", kind, first.c_str());
    } else {
        std::printf("%s\t%s\t%s\n", kind, first.c_str(), second.c_str());
    }
}

}  // namespace

int checkLibrary(bool repair) {
    std::string folder = LibraryStore::defaultFolder();
    LibraryCheckReport report;
    std::string error;
    OpenFailure failure = OpenFailure::None;
    OpenOptions options;
    options.sweep = false;  // the check reports what it finds before anything is removed
    options.cameraFolder = cameraFolder();
    std::unique_ptr<LibraryStore> store = LibraryStore::open(folder, options, &error, &failure);
    if (!store) {
        std::fprintf(stderr, "halidex-library: %s\n", error.c_str());
        if (failure != OpenFailure::Damaged) return kExitFailure;
        line("damaged", folder + "/library.sqlite");
        if (!repair) return kExitFailure;
        store = LibraryStore::rebuild(folder, &report, &error, options.cameraFolder);
        if (!store) {
            std::fprintf(stderr, "halidex-library: %s\n", error.c_str());
            return kExitFailure;
        }
        if (!report.damagedDatabase.empty()) line("set-aside", report.damagedDatabase);
        for (const std::string& path : report.unreadableFiles) line("unreadable", path);
        std::printf("rebuilt\t%zu assets from the originals\n", report.rebuiltAssets.size());
    }

    CheckOptions check;
    check.removeFiles = repair;
    check.repairRows = repair;
    LibraryCheckReport found;
    if (!store->check(check, &found, &error)) {
        std::fprintf(stderr, "halidex-library: %s\n", error.c_str());
        return kExitFailure;
    }
    for (const auto& missing : found.missingFiles) {
        line(missing.rendered ? "missing-edit" : "missing", missing.asset, missing.path);
    }
    for (const auto& moved : found.relocatedFiles) {
        std::printf("%s\t%s\t%s\t%s\n", found.relocationsRecorded ? "found" : "moved",
                    moved.asset.c_str(), moved.from.c_str(), moved.to.c_str());
    }
    for (const std::string& path : found.unnamedFiles) line("unnamed", path);
    for (const std::string& path : found.temporaryFiles) line("temporary", path);
    for (const std::string& path : found.removedFiles) line("removed", path);
    for (const std::string& asset : found.removedAssets) line("removed-asset", asset);
    for (const std::string& asset : found.revertedAssets) line("reverted", asset);
    size_t problems = found.missingFiles.size() + found.unnamedFiles.size() +
                      found.temporaryFiles.size() + found.relocatedFiles.size();
    std::printf(
        "%lld assets, %zu missing files, %zu moved files, %zu unnamed files, %zu temporary "
        "files\n",
        static_cast<long long>(store->countAssets()), found.missingFiles.size(),
        found.relocatedFiles.size(), found.unnamedFiles.size(), found.temporaryFiles.size());
    if (int signal = pendingInterruption()) {
        return interrupted(signal, repair ? "the repair is complete" : "the check is complete");
    }
    if (problems == 0 || repair) return kExitOk;
    std::fprintf(stderr,
                 "halidex-library: the library needs repair: halidex-library check "
                 "--repair\n");
    return kExitFailure;
}

int moveOriginals() {
    OpenOptions options;
    options.cameraFolder = cameraFolder();
    std::string error;
    auto store = LibraryStore::open(LibraryStore::defaultFolder(), options, &error);
    if (!store) {
        std::fprintf(stderr, "halidex-library: %s\n", error.c_str());
        return kExitFailure;
    }
    std::vector<LibraryCheckReport::RelocatedFile> moved;
    bool done = store->moveOriginals([] { return pendingInterruption() == 0; }, &moved, &error);
    for (const auto& file : moved) {
        std::printf("moved\t%s\t%s\t%s\n", file.asset.c_str(), file.from.c_str(), file.to.c_str());
    }
    std::printf("%zu originals moved to %s\n", moved.size(), options.cameraFolder.c_str());
    if (!done) {
        std::fprintf(stderr, "halidex-library: %s\n", error.c_str());
        return kExitFailure;
    }
    if (int signal = pendingInterruption()) {
        return interrupted(signal, "run move-originals again to go on");
    }
    return kExitOk;
}

}  // namespace hx::library_tool
