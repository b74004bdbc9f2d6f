// halidex-library run as a user runs it, on a library in a temporary HALIDEX_HOME, with sqlite3
// and exiftool as independent checks of what it wrote, when they are installed.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "platform/image/FileIO.h"
#include "platform/photos/Photos.h"
#include "platform/photos/store/LibraryStore.h"
#include "tests/platform/photos/PhotosTestSupport.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"

namespace {

namespace fs = std::filesystem;
using namespace hx::photos;
using hx::photos::testing::makePicture;
using hx::photos::testing::waitUntil;

using hx::testsupport::linesOf;
using hx::testsupport::shellQuoted;
using Result = hx::testsupport::SeparateOutputs;

std::vector<std::string> fieldsOf(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
    if (!line.empty() && line.back() == '\t') fields.push_back("");
    return fields;
}

// Output of a shell command, or nothing when the program is not installed.
std::optional<std::string> checker(const std::string& program, const std::string& arguments) {
    if (!hx::testsupport::toolInstalled(program)) return std::nullopt;
    std::string output = hx::testsupport::runCommand(program + " " + arguments + " 2>&1").output;
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

class HalidexLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/hx-library-tool-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        environment_.set("HALIDEX_HOME", home_.c_str());
        environment_.set(LibraryAuthorization::kEnvironmentVariable, nullptr);
    }
    void TearDown() override {
        hx::photos::testing::closeLibrary(PhotoLibrary::setSharedPhotoLibrary(nullptr));
        hx::RunLoop::main().discardPendingWork();
        environment_.restore();
        hx::photos::testing::removeFolder(home_);
    }

    Result run(const std::string& arguments) {
        return hx::testsupport::runCommandSeparately(std::string(HX_LIBRARY_TOOL) + " " +
                                                     arguments);
    }

    std::string writeFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = home_ + "/" + name;
        fs::create_directories(fs::path(path).parent_path());
        EXPECT_TRUE(hx::image::writeFileAtomically(path, bytes.data(), bytes.size(), nullptr));
        return path;
    }

    std::string database() const { return LibraryStore::defaultFolder() + "/library.sqlite"; }

    std::optional<std::string> sql(const std::string& statement) {
        return checker("sqlite3", shellQuoted(database()) + " " + shellQuoted(statement));
    }

    std::string home_;
    hx::testing::ScopedEnvironment environment_;
};

