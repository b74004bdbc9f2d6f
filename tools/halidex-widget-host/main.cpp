// halidex-widget-host: the desktop's stand-in for the phone's widget host. Loads widget
// extensions, shows their widgets in small windows on the desktop (or keeps them in memory with
// --headless), follows their timelines and reload policies and the camera's reload requests,
// or renders one entry into a PNG file.

#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QImage>

#include "platform/log/Log.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/host/PictureFile.h"
#include "platform/ui/host/QtApplication.h"
#include "platform/widgetkit/Date.h"
#include "platform/widgetkit/SystemRandom.h"
#include "platform/widgetkit/WidgetRenderer.h"
#include "tools/ExitStatus.h"
#include "tools/halidex-widget-host/ExtensionLoader.h"
#include "tools/halidex-widget-host/WidgetHost.h"
#include "tools/halidex-widget-host/WidgetWindows.h"

namespace {

using namespace hx;
using namespace hx::widget_host;

using tools::kExitBadInput;
using tools::kExitFailure;

constexpr const char* kUsage =
    "usage: halidex-widget-host [OPTIONS]\n"
    "  (no command)                 show every widget of the extensions in its own small\n"
    "                               window on the desktop (drag one to move it; the place is\n"
    "                               remembered), follow their timelines, and reload them when\n"
    "                               the camera asks; runs until the windows close or a signal\n"
    "  --headless                   the same without windows: entries are drawn in memory\n"
    "  --log-reloads                print one line per reload with its cause (first timeline,\n"
    "                               policy date, end of timeline, reload request) and one per\n"
    "                               timeline received\n"
    "  --family FAMILY              only this family (repeatable); every family a widget\n"
    "                               offers by default\n"
    "  --list                       print the loaded widgets: kind, display name,\n"
    "                               description, families\n"
    "  --render FAMILY --out FILE.png [--mode placeholder|snapshot|timeline] [--kind KIND]\n"
    "                               draw one entry (the timeline's by default) and exit\n"
    "Options for all:\n"
    "  --extension PATH             load this extension file instead of the folder of\n"
    "                               installed ones\n"
    "  --now ISO-8601               the current date, e.g. 2026-03-14T09:26:53Z\n"
    "  --seed N                     repeatable random picks\n"
    "  --scale S                    pixels per point (the screen's in windows, else 2)\n"
    "Families: small, medium, large, extra-large, accessory-circular, accessory-rectangular,\n"
    "accessory-inline. Exit status 2 for bad arguments and for a missing or broken extension.\n";

int usage(const std::string& problem) {
    std::fprintf(stderr, "halidex-widget-host: %s\n%s", problem.c_str(), kUsage);
    return kExitBadInput;
}

int fail(int status, const std::string& message) {
    std::fprintf(stderr, "halidex-widget-host: %s\n", message.c_str());
    return status;
}

struct Arguments {
    std::vector<std::string> extensions;
    std::vector<WidgetFamily> families;
    bool headless = false;
    bool logReloads = false;
    bool list = false;
    std::optional<WidgetFamily> render;
    std::string out;
    std::string mode = "timeline";
    std::string kind;
    std::optional<Date> now;
    std::optional<unsigned long long> seed;
    std::optional<double> scale;
};

// Parses the command line; an error message when it is wrong.
std::optional<std::string> parse(int argc, char** argv, Arguments& a) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& into) -> bool {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--headless") {
            a.headless = true;
        } else if (arg == "--log-reloads") {
            a.logReloads = true;
        } else if (arg == "--list") {
            a.list = true;
        } else if (arg == "--extension") {
            if (!value(v)) return "--extension needs a file";
            a.extensions.push_back(v);
        } else if (arg == "--family" || arg == "--render") {
            if (!value(v)) return arg + " needs a family";
            auto family = widgetFamilyFromName(v);
            if (!family) return "unknown family \"" + v + "\"";
            if (arg == "--family")
                a.families.push_back(*family);
            else
                a.render = family;
        } else if (arg == "--out") {
            if (!value(a.out)) return "--out needs a file";
        } else if (arg == "--mode") {
            if (!value(a.mode)) return "--mode needs placeholder, snapshot or timeline";
            if (a.mode != "placeholder" && a.mode != "snapshot" && a.mode != "timeline")
                return "unknown mode \"" + a.mode + "\"";
        } else if (arg == "--kind") {
            if (!value(a.kind)) return "--kind needs a widget kind";
        } else if (arg == "--now") {
            if (!value(v)) return "--now needs a date";
            a.now = Date::fromISO8601(v);
            if (!a.now) return "not an ISO-8601 date: \"" + v + "\"";
        } else if (arg == "--seed") {
            if (!value(v)) return "--seed needs a number";
            char* end = nullptr;
            errno = 0;
            const unsigned long long seed = std::strtoull(v.c_str(), &end, 10);
            if (v.empty() || *end || errno || v[0] == '-') return "not a seed: \"" + v + "\"";
            a.seed = seed;
        } else if (arg == "--scale") {
            if (!value(v)) return "--scale needs a number";
            char* end = nullptr;
            const double scale = std::strtod(v.c_str(), &end);
            if (v.empty() || *end || !(scale >= 0.5 && scale <= 8))
                return "the scale must be a number from 0.5 to 8";
            a.scale = scale;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else {
            return "unknown argument \"" + arg + "\"";
        }
    }
    if (a.render && a.out.empty()) return "--render needs --out FILE.png";
    if (!a.out.empty() && !a.render) return "--out goes with --render";
    if (!a.out.empty() && (a.out.size() < 4 || a.out.substr(a.out.size() - 4) != ".png"))
        return "the rendering is written as PNG: name a .png file";
    return std::nullopt;
}

