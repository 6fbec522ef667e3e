// Draws the editor's five images and writes them as PNG files:
//   background (659 x 479), knob face (30 x 30), knob handle (8 x 8),
//   stereo button (22 x 28, two frames), delay path button (50 x 34, two frames).
// Run by the build, so the artwork is reproducible from this source alone.
//
// Usage: vornhalt-make-images OUTPUT_DIRECTORY

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};

constexpr Rgb rgb(int r, int g, int b) {
    return {r / 255.0, g / 255.0, b / 255.0};
}

const Rgb kField = rgb(233, 225, 204);      // light beige
const Rgb kFieldShade = rgb(214, 204, 178); // its darker grain
const Rgb kPanel = rgb(78, 82, 86);         // darker grey panels
const Rgb kPanelTop = rgb(96, 100, 105);
const Rgb kPanelEdge = rgb(52, 55, 58);
const Rgb kCaption = rgb(228, 189, 31); // the controls' gold
const Rgb kTeal = rgb(22, 112, 150);    // the controls' teal
const Rgb kInk = rgb(58, 52, 40);

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void roundedRectangle(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

// A panel behind a group of controls: rounded, lit from above, with a thin
// dark edge and a soft shadow on the field.
void panel(cairo_t* cr, double left, double top, double right, double bottom) {
    const double x = left, y = top, w = right - left, h = bottom - top;
    for (int i = 3; i >= 1; --i) {
        roundedRectangle(cr, x + 1, y + i, w, h, 7);
        setColour(cr, kInk, 0.06 * i);
        cairo_fill(cr);
    }
    roundedRectangle(cr, x, y, w, h, 7);
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgb(shade, 0.0, kPanelTop.r, kPanelTop.g, kPanelTop.b);
    cairo_pattern_add_color_stop_rgb(shade, 0.35, kPanel.r, kPanel.g, kPanel.b);
    cairo_pattern_add_color_stop_rgb(shade, 1.0, kPanel.r * 0.9, kPanel.g * 0.9, kPanel.b * 0.9);
    cairo_set_source(cr, shade);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(shade);
    setColour(cr, kPanelEdge);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    // A highlight along the top edge.
    cairo_move_to(cr, x + 7, y + 1.5);
    cairo_line_to(cr, x + w - 7, y + 1.5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.18);
    cairo_stroke(cr);
}

void text(cairo_t* cr, const char* s, double x, double y, double size, Rgb colour, bool bold = false,
          bool alignRight = false) {
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, s, &extents);
    const double left = alignRight ? x - extents.x_advance : x;
    setColour(cr, colour);
    cairo_move_to(cr, left, y);
    cairo_show_text(cr, s);
}

// A caption on a panel's edge tab, for the modulation rows.
void rowCaption(cairo_t* cr, const char* s, double left, double top, double bottom) {
    const double h = bottom - top;
    roundedRectangle(cr, left, top, 46, h, 6);
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, top, 0, bottom);
    cairo_pattern_add_color_stop_rgb(shade, 0.0, kTeal.r * 1.15, kTeal.g * 1.15, kTeal.b * 1.15);
    cairo_pattern_add_color_stop_rgb(shade, 1.0, kTeal.r * 0.8, kTeal.g * 0.8, kTeal.b * 0.8);
    cairo_set_source(cr, shade);
    cairo_fill(cr);
    cairo_pattern_destroy(shade);
    text(cr, s, left + 8, top + h / 2 + 4.5, 12, kCaption, true);
}

