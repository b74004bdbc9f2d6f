// halidex-library against crashes, signals, two processes at once and a damaged database: the
// tool run as a user runs it, on a library in a temporary HALIDEX_HOME, with sqlite3 reading the
// database independently.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "platform/image/FileIO.h"
#include "platform/photos/Photos.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/photos/store/LocalIdentifier.h"
#include "tests/platform/photos/PhotosTestSupport.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"

namespace {

namespace fs = std::filesystem;
using hx::testsupport::linesOf;
using namespace hx::photos;
using hx::photos::testing::makePicture;

std::string firstField(const std::string& line) {
    return line.substr(0, line.find('\t'));
}

std::string readText(const std::string& path) {
    std::vector<uint8_t> bytes;
    hx::image::readFileContents(path, bytes, nullptr);
    return std::string(bytes.begin(), bytes.end());
}

// The tool in the background, its output in files; HALIDEX_HOME as given.
class Running {
  public:
    Running(const std::vector<std::string>& arguments, const std::string& home,
            const std::string& outputs) {
        std::vector<std::string> all{HX_LIBRARY_TOOL};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& argument : all) argv.push_back(argument.data());
        argv.push_back(nullptr);
        std::string out = outputs + ".out", err = outputs + ".err";
        // Opened before the fork: a signal that ends the child before it could open them must
        // not leave an earlier run's output to be read as this one's.
        int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(o, STDOUT_FILENO);
            dup2(e, STDERR_FILENO);
            setenv("HALIDEX_HOME", home.c_str(), 1);
            execv(argv[0], argv.data());
            _exit(127);
        }
        if (o >= 0) ::close(o);
        if (e >= 0) ::close(e);
    }
    ~Running() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }
    void kill(int signal) { ::kill(pid_, signal); }
    int wait() {
        int status = 0;
        if (pid_ > 0) waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

  private:
    pid_t pid_ = -1;
};

class HalidexLibraryRepair : public ::testing::Test {
  protected:
    struct Result {
        int status = -1;
        std::string out;
        std::string err;
    };

    void SetUp() override {
        char pattern[] = "/tmp/hx-library-repair-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        environment_.set("HALIDEX_HOME", home_.c_str());
        environment_.set(LibraryAuthorization::kEnvironmentVariable, nullptr);
    }
    void TearDown() override {
        environment_.restore();
        hx::photos::testing::removeFolder(home_);
    }

    Result run(const std::vector<std::string>& arguments, const std::string& home = {}) {
        std::string outputs = home_ + "/run";
        Running tool(arguments, home.empty() ? home_ : home, outputs);
        int status = tool.wait();
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(outputs + ".out"),
                readText(outputs + ".err")};
    }

    std::string writeFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = home_ + "/" + name;
        EXPECT_TRUE(hx::image::writeFileAtomically(path, bytes.data(), bytes.size(), nullptr));
        return path;
    }

    std::string library(const std::string& home = {}) const {
        return (home.empty() ? home_ : home) + "/data/library";
    }
    std::string database(const std::string& home = {}) const {
        return library(home) + "/library.sqlite";
    }

    // The sqlite3 tool's output for a statement; a missing tool fails under CI.
    std::optional<std::string> sql(const std::string& file, const std::string& statement) {
        if (!hx::testsupport::toolInstalled("sqlite3")) {
            if (hx::testsupport::runningUnderCI()) ADD_FAILURE() << "sqlite3 is not installed";
            return std::nullopt;
        }
        std::string output =
            hx::testsupport::runCommand("sqlite3 '" + file + "' \"" + statement + "\" 2>&1").output;
        while (!output.empty() && output.back() == '\n') output.pop_back();
        return output;
    }

    // The pictures folder's camera folder, where new originals go.
    std::string camera() const { return home_ + "/Pictures/Halidex Camera"; }

    // Every file under originals/ and the camera folder, by name, and every name the rows give
    // (read by sqlite3).
    void expectFilesMatchRows(const std::string& when) {
        std::set<std::string> files;
        std::error_code ignored;
        for (const std::string& root : {library() + "/originals", camera()}) {
            for (const auto& entry : fs::recursive_directory_iterator(root, ignored)) {
                if (entry.is_regular_file()) files.insert(entry.path().filename().string());
            }
        }
        auto names = sql(database(), "SELECT file_name FROM assets");
        if (!names) return;
        auto rows = linesOf(*names);
        EXPECT_EQ(files, std::set<std::string>(rows.begin(), rows.end())) << when;
    }

    std::string home_;
    hx::testing::ScopedEnvironment environment_;
};