TEST_F(HalidexLibrary, ImportsListsNewestFirstAndTheDatabaseAgrees) {
    std::string jpeg = writeFile("taken.jpg", makePicture(40, 30, "2021:07:04 10:20:30", 6));
    std::string png = writeFile("undated.png", makePicture(16, 8, "", 1, "public.png"));
    Result imported = run("import --album 'Halidex Camera' " + jpeg + " " + png);
    ASSERT_EQ(imported.status, 0) << imported.err;
    auto importedLines = linesOf(imported.out);
    ASSERT_EQ(importedLines.size(), 2u);
    std::string jpegId = fieldsOf(importedLines[0])[0];
    std::string pngId = fieldsOf(importedLines[1])[0];
    EXPECT_EQ(fieldsOf(importedLines[0])[1], jpeg);

    Result listed = run("list");
    ASSERT_EQ(listed.status, 0) << listed.err;
    auto lines = linesOf(listed.out);
    ASSERT_EQ(lines.size(), 2u);
    // The picture without a date is dated when it came in, so it is the newest.
    auto newest = fieldsOf(lines[0]), oldest = fieldsOf(lines[1]);
    ASSERT_EQ(newest.size(), 4u);
    EXPECT_EQ(newest[0], pngId);
    EXPECT_EQ(newest[2], "16x8");
    EXPECT_EQ(oldest[0], jpegId);
    EXPECT_EQ(oldest[1], "2021-07-04 10:20:30");
    EXPECT_EQ(oldest[2], "30x40") << "sizes are upright";
    EXPECT_EQ(oldest[3], "Halidex Camera");

    // A second import finds the album by its title instead of making another.
    std::string third = writeFile("third.jpg", makePicture(8, 8, "2019:01:01 00:00:00"));
    ASSERT_EQ(run("import --album 'Halidex Camera' " + third).status, 0);
    Result albums = run("albums");
    ASSERT_EQ(albums.status, 0);
    auto albumLines = linesOf(albums.out);
    ASSERT_EQ(albumLines.size(), 1u);
    EXPECT_EQ(fieldsOf(albumLines[0])[1], "3");
    EXPECT_EQ(fieldsOf(albumLines[0])[2], "Halidex Camera");
    Result inAlbum = run("list --album 'Halidex Camera'");
    EXPECT_EQ(linesOf(inAlbum.out).size(), 3u);
    EXPECT_EQ(fieldsOf(linesOf(inAlbum.out)[2])[1], "2019-01-01 00:00:00");
    // Each imported photo has its thumbnail kept before the import ends, ready for the grid.
    size_t thumbnails = 0;
    for (const auto& entry : fs::recursive_directory_iterator(home_ + "/cache/thumbnails"))
        thumbnails += entry.path().extension() == ".jpg";
    EXPECT_EQ(thumbnails, 3u);

    if (auto integrity = sql("PRAGMA integrity_check")) {
        EXPECT_EQ(*integrity, "ok");
        EXPECT_EQ(sql("SELECT COUNT(*) FROM assets"), "3");
        EXPECT_EQ(sql("SELECT COUNT(*) FROM album_assets"), "3");
        EXPECT_EQ(sql("SELECT original_filename || ' ' || orientation FROM assets WHERE "
                      "local_identifier = '" +
                      jpegId + "'"),
                  "taken.jpg 6");
        EXPECT_EQ(sql("PRAGMA journal_mode"), "wal");
    }
}

TEST_F(HalidexLibrary, ExportsTheOriginalByteForByte) {
    auto bytes = makePicture(40, 30, "2021:07:04 10:20:30", 6);
    std::string source = writeFile("IMG_0001.JPG", bytes);
    Result imported = run("import " + source);
    ASSERT_EQ(imported.status, 0) << imported.err;
    std::string identifier = fieldsOf(linesOf(imported.out)[0])[0];
    fs::create_directories(home_ + "/out");

    Result exported = run("export " + shellQuoted(identifier) + " " + home_ + "/out");
    ASSERT_EQ(exported.status, 0) << exported.err;
    std::string path = home_ + "/out/IMG_0001.JPG";
    EXPECT_EQ(linesOf(exported.out), (std::vector<std::string>{path}));
    std::vector<uint8_t> copy;
    ASSERT_TRUE(hx::image::readFileContents(path, copy, nullptr));
    EXPECT_EQ(copy, bytes);
    if (auto tags =
            checker("exiftool", "-s3 -Orientation -DateTimeOriginal " + shellQuoted(path))) {
        EXPECT_EQ(*tags, "Rotate 90 CW\n2021:07:04 10:20:30");
    }

    EXPECT_EQ(run("export " + shellQuoted(identifier) + " " + home_ + "/out").status, 2)
        << "an existing file is not overwritten";
    EXPECT_EQ(run("export " + shellQuoted(identifier) + " " + source).status, 2);
    EXPECT_EQ(run("export 00000000-0000-0000-0000-000000000000 " + home_).status, 2);

    // A folder that does not exist yet is made.
    Result intoNew = run("export " + shellQuoted(identifier) + " " + home_ + "/new/deeper");
    ASSERT_EQ(intoNew.status, 0) << intoNew.err;
    EXPECT_TRUE(fs::exists(home_ + "/new/deeper/IMG_0001.JPG"));
}

