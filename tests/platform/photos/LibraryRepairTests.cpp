// The library store after crashes and damage: files an interrupted writer left, rows whose file
// went missing, a database file emptied or lost beside its originals, and the write-ahead log
// when the last store closes. Real SQLite and real files in a temporary folder; the sqlite3
// tool reads the database independently.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "platform/image/FileIO.h"
#include "platform/image/Image.h"
#include "platform/image/PropertyDictionary.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/log/CaptureScope.h"
#include "platform/photos/store/ImageFileInfo.h"
#include "platform/photos/store/LibraryLock.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/photos/store/LocalIdentifier.h"
#include "platform/photos/store/PicturesFolder.h"
#include "tests/platform/photos/SqliteTool.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

namespace fs = std::filesystem;
using namespace hx::photos;
using hx::photos::testing::sqliteTool;

std::vector<uint8_t> makeJpeg(int width, int height, const std::string& exifDate) {
    std::vector<uint8_t> pixels(size_t(width) * height * 3, 90);
    auto image = hx::image::Image::adopt(hx::image::PixelFormat::RGB8, width, height, pixels);
    hx::image::PropertyDictionary properties;
    if (!exifDate.empty()) {
        properties.set(hx::image::kCGImagePropertyExifDictionary,
                       hx::image::PropertyDictionary{
                           {hx::image::kCGImagePropertyExifDateTimeOriginal, exifDate}});
    }
    std::vector<uint8_t> bytes;
    auto destination = hx::image::ImageDestination::createWithData(&bytes, "public.jpeg", 1);
    destination->addImage(image, properties);
    EXPECT_TRUE(destination->finalize());
    return bytes;
}

void writeBytes(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_TRUE(hx::image::writeFileAtomically(path, reinterpret_cast<const uint8_t*>(text.data()),
                                               text.size(), nullptr));
}

// The sqlite3 tool's answer; under CI a missing tool is a failure, elsewhere the check is left.
std::optional<std::string> sqlite(const std::string& database, const std::string& statement) {
    auto answer = sqliteTool(database, statement);
    const char* ci = std::getenv("CI");
    if (!answer && ci && std::string(ci) == "true") ADD_FAILURE() << "sqlite3 is not installed";
    return answer;
}

class LibraryRepairTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/hx-photos-repair-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = std::string(pattern) + "/library";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(fs::path(folder_).parent_path(), ignored);
    }

    std::unique_ptr<LibraryStore> open(OpenFailure* failure = nullptr, std::string* error = nullptr,
                                       bool sweep = true) {
        OpenOptions options;
        options.sweep = sweep;
        std::string message;
        auto store = LibraryStore::open(folder_, options, error ? error : &message, failure);
        return store;
    }

    std::string database() const { return folder_ + "/library.sqlite"; }
    std::string originals() const { return folder_ + "/originals"; }

    std::set<std::string> filesUnder(const std::string& area) const {
        std::set<std::string> files;
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(folder_ + "/" + area, ignored)) {
            if (entry.is_regular_file()) files.insert(entry.path().string());
        }
        return files;
    }

    std::string folder_;
};

TEST_F(LibraryRepairTest, OpeningSweepsWhatAnInterruptedWriterLeftButNeverAWritersFiles) {
    std::string kept;
    {
        auto store = open();
        ASSERT_TRUE(store);
        auto asset = store->createAsset(makeJpeg(8, 8, ""));
        ASSERT_TRUE(asset);
        kept = store->originalPath(*asset).value_or("");
    }
    // What a writer killed after writing its files and before committing leaves.
    std::string orphan = originals() + "/ab/AB000000-0000-4000-8000-000000000000.jpg";
    std::string temporary = originals() + "/cd/.CD000000-0000-4000-8000-000000000000.jpg.tmp-1-2-3";
    std::string render = folder_ + "/renders/ef/EF000000-0000-4000-8000-000000000000-1234abcd.jpg";
    writeBytes(orphan, "orphan");
    writeBytes(temporary, "half");
    writeBytes(render, "render");

    {
        // Another process is between writing its files and committing them: nothing is swept.
        auto writer = LibraryLock::open(folder_, nullptr);
        ASSERT_TRUE(writer && writer->lockWriting(0));
        auto store = open();
        ASSERT_TRUE(store);
        EXPECT_TRUE(fs::exists(orphan) && fs::exists(temporary) && fs::exists(render));
    }

    hx::log::CaptureScope log;
    auto store = open();
    ASSERT_TRUE(store);
    EXPECT_FALSE(fs::exists(orphan));
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_FALSE(fs::exists(render));
    EXPECT_EQ(filesUnder("originals"), std::set<std::string>{kept});
    EXPECT_EQ(store->countAssets(), 1);
}