TEST_F(HalidexLibraryRepair, AnImportKilledOrStoppedLeavesNoFileWithoutARow) {
    std::vector<std::string> import{"import"};
    for (int i = 0; i < 24; ++i) {
        import.push_back(writeFile("p" + std::to_string(i) + ".jpg", makePicture(320, 240)));
    }
    // A whole import, timed, so that the signals below land anywhere in one.
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(run(import).status, 0);
    int span = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start)
                       .count());
    std::mt19937 random(std::random_device{}());
    auto pause = [&] {
        // Waits on the other process: the signal's moment is the point of the test.
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % unsigned(span + 1)));
    };

    for (int round = 0; round < 4; ++round) {
        Running tool(import, home_, home_ + "/killed");
        pause();
        tool.kill(SIGKILL);
        tool.wait();
    }
    // The next program to open the library sweeps what the kills left.
    ASSERT_EQ(run({"list"}).status, 0);
    expectFilesMatchRows("after the kills");

    for (int round = 0; round < 4; ++round) {
        auto before = sql(database(), "SELECT COUNT(*) FROM assets");
        Running tool(import, home_, home_ + "/stopped");
        pause();
        tool.kill(round % 2 ? SIGINT : SIGTERM);
        int status = tool.wait();
        // The import finishes its change or stores nothing, then says so. A signal that
        // comes before the program has started (before it could hold signals back) ends it
        // at once, having touched nothing.
        int signal = round % 2 ? SIGINT : SIGTERM;
        bool early = WIFSIGNALED(status) && WTERMSIG(status) == signal;
        ASSERT_TRUE(WIFEXITED(status) || early) << "round " << round << ": " << status;
        int code = early ? 0 : WEXITSTATUS(status);
        EXPECT_TRUE(code == 0 || code == 128 + signal) << code;
        expectFilesMatchRows("after stopping round " + std::to_string(round));
        auto after = sql(database(), "SELECT COUNT(*) FROM assets");
        if (before && after) {
            int added = std::stoi(*after) - std::stoi(*before);
            EXPECT_TRUE(added == 0 || (added == 24 && !early)) << added;
            EXPECT_EQ(linesOf(readText(home_ + "/stopped.out")).size(), size_t(added));
        }
    }
    Result check = run({"check"});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    if (auto integrity = sql(database(), "PRAGMA integrity_check")) {
        EXPECT_EQ(*integrity, "ok");
    }
}

TEST_F(HalidexLibraryRepair, TwoImportsIntoANewLibraryAndAlbumMakeOneAlbum) {
    std::string a = writeFile("a.jpg", makePicture(64, 48));
    std::string b = writeFile("b.jpg", makePicture(48, 64));
    for (int round = 0; round < 5; ++round) {
        std::string home = home_ + "/round" + std::to_string(round);
        Running first({"import", "--album", "Trip", a}, home, home_ + "/first");
        Running second({"import", "--album", "Trip", b}, home, home_ + "/second");
        int firstStatus = first.wait(), secondStatus = second.wait();
        EXPECT_TRUE(WIFEXITED(firstStatus) && WEXITSTATUS(firstStatus) == 0)
            << readText(home_ + "/first.err");
        EXPECT_TRUE(WIFEXITED(secondStatus) && WEXITSTATUS(secondStatus) == 0)
            << readText(home_ + "/second.err");
        Result albums = run({"albums"}, home);
        ASSERT_EQ(albums.status, 0);
        auto lines = linesOf(albums.out);
        ASSERT_EQ(lines.size(), 1u) << "round " << round << ":\n" << albums.out;
        EXPECT_NE(lines[0].find("\t2\tTrip"), std::string::npos) << lines[0];
    }
}