TEST_F(HalidexLibrary, ShowsAndRevertsAnEditMadeThroughTheLibrary) {
    Result imported = run("import " + writeFile("a.jpg", makePicture(64, 48)));
    ASSERT_EQ(imported.status, 0) << imported.err;
    std::string identifier = fieldsOf(linesOf(imported.out)[0])[0];

    // An editor, in this process, commits an edit to the same library.
    {
        std::string error;
        auto library = PhotoLibrary::open({}, &error);
        ASSERT_TRUE(library) << error;
        ASSERT_TRUE(LibraryAuthorization::set(library->folder(), AuthorizationStatus::Authorized));
        PhotoLibrary::setSharedPhotoLibrary(library);
        AssetRef asset =
            Asset::fetchAssetsWithLocalIdentifiers({identifier}, nullptr).firstObject();
        ASSERT_TRUE(asset);
        std::shared_ptr<const ContentEditingInput> input;
        asset->requestContentEditingInputWithOptions(
            nullptr, [&](std::shared_ptr<const ContentEditingInput> delivered,
                         const ContentEditingInputInfo&) { input = delivered; });
        ASSERT_TRUE(waitUntil([&] { return input != nullptr; }));
        auto output = std::make_shared<ContentEditingOutput>(*input);
        output->setAdjustmentData(std::make_shared<const AdjustmentData>(
            "org.halidex.filter", "1.0", std::vector<uint8_t>{1, 2, 3}));
        auto rendered = makePicture(32, 24);
        ASSERT_TRUE(hx::image::writeFileAtomically(output->renderedContentURL(), rendered.data(),
                                                   rendered.size(), nullptr));
        ASSERT_TRUE(library->performChangesAndWait([&] {
            AssetChangeRequest::changeRequestForAsset(*asset)->setContentEditingOutput(output);
        }));
        PhotoLibrary::setSharedPhotoLibrary(nullptr);
        asset.reset();
        hx::photos::testing::closeLibrary(std::move(library));
    }

    // The identifier works without its suffix too.
    std::string uuid = identifier.substr(0, identifier.find('/'));
    Result shown = run("show " + uuid);
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("identifier: " + identifier + "\n"), std::string::npos);
    EXPECT_NE(shown.out.find("pixel size: 32x24\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("original: a.jpg (public.jpeg, 64x48, orientation 1)\n"),
              std::string::npos);
    EXPECT_NE(shown.out.find("adjustment format: org.halidex.filter\n"), std::string::npos);
    EXPECT_NE(shown.out.find("adjustment version: 1.0\n"), std::string::npos);
    EXPECT_NE(shown.out.find("adjustment data: 3 bytes 010203\n"), std::string::npos);

    Result reverted = run("revert " + shellQuoted(identifier));
    ASSERT_EQ(reverted.status, 0) << reverted.err;
    Result after = run("show " + shellQuoted(identifier));
    EXPECT_NE(after.out.find("edited: no\n"), std::string::npos);
    EXPECT_NE(after.out.find("pixel size: 64x48\n"), std::string::npos);
    if (sql("PRAGMA integrity_check")) {
        EXPECT_EQ(sql("SELECT COUNT(*) FROM adjustments"), "0");
    }
    Result again = run("revert " + shellQuoted(identifier));
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, identifier + " has no edit\n");
}

TEST_F(HalidexLibrary, AuthorizationIsASettingOfTheLibrary) {
    EXPECT_EQ(run("auth").out, "not-determined\n");
    Result denied = run("auth denied");
    ASSERT_EQ(denied.status, 0) << denied.err;
    EXPECT_EQ(run("auth").out, "denied\n");
    EXPECT_EQ(PhotoLibrary::authorizationStatus(), AuthorizationStatus::Denied);
    ASSERT_EQ(run("auth limited").status, 0);
    EXPECT_EQ(PhotoLibrary::authorizationStatus(), AuthorizationStatus::Limited);
    // The tool is the library's owner: it lists whatever the setting says.
    ASSERT_EQ(run("import " + writeFile("a.jpg", makePicture(8, 8))).status, 0);
    ASSERT_EQ(run("auth denied").status, 0);
    EXPECT_EQ(linesOf(run("list").out).size(), 1u);

    Result bad = run("auth maybe");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("\"maybe\" is not a status"), std::string::npos);
    EXPECT_EQ(run("auth not-determined").status, 0);
    EXPECT_EQ(run("auth").out, "not-determined\n");
}

