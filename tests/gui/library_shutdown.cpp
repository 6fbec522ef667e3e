// After the last test, the font cache and the static data of Cairo and
// fontconfig are released, so the leak checker of the sanitizer build sees
// only what the toolkit itself failed to free.

#include <cairo.h>
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fontconfig/fontconfig.h>
#endif

#include "gui/cairo/cairo_surface.h"

namespace {

class GraphicsLibraries : public ::testing::Environment {
public:
    void TearDown() override {
        releaseCachedFonts();
        cairo_debug_reset_static_data();
#if !defined(_WIN32)
        FcFini();
#endif
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new GraphicsLibraries);

} // namespace
