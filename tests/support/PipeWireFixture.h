#pragma once
// A private PipeWire session with test cameras, for tests of real cameras: the fixture script
// tests/pipewire-fixture.sh starts a session bus, pipewire and wireplumber in a folder of its
// own, and hx-pipewire-test-source programs as cameras. Everything it started is stopped by PID
// when the fixture goes. Tests that use it first call HX_REQUIRE_TOOLS with requiredTools().
//
//     PipeWireFixture session(HX_PIPEWIRE_FIXTURE, HX_TEST_SOURCE_PROGRAM);
//     ASSERT_TRUE(session.start()) << session.lastOutput();
//     session.addCamera("cam", "--sizes 640x480,4032x3024 --vendor 'Acme'");
//     ... session.environment() for a child process, or session.apply(env) in process

#include <unistd.h>

#include <fstream>
#include <string>

#include "tests/support/RunCommand.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryFolder.h"

namespace hx::testsupport {

class PipeWireFixture {
  public:
    PipeWireFixture(std::string script, std::string sourceProgram)
        : script_(std::move(script)), sourceProgram_(std::move(sourceProgram)) {}
    ~PipeWireFixture() {
        if (started_) run("stop");
    }
    PipeWireFixture(const PipeWireFixture&) = delete;
    PipeWireFixture& operator=(const PipeWireFixture&) = delete;

    bool start() {
        started_ = true;
        if (!run("start")) return false;
        std::ifstream file(folder_.path() / "env");
        for (std::string line; std::getline(file, line);) {
            const size_t equals = line.find('=');
            if (equals != std::string::npos)
                environment_.emplace_back(line.substr(0, equals), line.substr(equals + 1));
        }
        environment_.emplace_back("PIPEWIRE_REMOTE", std::nullopt);
        return !environment_.empty();
    }

    // A test camera with node name `name`; `arguments` are the source program's, shell-quoted.
    bool addCamera(const std::string& name, const std::string& arguments = "") {
        return run("add", shellQuoted(name) + " " + arguments);
    }
    bool removeCamera(const std::string& name) { return run("remove", shellQuoted(name)); }

    // The session's variables, for a child process.
    const EnvironmentChanges& environment() const { return environment_; }
    // The session's variables, set in this process until `scope` ends.
    void apply(hx::testing::ScopedEnvironment& scope) const {
        for (const auto& [name, value] : environment_)
            scope.set(name.c_str(), value ? value->c_str() : nullptr);
    }

    const std::string& lastOutput() const { return output_; }

  private:
    bool run(const std::string& command, const std::string& arguments = "") {
        const CommandResult result =
            runCommand(shellQuoted(script_) + " " + command + " " +
                           shellQuoted(folder_.path().string()) + " " + arguments + " 2>&1",
                       {{"HX_TEST_SOURCE_PROGRAM", sourceProgram_},
                        {"HX_FIXTURE_OWNER", std::to_string(::getpid())}});
        output_ = result.output;
        return result.status == 0;
    }

    const std::string script_, sourceProgram_;
    TemporaryFolder folder_{"hx-pipewire"};
    EnvironmentChanges environment_;
    std::string output_;
    bool started_ = false;
};

// The programs the fixture runs, for HX_REQUIRE_TOOLS.
#define HX_PIPEWIRE_FIXTURE_TOOLS "dbus-daemon", "pipewire", "wireplumber"

}  // namespace hx::testsupport
