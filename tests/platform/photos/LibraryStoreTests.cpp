// The library store through a real SQLite database and real files in a temporary HALIDEX_HOME,
// with the sqlite3 command-line tool as an independent check of the database file.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <thread>

#include "platform/image/FileIO.h"
#include "platform/image/Image.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/log/CaptureScope.h"
#include "platform/paths/Paths.h"
#include "platform/photos/store/LibraryStore.h"
#include "tests/platform/photos/SqliteTool.h"
#include "tests/support/RequireTool.h"

namespace {

namespace fs = std::filesystem;
using namespace hx::photos;
using hx::image::PropertyDictionary;
using hx::photos::testing::sqliteTool;

// A small JPEG taken at `exifDate` ("YYYY:MM:DD HH:MM:SS"), or without a date when empty.
std::vector<uint8_t> makeJpeg(int width, int height, const std::string& exifDate,
                              int orientation = 1) {
    std::vector<uint8_t> pixels(size_t(width) * height * 3, 128);
    auto image = hx::image::Image::adopt(hx::image::PixelFormat::RGB8, width, height, pixels);
    PropertyDictionary properties{{hx::image::kCGImagePropertyOrientation, orientation}};
    if (!exifDate.empty()) {
        properties.set(
            hx::image::kCGImagePropertyExifDictionary,
            PropertyDictionary{{hx::image::kCGImagePropertyExifDateTimeOriginal, exifDate}});
    }
    std::vector<uint8_t> bytes;
    auto destination = hx::image::ImageDestination::createWithData(&bytes, "public.jpeg", 1);
    destination->addImage(image, properties);
    EXPECT_TRUE(destination->finalize());
    return bytes;
}

double localTime(int year, int month, int day, int hour) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_isdst = -1;
    return double(std::mktime(&tm));
}

std::vector<std::string> identifiersOf(const std::vector<AssetRecord>& records) {
    std::vector<std::string> ids;
    for (const auto& r : records) ids.push_back(r.localIdentifier);
    return ids;
}

size_t countFiles(const fs::path& folder) {
    size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) ++count;
    }
    return count;
}

class LibraryStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/hx-photos-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        const char* previous = getenv("HALIDEX_HOME");
        if (previous) previousHome_ = previous;
        setenv("HALIDEX_HOME", home_.c_str(), 1);
    }
    void TearDown() override {
        if (previousHome_) {
            setenv("HALIDEX_HOME", previousHome_->c_str(), 1);
        } else {
            unsetenv("HALIDEX_HOME");
        }
        std::error_code ignored;
        fs::remove_all(home_, ignored);
    }

    std::unique_ptr<LibraryStore> openLibrary() {
        std::string error;
        auto store = LibraryStore::open({}, &error);
        EXPECT_TRUE(store) << error;
        return store;
    }

    void expectToolSaysIntact(const LibraryStore& store) {
        auto integrity = sqliteTool(store.databasePath(), "PRAGMA integrity_check");
        if (!integrity) HX_TOOL_MISSING("sqlite3");
        EXPECT_EQ(*integrity, "ok");
        EXPECT_EQ(sqliteTool(store.databasePath(), "PRAGMA user_version"), "3");
    }

    std::string home_;
    std::optional<std::string> previousHome_;
};

TEST_F(LibraryStoreTest, CreatesLibraryUnderDataDirectoryInWalMode) {
    auto store = openLibrary();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->folder(), hx::paths::dataDirectory() + "/library");
    EXPECT_EQ(store->folder().rfind(home_, 0), 0u);
    EXPECT_TRUE(fs::exists(store->databasePath()));
    auto mode = sqliteTool(store->databasePath(), "PRAGMA journal_mode");
    if (!mode) HX_TOOL_MISSING("sqlite3");
    EXPECT_EQ(*mode, "wal");
    expectToolSaysIntact(*store);
}

