// The user-defaults store on real files in a temporary HALIDEX_HOME.

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "DefaultsTestSupport.h"
#include "platform/defaults/DefaultsFile.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/log/CaptureScope.h"

extern char** environ;

namespace {

using hx::DefaultsValue;
using hx::UserDefaults;
using hx::defaults::readDefaultsFile;

class UserDefaultsTest : public hx::test::TemporaryHome {
  protected:
    hx::defaults::Entries fileEntries(const std::string& name = "camera") {
        auto contents = readDefaultsFile(configFile(name + ".defaults"));
        EXPECT_FALSE(contents.damaged) << contents.problem;
        return contents.entries;
    }
};

TEST_F(UserDefaultsTest, RegisteredDefaultsApplyButAreNeverWritten) {
    UserDefaults store("camera");
    store.registerDefaults({{"KEY_FRAMEMODE", 1},
                            {"KEY_EV", 0.0f},
                            {"savetoalbum_preference", true},
                            {"KEY_VERSION", ""}});
    EXPECT_EQ(store.integerForKey("KEY_FRAMEMODE"), 1);
    EXPECT_TRUE(store.boolForKey("savetoalbum_preference"));
    EXPECT_TRUE(store.objectExists("KEY_VERSION"));
    EXPECT_FALSE(store.objectExists("shutter_preference"));
    EXPECT_EQ(store.integerForKey("shutter_preference"), 0);

    store.setInteger(2, "KEY_FRAMEMODE");
    EXPECT_EQ(store.integerForKey("KEY_FRAMEMODE"), 2);
    ASSERT_TRUE(store.synchronize());
    EXPECT_EQ(fileEntries(), (hx::defaults::Entries{{"KEY_FRAMEMODE", DefaultsValue(2)}}));

    // Removing the stored value shows the registered one again, and removes it from the file.
    store.removeObjectForKey("KEY_FRAMEMODE");
    EXPECT_EQ(store.integerForKey("KEY_FRAMEMODE"), 1);
    ASSERT_TRUE(store.synchronize());
    EXPECT_TRUE(fileEntries().empty());
}

TEST_F(UserDefaultsTest, EveryTypeRoundTripsThroughTheFile) {
    {
        UserDefaults store("camera");
        store.setInteger(-9000000000LL, "KEY_BIG");
        store.setFloat(-1.0f / 3.0f, "KEY_EV");
        store.setBool(true, "KEY_GEOTAG");
        store.setString("build 12 \"beta\"\nline two", "KEY_VERSION");
        ASSERT_TRUE(store.synchronize());
    }
    UserDefaults reader("camera");
    EXPECT_EQ(reader.integerForKey("KEY_BIG"), -9000000000LL);
    EXPECT_EQ(reader.floatForKey("KEY_EV"), -1.0f / 3.0f);
    EXPECT_TRUE(reader.boolForKey("KEY_GEOTAG"));
    EXPECT_EQ(reader.stringForKey("KEY_VERSION"), "build 12 \"beta\"\nline two");
    EXPECT_EQ(reader.objectForKey("KEY_GEOTAG")->type(), DefaultsValue::Type::Boolean);
    EXPECT_EQ(reader.dictionaryRepresentation().size(), 4u);
}

TEST_F(UserDefaultsTest, ChangesReachTheFileWithoutSynchronize) {
    {
        UserDefaults store("camera");
        store.setInteger(7, "KEY_FILMTYPE");
    }
    EXPECT_EQ(fileEntries().at("KEY_FILMTYPE"), DefaultsValue(7));
}

TEST_F(UserDefaultsTest, ResetReadsTheFileAfresh) {
    UserDefaults& store = UserDefaults::standard();
    store.reset();  // another test may have used the standard store under another home
    std::string file = store.filePath();
    EXPECT_EQ(file, configFile(UserDefaults::standardName() + ".defaults"));

    store.registerDefaults({{"autoreview_preference", 2}});
    EXPECT_EQ(store.integerForKey("autoreview_preference"), 2);
    writeText(file, "autoreview_preference = integer 6\nshutter_preference = integer 1\n");
    // Still the copy read before the settings tool changed the file.
    EXPECT_EQ(store.integerForKey("autoreview_preference"), 2);
    EXPECT_EQ(store.integerForKey("shutter_preference"), 0);

    store.setBool(true, "KEY_GRID");  // a change not yet synchronized survives the reset
    UserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(store.integerForKey("autoreview_preference"), 6);
    EXPECT_EQ(store.integerForKey("shutter_preference"), 1);
    EXPECT_TRUE(store.boolForKey("KEY_GRID"));

    // Registrations go with the reset; they are made again after it.
    writeText(file, "");
    UserDefaults::resetStandardUserDefaults();
    EXPECT_FALSE(store.objectExists("autoreview_preference"));
    store.reset();
}

TEST_F(UserDefaultsTest, WritesMergePerKeyWithTheFileOnDisk) {
    UserDefaults camera("camera");
    camera.setInteger(1, "KEY_FLASH");
    ASSERT_TRUE(camera.synchronize());
    EXPECT_EQ(camera.integerForKey("KEY_FLASH"), 1);

    {
        // The settings tool changes one key and adds another meanwhile.
        UserDefaults tool("camera");
        tool.setInteger(2, "KEY_FLASH");
        tool.setInteger(5, "autoreview_preference");
        ASSERT_TRUE(tool.synchronize());
    }

    // The camera's copy still says flash 1, but it changes only the film: the tool's keys stay.
    camera.setInteger(4, "KEY_FILMTYPE");
    ASSERT_TRUE(camera.synchronize());
    auto entries = fileEntries();
    EXPECT_EQ(entries.at("KEY_FLASH"), DefaultsValue(2));
    EXPECT_EQ(entries.at("autoreview_preference"), DefaultsValue(5));
    EXPECT_EQ(entries.at("KEY_FILMTYPE"), DefaultsValue(4));
    // Writing brought the other keys into the camera's copy.
    EXPECT_EQ(camera.integerForKey("autoreview_preference"), 5);
}

TEST_F(UserDefaultsTest, AnotherProcessWritingMeanwhileLosesNothing) {
    constexpr int kRounds = 60;
    // A second process writes its own keys into the same store meanwhile.
    std::string rounds = std::to_string(kRounds);
    const char* arguments[] = {HX_DEFAULTS_WRITER, "camera", "tool", rounds.c_str(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, HX_DEFAULTS_WRITER, nullptr, nullptr,
                            const_cast<char* const*>(arguments), environ),
              0);

    hx::log::CaptureScope log;
    UserDefaults camera("camera");
    for (int i = 0; i < kRounds; ++i) {
        camera.setFloat(i * 0.5f, "camera." + std::to_string(i));
        EXPECT_TRUE(camera.synchronize());
        // A reader without the lock always sees a whole file.
        auto contents = readDefaultsFile(configFile("camera.defaults"));
        EXPECT_FALSE(contents.damaged) << contents.problem;
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    auto entries = fileEntries();
    EXPECT_EQ(entries.size(), 2u * kRounds + 1);
    for (int i = 0; i < kRounds; ++i) {
        EXPECT_EQ(entries.at("tool." + std::to_string(i)), DefaultsValue(i));
        EXPECT_EQ(entries.at("camera." + std::to_string(i)), DefaultsValue(i * 0.5f));
    }
    EXPECT_EQ(entries.at("shared"), DefaultsValue(kRounds - 1));
    EXPECT_TRUE(log.messages().empty());
}

TEST_F(UserDefaultsTest, ThreadsSettingOneStoreLoseNothing) {
    UserDefaults store("camera");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&store, t] {
            for (int i = 0; i < 50; ++i) {
                std::string key = "t" + std::to_string(t) + "." + std::to_string(i);
                store.setInteger(i, key);
                EXPECT_EQ(store.integerForKey(key), i);
                if (i % 10 == 0) store.synchronize();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(store.synchronize());
    EXPECT_EQ(fileEntries().size(), 200u);
}

TEST_F(UserDefaultsTest, ADamagedFileKeepsItsGoodKeysAndEveryDamagedCopy) {
    const std::string garbage =
        "KEY_FILMTYPE = integer 3\nKEY_EV = flo\xff\xfe\nKEY_GRID = boolean true\n";
    std::string file = configFile("camera.defaults");
    writeText(file, garbage);

    hx::log::CaptureScope log;
    UserDefaults store("camera");
    store.registerDefaults({{"KEY_FRAMEMODE", 1}});
    EXPECT_EQ(store.integerForKey("KEY_FRAMEMODE"), 1);
    EXPECT_EQ(store.integerForKey("KEY_FILMTYPE"), 3);
    EXPECT_TRUE(store.boolForKey("KEY_GRID"));
    store.reset();
    EXPECT_EQ(store.integerForKey("KEY_FILMTYPE"), 3);
    ASSERT_EQ(log.messages().size(), 1u) << "one message per damaged file";
    EXPECT_TRUE(log.contains(file)) << log.messages()[0];
    EXPECT_TRUE(log.contains("line 2")) << log.messages()[0];

    // The next write keeps every good key and the damaged file as the first copy.
    store.setInteger(2, "KEY_FRAMEMODE");
    ASSERT_TRUE(store.synchronize());
    const hx::defaults::Entries kept{{"KEY_FILMTYPE", DefaultsValue(3)},
                                     {"KEY_GRID", DefaultsValue(true)},
                                     {"KEY_FRAMEMODE", DefaultsValue(2)}};
    EXPECT_EQ(fileEntries(), kept);
    EXPECT_EQ(readText(file + ".damaged.1"), garbage);

    // A second damage gets its own copy; the first stays as it was.
    const std::string secondGarbage = readText(file) + "KEY_LENS = integer\n";
    writeText(file, secondGarbage);
    store.setInteger(100, "KEY_LENS");
    ASSERT_TRUE(store.synchronize());
    EXPECT_EQ(readText(file + ".damaged.1"), garbage);
    EXPECT_EQ(readText(file + ".damaged.2"), secondGarbage);
    EXPECT_EQ(fileEntries().size(), 4u);
    EXPECT_EQ(log.messages().size(), 2u);
}

TEST_F(UserDefaultsTest, AnUnreadableFileIsKeptAsideAndDefaultsApply) {
    std::string file = configFile("camera.defaults");
    std::filesystem::create_directories(file);  // a folder where the file should be
    hx::log::CaptureScope log;
    UserDefaults store("camera");
    store.registerDefaults({{"KEY_FRAMEMODE", 1}});
    EXPECT_EQ(store.integerForKey("KEY_FRAMEMODE"), 1);
    ASSERT_EQ(log.messages().size(), 1u);
    EXPECT_TRUE(log.contains("cannot be read")) << log.messages()[0];
    store.setInteger(2, "KEY_FRAMEMODE");
    ASSERT_TRUE(store.synchronize());
    EXPECT_EQ(fileEntries(), (hx::defaults::Entries{{"KEY_FRAMEMODE", DefaultsValue(2)}}));
    EXPECT_TRUE(std::filesystem::is_directory(file + ".damaged.1"));
}

TEST_F(UserDefaultsTest, UnwritableFolderFailsSynchronizeButKeepsTheValue) {
    // A file where the config folder should be: no permission trick, so it holds for root too.
    writeText((home / "config").string(), "not a folder");
    hx::log::CaptureScope log;
    UserDefaults store("camera");
    store.setInteger(3, "KEY_FLASH");
    EXPECT_FALSE(store.synchronize());
    EXPECT_TRUE(log.contains("Cannot save user defaults"));
    EXPECT_EQ(store.integerForKey("KEY_FLASH"), 3);

    // Once the folder can be made, the kept change is written.
    std::filesystem::remove(home / "config");
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(fileEntries().at("KEY_FLASH"), DefaultsValue(3));
}

}  // namespace