TEST_F(HalidexLibrary, BadInputGivesAMessageAndStatusTwo) {
    std::string text = writeFile("notes.txt", {'h', 'i'});
    std::string good = writeFile("good.jpg", makePicture(8, 8));
    for (const std::string& arguments :
         {std::string(""), std::string("bogus"), std::string("import"),
          std::string("import --album"), "import " + good + " " + home_ + "/missing.jpg",
          "import " + good + " " + text, std::string("list extra"),
          std::string("list --album Nowhere"), std::string("show"),
          std::string("show 00000000-0000-0000-0000-000000000000/L0/001"),
          std::string("revert nothing"), std::string("export only-one")}) {
        Result result = run(arguments);
        EXPECT_EQ(result.status, 2) << "halidex-library " << arguments;
        EXPECT_NE(result.err.find("halidex-library"), std::string::npos) << arguments;
    }
    // Nothing of a rejected import was stored.
    EXPECT_EQ(run("list").out, "");
    Result help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: halidex-library"), std::string::npos);
}

// The bytes of a JPEG with the frame size in its SOF header replaced.
std::vector<uint8_t> withJpegFrameSize(std::vector<uint8_t> jpeg, uint16_t width, uint16_t height) {
    for (size_t at = 2; at + 9 < jpeg.size();) {
        if (jpeg[at] != 0xFF) break;
        const uint8_t marker = jpeg[at + 1];
        const size_t length = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (marker >= 0xC0 && marker <= 0xC2) {
            jpeg[at + 5] = uint8_t(height >> 8);
            jpeg[at + 6] = uint8_t(height);
            jpeg[at + 7] = uint8_t(width >> 8);
            jpeg[at + 8] = uint8_t(width);
            return jpeg;
        }
        at += 2 + length;
    }
    ADD_FAILURE() << "no frame header found";
    return jpeg;
}

// The bytes of a TIFF whose first image's strips are said to lie past the end of the file.
std::vector<uint8_t> withStripsPastTheEnd(std::vector<uint8_t> tiff) {
    const bool little = tiff[0] == 'I';
    auto read = [&](size_t at, int bytes) {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            const uint32_t byte = tiff[at + size_t(i)];
            value |= little ? byte << (8 * i) : byte << (8 * (bytes - 1 - i));
        }
        return value;
    };
    auto write32 = [&](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            tiff[at + size_t(i)] = uint8_t(value >> (little ? 8 * i : 8 * (3 - i)));
    };
    const uint32_t directory = read(4, 4);
    const uint32_t entries = read(directory, 2);
    const uint32_t pastTheEnd = uint32_t(tiff.size()) + 4096;
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t entry = directory + 2 + 12 * size_t(i);
        if (read(entry, 2) != 273) continue;  // StripOffsets
        const uint32_t type = read(entry + 2, 2), count = read(entry + 4, 4);
        EXPECT_EQ(type, 4u) << "long offsets";
        if (count == 1) {
            write32(entry + 8, pastTheEnd);
        } else {
            for (uint32_t k = 0; k < count; ++k) write32(read(entry + 8, 4) + 4 * k, pastTheEnd);
        }
        return tiff;
    }
    ADD_FAILURE() << "no strip offsets found";
    return tiff;
}