// The extensions asked for, or every one of the installed folder.
int loadAll(const Arguments& a, std::vector<std::shared_ptr<LoadedExtension>>& loaded) {
    std::vector<std::string> files = a.extensions;
    std::string error;
    if (files.empty()) {
        const std::string folder = defaultExtensionFolder();
        files = extensionFiles(folder, &error);
        if (files.empty()) return fail(kExitBadInput, error);
    }
    for (const std::string& file : files) {
        auto extension = loadExtension(file, &error);
        if (!extension) return fail(kExitBadInput, error);
        hxLog("Widget host: loaded %s", file.c_str());
        loaded.push_back(std::move(extension));
    }
    return 0;
}

int listWidgets(const std::vector<std::shared_ptr<LoadedExtension>>& loaded) {
    for (const auto& extension : loaded) {
        for (const auto& widget : extension->bundle->body()) {
            const WidgetConfiguration configuration = widget->body();
            std::string families;
            for (WidgetFamily family : configuration.families())
                families += std::string(families.empty() ? "" : ", ") + widgetFamilyName(family);
            std::printf("%s\n  display name: %s\n  description: %s\n  families: %s\n",
                        configuration.kind().c_str(), configuration.displayName().c_str(),
                        configuration.descriptionText().c_str(), families.c_str());
            if (!configuration.intentClassName().empty())
                std::printf("  configuration intent: %s\n",
                            configuration.intentClassName().c_str());
            std::printf("  extension: %s\n", extension->path.c_str());
        }
    }
    return 0;
}

