// halidex-library: the photo library from the command line, through the same API the camera,
// the widget and the editor use.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/image/ImageLimits.h"
#include "platform/log/Log.h"
#include "platform/photos/library/PhotoLibrary.h"
#include "platform/photos/store/LibraryStore.h"
#include "tools/LibraryBusy.h"
#include "tools/halidex-library/Interruption.h"
#include "tools/halidex-library/LibraryCommands.h"
#include "tools/halidex-library/OutputText.h"

namespace {

using namespace hx::library_tool;

constexpr const char* kUsage =
    "usage: halidex-library COMMAND [ARGUMENTS]\n"
    "  import [--album TITLE] [--max-pixels N] FILE...\n"
    "                                   add pictures to the library (and to the album TITLE,\n"
    "                                   made when missing); pictures of more than N pixels\n"
    "                                   (default 100000000) are refused\n"
    "  list [--album TITLE]             one line per asset, newest first: identifier, date,\n"
    "                                   pixel size, albums\n"
    "  albums                           one line per album: identifier, assets, title\n"
    "  export [--edited] ID DIR         copy the original file into DIR (made if missing);\n"
    "                                   --edited: the current, edited version instead, as\n"
    "                                   NAME_edited.jpg\n"
    "  show ID                          the asset's properties and adjustment data\n"
    "  auth [STATUS]                    show or set the library's authorisation:\n"
    "                                   authorized, limited, denied, restricted, not-determined\n"
    "  revert ID                        drop the asset's edit\n"
    "  check [--repair]                 compare the database with the files: rows whose file\n"
    "                                   is missing, files no row names, temporary files left\n"
    "                                   by an interrupted import; --repair removes those\n"
    "                                   files and rows, and rebuilds a damaged database from\n"
    "                                   the originals (the old one is kept aside)\n"
    "  move-originals                   move originals kept inside the library folder to\n"
    "                                   the folder new originals go to, by YYYY/MM, with\n"
    "                                   readable names (one file at a time; run again after a\n"
    "                                   kill)\n"
    "The library is <data folder>/library; new originals go to <pictures>/Halidex Camera\n"
    "(the pictures folder from the XDG user-dirs file, ~/Pictures without one), or to the\n"
    "folder set with halidex-settings set library_folder PATH; HALIDEX_HOME\n"
    "moves both. Titles and file names are printed with control characters escaped\n"
    "(\\n, \\t, \\\\, \\xHH).\n";

int usage(const char* problem = nullptr) {
    if (problem) std::fprintf(stderr, "halidex-library: %s\n", problem);
    std::fputs(kUsage, stderr);
    return kExitBadInput;
}

// Takes "--album TITLE" out of the arguments.
bool takeAlbum(std::vector<std::string>& arguments, std::optional<std::string>& album) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] != "--album") continue;
        if (i + 1 >= arguments.size()) return false;
        album = arguments[i + 1];
        arguments.erase(arguments.begin() + long(i), arguments.begin() + long(i) + 2);
        return true;
    }
    return true;
}

// Takes "--max-pixels N" out of the arguments and sets the decode limit.
bool takeMaxPixels(std::vector<std::string>& arguments) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] != "--max-pixels") continue;
        if (i + 1 >= arguments.size()) return false;
        const std::string& text = arguments[i + 1];
        char* end = nullptr;
        const unsigned long long pixels = std::strtoull(text.c_str(), &end, 10);
        if (text.empty() || text[0] == '-' || *end || pixels == 0 ||
            pixels > hx::image::kMaxDecodePixels)
            return false;
        hx::image::setDecodePixelLimit(pixels);
        arguments.erase(arguments.begin() + long(i), arguments.begin() + long(i) + 2);
        return true;
    }
    return true;
}

// The busy status, with the reason printed, when another program holds the library's write lock.
std::optional<int> busyLibrary() {
    std::string busy = hx::tools::libraryBusyProblem();
    if (busy.empty()) return std::nullopt;
    std::fprintf(stderr, "halidex-library: %s\n", busy.c_str());
    return kExitBusy;
}

