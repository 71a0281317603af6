// Replaced by the library sources.
