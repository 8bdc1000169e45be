/* A library in the plug-in's place that lacks the plug-in entry point. */
__attribute__((visibility("default"))) int notAPlugin(void) { return 42; }