// The library opened as the shared one; otherwise the exit status, with the reason printed.
std::optional<int> openLibrary() {
    // Opening writes (it sweeps and prunes), so a program holding the write lock is met at once.
    if (std::optional<int> busy = busyLibrary()) return busy;
    hx::photos::PhotoLibrary::Options options;
    // The tool stands for the library's owner, so the programs' authorisation does not apply.
    options.enforcesAuthorization = false;
    std::string error;
    auto library = hx::photos::PhotoLibrary::open({}, options, &error);
    if (!library) {
        std::fprintf(stderr, "halidex-library: %s\n", escapedForLine(error).c_str());
        return kExitFailure;
    }
    hx::photos::PhotoLibrary::setSharedPhotoLibrary(std::move(library));
    return std::nullopt;
}

// Lets go of the library and waits (briefly) until work it queued itself has let go too, so
// that the store closes and the last one out leaves the database whole in library.sqlite.
void closeLibrary() {
    std::shared_ptr<hx::photos::PhotoLibrary> library =
        hx::photos::PhotoLibrary::setSharedPhotoLibrary(nullptr);
    if (!library) return;
    // Imported photos are ready to browse: their thumbnails are kept before the program ends.
    library->waitUntilThumbnailsKept();
    // Whichever thread lets go last, the database file is whole before the program exits.
    if (library->store()) library->store()->checkpointIfLast();
    std::weak_ptr<hx::photos::PhotoLibrary> open = library;
    library.reset();
    for (int tries = 0; tries < 2000 && !open.expired(); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

int run(const std::string& command, std::vector<std::string> arguments) {
    if (command == "auth") {
        if (arguments.size() > 1) return usage("auth takes at most one status");
        if (std::optional<int> busy = busyLibrary()) return *busy;
        return authorization(arguments.empty() ? std::nullopt
                                               : std::optional<std::string>(arguments[0]));
    }
    if (command == "move-originals") {
        if (!arguments.empty()) return usage("move-originals takes no arguments");
        if (std::optional<int> busy = busyLibrary()) return *busy;
        deferInterruptions();
        return moveOriginals();
    }
    if (command == "check") {
        bool repair = arguments.size() == 1 && arguments[0] == "--repair";
        if (!arguments.empty() && !repair) return usage("check takes only --repair");
        if (std::optional<int> busy = busyLibrary()) return *busy;
        deferInterruptions();
        return checkLibrary(repair);
    }
    std::optional<std::string> album;
    if ((command == "import" || command == "list") && !takeAlbum(arguments, album)) {
        return usage("--album needs a title");
    }
    if (command == "import" && !takeMaxPixels(arguments)) {
        return usage(
            ("--max-pixels needs a number from 1 to " + std::to_string(hx::image::kMaxDecodePixels))
                .c_str());
    }
    bool edited = false;
    if (command == "export" && !arguments.empty() && arguments[0] == "--edited") {
        edited = true;
        arguments.erase(arguments.begin());
    }
    auto expect = [&](size_t count) { return arguments.size() == count; };
    bool known = command == "import" || command == "list" || command == "albums" ||
                 command == "export" || command == "show" || command == "revert";
    if (!known) return usage(("unknown command \"" + command + "\"").c_str());
    if (command == "import" && arguments.empty()) return usage("import needs at least one file");
    if ((command == "list" || command == "albums") && !expect(0)) {
        return usage((command + " takes no files").c_str());
    }
    if (command == "export" && !expect(2)) return usage("export needs an identifier and a folder");
    if ((command == "show" || command == "revert") && !expect(1)) {
        return usage((command + " needs one identifier").c_str());
    }
    // An import runs to the end of its change, or stores nothing, whatever signal comes.
    if (command == "import") deferInterruptions();
    if (std::optional<int> status = openLibrary()) return *status;
    if (command == "import") return importFiles(arguments, album);
    if (command == "list") return listAssets(album);
    if (command == "albums") return listAlbums();
    if (command == "export") return exportOriginal(arguments[0], arguments[1], edited);
    if (command == "show") return showAsset(arguments[0]);
    return revertAsset(arguments[0]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    std::vector<std::string> arguments(argv + 2, argv + argc);
    hx::image::setDecodePixelLimit(hx::image::kToolDecodePixels);
    int status = kExitFailure;
    // Whatever reaches here (memory running out where nothing expected it) ends the command
    // with a message and status 1 rather than an abort.
    try {
        status = run(command, std::move(arguments));
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "halidex-library: out of memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "halidex-library: %s\n", e.what());
    }
    closeLibrary();
    return status;
}
