#pragma once
// What every program is fed at its doors: files that are missing, unreadable, empty, truncated,
// of the wrong type or of absurd size, names with spaces, quotes, line feeds and bytes that are
// not UTF-8, folders that refuse writing, a full disk, and a photo library held by another
// program. The programs run as a user runs them, each in a private HALIDEX_HOME.
//
// A full disk is a small tmpfs mounted in a mount namespace of the test's own (unshare -rm), so
// no privilege is needed where user namespaces are allowed. As root, which ignores file modes,
// the programs that must meet a read-only folder or an unreadable file run with the capabilities
// that override file modes removed (setpriv).

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TemporaryFolder.h"

namespace hx::doors {

namespace fs = std::filesystem;
using testsupport::SeparateOutputs;
using testsupport::shellQuoted;

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every file under `folder` with its bytes (folders as "<folder>"), to tell that nothing changed.
inline std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string path = it->path().string();
        if (it->is_directory(ec))
            files[path] = "<folder>";
        else
            files[path] = ::access(path.c_str(), R_OK) == 0 ? readBytes(path) : "<unreadable>";
    }
    return files;
}

// The names of what `folder` holds, hidden (temporary) files included.
inline std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    return names;
}

// The lines on standard error that the program wrote itself (log lines start with the date).
inline std::vector<std::string> programLines(const std::string& err, const std::string& program) {
    std::vector<std::string> lines;
    for (const std::string& line : testsupport::linesOf(err))
        if (line.rfind(program + ": ", 0) == 0) lines.push_back(line);
    return lines;
}