TEST_F(LibraryStoreTest, AssetsRoundTripWithMetadataSortedBothWays) {
    auto store = openLibrary();
    ASSERT_TRUE(store);
    auto middle = store->createAsset(makeJpeg(40, 30, "2022:06:01 12:00:00", 6));
    auto oldest = store->createAsset(makeJpeg(20, 10, "2020:01:01 08:00:00"));
    auto newest = store->createAsset(makeJpeg(16, 16, "2024:03:15 18:00:00"));
    ASSERT_TRUE(middle && oldest && newest);
    EXPECT_EQ(middle->size(), 36u + 7u);
    EXPECT_EQ(middle->substr(36), "/L0/001");
    EXPECT_NE(*middle, *oldest);

    EXPECT_EQ(identifiersOf(store->assets(SortOrder::Ascending)),
              (std::vector<std::string>{*oldest, *middle, *newest}));
    EXPECT_EQ(identifiersOf(store->assets(SortOrder::Descending)),
              (std::vector<std::string>{*newest, *middle, *oldest}));

    auto record = store->asset(*middle);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->mediaType, MediaType::Image);
    EXPECT_EQ(record->pixelWidth, 40);
    EXPECT_EQ(record->pixelHeight, 30);
    EXPECT_EQ(record->orientation, 6);
    EXPECT_EQ(record->originalTypeIdentifier, "public.jpeg");
    EXPECT_DOUBLE_EQ(record->creationDate, localTime(2022, 6, 1, 12));
    EXPECT_FALSE(store->asset("no such asset"));

    // The original is kept byte for byte where originalPath says.
    auto path = store->originalPath(*oldest);
    ASSERT_TRUE(path);
    EXPECT_EQ(fs::path(*path).parent_path().parent_path(), fs::path(store->folder()) / "originals");
    std::vector<uint8_t> stored;
    ASSERT_TRUE(hx::image::readFileContents(*path, stored, nullptr));
    EXPECT_EQ(stored, makeJpeg(20, 10, "2020:01:01 08:00:00"));
    EXPECT_FALSE(store->originalPath("no such asset"));

    EXPECT_EQ(identifiersOf(store->assetsWithIdentifiers({*newest, "missing", *oldest})),
              (std::vector<std::string>{*newest, *oldest}));
    expectToolSaysIntact(*store);
}

TEST_F(LibraryStoreTest, AssetWithoutExifDateIsDatedWhenAdded) {
    auto store = openLibrary();
    ASSERT_TRUE(store);
    double before = double(std::time(nullptr));
    auto id = store->createAsset(makeJpeg(8, 8, ""));
    ASSERT_TRUE(id);
    auto record = store->asset(*id);
    ASSERT_TRUE(record);
    EXPECT_GE(record->creationDate, before);
    EXPECT_DOUBLE_EQ(record->creationDate, record->addedDate);
}

TEST_F(LibraryStoreTest, AlbumMembershipArrivesWithTheAsset) {
    auto store = openLibrary();
    ASSERT_TRUE(store);
    auto first = store->createAlbum("Halidex");
    auto second = store->createAlbum("Halidex");
    auto other = store->createAlbum("Other");
    ASSERT_TRUE(first && second && other);
    EXPECT_NE(*first, *second);
    EXPECT_EQ(store->albumsWithTitle("Halidex").size(), 2u);
    EXPECT_EQ(store->allAlbums().size(), 3u);

    auto late = store->createAsset(makeJpeg(8, 8, "2023:01:01 00:00:00"), {*first});
    auto early = store->createAsset(makeJpeg(8, 8, "2021:01:01 00:00:00"), {*first, *other});
    auto loose = store->createAsset(makeJpeg(8, 8, "2022:01:01 00:00:00"));
    ASSERT_TRUE(late && early && loose);
    EXPECT_EQ(identifiersOf(store->assetsInAlbum(*first, SortOrder::Descending)),
              (std::vector<std::string>{*late, *early}));
    EXPECT_EQ(identifiersOf(store->assetsInAlbum(*other)), (std::vector<std::string>{*early}));
    EXPECT_TRUE(store->assetsInAlbum(*second).empty());

    // Adding again keeps one membership.
    std::string error;
    ASSERT_TRUE(store->addAssets(*second, {*loose, *early, *loose}, &error)) << error;
    EXPECT_EQ(identifiersOf(store->assetsInAlbum(*second)),
              (std::vector<std::string>{*early, *loose}));
    EXPECT_EQ(store->albumsContaining(*early).size(), 3u);
}

