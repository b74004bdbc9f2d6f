// The camera script parser: every command with its values, comments, blank lines, line ends,
// and each kind of bad line named by its number.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/shell/CameraScript.h"

namespace hx::app {
namespace {

using K = ScriptCommandKind;

CameraScript parsed(const std::string& text) {
    std::string error;
    auto script = CameraScript::parse(text, &error);
    EXPECT_TRUE(script) << error;
    return script ? *script : CameraScript{};
}

std::string errorOf(const std::string& text) {
    std::string error;
    auto script = CameraScript::parse(text, &error);
    EXPECT_FALSE(script) << "accepted: " << text;
    return error;
}

TEST(CameraScriptTest, ReadsEveryCommand) {
    auto script = parsed(
        "wait 1.5\n"
        "wait-idle\n"
        "wait-idle 5\n"
        "tap 10 20\n"
        "tap 10.5 -20 3\n"
        "long-press 100 200 0.8\n"
        "drag 1 2 3 4\n"
        "drag 1 2 3 4 1.25\n"
        "pinch 160 284 2.5\n"
        "key volume-up\n"
        "key volume-down\n"
        "key capture\n"
        "tilt portrait\n"
        "tilt upside-down\n"
        "tilt landscape-left\n"
        "tilt landscape-right\n"
        "background\n"
        "foreground\n"
        "action takephoto\n"
        "action takeselfie\n"
        "press _settingButton\n"
        "screenshot out/my shot.png\n"
        "quit\n");
    const auto& c = script.commands;
    ASSERT_EQ(c.size(), 23u);
    EXPECT_EQ(c[0].kind, K::Wait);
    EXPECT_EQ(c[0].seconds, 1.5);
    EXPECT_EQ(c[1].kind, K::WaitIdle);
    EXPECT_EQ(c[1].seconds, kScriptDefaultIdleTimeout);
    EXPECT_EQ(c[2].seconds, 5);
    EXPECT_EQ(c[3].kind, K::Tap);
    EXPECT_EQ(c[3].point, (CGPoint{10, 20}));
    EXPECT_EQ(c[3].count, 1);
    EXPECT_EQ(c[4].point, (CGPoint{10.5, -20}));
    EXPECT_EQ(c[4].count, 3);
    EXPECT_EQ(c[5].kind, K::LongPress);
    EXPECT_EQ(c[5].point, (CGPoint{100, 200}));
    EXPECT_EQ(c[5].seconds, 0.8);
    EXPECT_EQ(c[6].kind, K::Drag);
    EXPECT_EQ(c[6].point, (CGPoint{1, 2}));
    EXPECT_EQ(c[6].to, (CGPoint{3, 4}));
    EXPECT_EQ(c[6].seconds, kScriptDefaultDragSeconds);
    EXPECT_EQ(c[7].seconds, 1.25);
    EXPECT_EQ(c[8].kind, K::Pinch);
    EXPECT_EQ(c[8].point, (CGPoint{160, 284}));
    EXPECT_EQ(c[8].scale, 2.5);
    EXPECT_EQ(c[9].key, HardwareKey::VolumeUp);
    EXPECT_EQ(c[10].key, HardwareKey::VolumeDown);
    EXPECT_EQ(c[11].key, HardwareKey::Capture);
    EXPECT_EQ(c[12].tilt, Tilt::Portrait);
    EXPECT_EQ(c[13].tilt, Tilt::UpsideDown);
    EXPECT_EQ(c[14].tilt, Tilt::LandscapeLeft);
    EXPECT_EQ(c[15].tilt, Tilt::LandscapeRight);
    EXPECT_EQ(c[16].kind, K::Background);
    EXPECT_EQ(c[17].kind, K::Foreground);
    EXPECT_EQ(c[18].kind, K::Action);
    EXPECT_EQ(c[18].text, "takephoto");
    EXPECT_EQ(c[19].text, "takeselfie");
    EXPECT_EQ(c[20].kind, K::Press);
    EXPECT_EQ(c[20].text, "_settingButton");
    EXPECT_EQ(c[21].kind, K::Screenshot);
    EXPECT_EQ(c[21].text, "out/my shot.png");
    EXPECT_EQ(c[22].kind, K::Quit);
    for (size_t i = 0; i < c.size(); ++i) EXPECT_EQ(c[i].line, static_cast<int>(i + 1));
}

TEST(CameraScriptTest, CommentsAndLineEnds) {
    auto script = parsed(
        "\xEF\xBB\xBF# a camera script\r\n"
        "\r\n"
        "   \t \n"
        "  wait   2   # settle\r\n"
        "tap\t5\t6 #twice? no\n"
        "screenshot shots/a#1.png  # the file keeps its #\r\n"
        "quit");
    const auto& c = script.commands;
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0].kind, K::Wait);
    EXPECT_EQ(c[0].line, 4);
    EXPECT_EQ(c[0].seconds, 2);
    EXPECT_EQ(c[1].line, 5);
    EXPECT_EQ(c[1].point, (CGPoint{5, 6}));
    EXPECT_EQ(c[2].text, "shots/a#1.png");
    EXPECT_EQ(c[2].line, 6);
    EXPECT_EQ(c[3].kind, K::Quit);
    EXPECT_EQ(c[3].line, 7);
    EXPECT_TRUE(parsed("").commands.empty());
    EXPECT_TRUE(parsed("# only\n\n").commands.empty());
}