// Fresh bad inputs in a temporary folder, and ways to run a program at them.
class Doors : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = folder_.file("home");
        inputs_ = folder_.file("inputs");
        fs::create_directories(home_);
        fs::create_directories(inputs_);
    }
    void TearDown() override {
        // Modes taken away in a test are given back, so that the folder can be removed.
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(folder_.path(), ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::permissions(folder_.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }

    std::string input(const std::string& name) const { return inputs_ + "/" + name; }

    // A picture the programs read well: halidex-render's rendering of the built-in sample.
    std::string goodJpeg() {
        const std::string path = input("good.jpg");
        if (!fs::exists(path)) {
            const std::string sample = std::string(HX_TEST_RESOURCES_DIR) + "/samples/sample.png";
            auto made = run(std::string(HX_RENDER) + " --film 10 " + shellQuoted(sample) + " " +
                            shellQuoted(path));
            EXPECT_EQ(made.status, 0) << made.err;
        }
        return path;
    }

    // The bad files every door is fed, made from a good picture: name, and what the program's
    // one line must say about it (besides the name).
    struct BadFile {
        std::string path;
        std::string cause;
    };
    std::vector<BadFile> badPictures() {
        const std::string good = readBytes(goodJpeg());
        writeBytes(input("empty.jpg"), "");
        writeBytes(input("truncated.jpg"), good.substr(0, good.size() / 3));
        writeBytes(input("text.jpg"), "this is a letter, not a picture\n");
        writeBytes(input("unreadable.jpg"), good);
        fs::permissions(input("unreadable.jpg"), fs::perms::none);
        fs::create_directories(input("folder.jpg"));
        writeBytes(input("huge.png"), hugePng());
        return {
            {input("missing.jpg"), "No such file"},
            {input("empty.jpg"), ""},
            {input("truncated.jpg"), ""},
            {input("text.jpg"), ""},
            {input("unreadable.jpg"), "Permission denied"},
            {input("folder.jpg"), ""},
            {input("huge.png"), ""},
        };
    }

    // Good pictures under names that test the quoting and printing of file names.
    std::vector<std::string> oddlyNamed() {
        const std::string good = readBytes(goodJpeg());
        std::vector<std::string> names = {input("with space 'and' \"quotes\".jpg"),
                                          input("line\nfeed.jpg"), input("latin\xE9\xFF.jpg")};
        for (const std::string& name : names) writeBytes(name, good);
        return names;
    }

    // A PNG header of 100000 x 100000 pixels with almost no data behind it.
    static std::string hugePng() {
        const unsigned char bytes[] = {
            0x89, 'P',  'N',  'G',  '\r', '\n', 0x1A, '\n', 0,    0,   0,   13,   'I',  'H',  'D',
            'R',  0,    1,    0x86, 0xA0, 0,    1,    0x86, 0xA0, 8,   2,   0,    0,    0,    0x27,
            0x30, 0x9C, 0x9F, 0,    0,    0,    0,    'I',  'E',  'N', 'D', 0xAE, 0x42, 0x60, 0x82};
        return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
    }

    // Runs a shell command line with this test's HALIDEX_HOME and no display.
    SeparateOutputs run(const std::string& command) {
        return testsupport::runCommandSeparately(command, {{"HALIDEX_HOME", home_},
                                                           {"QT_QPA_PLATFORM", "offscreen"},
                                                           {"XDG_RUNTIME_DIR", runtime()}});
    }

    // The same, with file modes applying even to root.
    SeparateOutputs runUnprivileged(const std::string& command) {
        if (::geteuid() != 0) return run(command);
        return run("setpriv --bounding-set=-dac_override,-dac_read_search -- " + command);
    }

    // Runs `command` with a tmpfs of `kilobytes` mounted on `mountPoint` (made if missing);
    // `prepare` runs first inside the same namespace (filling the disk, say).
    SeparateOutputs runOnSmallDisk(const std::string& mountPoint, int kilobytes,
                                   const std::string& prepare, const std::string& command) {
        fs::create_directories(mountPoint);
        const std::string inside = "mount -t tmpfs -o size=" + std::to_string(kilobytes) +
                                   "k tmpfs " + shellQuoted(mountPoint) + " || exit 97\n" +
                                   prepare + "\n" + command + "\nstatus=$?\n" + "find " +
                                   shellQuoted(mountPoint) + " -mindepth 1 -printf '%P %s\\n' >" +
                                   shellQuoted(mountPoint + ".after") + "\nexit $status";
        return run("unshare -rm sh -c " + shellQuoted(inside));
    }

    // What a small disk held after runOnSmallDisk: one "path size" line per entry.
    std::string smallDiskAfterwards(const std::string& mountPoint) {
        return readBytes(mountPoint + ".after");
    }

    // Whether a private tmpfs can be mounted here (HX_REQUIRE_SMALL_DISKS says what if not).
    static bool smallDisksAvailable() {
        static const bool available =
            testsupport::runCommand("unshare -rm sh -c 'mount -t tmpfs tmpfs /mnt' 2>&1").status ==
            0;
        return available;
    }

    // Checks that the program failed with `status` and one line of its own naming `file` (as
    // printed: control characters escaped) and saying `cause`.
    static void expectOneLine(const SeparateOutputs& result, const std::string& program, int status,
                              const std::string& file, const std::string& cause,
                              const std::string& context) {
        EXPECT_EQ(result.status, status) << context << "\n" << result.err;
        const std::vector<std::string> lines = programLines(result.err, program);
        ASSERT_EQ(lines.size(), 1u) << context << ": one line of the program's own expected\n"
                                    << result.err;
        if (!file.empty()) {
            EXPECT_NE(lines[0].find(printed(file)), std::string::npos)
                << context << ": the line names the file\n"
                << lines[0];
        }
        if (!cause.empty()) {
            EXPECT_NE(lines[0].find(cause), std::string::npos) << context << "\n" << lines[0];
        }
    }

    // A file name as the programs print it: line feeds as \n, bytes that are not UTF-8 as \xHH.
    static std::string printed(const std::string& name) {
        std::string out;
        for (char c : name) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '\n') {
                out += "\\n";
            } else if (byte == 0xE9 || byte == 0xFF) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", byte);
                out += hex;
            } else {
                out += c;
            }
        }
        return out;
    }

    std::string runtime() {
        const std::string path = folder_.file("runtime");
        fs::create_directories(path);
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }

    testsupport::TemporaryFolder folder_{"hx-doors"};
    std::string home_;
    std::string inputs_;
};

}  // namespace hx::doors

// Ends the test unless a private tmpfs can be mounted: a failure under CI=true, where the
// machine is known to allow user namespaces, a skip elsewhere.
#define HX_REQUIRE_SMALL_DISKS()                                                               \
    if (!::hx::doors::Doors::smallDisksAvailable()) {                                          \
        if (::hx::testsupport::runningUnderCI())                                               \
            FAIL() << "a private tmpfs cannot be mounted (unshare -rm): user namespaces are "  \
                      "not allowed here";                                                      \
        GTEST_SKIP() << "a private tmpfs cannot be mounted (unshare -rm); under CI=true this " \
                        "fails";                                                               \
    }
