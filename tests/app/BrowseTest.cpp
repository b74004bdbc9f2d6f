// The photo browser through the whole application in a real library under the test's home:
// the library list and the browser button, the grid, the viewer's paging, sharing (the menu's
// actions, a saved copy, a copy without location checked with exiftool), re-filtering into a
// new photo, changes arriving while the browser is open, an empty album, and a photo whose
// file was deleted behind the library's back.

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <unordered_set>

#include "app/browse/BrowseSupport.h"
#include "app/browse/hxFilterViewController.h"
#include "app/browse/hxThumbViewController.h"
#include "app/browse/mPvViewController.h"
#include "app/camera/CameraSettingsKeys.h"
#include "platform/image/PixelConversion.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/image/io/ImageSource.h"
#include "platform/log/CaptureScope.h"
#include "platform/photos/Photos.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/alerts/UIAlertController.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/navigation/UINavigationBar.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/sharing/Desktop.h"
#include "tests/app/CameraAppTestSupport.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"

namespace hx::app {
namespace {

namespace fs = std::filesystem;
using photos::PhotoLibrary;

// A JPEG of noise with a camera's metadata: the date orders the photos, the position is there
// when asked for.
std::vector<uint8_t> photoBytes(unsigned seed, bool withLocation, int width = 160,
                                int height = 120) {
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    std::mt19937 random(seed);
    for (uint8_t& value : pixels) value = uint8_t(random() & 0xF0);
    auto picture = image::Image::adopt(image::PixelFormat::RGB8, width, height, std::move(pixels));
    image::PropertyDictionary properties, exif, tiff, gps;
    char date[32];
    std::snprintf(date, sizeof date, "2026:03:%02u 10:00:00", 1 + seed % 28);
    exif.set(image::kCGImagePropertyExifDateTimeOriginal, date);
    tiff.set(image::kCGImagePropertyTIFFMake, "Halidex");
    tiff.set(image::kCGImagePropertyTIFFModel, "Test Phone");
    properties.set(image::kCGImagePropertyExifDictionary, exif);
    properties.set(image::kCGImagePropertyTIFFDictionary, tiff);
    if (withLocation) {
        gps.set(image::kCGImagePropertyGPSLatitude, 48.5);
        gps.set(image::kCGImagePropertyGPSLatitudeRef, "N");
        gps.set(image::kCGImagePropertyGPSLongitude, 9.25);
        gps.set(image::kCGImagePropertyGPSLongitudeRef, "E");
        properties.set(image::kCGImagePropertyGPSDictionary, gps);
    }
    std::vector<uint8_t> bytes;
    auto destination = image::ImageDestination::createWithData(&bytes, "public.jpeg", 1);
    destination->addImage(picture, properties);
    EXPECT_TRUE(destination->finalize());
    return bytes;
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the share menu hands to the desktop, instead of the desktop.
struct RecordingDesktop : ui::Desktop {
    bool openURL(const NSURL& url) override {
        opened.push_back(url.path());
        return true;
    }
    bool openApplicationSettings() override { return true; }
    bool showInFileManager(const std::string& path) override {
        shown.push_back(path);
        return true;
    }
    bool copyFileToClipboard(const std::string&) override { return true; }
    bool annotateFile(const std::string& path,
                      const std::map<std::string, std::string>& annotation) override {
        annotations[path] = annotation;
        return true;
    }
    std::vector<std::string> opened, shown;
    std::map<std::string, std::map<std::string, std::string>> annotations;
};

class BrowseTest : public testing::CameraAppTest {
  protected:
    void SetUp() override {
        CameraAppTest::SetUp();
        PhotoLibrary::setSharedPhotoLibrary(nullptr);
        desktop_ = std::make_shared<RecordingDesktop>();
        ui::Desktop::setCurrent(desktop_);
    }
    void TearDown() override {
        waitIdle();
        mPvViewController::setFolderChooser(nullptr);
        CameraAppTest::TearDown();
        ui::Desktop::setCurrent(nullptr);
        PhotoLibrary::setSharedPhotoLibrary(nullptr);
    }

    static void waitIdle() {
        RunLoop::main().runUntil([] { return false; }, 30);
        RunLoop::main().advance(0);
    }
    // Until the condition holds, for changes that come from the library's watcher.
    static bool waitFor(const std::function<bool()>& done, double seconds = 10) {
        for (int i = 0; i < seconds * 50 && !done(); ++i) {
            RunLoop::main().runUntil(done, 0.02);
            RunLoop::main().advance(0.02);
        }
        return done();
    }

    // Adds the photos in one change each, oldest first; their identifiers.
    std::vector<std::string> addPhotos(int count, bool withLocation = false) {
        std::vector<std::string> identifiers;
        auto library = PhotoLibrary::sharedPhotoLibrary();
        for (int i = 0; i < count; ++i) {
            auto bytes = photoBytes(unsigned(next_++), withLocation);
            std::string made;
            EXPECT_TRUE(library->performChangesAndWait([&] {
                auto request = photos::AssetCreationRequest::creationRequestForAsset();
                request->addResourceWithType(photos::AssetResourceType::Photo, bytes, nullptr);
                made = request->placeholderForCreatedAsset()->localIdentifier();
            }));
            identifiers.push_back(made);
        }
        return identifiers;
    }

    hxThumbViewController& grid() { return *camera()._thumbViewConvtoller; }
    mPvViewController& viewer() { return *grid().viewer(); }
    photos::LibraryStore& store() { return *PhotoLibrary::sharedPhotoLibrary()->store(); }

    void openBrowser() {
        ASSERT_TRUE(camera()._pvButton->isEnabled());
        press("_pvButton");
        advance(0.6);
        waitIdle();
        ASSERT_TRUE(camera()._nav);
    }
    // A tap at the centre of a view, in window coordinates.
    void tapView(const std::shared_ptr<UIView>& view) {
        ASSERT_TRUE(view);
        CGRect frame = view->convertRectToView(view->bounds(), nullptr);
        host().tap({frame.midX(), frame.midY()});
        advance(0.05);
    }
    void openViewerAt(int item) {
        auto cell = grid()._thumbCollectionView->cellForItemAtIndexPath(
            NSIndexPath::indexPathForItem(item, 0));
        ASSERT_TRUE(cell) << item;
        tapView(cell);
        advance(0.6);
        waitIdle();
        ASSERT_EQ(camera()._nav->topViewController().get(), &viewer());
    }
    void swipe(bool toNext) {
        CGRect frame =
            viewer()._pvScrollView->convertRectToView(viewer()._pvScrollView->bounds(), nullptr);
        const double y = frame.midY();
        const double from = toNext ? frame.maxX() - 40 : frame.minX() + 40;
        const double to = toNext ? frame.minX() + 40 : frame.maxX() - 40;
        host().drag({from, y}, {to, y}, 6, 0.016);
        advance(0.6);
        waitIdle();
    }
    std::string counter() { return viewer().counterLabel()->text(); }
    std::shared_ptr<UIAlertController> shareMenu() {
        return viewer()._diController ? viewer()._diController->menu() : nullptr;
    }
    void choose(const std::shared_ptr<UIAlertController>& menu, const std::string& title) {
        ASSERT_TRUE(menu);
        for (const auto& action : menu->actions()) {
            if (action->title() != title) continue;
            tapView(menu->buttonForAction(*action));
            advance(0.5);
            waitIdle();
            return;
        }
        FAIL() << "no menu entry " << title;
    }

    std::shared_ptr<RecordingDesktop> desktop_;
    int next_ = 1;
};

TEST_F(BrowseTest, TheListHoldsTheWholeLibraryNewestFirstAndFollowsItsChanges) {
    auto made = addPhotos(3);
    launch();
    waitIdle();
    // Newest first, and the button shows the newest photo.
    ASSERT_EQ(grid().pvphotos, (std::vector<std::string>{made[2], made[1], made[0]}));
    EXPECT_TRUE(camera()._pvButton->isEnabled());
    ASSERT_TRUE(camera()._pvButtonImage->image());
    ASSERT_TRUE(grid().album);

    // A photo added by another program is appended once and becomes the button's picture.
    const auto before = camera()._pvButtonImage->image();
    auto added = addPhotos(1);
    ASSERT_TRUE(waitFor([&] { return grid().pvphotos.size() == 4; }));
    waitIdle();
    EXPECT_EQ(grid().pvphotos.back(), added[0]);
    EXPECT_NE(camera()._pvButtonImage->image(), before);

    // A burst of changes with a removal among them: the list ends as the library, each once.
    auto library = PhotoLibrary::sharedPhotoLibrary();
    auto more = addPhotos(4);
    ASSERT_TRUE(library->performChangesAndWait([&] {
        photos::AssetChangeRequest::deleteAssets(
            {photos::Asset::fetchAssetsWithLocalIdentifiers({made[1]}, nullptr).firstObject()});
    }));
    addPhotos(2);
    ASSERT_TRUE(waitFor([&] { return grid().pvphotos.size() == 9; }));
    waitIdle();
    std::unordered_set<std::string> listed(grid().pvphotos.begin(), grid().pvphotos.end());
    EXPECT_EQ(listed.size(), grid().pvphotos.size()) << "an identifier is listed twice";
    EXPECT_FALSE(listed.count(made[1]));
    for (const auto& record : store().assets()) EXPECT_TRUE(listed.count(record.localIdentifier));
}

TEST_F(BrowseTest, APhotoImportedByAnotherProgramJoinsTheOpenGrid) {
    addPhotos(2);
    launch();
    waitIdle();
    openBrowser();
    const fs::path file = home_.path() / "imported.jpg";
    {
        auto bytes = photoBytes(40, false);
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    auto imported =
        hx::testsupport::runCommand(hx::testsupport::shellQuoted(HX_LIBRARY_PROGRAM) + " import " +
                                        hx::testsupport::shellQuoted(file.string()) + " 2>&1",
                                    {{"HALIDEX_HOME", home_.path().string()}});
    ASSERT_EQ(imported.status, 0) << imported.output;
    ASSERT_TRUE(waitFor([&] { return grid().pvphotos.size() == 3; }));
    waitIdle();
    // The grid on screen shows the newcomer at its end.
    EXPECT_EQ(grid()._thumbCollectionView->numberOfItemsInSection(0), 3);
    auto cell = std::dynamic_pointer_cast<hxThumbCollectionCell>(
        grid()._thumbCollectionView->cellForItemAtIndexPath(NSIndexPath::indexPathForItem(2, 0)));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->assetIdentifier, grid().pvphotos.back());
}

TEST_F(BrowseTest, AlbumSavingOffLeavesTheListEmptyAndTheButtonOff) {
    addPhotos(2);
    auto other = otherProgramStore();
    other->setBool(false, kSaveToAlbumPreference);
    other->synchronize();
    launch();
    waitIdle();
    EXPECT_FALSE(camera()._savetoalbum);
    EXPECT_TRUE(grid().pvphotos.empty());
    EXPECT_FALSE(grid().album);
    EXPECT_FALSE(camera()._pvButton->isEnabled());
    addPhotos(1);
    waitFor([] { return false; }, 0.5);
    EXPECT_TRUE(grid().pvphotos.empty());
}

TEST_F(BrowseTest, AnEmptyLibraryShowsAnEmptyGridAndAnEmptyViewer) {
    launch();
    waitIdle();
    EXPECT_TRUE(grid().pvphotos.empty());
    EXPECT_FALSE(camera()._pvButton->isEnabled());
    camera().pvAction(nullptr);
    advance(0.6);
    EXPECT_EQ(grid()._thumbCollectionView->numberOfItemsInSection(0), 0);
    // The viewer of an empty list shows nothing and offers neither share nor filter.
    viewer().loadViewIfNeeded();
    viewer().pvphotos.clear();
    viewer().updateAll = true;
    viewer().updateImage();
    EXPECT_EQ(counter(), "0 of 0");
    EXPECT_FALSE(viewer()._activityButton->isEnabled());
    EXPECT_FALSE(viewer()._filterButton->isEnabled());
    EXPECT_FALSE(viewer()._imageView1->image());
    viewer().activityAction(nullptr);
    viewer().filterAction(nullptr);
    waitIdle();
    EXPECT_FALSE(viewer().isSharing());
    EXPECT_FALSE(viewer().presentedViewController());
}

TEST_F(BrowseTest, TheGridOpensTheViewerWhichPagesThroughThePhotos) {
    auto made = addPhotos(3);
    launch();
    waitIdle();
    openBrowser();
    EXPECT_FALSE(camera()._drawGL);
    EXPECT_FALSE(camera().session()->isRunning());
    ASSERT_EQ(grid()._thumbCollectionView->numberOfItemsInSection(0), 3);
    // Every visible cell shows the thumbnail of its own photo.
    grid()._thumbCollectionView->layoutSubviews();
    waitIdle();
    for (int i = 0; i < 3; ++i) {
        auto cell = std::dynamic_pointer_cast<hxThumbCollectionCell>(
            grid()._thumbCollectionView->cellForItemAtIndexPath(
                NSIndexPath::indexPathForItem(i, 0)));
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->assetIdentifier, grid().pvphotos[size_t(i)]);
        EXPECT_TRUE(cell->thumbImage.lock()->image()) << i;
    }

    openViewerAt(1);
    EXPECT_EQ(counter(), "2 of 3");
    EXPECT_EQ(viewer().currentIdentifier(), made[1]);
    // Three pages: the middle one is shown, each page holds its own photo's picture.
    EXPECT_DOUBLE_EQ(viewer()._pvScrollView->contentSize().width,
                     3 * viewer()._pvScrollView->frame().width());
    EXPECT_TRUE(viewer()._imageView0->image());
    EXPECT_TRUE(viewer()._imageView1->image());
    EXPECT_TRUE(viewer()._imageView2->image());

    swipe(true);
    EXPECT_EQ(counter(), "3 of 3");
    EXPECT_EQ(viewer().currentIdentifier(), made[0]);
    // The last photo: two pages, nothing past it.
    EXPECT_DOUBLE_EQ(viewer()._pvScrollView->contentSize().width,
                     2 * viewer()._pvScrollView->frame().width());
    swipe(true);
    EXPECT_EQ(counter(), "3 of 3");
    swipe(false);
    swipe(false);
    EXPECT_EQ(counter(), "1 of 3");
    EXPECT_FALSE(viewer()._imageView0->image());

    // A touch on the photo hides the bars, another shows them again.
    tapView(viewer()._imageView1);
    advance(0.5);
    EXPECT_TRUE(camera()._nav->isNavigationBarHidden());
    tapView(viewer()._imageView1);
    advance(0.5);
    EXPECT_FALSE(camera()._nav->isNavigationBarHidden());

    // Back to the grid (the camera stays off), then Done: the camera runs again.
    tapView(camera()._nav->navigationBar()->backButton());
    advance(0.6);
    EXPECT_FALSE(camera().session()->isRunning());
    tapView(grid()._doneButton->view());
    advance(0.6);
    waitIdle();
    EXPECT_FALSE(camera().presentedViewController());
    EXPECT_TRUE(camera()._drawGL);
    EXPECT_TRUE(camera().session()->isRunning());
}

TEST_F(BrowseTest, SharingOffersTheFileWithItsTagAndCopiesWithAndWithoutLocation) {
    HX_REQUIRE_TOOLS("exiftool");
    addPhotos(1, /*withLocation=*/true);
    launch();
    waitIdle();
    const std::string original = *store().originalPath(grid().pvphotos[0]);
    openBrowser();
    openViewerAt(0);

    tapView(viewer()._activityButton->view());
    waitIdle();
    auto menu = shareMenu();
    ASSERT_TRUE(menu);
    // A second press while the menu is up does nothing.
    viewer().activityAction(nullptr);
    waitIdle();
    EXPECT_EQ(shareMenu(), menu);
    const std::string shared = viewer()._diController->URL().path();
    EXPECT_EQ(fs::path(shared).parent_path(), fs::path(shareFolder()));
    EXPECT_EQ(readBytes(shared), readBytes(original));
    choose(menu, UIDocumentInteractionController::kOpenTitle);
    ASSERT_EQ(desktop_->opened.size(), 1u);
    EXPECT_EQ(desktop_->opened[0], shared);
    EXPECT_EQ(desktop_->annotations[shared].at("tags"), "HalidexCamera");
    EXPECT_FALSE(viewer()._diController);

    // Every share writes a file of its own: the first one is left as it was.
    tapView(viewer()._activityButton->view());
    waitIdle();
    ASSERT_TRUE(viewer()._diController);
    EXPECT_NE(viewer()._diController->URL().path(), shared);

    // Save a Copy: the same bytes into the chosen folder.
    hx::testsupport::TemporaryFolder chosen{"hx-browse-copy"};
    mPvViewController::setFolderChooser([&] { return std::optional(chosen.path().string()); });
    choose(shareMenu(), mPvViewController::kSaveCopyTitle);
    std::vector<fs::path> copies;
    for (const auto& entry : fs::directory_iterator(chosen.path())) copies.push_back(entry.path());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(readBytes(copies[0].string()), readBytes(original));

    // Without location: a new menu for a copy without GPS, whose pixels are untouched.
    tapView(viewer()._activityButton->view());
    waitIdle();
    choose(shareMenu(), mPvViewController::kWithoutLocationTitle);
    advance(0.3);
    waitIdle();
    ASSERT_TRUE(viewer()._diController);
    const std::string stripped = viewer()._diController->URL().path();
    auto gps = hx::testsupport::runCommand("exiftool -s -s -s -GPS:all " +
                                           hx::testsupport::shellQuoted(stripped));
    EXPECT_EQ(gps.status, 0);
    EXPECT_EQ(gps.output, "");
    auto kept = hx::testsupport::runCommand("exiftool -s -s -s -Model -GPSLatitude " +
                                            hx::testsupport::shellQuoted(original));
    EXPECT_NE(kept.output.find("48 deg 30"), std::string::npos) << kept.output;
    auto model = hx::testsupport::runCommand("exiftool -s -s -s -Model " +
                                             hx::testsupport::shellQuoted(stripped));
    EXPECT_EQ(model.output, "Test Phone\n");
    auto a = image::ImageSource::createWithURL(stripped)->createImageAtIndex(0);
    auto b = image::ImageSource::createWithURL(original)->createImageAtIndex(0);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->height(), b->height());
    for (int y = 0; y < a->height(); ++y)
        ASSERT_EQ(0, std::memcmp(a->data() + y * a->bytesPerRow(), b->data() + y * b->bytesPerRow(),
                                 size_t(a->width()) * 3))
            << "row " << y;
    viewer()._diController->dismissMenuAnimated(false);
    waitIdle();
}

TEST_F(BrowseTest, RefilteringSavesANewPhotoWithTheSourcesMetadata) {
    HX_REQUIRE_TOOLS("exiftool");
    addPhotos(1);
    launch();
    waitIdle();
    const std::string source = grid().pvphotos[0];
    openBrowser();
    openViewerAt(0);
    tapView(viewer()._filterButton->view());
    advance(0.6);
    waitIdle();
    auto filter =
        std::dynamic_pointer_cast<hxFilterViewController>(viewer().presentedViewController());
    ASSERT_TRUE(filter);
    ASSERT_TRUE(filter->sourceImage());
    EXPECT_FALSE(filter->_cancelButton->isHidden());
    EXPECT_TRUE(filter->_okButton->isHidden());
    EXPECT_EQ(filter->_filmCollectionView->numberOfItemsInSection(0), 9);

    // Two films chosen in a row: one render, of the second.
    for (int film : {2, 3}) {
        auto cell = filter->_filmCollectionView->cellForItemAtIndexPath(
            NSIndexPath::indexPathForItem(film, 0));
        tapView(cell);
        EXPECT_TRUE(filter->_okButton->isHidden());
        EXPECT_TRUE(filter->_cancelButton->isHidden());
    }
    advance(0.2);
    waitIdle();
    ASSERT_TRUE(filter->renderedImage());
    EXPECT_EQ(filter->_selectedFilm, 3);
    EXPECT_EQ(filter->renderedImage()->width(), 160);
    EXPECT_FALSE(filter->_okButton->isHidden());

    tapView(filter->_okButton);
    advance(0.6);
    waitIdle();
    ASSERT_TRUE(waitFor([&] { return store().assets().size() == 2; }));
    EXPECT_TRUE(filter->hasClosed());
    // The renderer is back at the camera's size.
    EXPECT_EQ(camera().filmRenderer()._photoWidth, camera()._photoWidth);
    std::string made;
    for (const auto& record : store().assets())
        if (record.localIdentifier != source) made = record.localIdentifier;
    const std::string file = *store().originalPath(made);
    auto tags = hx::testsupport::runCommand(
        "exiftool -s -s -s -Make -Model -DateTimeOriginal -ExifImageWidth -UserComment " +
        hx::testsupport::shellQuoted(file));
    EXPECT_EQ(tags.output, "Halidex\nTest Phone\n2026:03:02 10:00:00\n160\nfilm 3 RED 200\n");
}

TEST_F(BrowseTest, AFilmChosenBeforeThePhotoIsReadRendersOnceItArrives) {
    addPhotos(1);
    launch();
    waitIdle();
    openBrowser();
    openViewerAt(0);
    viewer().filterAction(nullptr);
    auto filter =
        std::dynamic_pointer_cast<hxFilterViewController>(viewer().presentedViewController());
    ASSERT_TRUE(filter);
    // Chosen while the screen is still sliding in: the photo is not being read yet.
    EXPECT_FALSE(filter->sourceImage());
    filter->collectionViewDidSelectItemAtIndexPath(*filter->_filmCollectionView,
                                                   NSIndexPath::indexPathForItem(5, 0));
    EXPECT_TRUE(filter->isBusy());
    advance(0.15);
    waitIdle();
    advance(0.6);
    waitIdle();
    ASSERT_TRUE(filter->renderedImage());
    EXPECT_EQ(filter->_selectedFilm, 5);
    EXPECT_FALSE(filter->isBusy());
    EXPECT_FALSE(filter->_okButton->isHidden());
    tapView(filter->_cancelButton);
    advance(0.6);
    waitIdle();
    EXPECT_EQ(store().assets().size(), 1u);
}

TEST_F(BrowseTest, EveryWayTheRefilterScreenClosesPutsTheCameraBack) {
    addPhotos(1);
    launch();
    waitIdle();
    auto& renderer = camera().filmRenderer();
    for (bool byQuickAction : {false, true}) {
        SCOPED_TRACE(byQuickAction ? "quick action" : "cancel");
        openBrowser();
        openViewerAt(0);
        viewer().filterAction(nullptr);
        advance(0.6);
        waitIdle();
        auto filter =
            std::dynamic_pointer_cast<hxFilterViewController>(viewer().presentedViewController());
        ASSERT_TRUE(filter);
        camera().setupOfflineWidth(320, 240);
        if (byQuickAction) {
            camera().shortCutAction(1);
            advance(0.6);
        } else {
            tapView(filter->_cancelButton);
            advance(0.6);
            EXPECT_FALSE(viewer().presentedViewController());
            tapView(camera()._nav->navigationBar()->backButton());
            advance(0.6);
            tapView(grid()._doneButton->view());
            advance(0.6);
        }
        waitIdle();
        EXPECT_TRUE(filter->hasClosed());
        EXPECT_EQ(renderer._photoWidth, camera()._photoWidth);
        EXPECT_FALSE(camera().presentedViewController());
        EXPECT_EQ(store().assets().size(), 1u);
    }
}

TEST_F(BrowseTest, APhotoDeletedWhileViewedOrWhoseFileIsGoneBreaksNothing) {
    auto made = addPhotos(3);
    launch();
    waitIdle();
    // The file of the oldest photo goes behind the library's back.
    fs::remove(*store().originalPath(made[0]));
    log::CaptureScope log;
    openBrowser();
    openViewerAt(2);
    EXPECT_EQ(counter(), "3 of 3");
    EXPECT_FALSE(viewer()._imageView1->image());
    EXPECT_TRUE(log.contains(made[0]));

    // The photo on screen is deleted by another library user: the list is rebuilt and the
    // viewer's next look at it stays inside it.
    auto library = PhotoLibrary::sharedPhotoLibrary();
    ASSERT_TRUE(library->performChangesAndWait([&] {
        photos::AssetChangeRequest::deleteAssets(
            {photos::Asset::fetchAssetsWithLocalIdentifiers({made[0]}, nullptr).firstObject()});
    }));
    ASSERT_TRUE(waitFor([&] { return grid().pvphotos.size() == 2; }));
    waitIdle();
    viewer().activityAction(nullptr);
    viewer().filterAction(nullptr);
    advance(0.6);
    waitIdle();
    EXPECT_NE(viewer().currentIdentifier(), made[0]);
    if (viewer()._diController) viewer()._diController->dismissMenuAnimated(false);
    if (viewer().presentedViewController()) viewer().dismissViewControllerAnimated(false);
    waitIdle();
}

TEST_F(BrowseTest, APhotoEditedWhileTheGridIsOpenShowsItsEdit) {
    auto made = addPhotos(3);
    launch();
    waitIdle();
    openBrowser();
    // The oldest photo is last in the grid; its picture is the random dark original.
    auto cellOfOldest = [&] {
        return std::dynamic_pointer_cast<hxThumbCollectionCell>(
            grid()._thumbCollectionView->cellForItemAtIndexPath(
                NSIndexPath::indexPathForItem(2, 0)));
    };
    auto centreOfOldest = [&]() -> std::vector<uint8_t> {
        auto cell = cellOfOldest();
        auto view = cell ? cell->thumbImage.lock() : nullptr;
        auto picture = view && view->image() ? view->image()->CGImage() : nullptr;
        if (!picture || cell->assetIdentifier != made[0]) return {};
        auto rgb = image::convert(picture, image::PixelFormat::RGB8);
        const uint8_t* p = rgb->row(rgb->height() / 2) + size_t(rgb->width() / 2) * 3;
        return {p[0], p[1], p[2]};
    };
    ASSERT_TRUE(waitFor([&] { return !centreOfOldest().empty(); }));
    EXPECT_LT(centreOfOldest()[0], 250);

    // Another library user edits it to plain white: the open grid shows the edit.
    auto target = photos::Asset::fetchAssetsWithLocalIdentifiers({made[0]}, nullptr).firstObject();
    std::shared_ptr<const photos::ContentEditingInput> input;
    target->requestContentEditingInputWithOptions(
        nullptr, [&](std::shared_ptr<const photos::ContentEditingInput> delivered,
                     const photos::ContentEditingInputInfo&) { input = std::move(delivered); });
    ASSERT_TRUE(waitFor([&] { return input != nullptr; }));
    auto output = std::make_shared<photos::ContentEditingOutput>(*input);
    output->setAdjustmentData(std::make_shared<const photos::AdjustmentData>(
        "org.halidex.test", "1.0", std::vector<uint8_t>{1}));
    {
        std::vector<uint8_t> white(160 * 120 * 3, 255);
        auto picture = image::Image::adopt(image::PixelFormat::RGB8, 160, 120, std::move(white));
        auto destination =
            image::ImageDestination::createWithURL(output->renderedContentURL(), "public.jpeg", 1);
        ASSERT_TRUE(destination);
        destination->addImage(picture, {});
        ASSERT_TRUE(destination->finalize());
    }
    ASSERT_TRUE(PhotoLibrary::sharedPhotoLibrary()->performChangesAndWait([&] {
        photos::AssetChangeRequest::changeRequestForAsset(*target)->setContentEditingOutput(output);
    }));
    ASSERT_TRUE(waitFor([&] {
        auto centre = centreOfOldest();
        return !centre.empty() && centre[0] >= 250 && centre[1] >= 250 && centre[2] >= 250;
    })) << "the grid still shows the photo as it was";
}

TEST(BrowseSupportTest, FileNamesAreSafeAndEveryWriteMakesANewFile) {
    EXPECT_EQ(sanitizedFileName("IMG_0001.JPG", ".jpg"), "IMG_0001.JPG");
    EXPECT_EQ(sanitizedFileName("../../etc/passwd", ".jpg"), "passwd");
    EXPECT_EQ(sanitizedFileName(".hidden.jpg", ".jpg"), "hidden.jpg");
    EXPECT_EQ(sanitizedFileName("a b\nc.jpg", ".jpg"), "a_b_c.jpg");
    EXPECT_EQ(sanitizedFileName("", ".tif"), "photo.tif");
    EXPECT_EQ(sanitizedFileName("\xc3\xa9\xc3\xa9", ".jpg"), "photo.jpg");
    const std::string longName = std::string(300, 'x') + ".jpeg";
    EXPECT_EQ(sanitizedFileName(longName, ".jpg").size(), 100u);
    EXPECT_EQ(sanitizedFileName(longName, ".jpg").substr(95), ".jpeg");

    hx::testsupport::TemporaryFolder folder{"hx-browse-files"};
    const std::string inner = (folder.path() / "made" / "here").string();
    // A stale file of the name is neither reused nor overwritten.
    fs::create_directories(inner);
    std::ofstream(fs::path(inner) / "a.jpg") << "stale";
    auto first = writeNewFile(inner, "a.jpg", {1, 2, 3});
    auto second = writeNewFile(inner, "a.jpg", {4, 5});
    ASSERT_TRUE(first && second);
    EXPECT_EQ(fs::path(*first).filename(), "a-2.jpg");
    EXPECT_EQ(fs::path(*second).filename(), "a-3.jpg");
    EXPECT_EQ(readBytes(*second), (std::vector<uint8_t>{4, 5}));
    std::string error;
    EXPECT_FALSE(writeNewFile("/proc/no/such", "a.jpg", {1}, &error));
    EXPECT_FALSE(error.empty());

    for (int exif = 0; exif <= 9; ++exif) {
        const UIImageOrientation expected[] = {
            UIImageOrientation::Up,           UIImageOrientation::Up,
            UIImageOrientation::UpMirrored,   UIImageOrientation::Down,
            UIImageOrientation::DownMirrored, UIImageOrientation::LeftMirrored,
            UIImageOrientation::Right,        UIImageOrientation::RightMirrored,
            UIImageOrientation::Left,         UIImageOrientation::Up};
        EXPECT_EQ(UIImageOrientationFromExif(exif), expected[exif]) << exif;
    }

    // A file without a position says so; one with loses it and keeps its pixels' bytes.
    auto plain = photoBytes(7, false);
    auto located = photoBytes(7, true);
    EXPECT_FALSE(hasLocation(plain));
    ASSERT_TRUE(hasLocation(located));
    auto stripped = withoutLocation(located);
    ASSERT_TRUE(stripped);
    EXPECT_FALSE(hasLocation(*stripped));
    EXPECT_FALSE(withoutLocation({'n', 'o', 't'}));
}

}  // namespace
}  // namespace hx::app