TEST_F(HalidexLibrary, ImportRefusesPicturesWhosePixelsCannotBeRead) {
    auto jpeg = makePicture(64, 48);
    std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + long(jpeg.size() * 2 / 3));
    const std::string truncated = writeFile("truncated.jpg", cut);
    const std::string badStrips =
        writeFile("strips.tif", withStripsPastTheEnd(makePicture(64, 48, "", 1, "public.tiff")));
    const std::string huge = writeFile("huge.jpg", withJpegFrameSize(jpeg, 65000, 65000));
    const std::string good = writeFile("good.jpg", jpeg);
    for (const auto& [file, reason] :
         {std::pair{truncated, std::string("JPEG")}, std::pair{badStrips, std::string("TIFF")},
          std::pair{huge, std::string("65000x65000")}}) {
        Result result = run("import --album Trip " + good + " " + file);
        EXPECT_EQ(result.status, 2) << file;
        EXPECT_NE(result.err.find("cannot import " + file + ": "), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
    }
    // Nothing of the refused imports was stored, not even the good picture or the album.
    EXPECT_EQ(run("list").out, "");
    EXPECT_EQ(run("albums").out, "");
    if (sql("PRAGMA integrity_check")) {
        EXPECT_EQ(sql("SELECT COUNT(*) FROM assets"), "0");
    }

    // The decode limit is what a camera makes with headroom; --max-pixels moves it.
    const std::string wide = writeFile("wide.jpg", makePicture(400, 300));
    Result limited = run("import --max-pixels 100000 " + wide);
    EXPECT_EQ(limited.status, 2);
    EXPECT_NE(limited.err.find("400x300 pixels, more than the limit of 100000"), std::string::npos)
        << limited.err;
    Result raised = run("import --max-pixels 120000 " + wide);
    EXPECT_EQ(raised.status, 0) << raised.err;
    EXPECT_EQ(run("import --max-pixels lots " + wide).status, 2);
}

TEST_F(HalidexLibrary, TitlesAndNamesWithControlCharactersStayOnTheirLine) {
    const std::string name = "two\nlines\tand\\slash.jpg";
    const std::string file = writeFile(name, makePicture(8, 8));
    Result imported =
        run("import --album " + shellQuoted("Trip\nDay\t2") + " " + shellQuoted(file));
    ASSERT_EQ(imported.status, 0) << imported.err;
    auto importedLines = linesOf(imported.out);
    ASSERT_EQ(importedLines.size(), 1u) << imported.out;
    EXPECT_EQ(fieldsOf(importedLines[0])[1], home_ + "/two\\nlines\\tand\\\\slash.jpg");

    Result albums = run("albums");
    ASSERT_EQ(linesOf(albums.out).size(), 1u) << albums.out;
    EXPECT_EQ(fieldsOf(linesOf(albums.out)[0]).size(), 3u);
    EXPECT_EQ(fieldsOf(linesOf(albums.out)[0])[2], "Trip\\nDay\\t2");
    Result listed = run("list");
    ASSERT_EQ(linesOf(listed.out).size(), 1u) << listed.out;
    EXPECT_EQ(fieldsOf(linesOf(listed.out)[0])[3], "Trip\\nDay\\t2");
    // The title itself is stored as given.
    if (sql("PRAGMA integrity_check")) {
        EXPECT_EQ(sql("SELECT hex(title) FROM albums"), "547269700A4461790932");
    }

    for (const char* empty : {"''", "' '"}) {
        Result refused = run(std::string("import --album ") + empty + " " + shellQuoted(file));
        EXPECT_EQ(refused.status, 2) << empty;
        EXPECT_NE(refused.err.find("an album title cannot be empty"), std::string::npos);
    }
    EXPECT_EQ(linesOf(run("list").out).size(), 1u);
}

