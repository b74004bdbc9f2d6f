#pragma once
// One-time preparation of exiv2 before any use from this module.

namespace hx::image::metadata::detail {

// Routes exiv2's own warnings and errors to the system log as "exiv2: <text>" (it would
// otherwise print them to stderr) and prepares its XMP support, which must happen once before
// several threads use it. Safe to call from any thread, any number of times.
void prepareExiv2();

}  // namespace hx::image::metadata::detail
