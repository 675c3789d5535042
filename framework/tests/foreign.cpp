// A shared library that is not a control library: it lacks the entry points.
extern "C" __attribute__((visibility("default"))) int not_a_control() { return 42; }