TEST(CameraScriptTest, BadLinesAreNamedByNumber) {
    struct Case {
        const char* line;
        const char* message;
    };
    for (const Case& c : {
             Case{"tap", "tap needs X and Y"},
             Case{"tap 5", "tap needs X and Y"},
             Case{"tap 1 2 3 4", "tap takes X Y [COUNT]"},
             Case{"tap x 2", "tap: X is not a number: 'x'"},
             Case{"tap 1 2 0", "tap: COUNT must be a whole number from 1 to 10, not '0'"},
             Case{"tap 1 2 1.5", "tap: COUNT must be a whole number from 1 to 10, not '1.5'"},
             Case{"tap 1 2 11", "tap: COUNT must be a whole number from 1 to 10, not '11'"},
             Case{"tap 1e400 2", "tap: X is not a number: '1e400'"},
             Case{"tap 100001 2", "tap: X is out of range: '100001'"},
             Case{"tap 1 nan", "tap: Y is not a number: 'nan'"},
             Case{"tap 5 6#x", "tap: Y is not a number: '6#x'"},
             Case{"tap inf 1", "tap: X is not a number: 'inf'"},
             Case{"tap 0x10 1", "tap: X is not a number: '0x10'"},
             Case{"wait", "wait needs SECONDS"},
             Case{"wait 1 2", "wait takes SECONDS"},
             Case{"wait -1", "wait: SECONDS must be from 0 to 86400, not '-1'"},
             Case{"wait 86401", "wait: SECONDS must be from 0 to 86400, not '86401'"},
             Case{"wait NaN", "wait: SECONDS is not a number: 'NaN'"},
             Case{"wait-idle 0", "wait-idle: SECONDS must be above 0 and at most 86400, not '0'"},
             Case{"wait-idle 1 2", "wait-idle takes at most SECONDS"},
             Case{"long-press 1 2", "long-press needs X, Y and SECONDS"},
             Case{"long-press 1 2 0",
                  "long-press: SECONDS must be above 0 and at most 86400, not '0'"},
             Case{"drag 1 2 3", "drag needs X1, Y1, X2 and Y2"},
             Case{"drag 1 2 3 y", "drag: Y2 is not a number: 'y'"},
             Case{"drag 1 2 3 4 0", "drag: SECONDS must be above 0 and at most 86400, not '0'"},
             Case{"pinch 1 2", "pinch needs X, Y and SCALE"},
             Case{"pinch 1 2 0", "pinch: SCALE must be above 0, not '0'"},
             Case{"pinch 1 2 -2", "pinch: SCALE must be above 0, not '-2'"},
             Case{"pinch 1 2 1000", "pinch: SCALE must be from 0.01 to 100, not '1000'"},
             Case{"key", "key needs volume-up, volume-down, capture or one of 0-9 [ ] g f l + -"},
             Case{"key power",
                  "unknown key 'power' (volume-up, volume-down, capture or one of "
                  "0-9 [ ] g f l + -)"},
             Case{"key x",
                  "unknown key 'x' (volume-up, volume-down, capture or one of "
                  "0-9 [ ] g f l + -)"},
             Case{"film", "film needs N"},
             Case{"film 13", "film: N must be a whole number from 0 to 12, not '13'"},
             Case{"film -1", "film: N must be a whole number from 0 to 12, not '-1'"},
             Case{"film 2.5", "film: N must be a whole number from 0 to 12, not '2.5'"},
             Case{"film 1 2", "film takes one N"},
             Case{"ev 10", "ev: STEPS must be a whole number from -9 to 9, not '10'"},
             Case{"ev +", "ev: STEPS must be a whole number from -9 to 9, not '+'"},
             Case{"zoom 0.5", "zoom: FACTOR must be from 1 to 1000, not '0.5'"},
             Case{"zoom nan", "zoom: FACTOR is not a number: 'nan'"},
             Case{"zoom", "zoom needs FACTOR"},
             Case{"tilt sideways",
                  "unknown tilt 'sideways' (portrait, upside-down, landscape-left or "
                  "landscape-right)"},
             Case{"background now", "background takes nothing"},
             Case{"quit 0", "quit takes nothing"},
             Case{"action takevideo", "unknown action 'takevideo' (takephoto or takeselfie)"},
             Case{"action", "action needs takephoto or takeselfie"},
             Case{"press", "press needs NAME"},
             Case{"press a b", "press takes one NAME"},
             Case{"press 9lives", "press: '9lives' is not a name"},
             Case{"screenshot", "screenshot needs FILE"},
             Case{"stats", "stats needs FILE"},
             Case{"screenshot   # nothing", "screenshot needs FILE"},
             Case{"camera", "camera needs unplug or plug"},
             Case{"camera unplug now", "camera takes unplug or plug"},
             Case{"camera eject", "unknown camera change 'eject' (unplug or plug)"},
             Case{"wait-camera", "wait-camera needs gone or back"},
             Case{"wait-camera away", "unknown camera state 'away' (gone or back)"},
             Case{"wait-camera gone 0",
                  "wait-camera: SECONDS must be above 0 and at most 86400, not '0'"},
             Case{"wait-camera back 1 2", "wait-camera takes gone|back [SECONDS]"},
             Case{"jump 1", "unknown command 'jump'"},
             Case{"TAP 1 2", "unknown command 'TAP'"},
         }) {
        // The bad line comes after good lines, a comment and a blank, as line 7.
        std::string text = "wait 1\n# comment\n\ntap 1 2\nwait-idle\nkey capture\n";
        text += c.line;
        text += "\nquit\n";
        EXPECT_EQ(errorOf(text), std::string("script line 7: ") + c.message);
    }
    EXPECT_EQ(errorOf(std::string("wait 1\nwa\0it 2\n", 14)), "script line 2: a NUL byte");
    // The first bad line is the one named.
    EXPECT_EQ(errorOf("jump\njump\n"), "script line 1: unknown command 'jump'");
}

