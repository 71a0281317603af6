// The target that holds the test programs' precompiled header
// (tests/CMakeLists.txt); it has no code of its own.
