#pragma once

// The system log: every message of the program goes through hxLog, in printf style and without
// levels. A line on stderr reads "YYYY-MM-DD HH:MM:SS.mmm <program>[<pid>] <message>"; under a
// service manager stderr is collected by the journal, so nothing else is needed for that.
//
// Thread safety: every function here may be called from any thread. Each message is written with
// a single write() call while holding the log's lock, so lines from different threads never
// interleave. A sink is called outside that lock, possibly from several threads at once.

#include <cstdarg>
#include <functional>
#include <string>
#include <string_view>

// Logs one message, formatted as printf does; the compiler checks the conversions against the
// arguments. An object's description is passed as a `const char*` to "%s" (a null pointer
// prints "(null)"). "%@", the older spelling of that conversion, is still read as "%s" in a
// format made at run time, but literal formats use "%s" so that the compiler can check them.
void hxLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The same with an argument list already started.
void hxLogv(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

namespace hx::log {

// Receives the text of each message, without the time, program and pid prefix and without a
// trailing newline.
using Sink = std::function<void(std::string_view message)>;

// While a sink is set, messages go to the sink instead of stderr (tests capture messages and keep
// their output quiet this way). Returns the sink that was set before, empty when there was none.
Sink setSink(Sink sink);

// Sends messages to stderr again.
void resetSink();

// Formats a message the way hxLog does ("%@" included), without logging it.
std::string format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

}  // namespace hx::log
