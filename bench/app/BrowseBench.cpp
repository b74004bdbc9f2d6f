// The photo browser on a large library of 12-megapixel JPEGs, in real time on the CPU backend:
//   - opening the grid to its first screen of thumbnails drawn, cold (the first open after
//     start: no picture in memory), and when its slide-in ends: the thumbnails are drawn into
//     the grid while it slides in;
//   - scrolling one screen of new thumbnails, per screen (median of 8);
//   - the viewer's page step: the photo shown (the neighbour loaded ahead), and the new
//     neighbour loaded behind it (median of 8);
//   - re-filtering a 12 MP photo with a monochrome film (film 3) to its saved asset.
//
//   build/bench/app/hx_browse_bench [PHOTOS]
//
// The library of PHOTOS (10000) photos is made once and kept beside the program
// (browse-bench-PHOTOS/), since making it takes a long time.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/browse/hxFilterViewController.h"
#include "app/browse/hxThumbViewController.h"
#include "app/browse/mPvViewController.h"
#include "app/camera/hxAppDelegate.h"
#include "platform/device/DeviceProfile.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/photos/Photos.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/host/QtApplication.h"
#include "platform/ui/host/UIRenderer.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/window/UIApplication.h"

namespace {

using namespace hx;
using namespace hx::app;
using Stopwatch = std::chrono::steady_clock;

double millisecondsSince(Stopwatch::time_point start) {
    return std::chrono::duration<double, std::milli>(Stopwatch::now() - start).count();
}

bool pump(const std::function<bool()>& done, double seconds = 60) {
    return RunLoop::main().runUntil(done, seconds);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// A 4032 x 3024 JPEG of soft gradients and edges, about as costly to decode as a photo.
std::vector<uint8_t> bigPhoto(int seed) {
    const int width = 4032, height = 3024;
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = pixels.data() + size_t(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            row[3 * x] = uint8_t((x * 255 / width + seed * 37) & 0xFF);
            row[3 * x + 1] = uint8_t((y * 255 / height) ^ ((x / 64 + y / 64 + seed) & 1 ? 40 : 0));
            row[3 * x + 2] = uint8_t(((x + y) / 16 + seed * 11) & 0xFF);
        }
    }
    auto picture = image::Image::adopt(image::PixelFormat::RGB8, width, height, std::move(pixels));
    std::vector<uint8_t> bytes;
    auto destination = image::ImageDestination::createWithData(&bytes, "public.jpeg", 1);
    destination->addImage(picture, {});
    destination->finalize();
    return bytes;
}

void fillLibrary(int photos) {
    auto library = photos::PhotoLibrary::sharedPhotoLibrary();
    int have = int(photos::Asset::fetchAssetsWithOptions(nullptr).count());
    if (have >= photos) return;
    std::printf("making the library: %d photos to add\n", photos - have);
    std::vector<std::vector<uint8_t>> sources;
    for (int i = 0; i < 8; ++i) sources.push_back(bigPhoto(i));
    while (have < photos) {
        const int batch = std::min(50, photos - have);
        library->performChangesAndWait([&] {
            for (int i = 0; i < batch; ++i) {
                auto request = photos::AssetCreationRequest::creationRequestForAsset();
                request->addResourceWithType(photos::AssetResourceType::Photo,
                                             sources[size_t(have + i) % sources.size()], nullptr);
            }
        });
        have += batch;
        if (have % 500 == 0) std::printf("  %d\n", have);
    }
    // As the camera's saves do, every photo has its thumbnail kept before the grid opens.
    library->waitUntilThumbnailsKept();
}

// Whether every cell on screen shows its picture.
bool screenDrawn(hxThumbViewController& grid, UIWindow& window) {
    UIRenderer::layoutTree(window);
    auto cells = grid._thumbCollectionView->visibleCells();
    if (cells.empty()) return false;
    for (const auto& cell : cells) {
        auto thumb = std::dynamic_pointer_cast<hxThumbCollectionCell>(cell);
        if (!thumb || !thumb->thumbImage.lock()->image()) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int photos = argc > 1 ? std::max(60, std::atoi(argv[1])) : 10000;
    const std::filesystem::path home =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() /
        ("browse-bench-" + std::to_string(photos));
    ::setenv("HALIDEX_HOME", home.c_str(), 1);
    ::setenv("HALIDEX_CAMERA_AUTH", "authorized", 1);
    ::setenv("HALIDEX_PHOTOS_AUTH", "authorized", 1);
    ::setenv("HALIDEX_LOCATION_AUTH", "denied", 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
#ifdef HX_BENCH_RESOURCES_DIR
    ::setenv("HALIDEX_RESOURCES", HX_BENCH_RESOURCES_DIR, 0);
#endif
    RunLoop::main().bindToCurrentThread();
    ui::ensureQtApplication();
    DeviceProfile::setCurrent(*DeviceProfile::named("phone"));
    fillLibrary(photos);

    auto delegate = std::make_shared<hxAppDelegate>();
    auto& application = UIApplication::sharedApplication();
    application.setDelegate(delegate);
    application.finishLaunching();
    HeadlessHost host(delegate->window());
    auto& window = *delegate->window();
    hxViewController& camera = *delegate->viewController();
    auto start = Stopwatch::now();
    pump([&] { return camera._thumbViewConvtoller->pvphotos.size() >= size_t(photos); });
    std::printf("library of %zu photos listed %.1f ms after launch\n",
                camera._thumbViewConvtoller->pvphotos.size(), millisecondsSince(start));
    pump([] { return false; }, 1.0);
    auto& grid = *camera._thumbViewConvtoller;

    // Cold grid: the first open after start.
    start = Stopwatch::now();
    camera.pvAction(nullptr);
    pump([&] { return screenDrawn(grid, window); }, 30);
    std::printf("grid open, first screen drawn (cold): %.1f ms (%zu thumbnails)\n",
                millisecondsSince(start), grid._thumbCollectionView->visibleCells().size());
    pump([&] { return !camera._nav->isBeingPresented(); }, 5);
    std::printf("  slide-in ended: %.1f ms\n", millisecondsSince(start));
    {
        auto statistics = photos::ImageManager::defaultManager().cacheStatistics();
        std::printf("  picture cache: %llu hits, %llu misses\n",
                    static_cast<unsigned long long>(statistics.hits),
                    static_cast<unsigned long long>(statistics.misses));
    }

    std::vector<double> scrolls;
    for (int i = 0; i < 8; ++i) {
        auto& view = *grid._thumbCollectionView;
        const CGPoint offset = view.contentOffset();
        const double next = offset.y + view.bounds().height();
        if (next > view.maximumContentOffset().y) break;
        start = Stopwatch::now();
        view.setContentOffset(CGPointMake(offset.x, next));
        pump([&] { return screenDrawn(grid, window); }, 30);
        scrolls.push_back(millisecondsSince(start));
    }
    std::printf("one screen of new thumbnails: median %.1f ms (%.1f to %.1f)\n", median(scrolls),
                *std::min_element(scrolls.begin(), scrolls.end()),
                *std::max_element(scrolls.begin(), scrolls.end()));

    // The viewer at the middle of the library.
    auto& viewer = *grid.viewer();
    grid.collectionViewDidSelectItemAtIndexPath(*grid._thumbCollectionView,
                                                NSIndexPath::indexPathForItem(photos / 2, 0));
    pump([&] { return viewer._imageView1->image() && viewer._imageView2->image(); }, 30);
    pump([] { return false; }, 0.6);
    std::vector<double> shown, behind;
    for (int i = 0; i < 8; ++i) {
        pump([&] { return viewer._imageView2->image() != nullptr; }, 30);
        auto& pager = *viewer._pvScrollView;
        start = Stopwatch::now();
        pager.setContentOffset(CGPointMake(pager.contentSize().width - pager.frame().width(), 0));
        if (viewer._imageView1->image()) shown.push_back(millisecondsSince(start));
        pump([&] { return viewer._imageView2->image() != nullptr; }, 30);
        behind.push_back(millisecondsSince(start));
    }
    std::printf(
        "viewer page step, photo shown: median %.1f ms; next neighbour loaded: median "
        "%.1f ms (%.1f to %.1f)\n",
        median(shown), median(behind), *std::min_element(behind.begin(), behind.end()),
        *std::max_element(behind.begin(), behind.end()));

    // Re-filter with film 3 to the saved asset.
    viewer.filterAction(nullptr);
    auto filter =
        std::dynamic_pointer_cast<hxFilterViewController>(viewer.presentedViewController());
    if (!filter) {
        std::printf("no re-filter screen\n");
        return 1;
    }
    pump([&] { return filter->sourceImage() != nullptr; }, 30);
    const size_t before = photos::Asset::fetchAssetsWithOptions(nullptr).count();
    start = Stopwatch::now();
    filter->_selectedFilm = 3;
    filter->loadAndFilter();
    const double rendered = millisecondsSince(start);
    filter->okButtonAction(nullptr);
    pump([&] { return photos::Asset::fetchAssetsWithOptions(nullptr).count() > before; }, 30);
    std::printf("re-filter of a 12 MP photo with film 3: rendered %.1f ms, saved asset %.1f ms\n",
                rendered, millisecondsSince(start));
    // The viewer reloads its pages once the screen has gone: those decodes end before the
    // program does.
    pump([&] { return !filter->presentingViewController(); }, 10);
    pump([&] { return viewer._imageView1->image() && viewer._imageView2->image(); }, 30);
    pump([] { return false; }, 1.0);
    application.terminate();
    // The screens go now, not among the program's static objects, which may already be gone.
    filter.reset();
    application.resetForTesting();
    return 0;
}