TEST_F(LibraryRepairTest, CheckReportsMissingAndUnnamedFilesAndRepairRemovesThem) {
    std::string lost, kept, edited;
    {
        auto store = open();
        ASSERT_TRUE(store);
        lost = store->createAsset(makeJpeg(8, 8, "")).value_or("");
        kept = store->createAsset(makeJpeg(8, 8, "")).value_or("");
        edited = store->createAsset(makeJpeg(8, 8, "")).value_or("");
        ChangeBatch edit;
        edit.edits.push_back({edited,
                              std::make_shared<const std::vector<uint8_t>>(makeJpeg(4, 4, "")),
                              "f",
                              "1",
                              {}});
        ASSERT_TRUE(store->commit(edit).committed);
        fs::remove(store->originalPath(lost).value_or(""));
        fs::remove(*store->renderedPath(*store->asset(edited)));
    }
    std::string orphan = originals() + "/12/12000000-0000-4000-8000-000000000000.png";
    std::string stray = originals() + "/notes.txt";  // not where the library puts a file
    writeBytes(orphan, "orphan");
    writeBytes(stray, "stray");

    auto store = open(nullptr, nullptr, /*sweep=*/false);
    ASSERT_TRUE(store);
    LibraryCheckReport report;
    std::string error;
    ASSERT_TRUE(store->check({}, &report, &error)) << error;
    ASSERT_EQ(report.missingFiles.size(), 2u);
    std::set<std::pair<std::string, bool>> missing;
    for (const auto& file : report.missingFiles) missing.insert({file.asset, file.rendered});
    EXPECT_EQ(missing, (std::set<std::pair<std::string, bool>>{{lost, false}, {edited, true}}));
    EXPECT_EQ(std::set<std::string>(report.unnamedFiles.begin(), report.unnamedFiles.end()),
              (std::set<std::string>{orphan, stray}));
    EXPECT_TRUE(report.removedFiles.empty());
    EXPECT_TRUE(fs::exists(orphan)) << "a check without repair removes nothing";
    EXPECT_EQ(store->countAssets(), 3);

    CheckOptions repair;
    repair.removeFiles = true;
    repair.repairRows = true;
    LibraryCheckReport repaired;
    ASSERT_TRUE(store->check(repair, &repaired, &error)) << error;
    EXPECT_EQ(repaired.removedAssets, std::vector<std::string>{lost});
    EXPECT_EQ(repaired.revertedAssets, std::vector<std::string>{edited});
    EXPECT_FALSE(fs::exists(orphan) || fs::exists(stray));
    EXPECT_FALSE(store->asset(lost));
    EXPECT_TRUE(store->asset(kept));
    EXPECT_FALSE(store->asset(edited)->adjustment);

    LibraryCheckReport after;
    ASSERT_TRUE(store->check({}, &after, &error));
    EXPECT_TRUE(after.missingFiles.empty() && after.unnamedFiles.empty() &&
                after.temporaryFiles.empty());
    if (auto integrity = sqlite(database(), "PRAGMA integrity_check")) {
        EXPECT_EQ(*integrity, "ok");
    }
}