TEST_F(LibraryStoreTest, FailedInsertLeavesNeitherRowNorFile) {
    auto store = openLibrary();
    ASSERT_TRUE(store);
    auto album = store->createAlbum("Kept");
    ASSERT_TRUE(album);
    hx::log::CaptureScope log;
    std::string error;
    auto id = store->createAsset(makeJpeg(8, 8, ""), {*album, "UNKNOWN/L0/040"}, &error);
    EXPECT_FALSE(id);
    EXPECT_EQ(error, "no album with identifier UNKNOWN/L0/040");
    EXPECT_TRUE(store->assets().empty());
    EXPECT_TRUE(store->assetsInAlbum(*album).empty());
    EXPECT_EQ(countFiles(fs::path(store->folder()) / "originals"), 0u);

    // Adding an unknown asset to an album is refused as a whole too.
    auto real = store->createAsset(makeJpeg(8, 8, ""));
    ASSERT_TRUE(real);
    EXPECT_FALSE(store->addAssets(*album, {*real, "UNKNOWN/L0/001"}, &error));
    EXPECT_TRUE(store->assetsInAlbum(*album).empty());
    expectToolSaysIntact(*store);
}

TEST_F(LibraryStoreTest, RefusesBytesThatAreNotAnImage) {
    auto store = openLibrary();
    ASSERT_TRUE(store);
    hx::log::CaptureScope log;
    std::string error;
    std::vector<uint8_t> text{'h', 'e', 'l', 'l', 'o'};
    EXPECT_FALSE(store->createAsset(text, {}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(store->createAsset({}, {}, &error));
    EXPECT_TRUE(store->assets().empty());
    EXPECT_EQ(countFiles(fs::path(store->folder()) / "originals"), 0u);
}

TEST_F(LibraryStoreTest, ReopeningKeepsEverything) {
    std::string asset, album;
    {
        auto store = openLibrary();
        ASSERT_TRUE(store);
        album = store->createAlbum("Trip").value_or("");
        asset = store->createAsset(makeJpeg(12, 9, "2019:07:04 10:00:00"), {album}).value_or("");
        ASSERT_FALSE(album.empty() || asset.empty());
    }
    auto store = openLibrary();
    ASSERT_TRUE(store);
    ASSERT_EQ(store->allAlbums().size(), 1u);
    EXPECT_EQ(store->allAlbums()[0].title, "Trip");
    EXPECT_EQ(identifiersOf(store->assetsInAlbum(album)), (std::vector<std::string>{asset}));
    auto record = store->asset(asset);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->pixelWidth, 12);
    EXPECT_TRUE(fs::exists(store->originalPath(asset).value_or("")));
    expectToolSaysIntact(*store);
}

TEST_F(LibraryStoreTest, RefusesNewerAndDamagedDatabases) {
    std::string database;
    {
        auto store = openLibrary();
        ASSERT_TRUE(store);
        database = store->databasePath();
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 7", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    hx::log::CaptureScope log;
    std::string error;
    EXPECT_FALSE(LibraryStore::open({}, &error));
    EXPECT_EQ(error,
              "the photo library was written by a newer version (schema 7); this program reads up "
              "to 3");

    // A file that is not a database at all.
    fs::remove_all(fs::path(database).parent_path());
    fs::create_directories(fs::path(database).parent_path());
    std::string junk(8192, 'x');
    ASSERT_TRUE(hx::image::writeFileAtomically(
        database, reinterpret_cast<const uint8_t*>(junk.data()), junk.size(), nullptr));
    error.clear();
    EXPECT_FALSE(LibraryStore::open({}, &error));
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;
}

TEST_F(LibraryStoreTest, TwoConnectionsSeeEachOthersWrites) {
    auto writer = openLibrary();
    auto reader = openLibrary();
    ASSERT_TRUE(writer && reader);
    EXPECT_TRUE(reader->assets().empty());
    auto album = writer->createAlbum("Shared");
    ASSERT_TRUE(album);
    auto fromWriter = writer->createAsset(makeJpeg(8, 8, "2020:01:01 00:00:00"), {*album});
    ASSERT_TRUE(fromWriter);
    EXPECT_EQ(identifiersOf(reader->assetsInAlbum(*album)),
              (std::vector<std::string>{*fromWriter}));

    auto fromReader = reader->createAsset(makeJpeg(8, 8, "2021:01:01 00:00:00"), {*album});
    ASSERT_TRUE(fromReader);
    EXPECT_EQ(identifiersOf(writer->assets(SortOrder::Descending)),
              (std::vector<std::string>{*fromReader, *fromWriter}));
    expectToolSaysIntact(*writer);
}

// Runs SQL on the database through SQLite directly, as another program would.
bool runSql(const std::string& database, const std::string& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(database.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

TEST_F(LibraryStoreTest, UpgradesAVersionOneLibraryAndKeepsACopy) {
    std::string folder = hx::paths::dataDirectory() + "/library";
    fs::create_directories(fs::path(folder) / "originals" / "aa");
    std::string database = folder + "/library.sqlite";
    ASSERT_TRUE(runSql(database, R"sql(
        CREATE TABLE assets (local_identifier TEXT PRIMARY KEY NOT NULL,
            media_type INTEGER NOT NULL, creation_date REAL NOT NULL,
            pixel_width INTEGER NOT NULL, pixel_height INTEGER NOT NULL,
            orientation INTEGER NOT NULL, file_name TEXT NOT NULL,
            original_type_identifier TEXT NOT NULL, added_date REAL NOT NULL);
        CREATE INDEX assets_by_creation_date ON assets(creation_date);
        CREATE TABLE albums (local_identifier TEXT PRIMARY KEY NOT NULL, title TEXT NOT NULL,
            creation_date REAL NOT NULL);
        CREATE TABLE album_assets (
            album TEXT NOT NULL REFERENCES albums(local_identifier) ON DELETE CASCADE,
            asset TEXT NOT NULL REFERENCES assets(local_identifier) ON DELETE CASCADE,
            position INTEGER NOT NULL, PRIMARY KEY (album, asset));
        CREATE INDEX album_assets_by_asset ON album_assets(asset);
        INSERT INTO assets VALUES ('AA000000-0000-4000-8000-000000000000/L0/001', 1, 100.0, 8, 6,
            1, 'AA000000-0000-4000-8000-000000000000.jpg', 'public.jpeg', 200.0);
        PRAGMA user_version = 1;
    )sql"));
    auto store = openLibrary();
    ASSERT_TRUE(store);
    auto record = store->asset("AA000000-0000-4000-8000-000000000000/L0/001");
    ASSERT_TRUE(record);
    EXPECT_DOUBLE_EQ(record->modificationDate, 200.0);
    EXPECT_EQ(record->originalFilename, "AA000000-0000-4000-8000-000000000000.jpg");
    EXPECT_EQ(record->revision, 0);
    EXPECT_FALSE(record->adjustment);

    std::string backup = folder + "/library-v1-backup.sqlite";
    ASSERT_TRUE(fs::exists(backup));
    if (auto version = sqliteTool(backup, "PRAGMA user_version")) {
        EXPECT_EQ(*version, "1");
    }
    if (auto rows = sqliteTool(backup, "SELECT COUNT(*) FROM assets")) {
        EXPECT_EQ(*rows, "1");
    }
    expectToolSaysIntact(*store);
}

TEST_F(LibraryStoreTest, ChangeLogNumbersEachTransaction) {
    auto store = openLibrary();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->latestTransaction(), 0);
    auto album = store->createAlbum("Log");
    ASSERT_TRUE(album);
    auto asset = store->createAsset(makeJpeg(8, 8, ""), {*album});
    ASSERT_TRUE(asset);
    auto transactions = store->transactionsAfter(0, 10);
    ASSERT_EQ(transactions.size(), 2u);
    EXPECT_EQ(transactions[1].id, transactions[0].id + 1);
    EXPECT_EQ(transactions[1].origin, store->origin());
    ASSERT_EQ(transactions[0].changes.size(), 1u);
    EXPECT_EQ(transactions[0].changes[0].kind, ChangeKind::Inserted);
    EXPECT_EQ(transactions[0].changes[0].object, *album);
    std::vector<std::pair<ChangeKind, std::string>> second;
    for (const auto& change : transactions[1].changes)
        second.emplace_back(change.kind, change.object);
    EXPECT_EQ(second, (std::vector<std::pair<ChangeKind, std::string>>{
                          {ChangeKind::Inserted, *asset},
                          {ChangeKind::MembershipChanged, *album},
                          {ChangeKind::MembershipChanged, *asset}}));
    EXPECT_EQ(store->transactionsAfter(transactions[0].id, 10).size(), 1u);
    EXPECT_EQ(store->latestTransaction(), transactions[1].id);

    // Entries older than a week go when a store opens.
    std::string database = store->databasePath();
    store.reset();
    ASSERT_TRUE(runSql(database, "UPDATE transactions SET committed_date = 0 WHERE id = " +
                                     std::to_string(transactions[0].id)));
    store = openLibrary();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->earliestTransaction(), transactions[1].id);
    EXPECT_EQ(store->transactionsAfter(0, 10).size(), 1u);
    if (auto orphans = sqliteTool(database,
                                  "SELECT COUNT(*) FROM change_log WHERE "
                                  "transaction_id NOT IN (SELECT id FROM transactions)")) {
        EXPECT_EQ(*orphans, "0");
    }
}

TEST_F(LibraryStoreTest, AWriterWaitsForAnotherConnectionsTransaction) {
    auto store = openLibrary();
    ASSERT_TRUE(store);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(store->databasePath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO albums VALUES ('held', 'Held', 0)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    // The other program holds the write lock for a while, then commits.
    std::thread holder([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    hx::log::CaptureScope log;
    std::string error;
    auto asset = store->createAsset(makeJpeg(8, 8, ""), {"held"}, &error);
    holder.join();
    sqlite3_close(other);
    EXPECT_TRUE(asset) << error;
    EXPECT_TRUE(log.messages().empty()) << log.messages().front();
    EXPECT_EQ(identifiersOf(store->assetsInAlbum("held")), (std::vector<std::string>{*asset}));
}

TEST_F(LibraryStoreTest, BatchEditsRevertsAndDeletesKeepFilesAndRowsInStep) {
    auto store = openLibrary();
    ASSERT_TRUE(store);
    auto asset = store->createAsset(makeJpeg(8, 8, ""));
    ASSERT_TRUE(asset);
    ChangeBatch edit;
    edit.edits.push_back({*asset,
                          std::make_shared<const std::vector<uint8_t>>(makeJpeg(4, 2, "")),
                          "org.example",
                          "2",
                          {9}});
    ASSERT_TRUE(store->commit(edit).committed);
    auto edited = store->asset(*asset);
    ASSERT_TRUE(edited && edited->adjustment);
    EXPECT_EQ(edited->adjustment->pixelWidth, 4);
    EXPECT_EQ(edited->revision, 1);
    std::string render = store->renderedPath(*edited).value_or("");
    EXPECT_TRUE(fs::exists(render));

    // A batch that fails half-way changes nothing and leaves no new file.
    ChangeBatch failing;
    failing.edits.push_back({*asset,
                             std::make_shared<const std::vector<uint8_t>>(makeJpeg(6, 6, "")),
                             "org.example",
                             "3",
                             {}});
    failing.deletions.push_back("UNKNOWN/L0/001");
    CommitOutcome outcome = store->commit(failing);
    EXPECT_FALSE(outcome.committed);
    EXPECT_EQ(outcome.failure, CommitFailure::NotFound);
    EXPECT_EQ(store->asset(*asset)->adjustment->formatVersion, "2");
    EXPECT_EQ(countFiles(fs::path(store->folder()) / "renders"), 1u);

    ChangeBatch revert;
    revert.reverts.push_back(*asset);
    ASSERT_TRUE(store->commit(revert).committed);
    EXPECT_FALSE(store->asset(*asset)->adjustment);
    EXPECT_FALSE(fs::exists(render));

    std::string original = store->originalPath(*asset).value_or("");
    ChangeBatch remove;
    remove.deletions.push_back(*asset);
    ASSERT_TRUE(store->commit(remove).committed);
    EXPECT_FALSE(store->asset(*asset));
    EXPECT_FALSE(fs::exists(original));
    expectToolSaysIntact(*store);
}

}  // namespace
