// halidex-render and halidex-library fed bad pictures, odd names, refusing folders, a full disk
// and a library another program holds: a clear line, the documented status, nothing lost.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "tests/tools/doors/Doors.h"
#include "tools/ExitStatus.h"

namespace hx::doors {
namespace {

using tools::kExitBadInput;
using tools::kExitBusy;
using tools::kExitFailure;
using tools::kExitOk;

const std::string kRender = HX_RENDER;
const std::string kLibrary = HX_LIBRARY;

class RenderDoors : public Doors {};

TEST_F(RenderDoors, BadPicturesAreRefusedByNameAndCauseAndWriteNothing) {
    const std::vector<BadFile> bad = badPictures();
    const auto before = snapshot(inputs_);
    const std::string output = folder_.file("out.jpg");
    for (const BadFile& file : bad) {
        auto result = runUnprivileged(kRender + " --film 3 " + shellQuoted(file.path) + " " +
                                      shellQuoted(output));
        expectOneLine(result, "halidex-render", kExitBadInput, file.path,
                      "cannot read " + file.path + ": " + file.cause, file.path);
        EXPECT_FALSE(fs::exists(output)) << file.path;
    }
    EXPECT_EQ(snapshot(inputs_), before) << "an input was changed";
}

TEST_F(RenderDoors, OddNamesAreReadAndWrittenAndPrintedOnOneLine) {
    for (const std::string& name : oddlyNamed()) {
        const std::string output = name.substr(0, name.size() - 4) + " out.png";
        auto result =
            run(kRender + " --film 10 -- " + shellQuoted(name) + " " + shellQuoted(output));
        ASSERT_EQ(result.status, kExitOk) << result.err;
        EXPECT_TRUE(fs::is_regular_file(output)) << output;
        EXPECT_EQ(result.out, printed(output) + "\n");
    }
}

TEST_F(RenderDoors, AnOutputThatCannotBeWrittenFailsAndLeavesTheOldFileAlone) {
    const std::string good = goodJpeg();
    const std::string locked = folder_.file("read-only");
    fs::create_directories(locked);
    writeBytes(locked + "/out.jpg", "an older picture");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    struct Case {
        std::string output;
        std::string cause;
    };
    const Case cases[] = {
        {locked + "/out.jpg", "Permission denied"},
        {locked + "/new.png", "Permission denied"},
        {folder_.file("no/such/folder/out.jpg"), "does not exist"},
    };
    for (const Case& c : cases) {
        auto result = runUnprivileged(kRender + " --film 3 " + shellQuoted(good) + " " +
                                      shellQuoted(c.output));
        expectOneLine(result, "halidex-render", kExitFailure, c.output, c.cause, c.output);
    }
    EXPECT_EQ(readBytes(locked + "/out.jpg"), "an older picture");
    EXPECT_EQ(entriesOf(locked), std::vector<std::string>{"out.jpg"}) << "a temporary file left";
}

TEST_F(RenderDoors, AFullDiskLeavesNoPartialPicture) {
    HX_REQUIRE_SMALL_DISKS();
    const std::string good = goodJpeg();
    const std::string disk = folder_.file("disk");
    // A colour TIFF of the sample is megabytes: 200 KB holds the start of it and no more.
    auto result = runOnSmallDisk(
        disk, 200, "",
        kRender + " --film 10 " + shellQuoted(good) + " " + shellQuoted(disk + "/out.tif"));
    expectOneLine(result, "halidex-render", kExitFailure, disk + "/out.tif",
                  "No space left on device", "full disk");
    EXPECT_EQ(smallDiskAfterwards(disk), "") << "something was left on the full disk";
}

class LibraryDoors : public Doors {
  protected:
    std::string database() const { return home_ + "/data/library/library.sqlite"; }
    std::string pictures() const { return home_ + "/Pictures/Halidex Camera"; }

    // The library read by sqlite3, not by the program under test.
    std::string sql(const std::string& statement) {
        auto result = testsupport::runCommand("sqlite3 " + shellQuoted(database()) + " " +
                                              shellQuoted(statement) + " 2>&1");
        std::string text = result.output;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }

    // Every file in the camera folder (originals), by relative path.
    std::vector<std::string> originals() const {
        std::vector<std::string> files;
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(pictures(), ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->is_regular_file()) files.push_back(it->path().filename().string());
        std::sort(files.begin(), files.end());
        return files;
    }

    std::string importOne() {
        auto first = run(kLibrary + " import " + shellQuoted(goodJpeg()));
        EXPECT_EQ(first.status, kExitOk) << first.err;
        return first.out.substr(0, first.out.find('\t'));
    }

