// The translation unit the tests' precompiled header is built with
// (tests/CMakeLists.txt); it has no code of its own.