TEST_F(HalidexLibraryRepair, TheDatabaseFileAloneHoldsTheLastImport) {
    std::vector<std::string> import{"import"};
    for (int i = 0; i < 3; ++i) {
        import.push_back(writeFile("w" + std::to_string(i) + ".jpg", makePicture(32, 24)));
    }
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(run(import).status, 0);
        std::string wal = database() + "-wal";
        std::error_code ignored;
        EXPECT_TRUE(!fs::exists(wal) || fs::file_size(wal, ignored) == 0)
            << fs::file_size(wal, ignored) << " bytes left in the log";
        std::string copy = home_ + "/copy" + std::to_string(round) + ".sqlite";
        fs::copy_file(database(), copy);
        if (auto count = sql(copy, "SELECT COUNT(*) FROM assets")) {
            EXPECT_EQ(*count, std::to_string(3 * (round + 1)));
        }
    }
}

TEST_F(HalidexLibraryRepair, AnEmptyDatabaseIsRefusedAndRebuiltFromTheOriginals) {
    Result imported = run({"import", "--album", "Trip",
                           writeFile("a.jpg", makePicture(40, 30, "2021:07:04 10:20:30")),
                           writeFile("b.png", makePicture(16, 8, "", 1, "public.png"))});
    ASSERT_EQ(imported.status, 0) << imported.err;
    std::set<std::string> identifiers;
    for (const auto& line : linesOf(imported.out)) identifiers.insert(firstField(line));
    Result listed = run({"list"});
    ASSERT_EQ(listed.status, 0);

    ASSERT_EQ(::truncate(database().c_str(), 0), 0);
    for (const auto& arguments :
         {std::vector<std::string>{"list"}, std::vector<std::string>{"import", home_ + "/a.jpg"},
          std::vector<std::string>{"check"}}) {
        Result refused = run(arguments);
        EXPECT_EQ(refused.status, 1) << arguments[0];
        EXPECT_NE(refused.err.find("is damaged: the file is empty"), std::string::npos)
            << refused.err;
        EXPECT_NE(refused.err.find("check --repair"), std::string::npos);
    }
    EXPECT_EQ(fs::file_size(database()), 0u);

    Result repaired = run({"check", "--repair"});
    ASSERT_EQ(repaired.status, 0) << repaired.err;
    EXPECT_NE(repaired.out.find("rebuilt\t2 assets from the originals\n"), std::string::npos)
        << repaired.out;
    std::string aside;
    for (const auto& line : linesOf(repaired.out)) {
        if (line.rfind("set-aside\t", 0) == 0) aside = line.substr(10);
    }
    ASSERT_FALSE(aside.empty()) << repaired.out;
    EXPECT_EQ(fs::file_size(aside), 0u) << "the damaged file is kept as it was";

    // The same assets, dated and sized as before; the album went with the old database.
    Result relisted = run({"list"});
    ASSERT_EQ(relisted.status, 0);
    // Originals in the pictures folder come back under new identifiers.
    EXPECT_EQ(linesOf(relisted.out).size(), identifiers.size());
    EXPECT_NE(relisted.out.find("2021-07-04 10:20:30\t40x30"), std::string::npos) << relisted.out;
    if (auto integrity = sql(database(), "PRAGMA integrity_check")) {
        EXPECT_EQ(*integrity, "ok");
    }
    EXPECT_EQ(run({"check"}).status, 0);
}