TEST_F(LibraryRepairTest, AnEmptyUnreadableOrLostDatabaseIsRefusedAndRebuiltFromTheOriginals) {
    std::string dated, undated;
    double undatedCreation = 0;
    {
        auto store = open();
        ASSERT_TRUE(store);
        dated = store->createAsset(makeJpeg(40, 30, "2021:07:04 10:20:30")).value_or("");
        undated = store->createAsset(makeJpeg(16, 8, "")).value_or("");
        ASSERT_TRUE(store->createAlbum("Trip"));
        undatedCreation = store->asset(undated)->creationDate;
    }
    auto originalFiles = filesUnder("originals");
    ASSERT_EQ(originalFiles.size(), 2u);

    hx::log::CaptureScope log;
    // Emptied, as a full disk or a bad copy leaves it.
    ASSERT_EQ(::truncate(database().c_str(), 0), 0);
    OpenFailure failure = OpenFailure::None;
    std::string error;
    EXPECT_FALSE(open(&failure, &error));
    EXPECT_EQ(failure, OpenFailure::Damaged);
    EXPECT_NE(error.find("is damaged: the file is empty"), std::string::npos) << error;
    EXPECT_EQ(fs::file_size(database()), 0u) << "the refused file is left as it was";
    EXPECT_EQ(filesUnder("originals"), originalFiles);

    // Unreadable: something that cannot be opened as a file.
    fs::rename(database(), database() + ".empty");
    fs::create_directory(database());
    EXPECT_FALSE(open(&failure, &error));
    EXPECT_EQ(failure, OpenFailure::Damaged);
    EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
    fs::remove(database());

    // Lost, beside its originals: a new empty library would make them all orphans.
    EXPECT_FALSE(open(&failure, &error));
    EXPECT_EQ(failure, OpenFailure::Damaged);
    EXPECT_NE(error.find("missing while originals lie in the folder"), std::string::npos);
    EXPECT_EQ(filesUnder("originals"), originalFiles);

    fs::rename(database() + ".empty", database());
    LibraryCheckReport report;
    auto store = LibraryStore::rebuild(folder_, &report, &error);
    ASSERT_TRUE(store) << error;
    EXPECT_EQ(report.rebuiltAssets.size(), 2u);
    ASSERT_FALSE(report.damagedDatabase.empty());
    EXPECT_TRUE(fs::exists(report.damagedDatabase));
    EXPECT_EQ(fs::file_size(report.damagedDatabase), 0u);
    // The assets keep their identifiers, sizes and dates; albums are gone with the database.
    auto rebuilt = store->asset(dated);
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(rebuilt->pixelWidth, 40);
    EXPECT_TRUE(store->asset(undated));
    EXPECT_EQ(store->asset(dated)->creationDate, parseExifDate("2021:07:04 10:20:30").value_or(0));
    EXPECT_GT(store->asset(undated)->creationDate, undatedCreation - 24 * 3600);
    EXPECT_TRUE(store->allAlbums().empty());
    EXPECT_EQ(filesUnder("originals"), originalFiles);
    // A library that reads well is never rebuilt.
    EXPECT_FALSE(LibraryStore::rebuild(folder_, &report, &error));
    EXPECT_NE(error.find("is not damaged"), std::string::npos);
    store.reset();
    if (auto count = sqlite(database(), "SELECT COUNT(*) FROM assets")) {
        EXPECT_EQ(*count, "2");
    }
}

TEST_F(LibraryRepairTest, TheLastStoreToCloseLeavesTheWholeLibraryInTheDatabaseFile) {
    auto first = open();
    auto second = open();
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(first->createAsset(makeJpeg(8, 8, "")));
    ASSERT_TRUE(second->createAsset(makeJpeg(8, 8, "")));
    std::string wal = database() + "-wal";
    first.reset();
    // Another store still reads: the log may stay.
    EXPECT_EQ(second->countAssets(), 2);
    second->checkpointIfLast();
    EXPECT_TRUE(!fs::exists(wal) || fs::file_size(wal) == 0);
    second.reset();
    EXPECT_TRUE(!fs::exists(wal) || fs::file_size(wal) == 0);

    // library.sqlite alone, copied elsewhere, holds both assets.
    std::string copy = fs::path(folder_).parent_path().string() + "/copy.sqlite";
    fs::copy_file(database(), copy);
    if (auto count = sqlite(copy, "SELECT COUNT(*) FROM assets")) {
        EXPECT_EQ(*count, "2");
    }
}