TEST_F(HalidexLibrary, ExportRefusesNamesFromADamagedDatabase) {
    ASSERT_TRUE(checker("sqlite3", "-version")) << "sqlite3 is needed to tamper with the library";
    Result imported = run("import " + writeFile("IMG_0001.JPG", makePicture(16, 16)));
    ASSERT_EQ(imported.status, 0) << imported.err;
    const std::string identifier = fieldsOf(linesOf(imported.out)[0])[0];
    const std::string where = " WHERE local_identifier = '" + identifier + "'";
    const std::string fileName = *sql("SELECT file_name FROM assets" + where);
    const std::string originalPath = *sql("SELECT original_path FROM assets" + where);
    ASSERT_NE(originalPath, "") << "a new original lies in the pictures folder";
    const std::string out = home_ + "/out/inner";
    fs::create_directories(out);
    auto exportFails = [&](const std::string& what) {
        Result result = run("export " + shellQuoted(identifier) + " " + out);
        EXPECT_EQ(result.status, 1) << what;
        EXPECT_NE(result.err.find("the library is damaged"), std::string::npos)
            << what << ": " << result.err;
        EXPECT_TRUE(fs::is_empty(out)) << what;
    };

    // An original name that climbs out of the target folder.
    sql("UPDATE assets SET original_filename = '../../escaped.jpg'" + where);
    exportFails("original name with folders");
    EXPECT_FALSE(fs::exists(home_ + "/escaped.jpg"));
    sql("UPDATE assets SET original_filename = '..'" + where);
    exportFails("original name ..");

    // A stored path that leads to a camera folder elsewhere.
    writeFile("elsewhere/Halidex Camera/secret.jpg", makePicture(8, 8));
    sql("UPDATE assets SET original_filename = 'copy.jpg', original_path = '" + home_ +
        "/elsewhere/Halidex Camera/secret.jpg'" + where);
    exportFails("original path in another camera folder");

    // A stored file name that leads out of the library to another file.
    sql("UPDATE assets SET original_path = ''" + where);
    writeFile("secret.txt", {'s', 'e', 'c', 'r', 'e', 't'});
    sql("UPDATE assets SET original_filename = 'copy.jpg', file_name = '../../../../secret.txt'" +
        where);
    exportFails("file name with folders");
    const std::string absolute = home_ + "/secret.txt";
    sql("UPDATE assets SET file_name = '" + absolute + "'" + where);
    exportFails("absolute file name");

    // A plain name whose folder inside the library was made a link to elsewhere: the file
    // behind it is never copied (the link itself is swept as a stray, and the row's photo is
    // found again by its content), and the file elsewhere is left alone.
    const std::string library = LibraryStore::defaultFolder();
    const std::vector<uint8_t> secret = makePicture(8, 8);
    writeFile("elsewhere/zz-secret.jpg", secret);
    fs::create_directory_symlink(home_ + "/elsewhere", library + "/originals/zz");
    sql("UPDATE assets SET file_name = 'zz-secret.jpg'" + where);
    Result linked = run("export " + shellQuoted(identifier) + " " + out);
    if (linked.status == 0) {
        std::vector<uint8_t> copied;
        ASSERT_TRUE(hx::image::readFileContents(out + "/copy.jpg", copied, nullptr));
        EXPECT_NE(copied, secret) << "the file behind the link was copied";
    } else {
        EXPECT_TRUE(fs::is_empty(out));
    }
    EXPECT_TRUE(fs::exists(home_ + "/elsewhere/zz-secret.jpg"));
    fs::remove(out + "/copy.jpg");

    // Mended, the same row exports again.
    sql("UPDATE assets SET file_name = '" + fileName + "', original_path = '" + originalPath + "'" +
        where);
    Result mended = run("export " + shellQuoted(identifier) + " " + out);
    EXPECT_EQ(mended.status, 0) << mended.err;
    EXPECT_TRUE(fs::exists(out + "/copy.jpg"));
}

// The folder for new photos chosen with halidex-settings, as the user does it; standard error
// goes with standard output into `out`.
Result setFolder(const std::string& value) {
    return hx::testsupport::runCommandSeparately(std::string(HX_SETTINGS_TOOL) +
                                                 " set library_folder " + value + " 2>&1");
}

std::vector<std::string> filesUnder(const std::string& root) {
    std::vector<std::string> files;
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root, ignored))
        if (entry.is_regular_file()) files.push_back(entry.path().string());
    return files;
}

