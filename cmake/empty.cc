// Placeholder so that a library with no sources yet still builds.
namespace { [[maybe_unused]] int kel_empty_unit = 0; }