TEST_F(LibraryRepairTest, FindOrCreateAlbumMakesATitleOnceButNewAlbumsMayRepeatIt) {
    auto store = open();
    ASSERT_TRUE(store);
    bool created = false;
    auto first = store->findOrCreateAlbum("Trip", &created);
    ASSERT_TRUE(first);
    EXPECT_TRUE(created);
    EXPECT_EQ(store->findOrCreateAlbum("Trip", &created), first);
    EXPECT_FALSE(created);
    EXPECT_EQ(store->latestTransaction(), 1) << "finding makes no change";
    auto second = store->createAlbum("Trip");
    ASSERT_TRUE(second);
    EXPECT_EQ(store->albumsWithTitle("Trip").size(), 2u);
    // With two, the last made is the one found.
    EXPECT_EQ(store->findOrCreateAlbum("Trip"), second);
}

}  // namespace

namespace {

TEST_F(LibraryRepairTest, AnOriginalMovedByHandIsFoundAgainByItsSizeAndHash) {
    auto bytes = makeJpeg(24, 16, "2020:02:02 02:02:02");
    std::string moved, deleted, from, to;
    {
        auto store = open();
        ASSERT_TRUE(store);
        moved = store->createAsset(bytes).value_or("");
        deleted = store->createAsset(makeJpeg(8, 8, "")).value_or("");
        auto record = store->asset(moved);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->fileSize, int64_t(bytes.size()));
        EXPECT_EQ(record->contentHash, LibraryFiles::contentHash(bytes));
        EXPECT_NE(record->contentHash, LibraryFiles::contentHash(makeJpeg(8, 8, "")));
        from = store->originalPath(*record);
        EXPECT_EQ(LibraryFiles::contentHashOfFile(from), record->contentHash);
        fs::remove(*store->originalPath(deleted));
    }
    // Renamed and put in another folder by hand.
    to = originals() + "/by hand/holiday.jpg";
    fs::create_directories(fs::path(to).parent_path());
    fs::rename(from, to);

    {
        auto store = open(nullptr, nullptr, /*sweep=*/false);
        ASSERT_TRUE(store);
        LibraryCheckReport report;
        ASSERT_TRUE(store->check({}, &report));
        ASSERT_EQ(report.relocatedFiles.size(), 1u);
        EXPECT_EQ(report.relocatedFiles[0].asset, moved);
        EXPECT_EQ(report.relocatedFiles[0].from, from);
        EXPECT_EQ(report.relocatedFiles[0].to, to);
        EXPECT_FALSE(report.relocationsRecorded);
        ASSERT_EQ(report.missingFiles.size(), 1u);
        EXPECT_EQ(report.missingFiles[0].asset, deleted);
        EXPECT_TRUE(report.unnamedFiles.empty()) << "the moved file is not a stray";
        EXPECT_EQ(store->originalPath(moved), from) << "a check alone records nothing";
    }

    // The next open finds it again (and does not sweep it); the deleted one stays reported.
    auto store = open();
    ASSERT_TRUE(store);
    EXPECT_TRUE(fs::exists(to));
    auto record = store->asset(moved);
    ASSERT_TRUE(record);
    EXPECT_EQ(store->originalPath(*record), to);
    EXPECT_EQ(record->revision, 1) << "pictures cached from the old path are read again";
    LibraryCheckReport after;
    ASSERT_TRUE(store->check({}, &after));
    EXPECT_TRUE(after.relocatedFiles.empty());
    ASSERT_EQ(after.missingFiles.size(), 1u);
    EXPECT_EQ(after.missingFiles[0].asset, deleted);

    // Deleting the asset removes the file where it now lies.
    ChangeBatch remove;
    remove.deletions.push_back(moved);
    ASSERT_TRUE(store->commit(remove).committed);
    EXPECT_FALSE(fs::exists(to));
}

