// Replaced by the component sources.
