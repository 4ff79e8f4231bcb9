#pragma once

#include <FL/Enumerations.H>
#include <FL/Fl_Widget.H>

// Geometry of a range slider along its axis. Drawing and event handling both call these, so
// the knob that is drawn and the knob that is hit never drift apart. A value range whose
// minimum equals its maximum (a one-frame motion) is treated as a knob covering the trough.
namespace range_slider_geometry {

// Share of the trough covered by the selection; 1 when maximum == minimum.
double knobFraction(double low, double high, double minimum, double maximum);
// Offset in pixels of value v from the origin of an axis `length` pixels long (rounded);
// 0 when maximum == minimum.
int valueToPixel(double v, double minimum, double maximum, int length);
// The value at pixel offset p on an axis `length` pixels long; minimum when the axis or the
// value range is empty.
double positionToValue(int p, double minimum, double maximum, int length);
// Rounded pixel length of `fraction` of an axis `length` pixels long.
int pixelSpan(double fraction, int length);
// Drawn knob length: the fraction of `length`, at least breadth / 2 + 1 so it stays grabbable.
int knobLength(double fraction, int length, int breadth);

// Pixels each end's grab zone reaches beyond the knob, and at least inside it where the knob
// is long enough.
constexpr int kEndReach = 6;
// Length along the axis of the grip drawn inside each end: two grooves of two pixels, one apart.
constexpr int kGripLength = 5;
// Pixels of body kept grabbable between the ends' zones when the knob has room for them.
constexpr int kBodyLeast = 4;

// The knob as drawn along the axis: its first pixel and its length.
struct KnobSpan {
    int start;
    int length;
};
// The knob of the selection [low, high] on an axis `length` pixels long and `breadth` across,
// from the axis' origin.
KnobSpan knobSpan(double low, double high, double minimum, double maximum, int length, int breadth);
// Whether a knob `knobLength` long shows the grips, each `gripInset` pixels inside its end: only
// where both fit inside the ends' grab zones with some body between them.
bool showsGrips(int knobLength, int gripInset);

// Where a press grabs each end: the half-open pixel intervals [lowFrom, lowTo) and
// [highFrom, highTo) along the axis, counted as the knob's pixels are.
struct EndZones {
    int lowFrom, lowTo, highFrom, highTo;
};
// Each end's zone reaches kEndReach beyond the knob and inside it over the grips (at least
// kEndReach), leaving kBodyLeast of body where the knob is long enough and sharing a short knob
// between the two ends.
EndZones endZones(KnobSpan knob, int gripInset);

enum DragMode {
    DragNone = 0,
    DragTroughBefore = 1,
    DragLow = 2,
    DragBody = 3,
    DragHigh = 4,
    DragTroughAfter = 5
};
// What a press at offset e along the axis grabs.
DragMode dragModeAt(int e, const EndZones& zones);
// Whether the pointer at (e along the axis, q across it) is over a knob end, where the resize
// cursor shows; `breadth` is the outer size across the axis.
bool overEdge(int e, int q, const EndZones& zones, int breadth);

}  // namespace range_slider_geometry

// Selects a sub-interval [lowValue, highValue] of [minimum, maximum] with one knob: drag its
// ends or its body, click beside it to page by its width, double click to select everything.
// The knob is drawn light on a dark trough, with a grip inside each end; each end is grabbed
// over its grip and a few pixels around its edge.
class RangeSlider : public Fl_Widget {
  public:
    RangeSlider(int x, int y, int w, int h, const char* label = nullptr);

    void draw() override;
    int handle(int event) override;

    // minimum = a, maximum = max(a, b); pulls lowValue up and highValue down into them.
    // No redraw, no callback.
    void setBounds(double a, double b);
    // Applies the clamping rule to (lo, hi) and redraws. No callback.
    void setValues(double lo, double hi);
    double lowValue() const { return lowValue_; }
    double highValue() const { return highValue_; }
    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    // Moves one end; an end pushed onto or past the other stops minimumSpan short of it.
    void setLowValue(double v);
    void setHighValue(double v);
    void setMinimumSpan(double s) { minimumSpan_ = s; }
    double minimumSpan() const { return minimumSpan_; }
    // Odd n is horizontal, even n vertical.
    void setOrientation(int n) { orientation_ = n % 2; }
    bool isHorizontal() const { return orientation_ != 0; }
    Fl_Boxtype knobBox() const { return knobBox_; }
    void setKnobBox(Fl_Boxtype b) { knobBox_ = b; }
    // The cursor the last pointer move asked for (the cursor itself is only set when a window
    // is shown).
    Fl_Cursor requestedCursor() const { return requestedCursor_; }
    // The press state, shared by every range slider since only one press happens at a time.
    static int dragMode() { return dragMode_; }

  private:
    // lo raised to minimum, hi lowered to maximum, then an inverted pair widened by minimumSpan.
    void clampValues(double lo, double hi);
    // Callback on FL_WHEN_CHANGED, otherwise marks the widget changed; redraws either way.
    void notifyChanged();
    void press(int e);
    void dragTo(int e);
    void release();
    void pointAt(int e, int q);
    void requestCursor(Fl_Cursor c);
    void drawEndMarks(int kx, int ky, int kw, int kh) const;
    // The knob as drawn, counted from the widget's outer edge along the axis, and its ends' grab
    // zones: drawing and the events share them.
    range_slider_geometry::KnobSpan drawnKnob() const;
    range_slider_geometry::EndZones grabZones() const;
    int gripInset() const;
    int axisLength() const { return isHorizontal() ? w() : h(); }
    int innerLength() const;
    int innerBreadth() const;

    double minimum_ = 0.0;
    double maximum_ = 1.0;
    double lowValue_ = 0.0;
    double highValue_ = 1.0;
    double minimumSpan_ = 0.0;  // gap kept between the ends when one is pushed onto the other
    int orientation_ = 0;       // horizontal when odd
    Fl_Boxtype knobBox_ = FL_UP_BOX;
    Fl_Cursor requestedCursor_ = FL_CURSOR_DEFAULT;

    static int dragMode_;    // a DragMode
    static int grabOffset_;  // pixels from the grabbed end (the low end for the body) to the press
};