TEST_F(LibraryRepairTest, AStoredPathNeverLeadsOutOfTheLibraryFolder) {
    auto store = open();
    ASSERT_TRUE(store);
    auto asset = store->createAsset(makeJpeg(8, 8, ""));
    ASSERT_TRUE(asset);
    std::string inPlace = store->originalPath(*asset).value_or("");
    for (const char* tampered : {"../../etc/passwd", "/etc/passwd", "originals/../../x.jpg"}) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(database().c_str(), &db), SQLITE_OK);
        std::string statement = std::string("UPDATE assets SET original_path = '") + tampered + "'";
        ASSERT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        EXPECT_EQ(store->originalPath(*asset), inPlace) << tampered;
    }
}

}  // namespace

namespace {

// A library whose new originals go to a camera folder of its own pictures folder.
class CameraFolderTest : public LibraryRepairTest {
  protected:
    std::unique_ptr<LibraryStore> openWithCamera() {
        OpenOptions options;
        options.cameraFolder = camera();
        std::string error;
        auto store = LibraryStore::open(folder_, options, &error);
        EXPECT_TRUE(store) << error;
        return store;
    }
    std::string camera() const {
        return fs::path(folder_).parent_path().string() + "/Pictures/Halidex Camera";
    }
    std::string save(LibraryStore& store, const std::vector<uint8_t>& bytes,
                     const std::string& originalFilename = {}, std::string* error = nullptr) {
        ChangeBatch batch;
        std::string identifier = makeUUID() + kAssetIdentifierSuffix;
        batch.newAssets.push_back(
            {identifier, std::make_shared<const std::vector<uint8_t>>(bytes), originalFilename});
        CommitOutcome outcome = store.commit(batch);
        if (error) *error = outcome.message;
        return outcome.committed ? identifier : std::string();
    }
};

TEST_F(CameraFolderTest, NewOriginalsGetReadableNamesByYearAndMonth) {
    auto store = openWithCamera();
    ASSERT_TRUE(store);
    auto taken = makeJpeg(8, 8, "2021:07:04 10:20:30");
    std::string first = save(*store, taken);
    std::string sameSecond = save(*store, makeJpeg(9, 9, "2021:07:04 10:20:30"));
    std::string imported = save(*store, makeJpeg(10, 10, "2022:01:02 03:04:05"), "IMG_0001.JPG");
    std::string again = save(*store, makeJpeg(11, 11, "2022:01:02 03:04:05"), "IMG_0001.JPG");
    // A name that is not a plain file name is not kept.
    std::string odd = save(*store, makeJpeg(12, 12, "2022:01:02 03:04:05"), "../../escape.jpg");
    ASSERT_FALSE(first.empty() || sameSecond.empty() || imported.empty() || again.empty() ||
                 odd.empty());
    EXPECT_EQ(store->originalPath(first), camera() + "/2021/07/HLDX_20210704_102030_000.jpg");
    EXPECT_EQ(store->originalPath(sameSecond), camera() + "/2021/07/HLDX_20210704_102030_001.jpg");
    EXPECT_EQ(store->originalPath(imported), camera() + "/2022/01/IMG_0001.JPG");
    EXPECT_EQ(store->originalPath(again), camera() + "/2022/01/IMG_0001_1.JPG");
    EXPECT_EQ(store->originalPath(odd), camera() + "/2022/01/escape.jpg");
    std::vector<uint8_t> onDisk;
    ASSERT_TRUE(hx::image::readFileContents(*store->originalPath(first), onDisk, nullptr));
    EXPECT_EQ(onDisk, taken);
    EXPECT_EQ(store->asset(imported)->originalFilename, "IMG_0001.JPG");
    EXPECT_TRUE(filesUnder("originals").empty()) << "nothing under the library's own folder";
    EXPECT_FALSE(fs::exists(folder_ + "/pending") && !fs::is_empty(folder_ + "/pending"));

    // The library's own delete removes the file from the pictures folder; a file of the
    // user's beside it stays through opening and repair.
    std::string mine = camera() + "/2021/07/holiday.jpg";
    writeBytes(mine, "the user's");
    ChangeBatch remove;
    remove.deletions.push_back(first);
    ASSERT_TRUE(store->commit(remove).committed);
    EXPECT_FALSE(fs::exists(camera() + "/2021/07/HLDX_20210704_102030_000.jpg"));
    store.reset();
    store = openWithCamera();
    LibraryCheckReport report;
    CheckOptions repair;
    repair.removeFiles = repair.repairRows = true;
    ASSERT_TRUE(store->check(repair, &report));
    EXPECT_TRUE(report.unnamedFiles.empty() && report.missingFiles.empty());
    EXPECT_TRUE(fs::exists(mine));
    if (auto integrity = sqlite(database(), "PRAGMA integrity_check")) {
        EXPECT_EQ(*integrity, "ok");
    }
}

TEST_F(CameraFolderTest, AKilledWritersFilesInThePicturesFolderGoAndTheUsersStay) {
    {
        auto store = openWithCamera();
        ASSERT_TRUE(store);
    }
    // What a writer killed between naming its file and committing leaves: its pending record,
    // the named file, a temporary file; and a user's file now at a path the record names.
    std::string named = camera() + "/2024/05/HLDX_20240506_070809_000.jpg";
    std::string temporary = camera() + "/2024/05/.HLDX_20240506_070809_000.jpg.tmp-1-0";
    std::string users = camera() + "/2024/05/replaced.jpg";
    writeBytes(named, "ours");
    writeBytes(temporary, "half");
    writeBytes(users, "the user's");
    struct stat ours {};
    ASSERT_EQ(::stat(named.c_str(), &ours), 0);
    fs::create_directories(folder_ + "/pending");
    std::string record = "T " + temporary + "\nF " + std::to_string(ours.st_dev) + " " +
                         std::to_string(ours.st_ino) + " " + named + "\nF " +
                         std::to_string(ours.st_dev) + " " + std::to_string(ours.st_ino + 1000) +
                         " " + users + "\n";
    writeBytes(folder_ + "/pending/1234-abcdef-0", record);

    auto store = openWithCamera();
    ASSERT_TRUE(store);
    EXPECT_FALSE(fs::exists(named));
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_TRUE(fs::exists(users)) << "not the file the record names";
    EXPECT_TRUE(fs::is_empty(folder_ + "/pending"));
}

TEST_F(CameraFolderTest, AnUnwritablePicturesFolderFailsTheSaveAndLosesNothing) {
    auto store = openWithCamera();
    ASSERT_TRUE(store);
    std::string kept = save(*store, makeJpeg(8, 8, "2021:07:04 10:20:30"));
    ASSERT_FALSE(kept.empty());
    // The year's folder cannot be made: a file stands where it would go.
    writeBytes(camera() + "/2023", "in the way");
    hx::log::CaptureScope log;
    std::string error;
    EXPECT_TRUE(save(*store, makeJpeg(8, 8, "2023:03:03 03:03:03"), {}, &error).empty());
    EXPECT_NE(error.find(camera() + "/2023"), std::string::npos) << error;
    EXPECT_EQ(store->countAssets(), 1);
    EXPECT_TRUE(fs::exists(*store->originalPath(kept)));
    LibraryCheckReport report;
    ASSERT_TRUE(store->check({}, &report));
    EXPECT_TRUE(report.missingFiles.empty() && report.unnamedFiles.empty() &&
                report.temporaryFiles.empty());
}

TEST_F(CameraFolderTest, ThePicturesFolderComesFromTheUserDirsFile) {
    hx::testing::ScopedEnvironment environment;
    std::string home = fs::path(folder_).parent_path().string();
    environment.set("HALIDEX_HOME", home.c_str());
    EXPECT_EQ(picturesFolder(), home + "/Pictures");
    writeBytes(home + "/config/user-dirs.dirs",
               "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
               "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    EXPECT_EQ(picturesFolder(), home + "/Bilder");
    EXPECT_EQ(cameraFolder(), home + "/Bilder/Halidex Camera");
    writeBytes(home + "/config/user-dirs.dirs", "XDG_PICTURES_DIR=\"/srv/photos/\"\n");
    EXPECT_EQ(picturesFolder(), "/srv/photos");
    // The home folder itself means none.
    writeBytes(home + "/config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/\"\n");
    EXPECT_EQ(picturesFolder(), home + "/Pictures");
}

}  // namespace