TEST_F(HalidexLibraryRepair, CheckReportsWhatIsMissingAndRepairPutsItRight) {
    Result imported = run({"import", writeFile("a.jpg", makePicture(16, 16)),
                           writeFile("b.jpg", makePicture(16, 12))});
    ASSERT_EQ(imported.status, 0) << imported.err;
    auto lines = linesOf(imported.out);
    ASSERT_EQ(lines.size(), 2u);
    std::string lost = firstField(lines[0]), kept = firstField(lines[1]);
    std::string original;
    for (const auto& line : linesOf(run({"show", lost}).out)) {
        if (line.rfind("original file: ", 0) == 0) original = line.substr(15);
    }
    ASSERT_TRUE(fs::remove(original));
    // The other original renamed and moved by hand: found again by its content.
    std::string keptOriginal, renamed = camera() + "/by hand/kept.jpg";
    for (const auto& line : linesOf(run({"show", kept}).out)) {
        if (line.rfind("original file: ", 0) == 0) keptOriginal = line.substr(15);
    }
    fs::create_directories(fs::path(renamed).parent_path());
    fs::rename(keptOriginal, renamed);

    std::string stray = library() + "/originals/ab/AB000000-0000-4000-8000-000000000000.jpg";
    fs::create_directories(fs::path(stray).parent_path());
    ASSERT_TRUE(
        hx::image::writeFileAtomically(stray, reinterpret_cast<const uint8_t*>("x"), 1, nullptr));

    Result found = run({"check"});
    EXPECT_NE(found.out.find("moved\t" + kept + "\t" + keptOriginal + "\t" + renamed + "\n"),
              std::string::npos)
        << found.out;
    EXPECT_EQ(found.status, 1);
    EXPECT_NE(found.out.find("missing\t" + lost + "\t" + original + "\n"), std::string::npos)
        << found.out;
    EXPECT_NE(found.out.find("unnamed\t" + stray + "\n"), std::string::npos) << found.out;
    EXPECT_NE(found.out.find(
                  "2 assets, 1 missing files, 1 moved files, 1 unnamed files, 0 temporary files"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(stray)) << "check alone changes nothing";

    Result repaired = run({"check", "--repair"});
    EXPECT_EQ(repaired.status, 0) << repaired.err;
    EXPECT_NE(repaired.out.find("removed-asset\t" + lost + "\n"), std::string::npos);
    EXPECT_NE(repaired.out.find("removed\t" + stray + "\n"), std::string::npos);
    EXPECT_NE(repaired.out.find("found\t" + kept + "\t" + keptOriginal + "\t" + renamed + "\n"),
              std::string::npos)
        << repaired.out;
    EXPECT_NE(run({"show", kept}).out.find("original file: " + renamed + "\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(stray));

    Result clean = run({"check"});
    EXPECT_EQ(clean.status, 0);
    EXPECT_NE(clean.out.find(
                  "1 assets, 0 missing files, 0 moved files, 0 unnamed files, 0 temporary files"),
              std::string::npos)
        << clean.out;
    EXPECT_EQ(linesOf(run({"list"}).out).size(), 1u);
    EXPECT_EQ(run({"check", "--fix"}).status, 2);
}

TEST_F(HalidexLibraryRepair, MoveOriginalsKilledAtRandomPointsAndRunAgainMovesEachOnce) {
    // A library from before the pictures folder: originals inside the library folder.
    std::set<std::string> identifiers;
    {
        auto store = LibraryStore::open(LibraryStore::defaultFolder());
        ASSERT_TRUE(store);
        for (int i = 0; i < 30; ++i) {
            ChangeBatch batch;
            std::string identifier = makeUUID() + kAssetIdentifierSuffix;
            batch.newAssets.push_back({identifier,
                                       std::make_shared<const std::vector<uint8_t>>(
                                           makePicture(96, 64 + i, "2020:01:02 03:04:05")),
                                       i == 7 ? "IMG_0007.JPG" : ""});
            ASSERT_TRUE(store->commit(batch).committed);
            identifiers.insert(identifier);
        }
    }
    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < 4; ++round) {
        Running tool({"move-originals"}, home_, home_ + "/move");
        // Waits on the other process: the kill's moment is the point of the test.
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 150));
        tool.kill(SIGKILL);
        tool.wait();
    }
    Result finished = run({"move-originals"});
    ASSERT_EQ(finished.status, 0) << finished.err;

    // Every photo once, in the camera folder, by its readable name; nothing left behind.
    std::set<std::string> listed;
    for (const auto& line : linesOf(run({"list"}).out)) listed.insert(firstField(line));
    EXPECT_EQ(listed, identifiers);
    size_t inCamera = 0;
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(camera(), ignored)) {
        if (!entry.is_regular_file()) continue;
        ++inCamera;
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.rfind("HLDX_20200102_030405_", 0) == 0 || name == "IMG_0007.JPG") << name;
        EXPECT_EQ(entry.path().parent_path().string(), camera() + "/2020/01");
    }
    EXPECT_EQ(inCamera, identifiers.size());
    for (const auto& entry : fs::recursive_directory_iterator(library() + "/originals", ignored)) {
        EXPECT_FALSE(entry.is_regular_file()) << entry.path() << " stayed behind";
    }
    EXPECT_EQ(run({"check"}).status, 0);
    if (auto integrity = sql(database(), "PRAGMA integrity_check")) {
        EXPECT_EQ(*integrity, "ok");
    }
    // Nothing left to move.
    EXPECT_NE(run({"move-originals"}).out.find("0 originals moved"), std::string::npos);
}

}  // namespace
