#pragma once

// The toolkit's plain values: colours, rectangles, points, mouse-button and
// modifier bits, key codes, and the reference-counted base of every view,
// bitmap, drawing context and menu scheme. Nothing here knows a platform.

#include <algorithm>
#include <cstdint>

// Four bytes red, green, blue, alpha. Lines, fills and text use red, green and
// blue only; the alpha byte is carried along and never blended with.
struct CColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 255;

    bool operator==(const CColor& other) const = default;
};

// Integer pixels; right and bottom are exclusive.
struct CPoint {
    std::int32_t h = 0;
    std::int32_t v = 0;

    CPoint() = default;
    CPoint(std::int32_t h_, std::int32_t v_) : h(h_), v(v_) {}
    bool operator==(const CPoint& other) const = default;
    CPoint& offset(std::int32_t dh, std::int32_t dv) {
        h += dh;
        v += dv;
        return *this;
    }
};

struct CRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    CRect() = default;
    CRect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b)
        : left(l), top(t), right(r), bottom(b) {}
    bool operator==(const CRect& other) const = default;

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool pointInside(const CPoint& p) const {
        return p.h >= left && p.h < right && p.v >= top && p.v < bottom;
    }
    bool rectOverlap(const CRect& other) const {
        return !isEmpty() && !other.isEmpty() && left < other.right && other.left < right &&
               top < other.bottom && other.top < bottom;
    }
    CRect& offset(std::int32_t dh, std::int32_t dv) {
        left += dh;
        right += dh;
        top += dv;
        bottom += dv;
        return *this;
    }
    CRect& moveTo(std::int32_t h, std::int32_t v) { return offset(h - left, v - top); }
    // Empty (all zero extent at the left/top) when the two do not meet.
    CRect& bound(const CRect& other) {
        left = std::max(left, other.left);
        top = std::max(top, other.top);
        right = std::max(left, std::min(right, other.right));
        bottom = std::max(top, std::min(bottom, other.bottom));
        return *this;
    }
    CRect& unite(const CRect& other) {
        if (other.isEmpty()) {
            return *this;
        }
        if (isEmpty()) {
            return *this = other;
        }
        left = std::min(left, other.left);
        top = std::min(top, other.top);
        right = std::max(right, other.right);
        bottom = std::max(bottom, other.bottom);
        return *this;
    }
};

// Mouse-button and modifier bits, one integer. Bit 64 is a fourth modifier
// that no key of this platform sets.
enum CButtonState : std::int32_t {
    kLButton = 1,
    kMButton = 2,
    kRButton = 4,
    kShift = 8,
    kControl = 16,
    kAlt = 32,
    kApple = 64,
};
inline constexpr std::int32_t kModifierMask = kShift | kControl | kAlt | kApple;

// A key as the host hands it over: the character, a virtual key and the
// host's modifier bits (same layout as the host interface's key record).
struct CKeyCode {
    std::int32_t character = 0;
    std::uint8_t virt = 0;
    std::uint8_t modifier = 0;
};

enum CVirtualKey : std::uint8_t {
    VKEY_BACK = 1,
    VKEY_TAB,
    VKEY_CLEAR,
    VKEY_RETURN,
    VKEY_PAUSE,
    VKEY_ESCAPE,
    VKEY_SPACE,
    VKEY_NEXT,
    VKEY_END,
    VKEY_HOME,
    VKEY_LEFT,
    VKEY_UP,
    VKEY_RIGHT,
    VKEY_DOWN,
    VKEY_PAGEUP,
    VKEY_PAGEDOWN,
};

enum CKeyModifier : std::uint8_t {
    MODIFIER_SHIFT = 1,
    MODIFIER_ALTERNATE = 2,
    MODIFIER_COMMAND = 4,
    MODIFIER_CONTROL = 8,
};

// Reference counting: the count starts at 1, `release` at zero destroys. The
// live count lets tests prove that closing a frame frees everything it held.
class CBaseObject {
public:
    // [ui thread; any state] The count is plain: an object and its references
    // stay on the UI thread that made it.
    CBaseObject();
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;

    // [ui thread; any state]
    virtual void release();
    virtual void retain() { ++referenceCount; }
    std::int32_t getReferenceCount() const { return referenceCount; }

    // [any thread] Toolkit objects currently alive in this module, counted
    // across every editor's UI thread.
    static std::int64_t liveObjects();

protected:
    virtual ~CBaseObject();

private:
    std::int32_t referenceCount = 1;
};
