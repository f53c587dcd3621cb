// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Hostile inputs through quillane-cli, one table: pictures just past the sizes ImageMagick
// takes on this machine, files that make a video reader follow them into pipes and devices,
// and command lines that can only fail late. Each must end with the status given, in time,
// with the message given, and write a picture only where the table says so.

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <Magick++.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "support/guarded_cli.h"
#include "imaging/imaging.h"
#include "imaging/resource_limits.h"
#include "support/sample_files.h"
#include "support/test_support.h"

namespace {

const bool kMemoryLimited = (LimitOwnMemory(), true);

struct Hostile {
  const char* name;
  // Writes the files into the folder and returns the arguments before INPUT and OUTPUT, then
  // INPUT (and OUTPUT when it is part of the case) as the last one or two.
  std::function<std::vector<std::string>(const ScratchFolder&)> make;
  int status;
  const char* message;  // part of standard error; empty: anything
  bool written;         // a picture is at OUTPUT afterwards
  // Further checks on the folder afterwards; none when empty.
  std::function<void(const ScratchFolder&)> check = nullptr;
  long long memoryLimit = 0;  // the renderer's address space, when not the usual limit
};

// The start picture and output of the cases that are about something else.
std::string Start(const ScratchFolder& dir) {
  const std::string path = dir.File("start.png");
  samples::WriteBytes(path, samples::EncodedPicture("PNG", 40, 30));
  return path;
}

std::string Output(const ScratchFolder& dir) {
  return dir.File("out.png");
}

Bytes Jpeg() {
  return samples::EncodedPicture("JPEG", 40, 30);
}

std::vector<std::string> Plain(const std::string& input, const ScratchFolder& dir) {
  return {"--quiet", "--effect", "black-and-white", input, Output(dir)};
}

// A mosaic of the given list alone, with the options given first.
std::vector<std::string> Mosaic(const std::vector<std::string>& list, const ScratchFolder& dir,
                                std::vector<std::string> args = {}) {
  args.insert(args.end(), {"--effect", "mosaic", "--tiles-across", "3", "--no-library"});
  for (const std::string& p : list) args.insert(args.end(), {"--picture", p});
  args.insert(args.end(), {"--picture", Start(dir), Start(dir), Output(dir)});
  return args;
}

std::string Msp(const ScratchFolder& dir, const char* name, int width, int height, int version) {
  const std::string path = dir.File(name);
  samples::WriteBytes(path, samples::MspPicture(width, height, version));
  return path;
}

std::string Fifo(const ScratchFolder& dir, const char* name) {
  const std::string path = dir.File(name);
  mkfifo(path.c_str(), 0600);
  return path;
}

std::string File(const ScratchFolder& dir, const char* name, const Bytes& bytes) {
  const std::string path = dir.File(name);
  samples::WriteBytes(path, bytes);
  return path;
}

std::string Text(const ScratchFolder& dir, const char* name, const std::string& text) {
  return File(dir, name, Bytes(text.begin(), text.end()));
}

int MaxWidth() {
  return GetPictureLimits().maxWidth;
}

// Runs SQL on a database, making it when it does not exist.
void Sql(const std::string& file, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// A mosaic of a small library through the index "index.sqlite", which a first run has filled.
std::vector<std::string> Indexed(const ScratchFolder& d) {
  const std::string library = d.File("library");
  std::filesystem::create_directory(library);
  int n = 0;
  for (const char* format : {"PNG", "JPEG", "BMP3", "TIFF"}) {
    for (int side : {30, 41}) {
      samples::WriteBytes(library + "/" + std::to_string(n++) + "." + format,
                          samples::EncodedPicture(format, side, 70 - side));
    }
  }
  std::vector<std::string> args = {
      "--quiet",         "--effect", "mosaic",  "--tiles-across",       "4",
      "--library",       library,    "--index", d.File("index.sqlite"), Start(d),
      d.File("cold.png")};
  EXPECT_EQ(RunGuardedCli(args, 60).status, 0);
  args.back() = Output(d);
  return args;
}

// The mosaic equals the one made without an index.
void SameAsWithoutIndex(const ScratchFolder& d) {
  std::vector<std::string> args = {
      "--quiet",   "--effect",        "mosaic",     "--tiles-across", "4",
      "--library", d.File("library"), "--no-index", Start(d),         d.File("plain.png")};
  ASSERT_EQ(RunGuardedCli(args, 60).status, 0);
  EXPECT_EQ(samples::ReadBytes(Output(d)), samples::ReadBytes(d.File("plain.png")));
}

const Hostile kCases[] = {
    {"MspOnePixelTooWideV2",
     [](const ScratchFolder& d) { return Plain(Msp(d, "wide.msp", MaxWidth() + 1, 1, 2), d); }, 2,
     "too large", false},
    {"MspOnePixelTooTallV1",
     [](const ScratchFolder& d) {
       return Plain(Msp(d, "tall.msp", 1, GetPictureLimits().maxHeight + 1, 1), d);
     },
     2, "too large", false},
    {"MspAtTheWidthLimitIsPainted",
     [](const ScratchFolder& d) { return Plain(Msp(d, "edge.msp", MaxWidth(), 1, 2), d); }, 0, "",
     true},
    {"MspTooWideInTheListAndLibraryIsSkipped",
     [](const ScratchFolder& d) {
       std::vector<std::string> args = Mosaic({Msp(d, "wide.msp", MaxWidth() + 1, 2, 2)}, d);
       std::filesystem::create_directory(d.File("library"));
       Msp(d, "library/wide.msp", MaxWidth() + 1, 1, 1);
       std::erase(args, "--no-library");
       args.insert(args.begin(), {"--library", d.File("library")});
       return args;
     },
     0, "Mosaic completed.", true},
    {"LargestPicturesStillShrink",
     [](const ScratchFolder& d) {
       // Near the pixel limit ImageMagick cannot hold a picture and its resized copies at once.
       const PictureLimits& limits = GetPictureLimits();
       const int width = std::min(6000, limits.maxWidth);
       const int height = static_cast<int>(limits.maxPixels * 9 / 10 / width);
       std::vector<std::string> args = Plain(Msp(d, "large.msp", width, height, 2), d);
       args.insert(args.begin(), {"--width", "1000"});
       return args;
     },
     0, "", true},
    {"PngDeclaringMorePixelsThanTheLimit",
     [](const ScratchFolder& d) {
       const PictureLimits& limits = GetPictureLimits();
       const std::string path = d.File("bomb.png");
       samples::WriteBytes(
           path, samples::PngClaimingSize(limits.maxWidth, limits.maxPixels / limits.maxWidth + 1));
       return Plain(path, d);
     },
     2, "too large", false},
    {"VideoFramesPastThePictureLimitAreSkipped",
     [](const ScratchFolder& d) {
       const std::string path = d.File("wide.avi");
       samples::WriteBytes(path, samples::AviVideo(MaxWidth() + 1, 1, 2));
       return Mosaic({path}, d);
     },
     0, "Matching image 2 of 2...", true},
    {"ConcatListNamingAPipe",
     [](const ScratchFolder& d) {
       Fifo(d, "pipe.avi");
       return Mosaic({Text(d, "list.avi", "ffconcat version 1.0\nfile pipe.avi\n")}, d);
     },
     0, "Mosaic completed.", true},
    {"PlaylistNamingAPipe",
     [](const ScratchFolder& d) {
       Fifo(d, "pipe.ts");
       return Mosaic({Text(d, "list.m3u8",
                           "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\npipe.ts\n"
                           "#EXT-X-ENDLIST\n")},
                     d);
     },
     0, "Mosaic completed.", true},
    {"LinkToStandardInput",
     [](const ScratchFolder& d) {
       const std::string link = d.File("stdin.avi");
       std::filesystem::create_symlink("/dev/stdin", link);
       return Mosaic({link}, d);
     },
     0, "Mosaic completed.", true},
    {"LibraryFolderMissing",
     [](const ScratchFolder& d) {
       return std::vector<std::string>{
           "--library", d.File("no such folder"), "--effect", "mosaic", Start(d), Output(d)};
     },
     64, "no such folder", false},
    {"LibraryFolderIsAFile",
     [](const ScratchFolder& d) {
       return std::vector<std::string>{"--library", Start(d), "--effect",
                                       "mosaic",    Start(d), Output(d)};
     },
     64, "start.png' is not a folder", false},
    {"UnreadableStartPictureSaysSo",
     [](const ScratchFolder& d) {
       // chmod 000 does not stop root; a file of /proc that refuses reading even to root does.
       std::string path = "/proc/sys/vm/drop_caches";
       if (geteuid() != 0) {
         path = Start(d);
         chmod(path.c_str(), 0);
       }
       return std::vector<std::string>{"--quiet", path, Output(d)};
     },
     2, "cannot be read", false},
    {"OutputNamedOnlyByItsEnding",
     [](const ScratchFolder& d) {
       return std::vector<std::string>{"--quiet", Start(d), d.File(".png")};
     },
     64, "needs a name", false},
    {"OutputNameTooLongForTheFileSystem",
     [](const ScratchFolder& d) {
       return std::vector<std::string>{"--quiet", Start(d), d.File(std::string(252, 'n') + ".png")};
     },
     64, "too long", false},
    {"OutputNameJustShortEnough",
     [](const ScratchFolder& d) {
       return std::vector<std::string>{"--quiet", "--effect", "black-and-white", Start(d),
                                       d.File(std::string(251, 'n') + ".png")};
     },
     0, "", false},
    {"IndexThatIsAnotherProgramsDatabaseIsLeftAlone",
     [](const ScratchFolder& d) {
       Sql(d.File("theirs.db"),
           "CREATE TABLE files (id INTEGER PRIMARY KEY, path, note); "
           "INSERT INTO files VALUES (1, '/a', 'x'), (2, '/b', 'y');");
       std::filesystem::copy_file(d.File("theirs.db"), d.File("theirs.copy"));
       return Mosaic({}, d, {"--index", d.File("theirs.db")});
     },
     0, "theirs.db is not used: it is not a picture index of this program and is left alone", true,
     [](const ScratchFolder& d) {
       EXPECT_EQ(samples::ReadBytes(d.File("theirs.db")),
                 samples::ReadBytes(d.File("theirs.copy")));
     }},
    {"IndexThatIsAPipeIsNotOpened",
     [](const ScratchFolder& d) {
       return Mosaic({}, d, {"--index", Fifo(d, "index.sqlite")});
     },
     0, "index.sqlite is not used: it is not a regular file", true},
    {"DamagedIndexRowsAreDecodedAgain",
     [](const ScratchFolder& d) {
       std::vector<std::string> args = Indexed(d);
       Sql(d.File("index.sqlite"),
           "UPDATE tiles SET block = substr(block, 1, 80) || x'00ff00ff' || substr(block, 85) "
           "WHERE rowid = 1; UPDATE tiles SET colors = x'' WHERE rowid = 2; "
           "UPDATE files SET kind = 7 WHERE id = 3; UPDATE tiles SET block = (SELECT block "
           "FROM tiles WHERE rowid = 5) WHERE rowid = 4;");
       return args;
     },
     0, "", true, SameAsWithoutIndex},
    {"LibraryFileChangedKeepingItsSizeAndTimeIsDecodedAgain",
     [](const ScratchFolder& d) {
       std::vector<std::string> args = Indexed(d);
       const std::string changed = d.File("library/4.BMP3");
       struct stat before {};
       stat(changed.c_str(), &before);
       samples::WriteBytes(changed, samples::BitFlipped(samples::ReadBytes(changed), 1, 200, 54));
       const timespec times[2] = {before.st_atim, before.st_mtim};
       utimensat(AT_FDCWD, changed.c_str(), times, 0);
       return args;
     },
     0, "", true, SameAsWithoutIndex},
    {"TileReportThatIsAPipeIsRefusedBeforePainting",
     [](const ScratchFolder& d) {
       return Mosaic({}, d, {"--tile-report", Fifo(d, "report.csv")});
     },
     64, "cannot write the tile report: '", false,
     [](const ScratchFolder& d) { EXPECT_TRUE(std::filesystem::is_fifo(d.File("report.csv"))); }},
    {"TileReportThatIsADeviceIsRefused",
     [](const ScratchFolder& d) {
       return Mosaic({}, d, {"--tile-report", "/dev/null"});
     },
     64, "cannot write the tile report", false,
     [](const ScratchFolder&) { EXPECT_TRUE(std::filesystem::is_character_file("/dev/null")); }},
    {"TileReportThroughALinkIsWrittenToItsTarget",
     [](const ScratchFolder& d) {
       samples::WriteBytes(d.File("target.csv"), {'o', 'l', 'd'});
       std::filesystem::create_symlink("target.csv", d.File("report.csv"));
       return Mosaic({}, d, {"--tile-report", d.File("report.csv")});
     },
     0, "", true,
     [](const ScratchFolder& d) {
       EXPECT_TRUE(std::filesystem::is_symlink(d.File("report.csv")));
       EXPECT_GT(std::filesystem::file_size(d.File("target.csv")), 40u);
     }},
    {"OutputThatIsAPipeSaysWhy",
     [](const ScratchFolder& d) {
       return std::vector<std::string>{"--quiet", Start(d), Fifo(d, "pipe.png")};
     },
     64, "pipe.png' is a named pipe, not a regular file", false},
    {"OutputInAFolderThatRefusesFilesSaysWhy",
     [](const ScratchFolder& d) {
       // Not even root may make files in /sys.
       return std::vector<std::string>{"--quiet", Start(d), "/sys/out.png"};
     },
     1, "cannot write '/sys/out.png': ", false},
    {"BatchOverwriteThroughALinkWritesItsTarget",
     [](const ScratchFolder& d) {
       samples::WriteBytes(Output(d), {'o', 'l', 'd'});
       std::filesystem::create_symlink("out.png", d.File("start-black-and-white.png"));
       return std::vector<std::string>{"--quiet",      "--effect", "black-and-white",
                                       "--format",     "png",      "--overwrite",
                                       "--output-dir", d.Path(),   Start(d)};
     },
     0, "", true,
     [](const ScratchFolder& d) {
       EXPECT_TRUE(std::filesystem::is_symlink(d.File("start-black-and-white.png")));
       EXPECT_GT(std::filesystem::file_size(Output(d)), 40u);
     }},
    {"JpegHeaderClaiming65535SquareIsTooLarge",
     [](const ScratchFolder& d) {
       return Plain(File(d, "huge.jpg", samples::JpegClaimingSize(Jpeg(), 65535, 65535)), d);
     },
     2, "too large", false},
    {"DamagedJpegWithinTheLimitsIsNotTooLarge",
     [](const ScratchFolder& d) {
       return Plain(File(d, "cut.jpg", samples::JpegClaimingSize(Jpeg(), 10000, 10000)), d);
     },
     2, "format not recognized", false},
    {"GreyJpegWiderThanImageMagickTakesIsPainted",
     [](const ScratchFolder& d) { return Plain(File(d, "g.jpg", samples::GreyJpeg(16500, 8)), d); },
     0, "", true},
    {"BigTiffIsPainted",
     [](const ScratchFolder& d) {
       return Plain(File(d, "big.tif", samples::EncodedPicture("TIFF64", 40, 30)), d);
     },
     0, "", true},
    {"BigEndianBigTiffIsPainted",
     [](const ScratchFolder& d) {
       return Plain(
           File(d, "big.tif", samples::EncodedPicture("TIFF64", 40, 30, samples::kBigEndian)), d);
     },
     0, "", true},
    {"BrokenIndexSchemaOfOursIsMadeAnew",
     [](const ScratchFolder& d) {
       std::vector<std::string> args = Indexed(d);
       Sql(d.File("index.sqlite"), "ALTER TABLE files RENAME COLUMN kind TO sort");
       return args;
     },
     0, "index.sqlite was damaged and has been made anew", true, SameAsWithoutIndex},
    {"StartPictureTooLargeForTheMemoryIsNamed",
     [](const ScratchFolder& d) {
       std::vector<std::string> args =
           Plain(File(d, "big.png", samples::BilevelPng(10000, 10000)), d);
       args.insert(args.begin(), {"--width", "100"});
       return args;
     },
     2, "The start picture of 10000 x 10000 pixels needs about", false, nullptr,
     // Decoding takes about 490 MB of address space, the painting 360 MB more.
     680'000'000},
    {"OutputFolderMissing",
     [](const ScratchFolder& d) {
       return std::vector<std::string>{"--quiet", Start(d), d.File("gone/out.png")};
     },
     64, "does not exist", false},
};

void PrintTo(const Hostile& c, std::ostream* out) {
  *out << c.name;
}

class HostileInput : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileInput, EndsWithTheGivenStatusAndLeavesNothingElse) {
  const Hostile& c = GetParam();
  if (c.memoryLimit > 0 && BuiltWithAddressSanitizer()) {
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit";
  }
  ScratchFolder dir;
  const std::vector<std::string> args = c.make(dir);
  const auto before = std::distance(std::filesystem::directory_iterator(dir.Path()),
                                    std::filesystem::directory_iterator());
  const GuardedRun run = RunGuardedCli(args, 60, 0, c.memoryLimit);
  ASSERT_TRUE(EndedCleanly(run));
  EXPECT_EQ(run.status, c.status) << run.Describe();
  EXPECT_NE((run.out + run.err).find(c.message), std::string::npos) << run.Describe();
  EXPECT_EQ(std::filesystem::exists(Output(dir)), c.written);
  // Nothing but the output is added: no temporary or partial file.
  const auto after = std::distance(std::filesystem::directory_iterator(dir.Path()),
                                   std::filesystem::directory_iterator());
  EXPECT_LE(after, before + 1);
  if (c.check) c.check(dir);
}

INSTANTIATE_TEST_SUITE_P(Table, HostileInput, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Exif orientations wherever ImageMagick finds them: in the first directory or the Exif
// directory, and behind a prefix in a block that starts as an Exif block. It turns none behind a
// block of another start. The decode is ImageMagick's, size and pixels.
TEST(HostileInput, JpegsAreTurnedAsImageMagickTurnsThem) {
  const struct {
    std::string prefix;
    bool inExifDirectory, turned;
  } layouts[] = {{"", false, true},
                 {"", true, true},
                 {"ExifXY", false, true},
                 {"ExifXY", true, true},
                 {std::string("XY\0", 3), false, false}};
  ScratchFolder dir;
  for (const auto& l : layouts) {
    SCOPED_TRACE(testing::Message()
                 << "'" << l.prefix << "', Exif directory " << l.inExifDirectory);
    const std::string path =
        File(dir, "turned.jpg", samples::ExifJpeg(40, 30, l.prefix, l.inExifDirectory));
    Magick::Image magick(path);
    magick.autoOrient();
    ASSERT_EQ(magick.columns(), l.turned ? 30u : 40u);
    Magick::Blob rgb;
    magick.write(&rgb, "RGB", 8);
    ImgBitmap bitmap;
    ImgInitHandle(&bitmap, 0, 0, 0);
    ASSERT_EQ(ImgLoadPictureFile(path.c_str(), &bitmap, nullptr), 1);
    ASSERT_EQ(bitmap.width, static_cast<int32_t>(magick.columns()));
    ASSERT_EQ(bitmap.height, static_cast<int32_t>(magick.rows()));
    const auto* expected = static_cast<const uint8_t*>(rgb.data());
    for (int32_t y = 0; y < bitmap.height; ++y) {
      for (int32_t x = 0; x < bitmap.width; ++x, expected += 3) {
        const uint8_t* bgr = bitmap.Row(y) + 3 * x;
        ASSERT_EQ(std::vector<uint8_t>({bgr[2], bgr[1], bgr[0]}),
                  std::vector<uint8_t>(expected, expected + 3))
            << x << ", " << y;
      }
    }
    ImgFree(&bitmap);
  }
}

// The reading layer itself: what the renderer refuses never reaches a decoder.
TEST(HostileInput, PicturesAndFramesPastTheLimitsAreRefusedBeforeDecoding) {
  ScratchFolder dir;
  PictureProblem problem = PictureProblem::kNone;
  ImgBitmap bitmap;
  ImgInitHandle(&bitmap, 0, 0, 0);
  EXPECT_EQ(ImgLoadPictureFile(Msp(dir, "w.msp", MaxWidth() + 1, 1, 1).c_str(), &bitmap, &problem),
            0);
  EXPECT_EQ(problem, PictureProblem::kTooLarge);
  const std::string avi = dir.File("wide.avi");
  samples::WriteBytes(avi, samples::AviVideo(MaxWidth() + 1, 1, 1));
  VidHandle video;
  VidInitHandle(&video);
  ASSERT_EQ(VidOpen(avi.c_str(), &video, 1), 1);
  EXPECT_EQ(video.usableVideo, 0);
  VidClose(&video);
  // A pipe given straight to the video reader is refused without waiting for a writer.
  VidInitHandle(&video);
  EXPECT_EQ(VidOpen(Fifo(dir, "pipe.avi").c_str(), &video, 1), 0);
}

}  // namespace
