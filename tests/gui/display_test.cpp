// Value displays and labels: value-to-text conversion, the box and text
// styles, alignment, and the fonts behind the font table.

#include <gtest/gtest.h>

#include <cstdio>

#include "gui/cairo/cairo_surface.h"
#include "gui/param_display.h"
#include "gui_test_support.h"

namespace {

constexpr CColor kTeal{22, 112, 150, 0};
constexpr CColor kGold{228, 189, 31, 0};
const std::uint32_t kTealPixel = argb(255, 22, 112, 150);

struct DisplayFixture : ::testing::Test {
    RecordingHost host;
    HeadlessEditor editor{&host, 120, 40};
    void SetUp() override { editor.openAndPaint(); }
    HeadlessWindow& window() { return editor.window(); }
    CParamDisplay* addDisplay(const CRect& r, std::int32_t style = 0) {
        auto* d = new CParamDisplay(r, nullptr, style);
        d->setFont(kNormalFontSmall);
        d->setFontColor(kGold);
        d->setBackColor(kTeal);
        d->setFrameColor(kTeal);
        editor.getFrame()->addView(d);
        return d;
    }
    // Columns of the rectangle that hold a pixel other than `background`.
    std::pair<int, int> inkColumns(const CRect& r, std::uint32_t background) {
        int first = -1;
        int last = -1;
        for (int x = r.left; x < r.right; ++x) {
            for (int y = r.top; y < r.bottom; ++y) {
                if (window().screenPixel(x, y) != background) {
                    if (first < 0) {
                        first = x;
                    }
                    last = x;
                    break;
                }
            }
        }
        return {first, last};
    }
    std::pair<int, int> inkRows(const CRect& r, std::uint32_t background) {
        int first = -1;
        int last = -1;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                if (window().screenPixel(x, y) != background) {
                    if (first < 0) {
                        first = y;
                    }
                    last = y;
                    break;
                }
            }
        }
        return {first, last};
    }
};

void asMilliseconds(float value, char* text) {
    std::snprintf(text, 256, "%0.1f ms", static_cast<double>(value) * 1000.0);
}

void withSuffix(float value, char* text, void* data) {
    std::snprintf(text, 256, "%d%s", static_cast<int>(value), static_cast<const char*>(data));
}

} // namespace

TEST(DisplayText, DefaultFormatAndConverters) {
    auto* display = new CParamDisplay(CRect(0, 0, 50, 12));
    char text[kDisplayTextSize];
    display->setValue(0.5f);
    display->valueToString(text);
    EXPECT_STREQ(text, "0.50");
    display->setValue(12.345f);
    display->valueToString(text);
    EXPECT_STREQ(text, "12.35");
    display->setStringConvert(asMilliseconds);
    display->setValue(0.0125f);
    display->valueToString(text);
    EXPECT_STREQ(text, "12.5 ms");
    // The converter with user data wins over the plain one.
    static char suffix[] = " Hz";
    display->setStringConvert(withSuffix, suffix);
    display->setValue(7.9f);
    display->valueToString(text);
    EXPECT_STREQ(text, "7 Hz");
    display->release();
}

TEST_F(DisplayFixture, StyleZeroIsAFilledBoxWithCentredText) {
    CRect r(10, 10, 60, 22);
    CParamDisplay* d = addDisplay(r);
    d->setValue(0.5f);
    editor.idle();
    EXPECT_EQ(window().screenPixel(10, 10), kTealPixel);
    EXPECT_EQ(window().screenPixel(59, 21), kTealPixel);
    auto [first, last] = inkColumns(r, kTealPixel);
    ASSERT_GE(first, 0);
    int leftGap = first - r.left;
    int rightGap = r.right - 1 - last;
    EXPECT_NEAR(leftGap, rightGap, 2);
    auto [top, bottom] = inkRows(r, kTealPixel);
    EXPECT_NEAR(top - r.top, r.bottom - 1 - bottom, 3); // vertically centred
    EXPECT_FALSE(d->isDirty());
}