bool writePng(cairo_surface_t* surface, const std::string& path) {
    if (cairo_surface_write_to_png(surface, path.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "vornhalt-make-images: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// A panel's name along its bottom edge, in small spaced letters.
void panelCaption(cairo_t* cr, const char* s, double centreX, double baseline) {
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 8.5);
    constexpr double kSpacing = 1.6;
    const std::string text = s;
    double width = -kSpacing;
    for (char c : text) {
        const char one[2] = {c, 0};
        cairo_text_extents_t e;
        cairo_text_extents(cr, one, &e);
        width += e.x_advance + kSpacing;
    }
    double x = centreX - width / 2;
    setColour(cr, rgb(176, 170, 150));
    for (char c : text) {
        const char one[2] = {c, 0};
        cairo_text_extents_t e;
        cairo_text_extents(cr, one, &e);
        cairo_move_to(cr, x, baseline);
        cairo_show_text(cr, one);
        x += e.x_advance + kSpacing;
    }
}

// The knobs of the layout, by the anchors of their groups (label's top edge,
// knob's left edge): a scale of ticks is printed around each.
struct Anchor {
    int x, y;
    bool bipolar; // a modulation amount: its middle is marked
};
const Anchor kKnobs[] = {
    {30, 30, false},   {85, 30, false},   {30, 100, false},  {170, 30, false},  {225, 30, false},
    {170, 100, false}, {225, 100, false}, {170, 170, false}, {225, 170, false}, {310, 30, false},
    {365, 30, false},  {310, 100, false}, {450, 30, false},  {505, 30, false},  {590, 30, false},
    {590, 100, false}, {175, 260, false}, {270, 260, true},  {325, 260, true},  {380, 260, true},
    {435, 260, true},  {490, 260, true},  {545, 260, true},  {175, 330, false}, {270, 330, true},
    {325, 330, true},  {380, 330, true},  {435, 330, true},  {490, 330, true},  {545, 330, true},
    {120, 400, false}, {175, 400, false}, {270, 400, true},  {325, 400, true},  {380, 400, true},
    {435, 400, true},  {490, 400, true},  {545, 400, true},
};

// Eleven ticks on the knob's arc, from lower left (225 degrees) clockwise to
// lower right (-45 degrees), as the knob's handle travels.
void knobScale(cairo_t* cr, const Anchor& a) {
    const double cx = a.x + 15.0;
    const double cy = a.y + 14.0 + 15.0;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i <= 10; ++i) {
        const double angle = (225.0 - 27.0 * i) * kPi / 180.0;
        const bool major = i == 0 || i == 10 || (a.bipolar && i == 5);
        const double inner = major ? 15.6 : 16.2;
        const double outer = 18.0;
        cairo_move_to(cr, cx + inner * std::cos(angle), cy - inner * std::sin(angle));
        cairo_line_to(cr, cx + outer * std::cos(angle), cy - outer * std::sin(angle));
        cairo_set_line_width(cr, major ? 1.3 : 0.9);
        setColour(cr, major ? rgb(226, 214, 170) : rgb(160, 160, 156), major ? 0.95 : 0.8);
        cairo_stroke(cr);
    }
}

bool background(const std::string& dir) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 659, 479);
    cairo_t* cr = cairo_create(surface);
    // Unhinted text: even spacing, the same on every machine's font settings.
    cairo_font_options_t* fontOptions = cairo_font_options_create();
    cairo_font_options_set_hint_style(fontOptions, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(fontOptions, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(fontOptions, CAIRO_ANTIALIAS_GRAY);
    cairo_set_font_options(cr, fontOptions);
    cairo_font_options_destroy(fontOptions);

    // The field, with a faint vertical grain so it does not look flat.
    setColour(cr, kField);
    cairo_paint(cr);
    for (int x = 0; x < 659; x += 3) {
        const double a = 0.05 + 0.04 * std::sin(x * 0.37) * std::sin(x * 0.053);
        setColour(cr, kFieldShade, a > 0 ? a : 0);
        cairo_rectangle(cr, x, 0, 1, 479);
        cairo_fill(cr);
    }

    // Title strip at the top left.
    cairo_pattern_t* strip = cairo_pattern_create_linear(0, 0, 220, 0);
    cairo_pattern_add_color_stop_rgba(strip, 0.0, kTeal.r, kTeal.g, kTeal.b, 0.95);
    cairo_pattern_add_color_stop_rgba(strip, 1.0, kTeal.r, kTeal.g, kTeal.b, 0.0);
    cairo_rectangle(cr, 0, 4, 220, 17);
    cairo_set_source(cr, strip);
    cairo_fill(cr);
    cairo_pattern_destroy(strip);
    text(cr, "Vornhalt", 10, 17.5, 14, kCaption, true);
    text(cr, "warped LPC resynthesis", 84, 17, 10, rgb(240, 236, 220));

    // Analysis (stages, block, smoothing), A section, S section, delay and
    // its filter, output: one row of equal height, each named at its foot.
    constexpr double kRowTop = 23;
    constexpr double kRowBottom = 247;
    panel(cr, 18, kRowTop, 135, kRowBottom);
    panel(cr, 158, kRowTop, 275, kRowBottom);
    panel(cr, 298, kRowTop, 415, kRowBottom);
    panel(cr, 438, kRowTop, 557, kRowBottom);
    panel(cr, 578, kRowTop, 646, kRowBottom);
    panelCaption(cr, "ANALYSIS", 76.5, 241);
    panelCaption(cr, "INVERSE  A", 216.5, 241);
    panelCaption(cr, "SYNTHESIS  S", 356.5, 241);
    panelCaption(cr, "FEEDBACK", 497.5, 241);
    panelCaption(cr, "OUTPUT", 612, 241);
    // Modulation rows: LFO 1, LFO 2, envelope.
    panel(cr, 60, 255, 646, 321);
    panel(cr, 60, 325, 646, 391);
    panel(cr, 60, 395, 646, 461);
    rowCaption(cr, "LFO 1", 8, 263, 313);
    rowCaption(cr, "LFO 2", 8, 333, 383);
    rowCaption(cr, "Env.", 8, 403, 453);
    for (const Anchor& a : kKnobs) {
        knobScale(cr, a);
    }
    text(cr, "www.vornhalt.org", 646, 474, 9, rgb(150, 140, 116), false, true);

    // Captions beside the menus and the path button.
    text(cr, "shape", 111, 285, 10, kCaption, false, true);
    text(cr, "sync", 111, 316, 10, kCaption, false, true);
    text(cr, "shape", 111, 355, 10, kCaption, false, true);
    text(cr, "sync", 111, 386, 10, kCaption, false, true);
    text(cr, "sync", 495, 212, 10, kCaption, false, true);
    text(cr, "path", 495, 229, 10, kCaption, false, true);

    cairo_destroy(cr);
    const bool ok = writePng(surface, dir + "/background.png");
    cairo_surface_destroy(surface);
    return ok;
}

bool knobFace(const std::string& dir) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 30, 30);
    cairo_t* cr = cairo_create(surface);
    // Soft shadow, then a brushed-metal body with an antialiased (alpha) rim.
    cairo_arc(cr, 15.5, 16.5, 14.0, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_fill(cr);
    cairo_arc(cr, 15, 15, 13.2, 0, 2 * kPi);
    cairo_pattern_t* body = cairo_pattern_create_radial(11, 9, 1, 15, 15, 14);
    cairo_pattern_add_color_stop_rgb(body, 0.0, 0.86, 0.87, 0.88);
    cairo_pattern_add_color_stop_rgb(body, 0.6, 0.50, 0.52, 0.55);
    cairo_pattern_add_color_stop_rgb(body, 1.0, 0.22, 0.23, 0.25);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    // Inner cap.
    cairo_arc(cr, 15, 15, 9.0, 0, 2 * kPi);
    cairo_pattern_t* cap = cairo_pattern_create_linear(0, 6, 0, 24);
    cairo_pattern_add_color_stop_rgb(cap, 0.0, 0.72, 0.73, 0.75);
    cairo_pattern_add_color_stop_rgb(cap, 1.0, 0.34, 0.35, 0.38);
    cairo_set_source(cr, cap);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(cap);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    cairo_destroy(cr);
    const bool ok = writePng(surface, dir + "/knob.png");
    cairo_surface_destroy(surface);
    return ok;
}

