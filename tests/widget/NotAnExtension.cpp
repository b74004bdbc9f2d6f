// A shared library that loads but is no widget extension: it lacks the entry point.

extern "C" int hxSomethingElse() {
    return 42;
}
