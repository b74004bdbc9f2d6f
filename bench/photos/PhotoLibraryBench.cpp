// The photo library's speed: saving 1,000 photos one change each (as the camera does), fetching
// and listing 10,000 assets sorted by date, a 100 × 100 aspect-fill thumbnail of a
// 12-megapixel JPEG with an empty cache and from the cache (next to decoding the whole photo),
// and how soon a change committed through one connection reaches an observer of another.
// Libraries live in a temporary folder and go at the end.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "bench/RatioReporter.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/photos/Photos.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/runloop/Semaphore.h"

namespace {

using namespace hx;
using namespace hx::photos;
namespace fs = std::filesystem;

const fs::path& workFolder() {
    static fs::path folder = [] {
        fs::path p = fs::temp_directory_path() / ("hx-photos-bench-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return folder;
}

std::shared_ptr<PhotoLibrary> freshLibrary(const std::string& name) {
    fs::path folder = workFolder() / name;
    fs::remove_all(folder);
    PhotoLibrary::Options options;
    options.enforcesAuthorization = false;
    return PhotoLibrary::open(folder.string(), options);
}

std::vector<uint8_t> jpeg(int width, int height) {
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1103515245 + 12345;
            uint8_t* p = &pixels[(size_t(y) * width + x) * 3];
            p[0] = uint8_t((x * 255 / width + (noise >> 28)) & 0xFF);
            p[1] = uint8_t((y * 255 / height + (noise >> 27)) & 0xFF);
            p[2] = uint8_t(((x ^ y) >> 3) & 0xFF);
        }
    }
    auto image = image::Image::adopt(image::PixelFormat::RGB8, width, height, std::move(pixels));
    std::vector<uint8_t> bytes;
    auto destination = image::ImageDestination::createWithData(&bytes, "public.jpeg", 1);
    destination->addImage(image, {{image::kCGImagePropertyOrientation, 1}});
    destination->finalize();
    return bytes;
}

std::string saveAsset(PhotoLibrary& library, const std::vector<uint8_t>& bytes) {
    std::string identifier;
    library.performChangesAndWait([&] {
        auto request = AssetCreationRequest::creationRequestForAsset();
        request->addResourceWithType(AssetResourceType::Photo, bytes, nullptr);
        identifier = request->placeholderForCreatedAsset()->localIdentifier();
    });
    return identifier;
}

void insertPhotos(benchmark::State& state) {
    auto photo = jpeg(320, 240);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto library = freshLibrary("insert-" + std::to_string(round++));
        state.ResumeTiming();
        for (int i = 0; i < 1000; ++i) saveAsset(*library, photo);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

// 10,000 assets: one real photo through the library, and 9,999 more rows added in one statement
// (listing reads rows only, so they need no files of their own), dated over a week in a shuffled
// order.
std::shared_ptr<PhotoLibrary> tenThousandAssets() {
    static std::shared_ptr<PhotoLibrary> library = [] {
        auto made = freshLibrary("ten-thousand");
        saveAsset(*made, jpeg(64, 48));
        sqlite3* db = nullptr;
        sqlite3_open(made->store()->databasePath().c_str(), &db);
        sqlite3_busy_timeout(db, 5000);
        char* error = nullptr;
        sqlite3_exec(
            db,
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 9999) "
            "INSERT INTO assets (local_identifier, media_type, creation_date, pixel_width, "
            "pixel_height, orientation, file_name, original_type_identifier, added_date, "
            "modification_date, revision, original_filename) "
            "SELECT printf('%08X-0000-4000-8000-%012X/L0/001', i, i), 1, "
            "1.7e9 + (i * 7919 % 10000) * 60.0, 4032, 3024, 1, 'X.jpg', 'public.jpeg', "
            "1.7e9, 1.7e9, 0, 'IMG.jpg' FROM n",
            nullptr, nullptr, &error);
        if (error) std::fprintf(stderr, "cannot add the rows: %s\n", error);
        sqlite3_free(error);
        sqlite3_close(db);
        PhotoLibrary::setSharedPhotoLibrary(made);
        return made;
    }();
    return library;
}

void fetchAndList(benchmark::State& state) {
    tenThousandAssets();
    FetchOptions options;
    options.sortDescriptors.push_back(SortDescriptor::sortDescriptorWithKey("creationDate", false));
    size_t listed = 0;
    for (auto _ : state) {
        auto result = Asset::fetchAssetsWithOptions(&options);
        std::string lines;
        lines.reserve(result.count() * 64);
        char line[128];
        for (const auto& asset : result) {
            std::snprintf(line, sizeof line, "%s\t%.0f\t%dx%d\n", asset->localIdentifier().c_str(),
                          asset->creationDate(), asset->pixelWidth(), asset->pixelHeight());
            lines += line;
        }
        listed = result.count();
        benchmark::DoNotOptimize(lines.data());
    }
    state.counters["assets"] = double(listed);
}

AssetRef twelveMegapixelPhoto() {
    static AssetRef asset = [] {
        static auto library = freshLibrary("twelve-megapixels");
        std::string identifier = saveAsset(*library, jpeg(4000, 3000));
        PhotoLibrary::setSharedPhotoLibrary(library);
        return Asset::fetchAssetsWithLocalIdentifiers({identifier}, nullptr).firstObject();
    }();
    return asset;
}

ImageRequestOptions synchronousExact() {
    ImageRequestOptions options;
    options.synchronous = true;
    options.deliveryMode = ImageRequestOptionsDeliveryMode::HighQualityFormat;
    options.resizeMode = ImageRequestOptionsResizeMode::Exact;
    return options;
}

image::ImageRef requestImage(ImageManager& manager, const AssetRef& asset, Size size) {
    ImageRequestOptions options = synchronousExact();
    image::ImageRef delivered;
    manager.requestImageForAsset(
        asset, size, ImageContentMode::AspectFill, &options,
        [&](image::ImageRef image, const ImageResultInfo&) { delivered = std::move(image); });
    return delivered;
}

void thumbnailCold(benchmark::State& state) {
    AssetRef asset = twelveMegapixelPhoto();
    for (auto _ : state) {
        ImageManager manager;  // an empty cache every time
        benchmark::DoNotOptimize(requestImage(manager, asset, {100, 100}));
    }
    // Decoding time follows the file's size more than its pixel count.
    std::error_code ignored;
    auto bytes =
        fs::file_size(asset->photoLibrary()->store()->originalPath(asset->record()), ignored);
    state.counters["file_MB"] = double(bytes) / 1e6;
}

void thumbnailCached(benchmark::State& state) {
    AssetRef asset = twelveMegapixelPhoto();
    CachingImageManager manager;
    requestImage(manager, asset, {100, 100});
    for (auto _ : state) benchmark::DoNotOptimize(requestImage(manager, asset, {100, 100}));
}

void fullSizeDecode(benchmark::State& state) {
    AssetRef asset = twelveMegapixelPhoto();
    for (auto _ : state) {
        ImageManager manager;
        benchmark::DoNotOptimize(requestImage(manager, asset, PHImageManagerMaximumSize));
    }
}

// From the start of a change in one connection to its arrival at an observer of another: what
// another process sees.
void changeReachesAnotherConnection(benchmark::State& state) {
    auto observed = freshLibrary("observed");
    auto writer = PhotoLibrary::open(observed->folder());
    struct Signal : PhotoLibraryChangeObserver {
        Semaphore heard;
        void photoLibraryDidChange(const Change&) override { heard.signal(); }
    } signal;
    observed->registerChangeObserver(&signal);
    LibraryAuthorization::set(observed->folder(), AuthorizationStatus::Authorized);
    for (auto _ : state) {
        writer->performChangesAndWait(
            [] { AssetCollectionChangeRequest::creationRequestForAssetCollectionWithTitle("x"); });
        if (!signal.heard.waitFor(5)) state.SkipWithError("the change never arrived");
    }
    observed->unregisterChangeObserver(&signal);
}

// Opening a library of 10,000 originals, each a file of its own: with the sweep of files an
// interrupted writer left (every row against every file) and without it.
const std::string& tenThousandFiles() {
    static std::string folder = [] {
        std::string made = (workFolder() / "ten-thousand-files").string();
        { LibraryStore::open(made); }
        sqlite3* db = nullptr;
        sqlite3_open((made + "/library.sqlite").c_str(), &db);
        sqlite3_exec(
            db,
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
            "INSERT INTO assets (local_identifier, media_type, creation_date, pixel_width, "
            "pixel_height, orientation, file_name, original_type_identifier, added_date, "
            "modification_date, revision, original_filename) "
            "SELECT printf('%08X-0000-4000-8000-%012X/L0/001', i * 2654435761 % 4294967296, i), "
            "1, 1.7e9, 8, 8, 1, printf('%08X-0000-4000-8000-%012X.jpg', "
            "i * 2654435761 % 4294967296, i), 'public.jpeg', 1.7e9, 1.7e9, 0, 'IMG.jpg' FROM n",
            nullptr, nullptr, nullptr);
        sqlite3_close(db);
        auto store = LibraryStore::open(made);
        for (const AssetRecord& record : store->assets()) {
            fs::path path = store->originalPath(record);
            fs::create_directories(path.parent_path());
            std::FILE* file = std::fopen(path.c_str(), "wb");
            if (file) {
                std::fputs("x", file);
                std::fclose(file);
            }
        }
        return made;
    }();
    return folder;
}

void openLibrary(benchmark::State& state, bool sweep) {
    const std::string& folder = tenThousandFiles();
    OpenOptions options;
    options.sweep = sweep;
    for (auto _ : state) {
        auto store = LibraryStore::open(folder, options, nullptr);
        if (!store) state.SkipWithError("the library did not open");
    }
}

#define HX_BENCH(fn, name) BENCHMARK(fn)->Name(name)->Unit(benchmark::kMillisecond)->UseRealTime()

HX_BENCH(insertPhotos, "insert_1000_photos")->Iterations(2);
HX_BENCH(fetchAndList, "fetch_and_list_10000_by_date");
HX_BENCH(thumbnailCold, "thumbnail_100_fill_12mp/cold");
HX_BENCH(thumbnailCached, "thumbnail_100_fill_12mp/cached");
HX_BENCH(fullSizeDecode, "full_size_12mp");
HX_BENCH(changeReachesAnotherConnection, "change_seen_by_another_connection");
void openWithSweep(benchmark::State& state) {
    openLibrary(state, true);
}
void openWithoutSweep(benchmark::State& state) {
    openLibrary(state, false);
}
HX_BENCH(openWithSweep, "open_10000_originals/sweep");
HX_BENCH(openWithoutSweep, "open_10000_originals/no_sweep");

}  // namespace

int main(int argc, char** argv) {
    if (!bench::initialize(argc, argv)) return 1;
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printFigures();
    std::printf("\nTargets (medians):\n");
    reporter.printFigure("fetch_and_list_10000_by_date", "under 50 ms");
    reporter.printFigure("change_seen_by_another_connection", "under 200 ms");
    reporter.printFigure("thumbnail_100_fill_12mp/cold", "-");
    reporter.printFigure("thumbnail_100_fill_12mp/cached", "-");
    reporter.printFigure("open_10000_originals/sweep", "under 500 ms (the sweep's time limit)");
    std::printf("\nMedian as a multiple of the median of decoding the whole photo:\n");
    reporter.printRatio("thumbnail_100_fill_12mp/cold", "full_size_12mp", "well under 1x");
    reporter.printRatio("thumbnail_100_fill_12mp/cached", "full_size_12mp", "-");
    PhotoLibrary::setSharedPhotoLibrary(nullptr);
    std::error_code ec;
    fs::remove_all(workFolder(), ec);
    benchmark::Shutdown();
    return 0;
}