bool knobHandle(const std::string& dir) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    cairo_t* cr = cairo_create(surface);
    cairo_arc(cr, 4, 4, 3.4, 0, 2 * kPi);
    cairo_pattern_t* dot = cairo_pattern_create_radial(3.2, 3.0, 0.3, 4, 4, 3.6);
    cairo_pattern_add_color_stop_rgb(dot, 0.0, 1.0, 0.93, 0.6);
    cairo_pattern_add_color_stop_rgb(dot, 1.0, kCaption.r * 0.85, kCaption.g * 0.85, kCaption.b * 0.85);
    cairo_set_source(cr, dot);
    cairo_fill(cr);
    cairo_pattern_destroy(dot);
    cairo_destroy(cr);
    const bool ok = writePng(surface, dir + "/handle.png");
    cairo_surface_destroy(surface);
    return ok;
}

// A button frame: a teal plate with the symbol drawn by `symbol` in gold.
template <typename Symbol>
void buttonFrame(cairo_t* cr, double top, double w, double h, bool lit, Symbol symbol) {
    roundedRectangle(cr, 0.5, top + 0.5, w - 1, h - 1, 3);
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, top, 0, top + h);
    const double k = lit ? 1.2 : 0.85;
    cairo_pattern_add_color_stop_rgb(shade, 0.0, kTeal.r * k * 1.15, kTeal.g * k * 1.15, kTeal.b * k * 1.15);
    cairo_pattern_add_color_stop_rgb(shade, 1.0, kTeal.r * k * 0.75, kTeal.g * k * 0.75, kTeal.b * k * 0.75);
    cairo_set_source(cr, shade);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(shade);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    setColour(cr, lit ? rgb(255, 226, 90) : kCaption);
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    symbol(cr, top);
}