TEST_F(HalidexLibrary, ImportsGoToTheFolderChosenInTheSettingsAndBackToTheStandardPlace) {
    const std::string chosen = home_ + "/Photo Drive/Camera";
    Result set = setFolder(shellQuoted(chosen + "/"));
    ASSERT_EQ(set.status, 0) << set.out;

    std::string first = writeFile("first.jpg", makePicture(16, 16, "2022:05:06 07:08:09"));
    Result imported = run("import " + first);
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(filesUnder(chosen), std::vector<std::string>{chosen + "/2022/05/first.jpg"});
    EXPECT_TRUE(filesUnder(home_ + "/Pictures").empty());
    if (auto stored = sql("SELECT original_path FROM assets")) {
        EXPECT_EQ(*stored, chosen + "/2022/05/first.jpg");
    }

    // move-originals moves to the same folder the imports use.
    Result moved = run("move-originals");
    EXPECT_EQ(moved.status, 0) << moved.err;
    EXPECT_NE(moved.out.find("0 originals moved to " + chosen + "\n"), std::string::npos)
        << moved.out;

    // Back to the standard place: new photos go there, the earlier one stays where it is.
    Result reset = setFolder("''");
    ASSERT_EQ(reset.status, 0) << reset.out;
    std::string second = writeFile("second.jpg", makePicture(16, 16, "2023:01:02 03:04:05"));
    ASSERT_EQ(run("import " + second).status, 0);
    const std::string standard = home_ + "/Pictures/Halidex Camera";
    EXPECT_EQ(filesUnder(standard), std::vector<std::string>{standard + "/2023/01/second.jpg"});
    EXPECT_EQ(filesUnder(chosen), std::vector<std::string>{chosen + "/2022/05/first.jpg"});
    EXPECT_EQ(linesOf(run("list").out).size(), 2u);

    // The photo in the earlier folder is still the library's: not missing, and exported.
    Result check = run("check");
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    EXPECT_NE(check.out.find("2 assets, 0 missing files"), std::string::npos) << check.out;
    const std::string out = home_ + "/out";
    Result exported = run("export " + shellQuoted(fieldsOf(linesOf(imported.out)[0])[0]) + " " +
                          shellQuoted(out));
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_TRUE(fs::exists(out + "/first.jpg"));
    EXPECT_EQ(run("check --repair").status, 0);
    EXPECT_TRUE(fs::exists(chosen + "/2022/05/first.jpg"));
    std::vector<uint8_t> record;
    ASSERT_TRUE(hx::image::readFileContents(LibraryStore::defaultFolder() + "/camera-folders",
                                            record, nullptr));
    EXPECT_EQ(std::string(record.begin(), record.end()), chosen + "\n" + standard + "\n");
    EXPECT_EQ(linesOf(run("list").out).size(), 2u);
}

TEST_F(HalidexLibrary, AChosenFolderThatCannotBeWrittenFailsTheImportAndStoresNothing) {
    // Refused by the settings tool: nothing is stored, new photos still go to the standard place.
    writeFile("drive", {'x'});
    Result refused = setFolder(shellQuoted(home_ + "/drive/Camera"));
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.out.find(home_ + "/drive exists and is not a folder"), std::string::npos)
        << refused.out;
    EXPECT_FALSE(fs::exists(home_ + "/config/halidex.defaults"));

    // A folder that was fine when chosen and no longer is (the drive was replaced by a file).
    const std::string chosen = home_ + "/disk/Camera";
    fs::create_directories(home_ + "/disk");
    ASSERT_EQ(setFolder(shellQuoted(chosen)).status, 0);
    fs::remove_all(home_ + "/disk");
    writeFile("disk", {'x'});
    std::string picture = writeFile("a.jpg", makePicture(16, 16, "2022:05:06 07:08:09"));
    Result imported = run("import " + picture);
    EXPECT_NE(imported.status, 0);
    EXPECT_NE(imported.err.find("cannot import: "), std::string::npos) << imported.err;
    EXPECT_NE(imported.err.find(chosen + "/2022"), std::string::npos) << imported.err;
    EXPECT_TRUE(run("list").out.empty());
    if (auto count = sql("SELECT COUNT(*) FROM assets")) {
        EXPECT_EQ(*count, "0");
    }
    EXPECT_TRUE(filesUnder(home_ + "/Pictures").empty());
}

}  // namespace
