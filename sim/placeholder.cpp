// Replaced by the simulated controller.
namespace sim { int placeholder() { return 0; } }