int renderOne(const Arguments& a, const std::vector<std::shared_ptr<LoadedExtension>>& loaded) {
    const WidgetFamily family = *a.render;
    std::optional<WidgetConfiguration> chosen;
    for (const auto& extension : loaded) {
        for (const auto& widget : extension->bundle->body()) {
            WidgetConfiguration configuration = widget->body();
            if (!a.kind.empty() && configuration.kind() != a.kind) continue;
            if (!chosen) chosen = configuration;
        }
    }
    if (!chosen) return fail(kExitBadInput, "no widget of kind \"" + a.kind + "\" is loaded");
    const auto offered = chosen->families();
    if (std::find(offered.begin(), offered.end(), family) == offered.end())
        hxLog("Widget host: %s does not offer the %s family; drawing what it shows there anyway",
              chosen->kind().c_str(), widgetFamilyName(family));

    AnyTimelineProvider& provider = chosen->provider();
    const auto context = TimelineProviderContext::forFamily(family, a.mode != "timeline");
    const std::unique_ptr<INIntent> intent = provider.makeIntent();
    TimelineEntryRef entry;
    bool answered = false;
    if (a.mode == "placeholder") {
        entry = provider.placeholder(context);
        answered = true;
    } else if (a.mode == "snapshot") {
        provider.getSnapshot(*intent, context, [&](TimelineEntryRef e) {
            entry = std::move(e);
            answered = true;
        });
    } else {
        provider.getTimeline(*intent, context, [&](AnyTimeline timeline) {
            // The entry shown now: the last whose date has come, else the first.
            const Date now = Date::now();
            for (const TimelineEntryRef& e : timeline.entries)
                if (e && (!entry || (e->date <= now && e->date >= entry->date))) entry = e;
            answered = true;
        });
    }
    RunLoop::main().runUntil([&] { return answered; }, 30);
    if (!answered) return fail(kExitFailure, "the widget's provider did not answer");
    if (!entry) return fail(kExitFailure, "the widget's provider gave no entry");
    ViewRef view = chosen->makeView(*entry);
    if (!view) return fail(kExitFailure, "the widget has no view for its entry");
    const QImage picture = WidgetRenderer::renderOnPlate(*view, family, a.scale.value_or(2));
    std::string cause;
    if (!ui::writePngFile(picture, a.out, &cause))
        return fail(kExitFailure,
                    "cannot write " + tools::printable(a.out) + ": " + tools::printable(cause));
    std::printf("%s: %s %s, %s entry of %s, %dx%d pixels\n", tools::printable(a.out).c_str(),
                chosen->kind().c_str(), widgetFamilyName(family), a.mode.c_str(),
                entry->date.iso8601().c_str(), picture.width(), picture.height());
    return 0;
}

// SIGINT and SIGTERM end the host through its run loop, so that it closes cleanly and
// removes its socket. They are blocked in every thread (from before the first thread starts)
// and taken by one thread of their own.
sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

void blockStopSignals() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

std::thread watchSignals(std::function<void()> stop) {
    return std::thread([stop = std::move(stop)] {
        const sigset_t set = stopSignals();
        int signal = 0;
        sigwait(&set, &signal);
        RunLoop::main().post(stop);
    });
}

int runHost(const Arguments& a, const std::vector<std::shared_ptr<LoadedExtension>>& loaded) {
    bool windows = !a.headless && ui::hasDisplay();
    if (!a.headless && !windows) hxLog("Widget host: no display answers; running without windows");
    const double scale = a.scale.value_or(windows ? WidgetWindows::screenScale() : 2.0);
    setWidgetScreenScale(scale);

    WidgetHost::Options options;
    options.scale = scale;
    options.logReloads = a.logReloads;
    WidgetHost host(options);
    for (const auto& extension : loaded) host.addBundle(extension->bundle, a.families);
    if (host.instances().empty()) return fail(kExitBadInput, "no widget offers those families");
    std::string error;
    if (!host.startListening(&error))
        hxLog(
            "Widget host: cannot listen for reload requests (%s); widgets reload on their own "
            "schedule only",
            error.c_str());

    std::unique_ptr<WidgetWindows> shown;
    if (windows) shown = std::make_unique<WidgetWindows>(host);
    std::thread signalWatcher = watchSignals([&] {
        if (shown)
            shown->quit();
        else
            RunLoop::main().stop();
    });
    signalWatcher.detach();
    for (const auto& instance : host.instances())
        hxLog("Widget host: showing %s%s", instance->name().c_str(),
              windows ? " in a window" : " in memory");
    host.start();
    if (a.logReloads) host.print("listening for reload requests");
    int status = 0;
    if (shown)
        status = shown->exec();
    else
        RunLoop::main().run();
    return status;
}

int run(int argc, char** argv) {
    Arguments a;
    if (auto problem = parse(argc, argv, a)) return usage(*problem);
    if (a.seed) SystemRandom::seed(*a.seed);
    if (a.now) Date::setNow(*a.now);
    if (!a.list && !a.render) blockStopSignals();
    // Only the desktop mode opens windows.
    if ((a.headless || a.list || a.render) && !std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    RunLoop::main().bindToCurrentThread();
    if (!ui::ensureQtApplication()) return fail(kExitFailure, "cannot start Qt");
    if (a.scale) setWidgetScreenScale(*a.scale);

    std::vector<std::shared_ptr<LoadedExtension>> loaded;
    if (int status = loadAll(a, loaded)) return status;
    if (a.list) return listWidgets(loaded);
    if (a.render) return renderOne(a, loaded);
    return runHost(a, loaded);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        return fail(kExitFailure, std::string("stopped: ") + e.what());
    }
}