TEST(CameraScriptTest, UnpluggingTheCameraAndWaitingForIt) {
    std::string error;
    auto script = CameraScript::parse(
        "camera unplug\nwait-camera gone\ncamera plug\nwait-camera back 5\n", &error);
    ASSERT_TRUE(script) << error;
    ASSERT_EQ(script->commands.size(), 4u);
    const auto& c = script->commands;
    EXPECT_EQ(c[0].kind, ScriptCommandKind::Camera);
    EXPECT_TRUE(c[0].option);
    EXPECT_EQ(c[1].kind, ScriptCommandKind::WaitCamera);
    EXPECT_TRUE(c[1].option);
    EXPECT_EQ(c[1].seconds, kScriptDefaultIdleTimeout);
    EXPECT_FALSE(c[2].option);
    EXPECT_FALSE(c[3].option);
    EXPECT_EQ(c[3].seconds, 5);
    EXPECT_STREQ(scriptCommandName(c[0].kind), "camera");
    EXPECT_STREQ(scriptCommandName(c[3].kind), "wait-camera");
}

TEST(CameraScriptTest, CameraControlsAndTheirKeys) {
    auto script = parsed(
        "key g\nkey G\nkey 3\nkey [\nkey +\nfilm 12\nfilm +0\nev -9\nev 4\n"
        "zoom 1\nzoom 2.5\n");
    const auto& c = script.commands;
    ASSERT_EQ(c.size(), 11u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(c[i].kind, ScriptCommandKind::CameraKey);
    EXPECT_EQ(std::string(scriptCommandName(c[0].kind)), "key");
    EXPECT_EQ(c[0].cameraKey, 'g');
    EXPECT_EQ(c[1].cameraKey, 'g');  // either case
    EXPECT_EQ(c[2].cameraKey, '3');
    EXPECT_EQ(c[3].cameraKey, '[');
    EXPECT_EQ(c[4].cameraKey, '+');
    EXPECT_EQ(c[5].kind, ScriptCommandKind::Film);
    EXPECT_EQ(c[5].number, 12);
    EXPECT_EQ(c[6].number, 0);
    EXPECT_EQ(c[7].kind, ScriptCommandKind::Exposure);
    EXPECT_EQ(c[7].number, -9);
    EXPECT_EQ(c[8].number, 4);
    EXPECT_EQ(c[9].kind, ScriptCommandKind::Zoom);
    EXPECT_DOUBLE_EQ(c[9].factor, 1);
    EXPECT_DOUBLE_EQ(c[10].factor, 2.5);
}

TEST(CameraScriptTest, NumbersAtTheLimitsAreTaken) {
    auto script = parsed(
        "wait 0\nwait 86400\ntap -100000 100000 10\npinch 0 0 0.01\npinch 0 0 100\n"
        "tap +5 1e2\n");
    ASSERT_EQ(script.commands.size(), 6u);
    EXPECT_EQ(script.commands[2].point, (CGPoint{-100000, 100000}));
    EXPECT_EQ(script.commands[5].point, (CGPoint{5, 100}));
    std::string error;
    std::string huge = "tap " + std::string(400, '9') + " 1\n";
    EXPECT_FALSE(CameraScript::parse(huge, &error));
    EXPECT_EQ(error.rfind("script line 1: tap: X ", 0), 0u) << error;
}

TEST(CameraScriptTest, LoadsAFile) {
    auto path = std::filesystem::temp_directory_path() /
                ("hx-script-" + std::to_string(::getpid()) + ".txt");
    {
        std::ofstream out(path);
        out << "wait 1\nquit\n";
    }
    std::string error;
    auto script = CameraScript::load(path.string(), &error);
    ASSERT_TRUE(script) << error;
    EXPECT_EQ(script->commands.size(), 2u);
    std::filesystem::remove(path);
    EXPECT_FALSE(CameraScript::load(path.string(), &error));
    EXPECT_EQ(error, "cannot read the script " + path.string() + ": No such file or directory");
    EXPECT_FALSE(CameraScript::load(path.parent_path().string(), &error));
    EXPECT_EQ(error, "cannot read the script " + path.parent_path().string() + ": it is a folder");
}

}  // namespace
}  // namespace hx::app
