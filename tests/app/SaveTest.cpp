// Saving photos from the camera screen into a real library under the test's home: the album
// search at launch and on every return (one album, even with searches and another program
// asking at once), which album receives photos, album saving off, an album deleted after the
// search, and a disk that refuses to take the photo.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <thread>

#include "app/camera/CameraSettingsKeys.h"
#include "app/camera/Localized.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/image/io/ImageSource.h"
#include "platform/log/CaptureScope.h"
#include "platform/photos/Photos.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/alerts/UIAlertController.h"
#include "tests/app/CameraAppTestSupport.h"
#include "tests/support/RequireTool.h"

namespace hx::app {
namespace {

using photos::PhotoLibrary;

constexpr const char* kAlbum = "Halidex Camera";

// A JPEG of noise, different for every seed, about 20 KB.
std::shared_ptr<const std::vector<uint8_t>> photoBytes(unsigned seed) {
    const int width = 120, height = 90;
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    std::mt19937 random(seed);
    for (uint8_t& value : pixels) value = uint8_t(random());
    auto picture = image::Image::adopt(image::PixelFormat::RGB8, width, height, std::move(pixels));
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    auto destination = image::ImageDestination::createWithData(bytes.get(), "public.jpeg", 1);
    destination->addImage(picture, {});
    EXPECT_TRUE(destination->finalize());
    return bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A command's standard output; nothing when it could not run or failed.
std::optional<std::string> run(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    if (::pclose(pipe) != 0) return std::nullopt;
    return out;
}

class SaveTest : public testing::CameraAppTest {
  protected:
    void SetUp() override {
        CameraAppTest::SetUp();
        PhotoLibrary::setSharedPhotoLibrary(nullptr);
    }
    void TearDown() override {
        waitIdle();
        CameraAppTest::TearDown();
        PhotoLibrary::setSharedPhotoLibrary(nullptr);
    }

    // Until the searches, saves and their hops to the main queue are all done.
    static void waitIdle() {
        RunLoop::main().runUntil([] { return false; }, 30);
        RunLoop::main().advance(0);
    }
    photos::LibraryStore& store() { return *PhotoLibrary::sharedPhotoLibrary()->store(); }
    std::vector<photos::AlbumRecord> albums() { return store().albumsWithTitle(kAlbum); }
    std::string database() { return store().databasePath(); }

    // One capture save as processing asks for it, with its pending count.
    void save(unsigned seed, bool logResult = true) {
        camera()._processcounter++;
        camera().saveCapturedPhoto(photoBytes(seed), logResult);
        waitIdle();
    }

    void deleteAlbumWithSqlite(const std::string& identifier) {
        auto done = run("sqlite3 '" + database() +
                        "' 'PRAGMA foreign_keys=ON; DELETE FROM albums WHERE local_identifier=\"" +
                        identifier + "\";'");
        ASSERT_TRUE(done);
    }

    std::shared_ptr<UIAlertController> shownAlert() {
        return std::dynamic_pointer_cast<UIAlertController>(camera().presentedViewController());
    }
};

TEST_F(SaveTest, FirstLaunchMakesTheAlbumOnceAndEveryReturnFindsIt) {
    launch();
    waitIdle();
    ASSERT_EQ(albums().size(), 1u);
    ASSERT_TRUE(camera()._album);
    const std::string made = albums().front().localIdentifier;
    EXPECT_EQ(camera()._album->localIdentifier(), made);
    for (int i = 0; i < 2; ++i) {
        camera().goBackground();
        camera().goForeground();
        waitIdle();
    }
    ASSERT_EQ(albums().size(), 1u);
    EXPECT_EQ(camera()._album->localIdentifier(), made);
}

TEST_F(SaveTest, SearchesAtOnceAndAnotherProgramMakeOneAlbum) {
    HX_REQUIRE_TOOLS("sqlite3");
    launch();
    waitIdle();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        for (const auto& album : albums()) deleteAlbumWithSqlite(album.localIdentifier);
        ASSERT_TRUE(albums().empty());
        // The library program asks for the album while the camera searches on three threads
        // and on its return to the foreground.
        const std::string picture = (home_.path() / "import.jpg").string();
        std::ofstream(picture, std::ios::binary)
            .write(reinterpret_cast<const char*>(photoBytes(round)->data()),
                   photoBytes(round)->size());
        const std::string import = std::string(HX_LIBRARY_PROGRAM) + " import --album '" + kAlbum +
                                   "' '" + picture + "' >/dev/null 2>&1";
        std::thread program([&] { EXPECT_TRUE(run(import)); });
        std::vector<std::thread> searches;
        for (int i = 0; i < 3; ++i) searches.emplace_back([&] { camera().searchPhotoGroups(); });
        camera().goForeground();
        for (auto& search : searches) search.join();
        program.join();
        waitIdle();
        camera().goForeground();
        waitIdle();
        auto found = albums();
        ASSERT_EQ(found.size(), 1u);
        ASSERT_TRUE(camera()._album);
        EXPECT_EQ(camera()._album->localIdentifier(), found.front().localIdentifier);
        EXPECT_EQ(store().assetsInAlbum(found.front().localIdentifier).size(), 1u)
            << "the imported picture is in the one album";
    }
}

TEST_F(SaveTest, TheLastOfTwoAlbumsReceivesPhotosAndTheCounterGoesDown) {
    auto first = store().createAlbum(kAlbum);
    auto second = store().createAlbum(kAlbum);
    ASSERT_TRUE(first && second);
    launch();
    waitIdle();
    ASSERT_TRUE(camera()._album);
    EXPECT_EQ(camera()._album->localIdentifier(), *second);

    log::CaptureScope log;
    save(1);
    save(2, false);
    EXPECT_EQ(camera()._processcounter.load(), 0);
    EXPECT_FALSE(camera().isBusy());
    EXPECT_EQ(store().countAssets(), 2);
    EXPECT_EQ(store().assetsInAlbum(*second).size(), 2u);
    EXPECT_TRUE(store().assetsInAlbum(*first).empty());
    EXPECT_EQ(store().assetsInAlbum(*second).size(), 2u);
    // The colour variant's save logs nothing.
    size_t finished = 0;
    for (const auto& message : log.messages())
        if (message.find("Finished adding asset. Success") != std::string::npos) ++finished;
    EXPECT_EQ(finished, 1u);
    // The library program sees the photos in the album.
    auto listed = run(std::string(HX_LIBRARY_PROGRAM) + " list --album '" + kAlbum + "'");
    ASSERT_TRUE(listed);
    EXPECT_EQ(std::count(listed->begin(), listed->end(), '\n'), 2);

    // The counter never goes below zero, whatever a completion finds.
    save(3);
    camera()._processcounter = 0;
    camera().saveCapturedPhoto(photoBytes(4), true);
    waitIdle();
    EXPECT_EQ(camera()._processcounter.load(), 0);
}

TEST_F(SaveTest, AlbumSavingOffPutsPhotosInTheLibraryOnly) {
    auto other = otherProgramStore();
    other->setBool(false, kSaveToAlbumPreference);
    other->synchronize();
    launch();
    waitIdle();
    EXPECT_FALSE(camera()._savetoalbum);
    EXPECT_FALSE(camera()._album);
    save(1);
    EXPECT_EQ(store().countAssets(), 1);
    EXPECT_TRUE(albums().empty()) << "no album is made while album saving is off";
    EXPECT_EQ(camera()._processcounter.load(), 0);
}

TEST_F(SaveTest, AnAlbumDeletedAfterTheSearchIsMadeAgainWithoutLosingThePhoto) {
    HX_REQUIRE_TOOLS("sqlite3");
    launch();
    waitIdle();
    ASSERT_TRUE(camera()._album);
    const std::string old = camera()._album->localIdentifier();
    save(1);
    deleteAlbumWithSqlite(old);
    ASSERT_TRUE(albums().empty());

    save(2);
    EXPECT_EQ(camera()._processcounter.load(), 0);
    EXPECT_EQ(store().countAssets(), 2) << "both photos are in the library";
    auto now = albums();
    ASSERT_EQ(now.size(), 1u);
    EXPECT_NE(now.front().localIdentifier, old);
    EXPECT_EQ(store().assetsInAlbum(now.front().localIdentifier).size(), 1u);
    ASSERT_TRUE(camera()._album);
    EXPECT_EQ(camera()._album->localIdentifier(), now.front().localIdentifier);
    // The next photo goes straight into the new album.
    save(3);
    EXPECT_EQ(store().assetsInAlbum(now.front().localIdentifier).size(), 2u);
    EXPECT_EQ(albums().size(), 1u);
}

TEST_F(SaveTest, AFullDiskKeepsEarlierPhotosCountsTheSaveAndTellsTheUser) {
    HX_REQUIRE_TOOLS("sqlite3");
    launch();
    waitIdle();
    save(1);
    ASSERT_EQ(store().countAssets(), 1);
    auto earlier = store().assets().front();
    const std::string earlierPath = store().originalPath(earlier);
    const std::string earlierBytes = readFile(earlierPath);
    ASSERT_FALSE(earlierBytes.empty());

    // No file of this process may grow past a few kilobytes: the disk is full for the library.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    log::CaptureScope log;
    camera()._processcounter += 2;
    camera().saveCapturedPhoto(photoBytes(2), true);
    camera().saveCapturedPhoto(photoBytes(3), false);
    waitIdle();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(camera()._processcounter.load(), 0);
    EXPECT_TRUE(log.contains("Finished adding asset. ")) << "the library's error is logged";
    EXPECT_FALSE(log.contains("Finished adding asset. Success"));
    auto alert = shownAlert();
    ASSERT_TRUE(alert) << "the user is told";
    EXPECT_EQ(alert->message(), localizedString("save_failed"));
    EXPECT_FALSE(alert->message().empty());
    EXPECT_EQ(alert->actions().size(), 1u);
    EXPECT_FALSE(alert->presentedViewController()) << "one alert for the whole burst";

    EXPECT_EQ(store().countAssets(), 1);
    EXPECT_EQ(readFile(earlierPath), earlierBytes);
    auto integrity = run("sqlite3 '" + database() + "' 'PRAGMA integrity_check;'");
    ASSERT_TRUE(integrity);
    EXPECT_EQ(*integrity, "ok\n");

    // With room again, saving works as before.
    alert->dismissViewControllerAnimated(false);
    advance(0.5);
    save(4);
    EXPECT_EQ(store().countAssets(), 2);
    EXPECT_EQ(store().assetsInAlbum(camera()._album->localIdentifier()).size(), 2u);
}

TEST_F(SaveTest, ARefilteredPictureIsSavedAsJpegWithItsMetadataAndLeavesTheCounter) {
    launch();
    waitIdle();
    auto source = image::ImageSource::createWithData(*photoBytes(7));
    ASSERT_TRUE(source);
    image::PropertyDictionary meta;
    image::PropertyDictionary tiff;
    tiff.set("Model", std::string("Test Model"));
    meta.set("{TIFF}", tiff);
    camera().saveImage(nullptr, source->createImageAtIndex(0), meta);
    waitIdle();
    EXPECT_EQ(camera()._processcounter.load(), 0);
    ASSERT_EQ(store().countAssets(), 1);
    auto asset = store().assets().front();
    EXPECT_EQ(store().assetsInAlbum(camera()._album->localIdentifier()).size(), 1u);
    auto saved = image::ImageSource::createWithURL(store().originalPath(asset));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->type(), "public.jpeg");
    auto properties = saved->copyPropertiesAtIndex(0);
    EXPECT_EQ(properties.dictionary("{TIFF}").string("Model"), "Test Model");
}

}  // namespace
}  // namespace hx::app
