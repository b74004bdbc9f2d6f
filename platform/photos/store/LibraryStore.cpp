#include "platform/photos/store/LibraryStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "platform/image/FileIO.h"
#include "platform/image/PropertyDictionary.h"
#include "platform/image/io/ImageSource.h"
#include "platform/log/Log.h"
#include "platform/paths/Paths.h"
#include "platform/photos/store/Database.h"
#include "platform/photos/store/LibrarySchema.h"
#include "platform/photos/store/LocalIdentifier.h"

namespace hx::photos {
namespace {

constexpr const char* kDatabaseName = "library.sqlite";
constexpr const char* kOriginalsFolder = "originals";
constexpr int kBusyTimeoutMilliseconds = 5000;

constexpr const char* kAssetColumns =
    "a.local_identifier, a.media_type, a.creation_date, a.pixel_width, a.pixel_height, "
    "a.orientation, a.file_name, a.original_type_identifier, a.added_date";

bool fail(std::string* error, std::string message) {
    if (error) *error = std::move(message);
    return false;
}

double now() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Exif dates ("2026:12:07 14:03:27") carry no zone; like the camera that wrote them, they are
// read as local time.
std::optional<double> parseExifDate(const std::string& text) {
    std::tm tm{};
    if (std::sscanf(text.c_str(), "%d:%d:%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec) != 6) {
        return std::nullopt;
    }
    if (tm.tm_year < 1 || tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1) return std::nullopt;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    std::time_t time = std::mktime(&tm);
    if (time == std::time_t(-1)) return std::nullopt;
    return double(time);
}

std::string extensionForType(const std::string& type) {
    if (type == "public.jpeg") return "jpg";
    if (type == "public.png") return "png";
    if (type == "public.tiff") return "tiff";
    if (type == "public.heic") return "heic";
    return "dat";
}

std::string lowercase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Makes a rename inside `folder` survive a crash.
void syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

const char* orderWord(SortOrder order) {
    return order == SortOrder::Ascending ? "ASC" : "DESC";
}

}  // namespace

std::string LibraryStore::defaultFolder() {
    return paths::dataDirectory() + "/library";
}

std::unique_ptr<LibraryStore> LibraryStore::open(const std::string& requestedFolder,
                                                 std::string* error) {
    std::string folder = requestedFolder.empty() ? defaultFolder() : requestedFolder;
    std::string message;
    if (!paths::ensureDirectory(folder, &message) ||
        !paths::ensureDirectory(folder + "/" + kOriginalsFolder, &message)) {
        hxLog("photo library: cannot create %@: %@", folder.c_str(), message.c_str());
        fail(error, "cannot create the photo library folder " + folder + ": " + message);
        return nullptr;
    }
    std::string path = folder + "/" + kDatabaseName;
    auto db = Database::open(path, error);
    if (!db) return nullptr;
    db->setBusyTimeout(kBusyTimeoutMilliseconds);

    std::optional<std::string> check = db->queryText("PRAGMA quick_check");
    if (check != "ok") {
        std::string reason = check ? *check : db->lastError();
        // A statement that failed outright has already been logged.
        if (check) hxLog("photo library: %@ is damaged: %@", path.c_str(), reason.c_str());
        fail(error, "the photo library database " + path + " is damaged: " + reason);
        return nullptr;
    }
    if (db->queryText("PRAGMA journal_mode = WAL") != "wal" ||
        !db->execute("PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON")) {
        fail(error, "cannot configure the photo library database " + path + ": " + db->lastError());
        return nullptr;
    }
    if (!upgradeLibrarySchema(*db, error)) {
        if (error) hxLog("photo library: %@", error->c_str());
        return nullptr;
    }
    return std::unique_ptr<LibraryStore>(new LibraryStore(std::move(folder), std::move(db)));
}

LibraryStore::LibraryStore(std::string folder, std::unique_ptr<Database> db)
    : folder_(std::move(folder)), db_(std::move(db)) {}

LibraryStore::~LibraryStore() = default;

std::string LibraryStore::databasePath() const {
    return folder_ + "/" + kDatabaseName;
}

std::string LibraryStore::originalPathFor(const std::string& fileName) const {
    return folder_ + "/" + kOriginalsFolder + "/" + lowercase(fileName.substr(0, 2)) + "/" +
           fileName;
}

std::optional<std::string> LibraryStore::createAsset(const std::vector<uint8_t>& bytes,
                                                     const std::vector<std::string>& albums,
                                                     std::string* error) {
    auto source = image::ImageSource::createWithData(bytes);
    if (!source || source->count() == 0) {
        fail(error, "the data is not an image this library can store");
        return std::nullopt;
    }
    image::PropertyDictionary properties = source->copyPropertiesAtIndex(0);
    AssetRecord record;
    record.localIdentifier = makeUUID() + kAssetIdentifierSuffix;
    record.mediaType = MediaType::Image;
    record.pixelWidth = int(properties.integer(image::kCGImagePropertyPixelWidth).value_or(0));
    record.pixelHeight = int(properties.integer(image::kCGImagePropertyPixelHeight).value_or(0));
    record.orientation = int(properties.integer(image::kCGImagePropertyOrientation).value_or(1));
    record.addedDate = now();
    auto taken = properties.dictionary(image::kCGImagePropertyExifDictionary)
                     .string(image::kCGImagePropertyExifDateTimeOriginal);
    std::optional<double> takenDate = taken ? parseExifDate(*taken) : std::nullopt;
    record.creationDate = takenDate.value_or(record.addedDate);
    record.originalTypeIdentifier = source->type();
    record.fileName =
        uuidOfLocalIdentifier(record.localIdentifier) + "." + extensionForType(source->type());

    std::string path = originalPathFor(record.fileName);
    std::string folder = std::filesystem::path(path).parent_path().string();
    std::string message;
    if (!paths::ensureDirectory(folder, &message) ||
        !image::writeFileAtomically(path, bytes.data(), bytes.size(), &message)) {
        hxLog("photo library: cannot write %@: %@", path.c_str(), message.c_str());
        fail(error, "cannot write the original " + path + ": " + message);
        return std::nullopt;
    }
    syncFolder(folder);

    std::lock_guard lock(mutex_);
    auto inserted = [&]() {
        Transaction transaction(*db_);
        if (!transaction.begun()) return fail(error, "cannot begin: " + db_->lastError());
        auto insert = db_->prepare(
            "INSERT INTO assets (local_identifier, media_type, creation_date, pixel_width, "
            "pixel_height, orientation, file_name, original_type_identifier, added_date) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        if (!insert || !insert->bind(1, record.localIdentifier) ||
            !insert->bind(2, int64_t(record.mediaType)) || !insert->bind(3, record.creationDate) ||
            !insert->bind(4, int64_t(record.pixelWidth)) ||
            !insert->bind(5, int64_t(record.pixelHeight)) ||
            !insert->bind(6, int64_t(record.orientation)) || !insert->bind(7, record.fileName) ||
            !insert->bind(8, record.originalTypeIdentifier) || !insert->bind(9, record.addedDate) ||
            !insert->run()) {
            return fail(error, "cannot add the asset: " + db_->lastError());
        }
        for (const std::string& album : albums) {
            if (!insertMemberships(album, {record.localIdentifier}, error)) return false;
        }
        return transaction.commit() || fail(error, "cannot commit: " + db_->lastError());
    }();
    if (!inserted) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return std::nullopt;
    }
    return record.localIdentifier;
}

bool LibraryStore::insertMemberships(const std::string& album,
                                     const std::vector<std::string>& assets, std::string* error) {
    auto insert = db_->prepare(
        "INSERT OR IGNORE INTO album_assets (album, asset, position) "
        "VALUES (?1, ?2, (SELECT COALESCE(MAX(position) + 1, 0) FROM album_assets "
        "WHERE album = ?1))");
    if (!insert) return fail(error, "cannot add to the album: " + db_->lastError());
    for (const std::string& asset : assets) {
        if (!insert->reset() || !insert->bind(1, album) || !insert->bind(2, asset) ||
            !insert->run()) {
            return fail(error,
                        "cannot add " + asset + " to the album " + album + ": " + db_->lastError());
        }
    }
    return true;
}

std::optional<std::string> LibraryStore::createAlbum(const std::string& title, std::string* error) {
    std::lock_guard lock(mutex_);
    std::string identifier = makeUUID() + kAlbumIdentifierSuffix;
    auto insert = db_->prepare(
        "INSERT INTO albums (local_identifier, title, creation_date) VALUES (?, ?, ?)");
    if (!insert || !insert->bind(1, identifier) || !insert->bind(2, title) ||
        !insert->bind(3, now()) || !insert->run()) {
        fail(error, "cannot create the album: " + db_->lastError());
        return std::nullopt;
    }
    return identifier;
}

bool LibraryStore::addAssets(const std::string& album, const std::vector<std::string>& assets,
                             std::string* error) {
    std::lock_guard lock(mutex_);
    Transaction transaction(*db_);
    if (!transaction.begun()) return fail(error, "cannot begin: " + db_->lastError());
    if (!insertMemberships(album, assets, error)) return false;
    return transaction.commit() || fail(error, "cannot commit: " + db_->lastError());
}

std::vector<AssetRecord> LibraryStore::queryAssets(const std::string& sql,
                                                   const std::string* parameter) {
    std::vector<AssetRecord> records;
    auto query = db_->prepare(sql);
    if (!query || (parameter && !query->bind(1, *parameter))) return records;
    while (query->step() == Statement::Step::Row) {
        AssetRecord& r = records.emplace_back();
        r.localIdentifier = query->text(0);
        r.mediaType = MediaType(query->integer(1));
        r.creationDate = query->real(2);
        r.pixelWidth = int(query->integer(3));
        r.pixelHeight = int(query->integer(4));
        r.orientation = int(query->integer(5));
        r.fileName = query->text(6);
        r.originalTypeIdentifier = query->text(7);
        r.addedDate = query->real(8);
    }
    return records;
}

std::vector<AlbumRecord> LibraryStore::queryAlbums(const std::string& sql,
                                                   const std::string* parameter) {
    std::vector<AlbumRecord> records;
    auto query = db_->prepare(sql);
    if (!query || (parameter && !query->bind(1, *parameter))) return records;
    while (query->step() == Statement::Step::Row) {
        records.push_back({query->text(0), query->text(1), query->real(2)});
    }
    return records;
}

std::vector<AssetRecord> LibraryStore::assets(SortOrder order) {
    std::lock_guard lock(mutex_);
    std::string o = orderWord(order);
    return queryAssets(std::string("SELECT ") + kAssetColumns + " FROM assets a ORDER BY " +
                           "a.creation_date " + o + ", a.local_identifier " + o,
                       nullptr);
}

std::vector<AssetRecord> LibraryStore::assetsInAlbum(const std::string& album, SortOrder order) {
    std::lock_guard lock(mutex_);
    std::string o = orderWord(order);
    return queryAssets(std::string("SELECT ") + kAssetColumns +
                           " FROM assets a JOIN album_assets m ON m.asset = a.local_identifier "
                           "WHERE m.album = ? ORDER BY a.creation_date " +
                           o + ", a.local_identifier " + o,
                       &album);
}

std::vector<AssetRecord> LibraryStore::assetsWithIdentifiers(
    const std::vector<std::string>& identifiers) {
    std::lock_guard lock(mutex_);
    std::vector<AssetRecord> records;
    // One read transaction, so the answer is a consistent snapshot.
    if (!db_->execute("BEGIN")) return records;
    std::string sql =
        std::string("SELECT ") + kAssetColumns + " FROM assets a WHERE a.local_identifier = ?";
    for (const std::string& identifier : identifiers) {
        for (AssetRecord& r : queryAssets(sql, &identifier)) records.push_back(std::move(r));
    }
    db_->execute("COMMIT");
    return records;
}

std::optional<AssetRecord> LibraryStore::asset(const std::string& identifier) {
    std::lock_guard lock(mutex_);
    auto records = queryAssets(
        std::string("SELECT ") + kAssetColumns + " FROM assets a WHERE a.local_identifier = ?",
        &identifier);
    if (records.empty()) return std::nullopt;
    return std::move(records.front());
}

std::vector<AlbumRecord> LibraryStore::allAlbums() {
    std::lock_guard lock(mutex_);
    return queryAlbums(
        "SELECT local_identifier, title, creation_date FROM albums ORDER BY creation_date, rowid",
        nullptr);
}

std::vector<AlbumRecord> LibraryStore::albumsWithTitle(const std::string& title) {
    std::lock_guard lock(mutex_);
    return queryAlbums(
        "SELECT local_identifier, title, creation_date FROM albums WHERE title = ? "
        "ORDER BY creation_date, rowid",
        &title);
}

std::vector<AlbumRecord> LibraryStore::albumsContaining(const std::string& asset) {
    std::lock_guard lock(mutex_);
    return queryAlbums(
        "SELECT l.local_identifier, l.title, l.creation_date FROM albums l "
        "JOIN album_assets m ON m.album = l.local_identifier WHERE m.asset = ? "
        "ORDER BY l.creation_date, l.rowid",
        &asset);
}

std::optional<std::string> LibraryStore::originalPath(const std::string& identifier) {
    std::lock_guard lock(mutex_);
    auto query = db_->prepare("SELECT file_name FROM assets WHERE local_identifier = ?");
    if (!query || !query->bind(1, identifier) || query->step() != Statement::Step::Row) {
        return std::nullopt;
    }
    return originalPathFor(query->text(0));
}

}  // namespace hx::photos