void arrow(cairo_t* cr, double x0, double y0, double x1, double y1) {
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
    const double a = std::atan2(y1 - y0, x1 - x0);
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x1 - 4 * std::cos(a - 0.5), y1 - 4 * std::sin(a - 0.5));
    cairo_line_to(cr, x1 - 4 * std::cos(a + 0.5), y1 - 4 * std::sin(a + 0.5));
    cairo_close_path(cr);
    cairo_fill(cr);
}

bool stereoButton(const std::string& dir) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 22, 28);
    cairo_t* cr = cairo_create(surface);
    // Off: two equal bars (both channels alike).
    buttonFrame(cr, 0, 22, 14, false, [](cairo_t* c, double top) {
        cairo_move_to(c, 6, top + 5);
        cairo_line_to(c, 16, top + 5);
        cairo_move_to(c, 6, top + 9);
        cairo_line_to(c, 16, top + 9);
        cairo_stroke(c);
    });
    // On: plus and minus (channel 2 inverted).
    buttonFrame(cr, 14, 22, 14, true, [](cairo_t* c, double top) {
        cairo_move_to(c, 3.5, top + 7);
        cairo_line_to(c, 9.5, top + 7);
        cairo_move_to(c, 6.5, top + 4);
        cairo_line_to(c, 6.5, top + 10);
        cairo_move_to(c, 12.5, top + 7);
        cairo_line_to(c, 18.5, top + 7);
        cairo_stroke(c);
    });
    cairo_destroy(cr);
    const bool ok = writePng(surface, dir + "/stereo_button.png");
    cairo_surface_destroy(surface);
    return ok;
}

bool pathButton(const std::string& dir) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 50, 34);
    cairo_t* cr = cairo_create(surface);
    // Off: two parallel arrows (each channel returns into itself).
    buttonFrame(cr, 0, 50, 17, false, [](cairo_t* c, double top) {
        arrow(c, 12, top + 5.5, 38, top + 5.5);
        arrow(c, 12, top + 11.5, 38, top + 11.5);
    });
    // On: two crossing arrows (the channels swap).
    buttonFrame(cr, 17, 50, 17, true, [](cairo_t* c, double top) {
        arrow(c, 13, top + 4, 37, top + 13);
        arrow(c, 13, top + 13, 37, top + 4);
    });
    cairo_destroy(cr);
    const bool ok = writePng(surface, dir + "/path_button.png");
    cairo_surface_destroy(surface);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vornhalt-make-images OUTPUT_DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok =
        background(dir) && knobFace(dir) && knobHandle(dir) && stereoButton(dir) && pathButton(dir);
    cairo_debug_reset_static_data(); // release the font caches so a leak checker sees none
    return ok ? 0 : 1;
}
