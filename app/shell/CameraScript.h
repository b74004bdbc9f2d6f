#pragma once
// The camera script language: one command a line, blank lines ignored, and "#" at the start of
// a word begins a comment that runs to the end of the line. Coordinates are points of the
// device profile's screen; seconds are on the run loop's clock.
//
//   wait SECONDS                       the run loop runs that long
//   wait-idle [SECONDS]                until nothing is captured or saved (default 30 s)
//   tap X Y [COUNT]                    COUNT taps in a row (default 1)
//   long-press X Y SECONDS             a finger held down that long
//   drag X1 Y1 X2 Y2 [SECONDS]         one finger from one point to the other (default 0.3 s)
//   pinch X Y SCALE                    two fingers about the point, their spread times SCALE
//   key volume-up|volume-down|capture  a press of a hardware key
//   key K                              a key of the camera's keyboard: 0-9 [ ] g f l + -
//   film N                             the film picker's film N (0-12)
//   ev STEPS                           exposure compensation in thirds of a stop (-9 to 9)
//   zoom FACTOR                        the zoom, from 1 (a factor above the camera's most is
//                                      clamped as a pinch is)
//   tilt portrait|upside-down|landscape-left|landscape-right
//   background, foreground             the application leaves and comes back
//   action takephoto|takeselfie        a quick action
//   press NAME                         a tap at the centre of the screen's view of that field
//   item N                             a tap on item N (from 0) of the front-most grid
//   swipe left|right                   a finger turns one page of the front-most pager: left
//                                      shows the next page, right the previous one
//   share DIR [without-location]       the photo viewer saves its photo into DIR as its share
//                                      menu's "Save a Copy" does (DIR is the rest of the line)
//   camera unplug|plug                 the simulated cameras go away as unplugged cameras do, or
//                                      come back (a real camera is not touched)
//   wait-camera gone|back [SECONDS]    until the camera screen shows its camera gone, or shows a
//                                      camera again (default 30 s)
//   screenshot FILE                    the window as PNG at the screen's scale
//   stats FILE                         appends the program's resident memory, threads and open
//                                      files to FILE as one line (for soak runs)
//   quit                               ends the program with status 0
//
// Parsing checks every line before anything runs; the first bad one is the error, naming its
// line: "script line 7: tap needs X and Y".
//
// Threads: any.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/shell/ScriptTarget.h"
#include "platform/geometry/Geometry.h"

namespace hx::app {

enum class ScriptCommandKind {
    Item,
    Swipe,
    Share,
    Wait,
    WaitIdle,
    Tap,
    LongPress,
    Drag,
    Pinch,
    Key,
    CameraKey,
    Film,
    Exposure,
    Zoom,
    Tilt,
    Background,
    Foreground,
    Action,
    Press,
    Screenshot,
    Stats,
    Camera,
    WaitCamera,
    Quit
};

// One command. Only the fields of its kind are meaningful.
struct ScriptCommand {
    ScriptCommandKind kind = ScriptCommandKind::Quit;
    // Line number in the script, from 1.
    int line = 0;
    // wait, wait-idle and wait-camera (time-out), long-press, drag.
    double seconds = 0;
    // tap, long-press, pinch (the centre), drag (the start).
    CGPoint point;
    // drag: the end.
    CGPoint to;
    // tap; item: the item's index.
    int count = 1;
    // swipe: true for left; share: without location; camera: true to unplug; wait-camera: true
    // to wait for the camera to be gone.
    bool option = false;
    // pinch.
    double scale = 1;
    HardwareKey key = HardwareKey::Capture;
    // camera key: the key, lower case.
    char cameraKey = 0;
    // film: the film; ev: thirds of a stop.
    int number = 0;
    // zoom.
    double factor = 1;
    app::Tilt tilt = app::Tilt::Portrait;
    // action: the action's name; press: the field name; screenshot, stats: the file.
    std::string text;
};

// Limits on the values a script may give.
inline constexpr double kScriptMaxCoordinate = 100000;
inline constexpr double kScriptMaxSeconds = 86400;
inline constexpr int kScriptMaxTapCount = 10;
inline constexpr double kScriptMinScale = 0.01;
inline constexpr double kScriptMaxScale = 100;
inline constexpr double kScriptDefaultIdleTimeout = 30;
inline constexpr double kScriptDefaultDragSeconds = 0.3;
inline constexpr int kScriptFilmCount = 13;
inline constexpr int kScriptMaxExposureSteps = 9;
inline constexpr double kScriptMaxZoom = 1000;
// The keys of the camera's keyboard a script may press.
inline constexpr const char* kScriptCameraKeys = "0123456789[]gfl+-";
inline constexpr int kScriptMaxItem = 1000000;

struct CameraScript {
    std::vector<ScriptCommand> commands;

    // The commands of the text; empty with `error` set ("script line N: ...") at the first bad
    // line.
    static std::optional<CameraScript> parse(std::string_view text, std::string* error);
    // Reads the file ("-" for standard input) and parses it.
    static std::optional<CameraScript> load(const std::string& path, std::string* error);
};

// The name a script uses for the command kind ("long-press").
const char* scriptCommandName(ScriptCommandKind kind);

}  // namespace hx::app