TEST_F(DisplayFixture, LeftAndRightAlignment) {
    CRect left(0, 0, 60, 12);
    CRect right(0, 20, 60, 32);
    CParamDisplay* a = addDisplay(left);
    CParamDisplay* b = addDisplay(right);
    a->setHoriAlign(kLeftText);
    b->setHoriAlign(kRightText);
    a->setValue(1.f);
    b->setValue(1.f);
    editor.idle();
    auto [aFirst, aLast] = inkColumns(left, kTealPixel);
    auto [bFirst, bLast] = inkColumns(right, kTealPixel);
    EXPECT_LE(aFirst - left.left, 3); // one pixel of margin, plus the glyph's side bearing
    EXPECT_GE(aFirst - left.left, 1);
    EXPECT_LE(right.right - 1 - bLast, 3);
    EXPECT_EQ(aLast - aFirst, bLast - bFirst); // the same text
}

TEST_F(DisplayFixture, FrameColourOutlinesUnlessAStyleBitSaysNo) {
    CRect framed(0, 0, 40, 12);
    CRect plain(50, 0, 90, 12);
    CParamDisplay* a = addDisplay(framed);
    CParamDisplay* b = addDisplay(plain, kNoFrame);
    a->setFrameColor(CColor{255, 0, 0, 0});
    b->setFrameColor(CColor{255, 0, 0, 0});
    a->setStyle(kNoTextStyle);
    b->setStyle(kNoTextStyle | kNoFrame);
    editor.idle();
    EXPECT_EQ(window().screenPixel(0, 0), argb(255, 255, 0, 0));
    EXPECT_EQ(window().screenPixel(39, 11), argb(255, 255, 0, 0));
    EXPECT_EQ(window().screenPixel(20, 6), kTealPixel); // no text either
    EXPECT_EQ(window().screenPixel(50, 0), kTealPixel);
}

TEST_F(DisplayFixture, NoDrawStyleLeavesWhatIsUnder) {
    editor.getFrame()->setBackgroundColor(CColor{1, 2, 3, 255});
    CParamDisplay* d = addDisplay(CRect(0, 0, 40, 12), kNoDrawStyle);
    d->setValue(3.f);
    editor.getFrame()->setDirty();
    editor.idle();
    for (int x = 0; x < 40; ++x) {
        ASSERT_EQ(window().screenPixel(x, 6), argb(255, 1, 2, 3));
    }
    EXPECT_FALSE(d->isDirty());
}

TEST_F(DisplayFixture, ShadowTextAddsTheShadowColour) {
    CRect r(0, 0, 60, 16);
    CParamDisplay* d = addDisplay(r, kShadowText);
    d->setShadowColor(CColor{255, 0, 0, 0});
    d->setValue(8.f);
    editor.idle();
    bool sawRed = false;
    for (int y = 0; y < 16 && !sawRed; ++y) {
        for (int x = 0; x < 60; ++x) {
            std::uint32_t p = window().screenPixel(x, y);
            if (((p >> 16) & 0xff) > 200 && ((p >> 8) & 0xff) < 60) {
                sawRed = true;
                break;
            }
        }
    }
    EXPECT_TRUE(sawRed);
}

TEST_F(DisplayFixture, ABackgroundBitmapReplacesTheFill) {
    auto* bitmap = new GuiBitmap(40, 12);
    for (int i = 0; i < 40 * 12; ++i) {
        bitmap->mutablePixels()[i] = argb(255, 0, 80, 0);
    }
    auto* d = new CParamDisplay(CRect(0, 0, 40, 12), bitmap, kNoTextStyle);
    bitmap->release();
    editor.getFrame()->addView(d);
    editor.idle();
    EXPECT_EQ(window().screenPixel(0, 0), argb(255, 0, 80, 0));
    EXPECT_EQ(window().screenPixel(39, 11), argb(255, 0, 80, 0));
}

TEST_F(DisplayFixture, ALabelDrawsItsOwnTextWhateverItsValue) {
    CRect labelRect(0, 0, 50, 12);
    CRect displayRect(0, 20, 50, 32);
    auto* label = new CTextLabel(labelRect, "2.00");
    label->setFont(kNormalFontSmall);
    label->setFontColor(kGold);
    label->setBackColor(kTeal);
    label->setFrameColor(kTeal);
    label->setValue(0.1f);
    editor.getFrame()->addView(label);
    CParamDisplay* d = addDisplay(displayRect);
    d->setValue(2.f);
    editor.idle();
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 50; ++x) {
            ASSERT_EQ(window().screenPixel(x, y), window().screenPixel(x, 20 + y)) << x << "," << y;
        }
    }
    label->setText("other");
    EXPECT_STREQ(label->getText(), "other");
    EXPECT_TRUE(label->isDirty());
}

