// halidex-settings, halidex-camera-sim, halidex-ui-demo, halidex-widget-host,
// halidex-photo-editor and halidex --script fed bad files, refusing folders and a full disk: a
// clear line, the documented status, nothing lost.

#include <chrono>
#include <functional>
#include <thread>

#include "tests/tools/doors/Doors.h"
#include "tools/ExitStatus.h"

namespace hx::doors {
namespace {

using tools::kExitBadInput;
using tools::kExitBusy;
using tools::kExitFailure;
using tools::kExitOk;

const std::string kLibrary = HX_LIBRARY;
const std::string kSettings = HX_SETTINGS;
const std::string kCameraSim = HX_CAMERA_SIM;
const std::string kUiDemo = HX_UI_DEMO;
const std::string kWidgetHost = HX_WIDGET_HOST;
const std::string kPhotoEditor = HX_PHOTO_EDITOR;
const std::string kCamera = HX_CAMERA;

// A folder the programs cannot write into (as root too, through runUnprivileged).
std::string readOnlyFolder(const std::string& path) {
    fs::create_directories(path);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_exec);
    return path;
}

class SettingsDoors : public Doors {
  protected:
    std::string file() const { return home_ + "/config/halidex.defaults"; }
    void SetUp() override {
        Doors::SetUp();
        auto set = run(kSettings + " set autoreview_preference 3");
        ASSERT_EQ(set.status, kExitOk) << set.err;
        ASSERT_TRUE(fs::is_regular_file(file()));
    }
};

TEST_F(SettingsDoors, ASettingsFileThatCannotBeReadOrWrittenIsNamedAndKept) {
    const std::string saved = readBytes(file());
    struct Case {
        std::string name;
        std::function<void()> damage;
        std::string command;
        std::string cause;
    };
    const std::string config = home_ + "/config";
    const Case cases[] = {
        {"unreadable file", [&] { fs::permissions(file(), fs::perms::none); },
         "get autoreview_preference", "cannot read " + file() + ": Permission denied"},
        {"unreadable file, set", [&] { fs::permissions(file(), fs::perms::none); },
         "set autoreview_preference 4", "Permission denied"},
        {"read-only folder",
         [&] {
             fs::permissions(file(), fs::perms::owner_read);
             fs::permissions(home_ + "/config/halidex.defaults.lock", fs::perms::owner_read);
             readOnlyFolder(config);
         },
         "set autoreview_preference 4", "cannot save to " + file() + ": Permission denied"},
    };
    for (const Case& c : cases) {
        c.damage();
        auto result = runUnprivileged(kSettings + " " + c.command);
        expectOneLine(result, "halidex-settings", kExitFailure, file(), c.cause, c.name);
        EXPECT_EQ(result.out, "") << c.name << ": a value was shown";
        TearDown();  // modes back
        EXPECT_EQ(readBytes(file()), saved) << c.name;
        EXPECT_EQ(entriesOf(config).size(), 2u) << c.name << ": a file was set aside or left";
    }
    // A folder where the file belongs.
    fs::remove(file());
    fs::create_directories(file());
    auto folder = run(kSettings + " list");
    expectOneLine(folder, "halidex-settings", kExitFailure, file(), "it is a folder", "folder");
}

TEST_F(SettingsDoors, AFullDiskKeepsTheOldSettings) {
    HX_REQUIRE_SMALL_DISKS();
    home_ = folder_.file("disk");
    const std::string fill = kSettings + " set autoreview_preference 3 >/dev/null && cp " +
                             shellQuoted(file()) + " " + shellQuoted(folder_.file("before")) +
                             " && (cat /dev/zero >" + shellQuoted(home_ + "/filler") +
                             " 2>/dev/null; true)";
    const std::string keep = "cp " + shellQuoted(file()) + " " + shellQuoted(folder_.file("after"));
    auto result = runOnSmallDisk(
        home_, 64, fill,
        "(" + kSettings + " set autoreview_preference 5; status=$?; " + keep + "; exit $status)");
    expectOneLine(result, "halidex-settings", kExitFailure, file(), "No space left on device",
                  "full disk");
    EXPECT_EQ(readBytes(folder_.file("after")), readBytes(folder_.file("before")));
    EXPECT_NE(readBytes(folder_.file("after")).find("integer 3"), std::string::npos);
}

// Device profiles are files the camera simulator, the UI demo, the photo editor and the camera
// take with --device.
struct BadProfile {
    std::string path;
    std::string cause;
};

class ProfileDoors : public Doors {
  protected:
    std::vector<BadProfile> badProfiles() {
        writeBytes(input("text.profile"), "this is a letter\n");
        writeBytes(input("truncated.profile"), "base = pho");
        writeBytes(input("huge.profile"), "base = phone\ncameras = wide:100000x100000\n");
        writeBytes(input("binary.profile"), std::string("\x7f"
                                                        "ELF\x02\x01\x01\0\0\0",
                                                        10));
        writeBytes(input("unreadable.profile"), "base = phone\n");
        fs::permissions(input("unreadable.profile"), fs::perms::none);
        fs::create_directories(input("folder.profile"));
        return {
            {input("missing.profile"), ""},
            {input("text.profile"), "line 1"},
            {input("truncated.profile"), "line 1"},
            {input("huge.profile"), "line 2"},
            {input("binary.profile"), "line 1"},
            {input("unreadable.profile"), "Permission denied"},
            {input("folder.profile"), ""},
        };
    }
};

TEST_F(ProfileDoors, BadProfilesAreRefusedByEveryProgramThatTakesOne) {
    const std::vector<BadProfile> bad = badProfiles();
    const auto before = snapshot(inputs_);
    struct Program {
        std::string name;
        std::string command;  // --device PROFILE follows
        std::string output;   // a file it would write, which must not appear
    };
    const Program programs[] = {
        {"halidex-camera-sim", kCameraSim + " --still " + shellQuoted(folder_.file("still.jpg")),
         folder_.file("still.jpg")},
        {"halidex-ui-demo", kUiDemo + " --screenshot " + shellQuoted(folder_.file("ui.png")),
         folder_.file("ui.png")},
    };
    for (const Program& program : programs) {
        for (const BadProfile& profile : bad) {
            auto result =
                runUnprivileged(program.command + " --device " + shellQuoted(profile.path));
            expectOneLine(result, program.name, kExitBadInput, profile.path, profile.cause,
                          program.name + " " + profile.path);
            EXPECT_FALSE(fs::exists(program.output)) << program.name << " " << profile.path;
        }
    }
    EXPECT_EQ(snapshot(inputs_), before);
}

// The camera simulator's still, the UI demo's screenshot and the widget host's picture: each
// written whole or not at all.
class OutputDoors : public Doors {
  protected:
    struct Program {
        std::string name;
        std::string command;  // the output's path follows
        std::string extension;
    };
    std::vector<Program> programs() const {
        return {
            {"halidex-camera-sim", kCameraSim + " --still", ".tif"},
            {"halidex-ui-demo", kUiDemo + " --screenshot", ".png"},
            {"halidex-widget-host",
             kWidgetHost + " --now 2026-03-14T09:26:53Z --render small --out", ".png"},
        };
    }
};

TEST_F(OutputDoors, AnOutputThatCannotBeWrittenFailsAndLeavesNothing) {
    const std::string locked = readOnlyFolder(folder_.file("read-only"));
    for (const Program& program : programs()) {
        const std::string inLocked = locked + "/out" + program.extension;
        const std::string nowhere = folder_.file("no/such/folder/out") + program.extension;
        auto refused = runUnprivileged(program.command + " " + shellQuoted(inLocked));
        expectOneLine(refused, program.name, kExitFailure, inLocked, "Permission denied",
                      program.name + " read-only");
        auto missing = run(program.command + " " + shellQuoted(nowhere));
        expectOneLine(missing, program.name, kExitFailure, nowhere, "No such file",
                      program.name + " no folder");
    }
    EXPECT_TRUE(entriesOf(locked).empty());
}

TEST_F(OutputDoors, AFullDiskLeavesNoPartialOutput) {
    HX_REQUIRE_SMALL_DISKS();
    for (const Program& program : programs()) {
        const std::string disk = folder_.file("disk-" + program.name);
        const std::string output = disk + "/out" + program.extension;
        // 4 KB holds the start of any of these pictures and no more.
        auto result = runOnSmallDisk(disk, 4, "", program.command + " " + shellQuoted(output));
        expectOneLine(result, program.name, kExitFailure, output, "No space left on device",
                      program.name);
        EXPECT_EQ(smallDiskAfterwards(disk), "") << program.name << ": a partial file was left";
    }
}

TEST_F(OutputDoors, OddOutputNamesAreWrittenAndPrintedOnOneLine) {
    const std::string name = folder_.file("line\nfeed 'quoted' \xE9\xFF.png");
    auto result =
        run(kWidgetHost + " --now 2026-03-14T09:26:53Z --render small --out " + shellQuoted(name));
    ASSERT_EQ(result.status, kExitOk) << result.err;
    EXPECT_TRUE(fs::is_regular_file(name));
    EXPECT_EQ(testsupport::linesOf(result.out).size(), 1u) << result.out;
    EXPECT_EQ(result.out.rfind(printed(name) + ": ", 0), 0u) << result.out;
}

TEST_F(Doors, WidgetExtensionsThatAreNotOneAreRefused) {
    const std::string real = readBytes(HX_WIDGET_EXTENSION);
    ASSERT_FALSE(real.empty());
    writeBytes(input("empty.so"), "");
    writeBytes(input("text.so"), "not a library\n");
    writeBytes(input("truncated.so"), real.substr(0, 4096));
    writeBytes(input("unreadable.so"), real);
    fs::permissions(input("unreadable.so"), fs::perms::none);
    fs::create_directories(input("folder.so"));
    const BadFile bad[] = {
        {input("missing.so"), "no such file"},
        {input("empty.so"), ""},
        {input("text.so"), ""},
        {input("truncated.so"), ""},
        {input("unreadable.so"), ""},
        {input("folder.so"), "not a file"},
    };
    for (const BadFile& file : bad) {
        auto result =
            runUnprivileged(kWidgetHost + " --list --extension " + shellQuoted(file.path));
        expectOneLine(result, "halidex-widget-host", kExitBadInput, file.path, file.cause,
                      file.path);
    }
}

class EditorDoors : public Doors {
  protected:
    void SetUp() override {
        Doors::SetUp();
        HX_REQUIRE_TOOLS("sqlite3");
        auto imported = run(kLibrary + " import " + shellQuoted(goodJpeg()));
        ASSERT_EQ(imported.status, kExitOk) << imported.err;
        identifier_ = imported.out.substr(0, imported.out.find('\t'));
    }
    std::string library() const { return home_ + "/data/library"; }
    std::string edits() {
        return testsupport::runCommand("sqlite3 " + shellQuoted(library() + "/library.sqlite") +
                                       " 'SELECT count(*) FROM adjustments' 2>&1")
            .output;
    }
    std::string identifier_;
};

TEST_F(EditorDoors, BadIdentifiersExtensionsAndOutputsChangeNoPhoto) {
    writeBytes(input("text.so"), "not a library\n");
    fs::create_directories(input("folder.so"));
    const std::string locked = readOnlyFolder(folder_.file("read-only"));
    struct Case {
        std::string arguments;
        int status;
        std::string file;
        std::string cause;
    };
    const std::string id = shellQuoted(identifier_);
    const Case cases[] = {
        {shellQuoted("no\nsuch \xFF photo") + " --row 2 --done", kExitBadInput,
         "no\nsuch \xFF photo", "no photo with identifier"},
        {id + " --row 2 --done --extension " + shellQuoted(input("missing.so")), kExitBadInput,
         input("missing.so"), "no such file"},
        {id + " --row 2 --done --extension " + shellQuoted(input("text.so")), kExitBadInput,
         input("text.so"), "cannot load the extension"},
        {id + " --row 2 --done --extension " + shellQuoted(input("folder.so")), kExitBadInput,
         input("folder.so"), "not a file"},
        {id + " --screenshot " + shellQuoted(locked + "/screen.png"), kExitFailure,
         locked + "/screen.png", "cannot write"},
    };
    for (const Case& c : cases) {
        auto result = runUnprivileged(kPhotoEditor + " " + c.arguments);
        expectOneLine(result, "halidex-photo-editor", c.status, c.file, c.cause, c.arguments);
    }
    EXPECT_TRUE(entriesOf(locked).empty());
    EXPECT_EQ(edits(), "0\n");
}

TEST_F(EditorDoors, ABusyOrReadOnlyLibraryIsNamedAndUnchanged) {
    const std::string held = folder_.file("held");
    FILE* holder = ::popen(
        ("sqlite3 " + shellQuoted(library() + "/library.sqlite") + " >/dev/null 2>&1").c_str(),
        "w");
    ASSERT_NE(holder, nullptr);
    std::fprintf(holder, "BEGIN EXCLUSIVE;\n.shell touch %s\n", shellQuoted(held).c_str());
    std::fflush(holder);
    for (int i = 0; i < 1000 && !fs::exists(held); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(held)) << "sqlite3 did not take the lock";
    auto busy = run(kPhotoEditor + " " + shellQuoted(identifier_) + " --row 2 --done");
    std::fputs(".quit\n", holder);
    ::pclose(holder);
    expectOneLine(busy, "halidex-photo-editor", kExitBusy, library(), "is busy", "busy");

    const auto before = snapshot(home_);
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(home_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::remove, ec);
    auto readOnly =
        runUnprivileged(kPhotoEditor + " " + shellQuoted(identifier_) + " --row 2 --done");
    expectOneLine(readOnly, "halidex-photo-editor", kExitFailure, library(), "Permission denied",
                  "read-only");
    EXPECT_EQ(snapshot(home_), before);
    TearDown();
    EXPECT_EQ(edits(), "0\n");
}

TEST_F(Doors, CameraScriptsThatCannotBeRunAreRefusedBeforeAnythingRuns) {
    writeBytes(input("text.script"), "this is a letter\n");
    writeBytes(input("truncated.script"), "wait 1\ntap 10");
    writeBytes(input("binary.script"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    writeBytes(input("latin.script"), "film \xE9\n");
    writeBytes(input("unreadable.script"), "quit\n");
    fs::permissions(input("unreadable.script"), fs::perms::none);
    fs::create_directories(input("folder.script"));
    const BadFile bad[] = {
        {input("missing.script"), "No such file"},
        {input("unreadable.script"), "Permission denied"},
        {input("folder.script"), "it is a folder"},
        {"", "script line 1"},
        {"", "script line 2"},
        {"", "script line 1"},
        {"", "script line 1"},
        {input("missing\nline\xE9.script"), "No such file"},
    };
    const std::string scripts[] = {input("missing.script"),   input("unreadable.script"),
                                   input("folder.script"),    input("text.script"),
                                   input("truncated.script"), input("binary.script"),
                                   input("latin.script"),     input("missing\nline\xE9.script")};
    for (size_t i = 0; i < std::size(scripts); ++i) {
        auto result = runUnprivileged(kCamera + " --headless --script " + shellQuoted(scripts[i]));
        expectOneLine(result, "halidex", kExitBadInput, bad[i].path, bad[i].cause, scripts[i]);
    }
    // Nothing ran: no photo library was made.
    EXPECT_FALSE(fs::exists(home_ + "/data/library/library.sqlite"));
}

TEST_F(Doors, AScriptScreenshotOnAFullDiskFailsAndLeavesNothing) {
    HX_REQUIRE_SMALL_DISKS();
    const std::string disk = folder_.file("disk");
    writeBytes(input("shot.script"), "screenshot " + disk + "/screen.png\nquit\n");
    auto result = runOnSmallDisk(
        disk, 4, "", kCamera + " --headless --script " + shellQuoted(input("shot.script")));
    expectOneLine(result, "halidex", kExitFailure, disk + "/screen.png", "No space left on device",
                  "full disk");
    EXPECT_EQ(smallDiskAfterwards(disk), "");
}

}  // namespace
}  // namespace hx::doors