    void SetUp() override {
        Doors::SetUp();
        HX_REQUIRE_TOOLS("sqlite3");
    }
};

TEST_F(LibraryDoors, BadPicturesImportNothingAndSayWhichAndWhy) {
    const std::vector<BadFile> bad = badPictures();
    importOne();
    const auto inputs = snapshot(inputs_);
    for (const BadFile& file : bad) {
        auto result = runUnprivileged(kLibrary + " import " + shellQuoted(file.path));
        expectOneLine(result, "halidex-library", kExitBadInput, file.path, file.cause, file.path);
    }
    // A good picture beside a bad one is not imported either: an import is all or nothing.
    auto mixed =
        run(kLibrary + " import " + shellQuoted(goodJpeg()) + " " + shellQuoted(input("text.jpg")));
    expectOneLine(mixed, "halidex-library", kExitBadInput, input("text.jpg"), "", "mixed");
    EXPECT_EQ(sql("SELECT count(*) FROM assets"), "1");
    EXPECT_EQ(originals().size(), 1u);
    EXPECT_EQ(snapshot(inputs_), inputs) << "an input was changed";
}

TEST_F(LibraryDoors, OddNamesAreImportedAndListedOnOneLineEach) {
    const std::vector<std::string> names = oddlyNamed();
    std::string arguments;
    for (const std::string& name : names) arguments += " " + shellQuoted(name);
    auto result = run(kLibrary + " import" + arguments);
    ASSERT_EQ(result.status, kExitOk) << result.err;
    const auto lines = testsupport::linesOf(result.out);
    ASSERT_EQ(lines.size(), names.size()) << result.out;
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_NE(lines[i].find("\t" + printed(names[i])), std::string::npos) << lines[i];
    EXPECT_EQ(sql("SELECT count(*) FROM assets"), "3");
    EXPECT_EQ(originals().size(), 3u);
}

TEST_F(LibraryDoors, AReadOnlyLibraryFolderChangesNothing) {
    importOne();
    const std::string library = home_ + "/data/library";
    const auto before = snapshot(home_);
    std::error_code ec;
    for (const std::string& folder : {library, pictures()}) {
        for (auto it = fs::recursive_directory_iterator(folder, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::remove, ec);
        fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove, ec);
    }
    auto result = runUnprivileged(kLibrary + " import " + shellQuoted(goodJpeg()));
    expectOneLine(result, "halidex-library", kExitFailure, library, "Permission denied",
                  "read-only library");
    EXPECT_EQ(snapshot(home_), before) << "the read-only library was changed";
}

TEST_F(LibraryDoors, ALibraryHeldByAnotherProgramIsBusyAtOnceAndUnchanged) {
    importOne();
    // sqlite3 takes the write lock and says so by making a file, then holds it until its input
    // ends.
    const std::string held = folder_.file("held");
    FILE* holder =
        ::popen(("sqlite3 " + shellQuoted(database()) + " >/dev/null 2>&1").c_str(), "w");
    ASSERT_NE(holder, nullptr);
    std::fprintf(holder,
                 "BEGIN EXCLUSIVE;\nINSERT INTO assets SELECT * FROM assets WHERE 0;\n"
                 ".shell touch %s\n",
                 shellQuoted(held).c_str());
    std::fflush(holder);
    for (int i = 0; i < 1000 && !fs::exists(held); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(held)) << "sqlite3 did not take the lock";

    const auto started = std::chrono::steady_clock::now();
    for (const std::string& command :
         {"import " + shellQuoted(goodJpeg()), std::string("list"), std::string("check")}) {
        auto result = run(kLibrary + " " + command);
        expectOneLine(result, "halidex-library", kExitBusy, database(),
                      "another program holds the write lock", command);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fputs(".quit\n", holder);
    ::pclose(holder);
    // Each command waits its few seconds, not the minutes the library would wait.
    EXPECT_LT(seconds, 60) << "a busy library was waited for";
    EXPECT_EQ(sql("SELECT count(*) FROM assets"), "1");
    EXPECT_EQ(originals().size(), 1u);
    auto after = run(kLibrary + " import " + shellQuoted(goodJpeg()));
    EXPECT_EQ(after.status, kExitOk) << after.err;
}

TEST_F(LibraryDoors, AFullDiskImportsNothingAndLeavesTheLibraryWhole) {
    HX_REQUIRE_SMALL_DISKS();
    const std::string good = goodJpeg();
    // HALIDEX_HOME on a 3 MB disk: one picture goes in, then the disk is filled to 150 KB short
    // of full and a second (300 KB) cannot be stored.
    home_ = folder_.file("disk");
    const std::string import = kLibrary + " import " + shellQuoted(good);
    const std::string fill = import + " >/dev/null && fallocate -l $(( $(df -k --output=avail " +
                             shellQuoted(home_) + " | tail -1) * 1024 - 150 * 1024 )) " +
                             shellQuoted(home_ + "/filler");
    const std::string check = "sqlite3 " + shellQuoted(database()) +
                              " 'PRAGMA integrity_check; SELECT count(*) FROM assets' >" +
                              shellQuoted(folder_.file("check"));
    auto result = runOnSmallDisk(home_, 3 * 1024, fill,
                                 "(" + import + "; status=$?; " + check + "; exit $status)");
    expectOneLine(result, "halidex-library", kExitFailure, "", "No space left on device",
                  "full disk");
    EXPECT_EQ(readBytes(folder_.file("check")), "ok\n1\n");
    // One original and nothing half-written beside it.
    const std::string after = smallDiskAfterwards(home_);
    int originalsLeft = 0;
    for (const std::string& line : testsupport::linesOf(after)) {
        if (line.rfind("Pictures/Halidex Camera/", 0) == 0 &&
            line.find(".jpg ") != std::string::npos)
            ++originalsLeft;
        EXPECT_EQ(line.find(".tmp"), std::string::npos) << line;
    }
    EXPECT_EQ(originalsLeft, 1) << after;
}

}  // namespace
}  // namespace hx::doors