TEST(Fonts, TheTableGivesFacesHeightsAndWeights) {
    GuiFont system = makeGuiFont(kSystemFont, 0, 0);
    EXPECT_STREQ(system.family, "Arial");
    EXPECT_EQ(system.pixelHeight, 12);
    EXPECT_TRUE(system.bold);
    GuiFont small = makeGuiFont(kNormalFontSmall, 0, 0);
    EXPECT_EQ(small.pixelHeight, 11);
    EXPECT_FALSE(small.bold);
    GuiFont styled = makeGuiFont(kNormalFontSmall, 20, kBoldFace | kItalicFace | kUnderlineFace);
    EXPECT_EQ(styled.pixelHeight, 20);
    EXPECT_TRUE(styled.bold && styled.italic && styled.underline);
    EXPECT_EQ(makeGuiFont(99, 0, 0), system);
    EXPECT_EQ(makeGuiFont(-1, 0, 0), system);
    GuiFont symbol = makeGuiFont(kSymbolFont, 0, 0);
    EXPECT_STREQ(symbol.family, "Symbol");
    EXPECT_EQ(symbol.pixelHeight, 13);
    EXPECT_TRUE(symbol.symbol);
    const int heights[] = {12, 18, 14, 12, 11, 10, 9, 13};
    for (int id = 0; id < kNumFonts; ++id) {
        EXPECT_EQ(fontTableEntry(id).height, heights[id]);
    }
}

#if defined(_WIN32)
// Windows has Arial itself; Wine stands Liberation Sans in for it. The symbol
// face is GDI's choice there (Wine gives Liberation Sans, whose Greek serves):
// the editor draws no symbol text.
TEST(Fonts, ArialResolvesToArialOrAMetricCompatibleFace) {
    for (std::int32_t id : {kNormalFont, kSystemFont}) {
        const std::string family = resolvedFontFamily(makeGuiFont(id, 0, 0));
        EXPECT_TRUE(family == "Arial" || family == "Liberation Sans") << family;
    }
}
#else
TEST(Fonts, ArialResolvesToAMetricCompatibleFace) {
    EXPECT_EQ(resolvedFontFamily(makeGuiFont(kNormalFont, 0, 0)), "Liberation Sans");
    EXPECT_EQ(resolvedFontFamily(makeGuiFont(kSystemFont, 0, 0)), "Liberation Sans");
    std::string symbol = resolvedFontFamily(makeGuiFont(kSymbolFont, 0, 0));
    EXPECT_NE(symbol, "Liberation Sans");
    EXPECT_NE(symbol.find("Symbol"), std::string::npos) << symbol;
}
#endif

TEST(Fonts, HeightIsTheCharacterHeightInPixels) {
    // A capital H is about 0.72 of the character height in Arial-like faces.
    CairoSurface surface(80, 40);
    auto* context = new CDrawContext(nullptr, &surface);
    context->setFillColor(kBlackCColor);
    context->fillRect(CRect(0, 0, 80, 40));
    context->setFont(kNormalFontVeryBig); // 18
    context->setFontColor(kWhiteCColor);
    context->drawString("H", CRect(0, 0, 80, 40));
    GuiPixels p = surface.pixels();
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 80; ++x) {
            if (((p.data[y * p.width + x] >> 8) & 0xff) > 128) {
                if (top < 0) {
                    top = y;
                }
                bottom = y;
                break;
            }
        }
    }
    EXPECT_NEAR(bottom - top + 1, 13, 1);
    // Widths follow the face's metrics: "Hello" at 11 pixels is about 25 wide.
    context->setFont(kNormalFontSmall);
    EXPECT_NEAR(context->getStringWidth("Hello"), 25, 2);
    context->release();
}

TEST(Fonts, TextIsTakenAsUtf8OrLatin1AndSymbolLettersAreGreek) {
    EXPECT_EQ(toDisplayUtf8("abc", false), "abc");
    EXPECT_EQ(toDisplayUtf8("\xC2\xB5s", false), "\xC2\xB5s"); // valid UTF-8 stays
    EXPECT_EQ(toDisplayUtf8("\xB5s", false), "\xC2\xB5s");     // Latin-1 micro sign
    EXPECT_EQ(toDisplayUtf8("ap", true), "\xCE\xB1\xCF\x80");  // alpha pi
}
