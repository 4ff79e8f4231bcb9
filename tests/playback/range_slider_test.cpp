#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <FL/Fl.H>

#include "playback/range_slider.h"

using namespace range_slider_geometry;

namespace {

TEST(RangeSliderGeometry, MappingsBetweenValuesAndPixels) {
    EXPECT_EQ(valueToPixel(1.0, 1.0, 100.0, 196), 0);
    EXPECT_EQ(valueToPixel(100.0, 1.0, 100.0, 196), 196);
    EXPECT_EQ(valueToPixel(40.0, 1.0, 100.0, 196), 77);  // 77.2 rounds down
    EXPECT_EQ(valueToPixel(50.5, 0.0, 100.0, 3), 2);     // 1.515 + 0.5 truncates to 2
    EXPECT_DOUBLE_EQ(positionToValue(50, 1.0, 101.0, 200), 26.0);
    EXPECT_DOUBLE_EQ(positionToValue(0, 1.0, 101.0, 200), 1.0);
    EXPECT_DOUBLE_EQ(knobFraction(60.0, 40.0, 0.0, 100.0), 0.2);
    EXPECT_EQ(knobLength(0.2, 100, 20), 20);
    EXPECT_EQ(knobLength(0.01, 100, 20), 11);  // never shorter than half the breadth plus one
    EXPECT_EQ(dragModeAt(10, {18, 22, 38, 42}), DragTroughBefore);
    EXPECT_EQ(dragModeAt(18, {18, 22, 38, 42}), DragLow);
    EXPECT_EQ(dragModeAt(21, {18, 22, 38, 42}), DragLow);
    EXPECT_EQ(dragModeAt(22, {18, 22, 38, 42}), DragBody);
    EXPECT_EQ(dragModeAt(38, {18, 22, 38, 42}), DragHigh);
    EXPECT_EQ(dragModeAt(42, {18, 22, 38, 42}), DragTroughAfter);
}

TEST(RangeSliderGeometry, AnEmptyValueRangeIsAFullKnobAndNeverDividesByZero) {
    EXPECT_EQ(knobFraction(1.0, 1.0, 1.0, 1.0), 1.0);
    EXPECT_EQ(knobLength(knobFraction(1.0, 1.0, 1.0, 1.0), 196, 16), 196);
    EXPECT_EQ(valueToPixel(1.0, 1.0, 1.0, 196), 0);
    EXPECT_EQ(valueToPixel(5.0, 1.0, 1.0, 196), 0);
    EXPECT_EQ(positionToValue(120, 1.0, 1.0, 200), 1.0);
    EXPECT_EQ(positionToValue(120, 1.0, 9.0, 0), 1.0);  // a zero-length widget
    // Values far outside the range give pixels that still fit an int.
    EXPECT_GT(valueToPixel(1.0e300, 0.0, 1.0, 100), 0);
    EXPECT_LT(valueToPixel(-1.0e300, 0.0, 1.0, 100), 0);
    EXPECT_EQ(valueToPixel(NAN, 0.0, 1.0, 100), 0);
}

// A horizontal slider 200 x 20 at (10, 30), frames 1..100 selected 40..60, as the panel sets it.
class RangeSliderEvents : public ::testing::Test {
  protected:
    RangeSliderEvents() : slider(10, 30, 200, 20) {
        slider.setOrientation(1);
        slider.setMinimumSpan(1.0);
        slider.setBounds(1.0, 100.0);
        slider.setValues(40.0, 60.0);
        slider.when(FL_WHEN_CHANGED);
        slider.callback(count, &callbacks);
    }
    static void count(Fl_Widget*, void* n) { ++*static_cast<int*>(n); }
    int innerLength() { return slider.w() - Fl::box_dw(slider.box()); }
    int pixelOf(double v) { return valueToPixel(v, 1.0, 100.0, innerLength()); }
    void send(int event, int e, int q = 10, int clicks = 0) {
        Fl::e_x = slider.x() + e;
        Fl::e_y = slider.y() + q;
        Fl::e_clicks = clicks;
        EXPECT_EQ(slider.handle(event), 1);
    }
    void press(int e, int clicks = 0) { send(FL_PUSH, e, 10, clicks); }
    void drag(int e) { send(FL_DRAG, e); }
    void release(int e) { send(FL_RELEASE, e); }
    double width() { return slider.highValue() - slider.lowValue(); }

    RangeSlider slider;
    int callbacks = 0;
};

TEST_F(RangeSliderEvents, EndDragsStopAtTheMinimumSpan) {
    press(pixelOf(40.0));
    EXPECT_EQ(RangeSlider::dragMode(), DragLow);
    drag(100);  // values are read against the outer length: 1 + 100 / 200 * 99
    EXPECT_DOUBLE_EQ(slider.lowValue(), 50.5);
    drag(190);
    EXPECT_DOUBLE_EQ(slider.lowValue(), 59.0);
    EXPECT_DOUBLE_EQ(slider.highValue(), 60.0);
    release(190);
    EXPECT_DOUBLE_EQ(slider.lowValue(), 59.0);

    slider.setValues(40.0, 60.0);
    press(pixelOf(60.0));
    EXPECT_EQ(RangeSlider::dragMode(), DragHigh);
    drag(-50);
    EXPECT_DOUBLE_EQ(slider.lowValue(), 40.0);
    EXPECT_DOUBLE_EQ(slider.highValue(), 41.0);
    EXPECT_EQ(callbacks, 3);  // once per drag step; never for a press or this release
}

TEST_F(RangeSliderEvents, BodyDragKeepsTheWidthInsideTheTrough) {
    int grab = pixelOf(50.0);
    press(grab);
    EXPECT_EQ(RangeSlider::dragMode(), DragBody);
    drag(grab + 20);
    EXPECT_NEAR(width(), 20.0, 1e-9);
    EXPECT_GT(slider.lowValue(), 40.0);
    drag(-500);
    EXPECT_DOUBLE_EQ(slider.lowValue(), 1.0);
    EXPECT_NEAR(width(), 20.0, 1e-9);
    drag(500);
    // The knob's start stops where a knob of its length ends at the widget's end.
    int knob = pixelSpan(20.0 / 99.0, slider.w());
    EXPECT_DOUBLE_EQ(slider.lowValue(), positionToValue(slider.w() - knob, 1.0, 100.0, slider.w()));
    EXPECT_LE(slider.highValue(), 100.0);
    EXPECT_GT(slider.highValue(), 99.0);
}

TEST_F(RangeSliderEvents, ClicksBesideTheKnobPageByItsWidth) {
    press(5);
    EXPECT_EQ(RangeSlider::dragMode(), DragTroughBefore);
    drag(150);  // nothing until the release
    EXPECT_DOUBLE_EQ(slider.lowValue(), 40.0);
    EXPECT_EQ(callbacks, 0);
    release(150);
    EXPECT_DOUBLE_EQ(slider.lowValue(), 20.0);
    EXPECT_DOUBLE_EQ(slider.highValue(), 40.0);
    press(2);
    release(2);
    EXPECT_DOUBLE_EQ(slider.lowValue(), 1.0);
    EXPECT_DOUBLE_EQ(slider.highValue(), 21.0);
    EXPECT_EQ(callbacks, 2);

    slider.setValues(40.0, 60.0);
    press(195);
    EXPECT_EQ(RangeSlider::dragMode(), DragTroughAfter);
    release(195);
    EXPECT_DOUBLE_EQ(slider.lowValue(), 60.0);
    EXPECT_DOUBLE_EQ(slider.highValue(), 80.0);
    press(198);
    release(198);
    press(198);
    release(198);
    EXPECT_DOUBLE_EQ(slider.lowValue(), 80.0);
    EXPECT_DOUBLE_EQ(slider.highValue(), 100.0);
}

TEST_F(RangeSliderEvents, DoubleClickSelectsEverythingWithOneCallback) {
    press(pixelOf(50.0), 1);
    EXPECT_DOUBLE_EQ(slider.lowValue(), 1.0);
    EXPECT_DOUBLE_EQ(slider.highValue(), 100.0);
    EXPECT_EQ(callbacks, 1);
    drag(20);
    release(20);
    EXPECT_EQ(callbacks, 1);

    // A press outside the widget grabs nothing.
    slider.setValues(40.0, 60.0);
    Fl::e_x = slider.x() + pixelOf(40.0);
    Fl::e_y = slider.y() - 5;
    Fl::e_clicks = 1;
    slider.handle(FL_PUSH);
    EXPECT_EQ(RangeSlider::dragMode(), DragNone);
    EXPECT_DOUBLE_EQ(slider.lowValue(), 40.0);
}

TEST_F(RangeSliderEvents, WithoutWhenChangedTheSliderIsOnlyMarkedChanged) {
    slider.when(FL_WHEN_RELEASE);
    slider.clear_changed();
    press(5);
    release(5);
    EXPECT_EQ(callbacks, 0);
    EXPECT_TRUE(slider.changed());
    EXPECT_DOUBLE_EQ(slider.lowValue(), 20.0);
}

TEST_F(RangeSliderEvents, ResizeCursorOverTheKnobEnds) {
    int low = pixelOf(40.0);
    int high = pixelOf(60.0);
    send(FL_MOVE, low, 10);
    EXPECT_EQ(slider.requestedCursor(), FL_CURSOR_WE);
    send(FL_MOVE, low - 2, 2);
    EXPECT_EQ(slider.requestedCursor(), FL_CURSOR_WE);
    send(FL_MOVE, low + 12, 10);
    EXPECT_EQ(slider.requestedCursor(), FL_CURSOR_DEFAULT);
    send(FL_ENTER, high + 1, 17);
    EXPECT_EQ(slider.requestedCursor(), FL_CURSOR_WE);
    send(FL_MOVE, high, 18);  // within 2 pixels of the far side
    EXPECT_EQ(slider.requestedCursor(), FL_CURSOR_DEFAULT);
    send(FL_MOVE, high, 1);
    EXPECT_EQ(slider.requestedCursor(), FL_CURSOR_DEFAULT);
    send(FL_MOVE, high, 10);
    send(FL_LEAVE, high, 10);
    EXPECT_EQ(slider.requestedCursor(), FL_CURSOR_DEFAULT);

    slider.setOrientation(2);  // vertical: the axis runs down the widget
    slider.resize(10, 30, 20, 200);
    Fl::e_x = slider.x() + 10;
    Fl::e_y = slider.y() + valueToPixel(60.0, 1.0, 100.0, 200 - Fl::box_dh(slider.box()));
    slider.handle(FL_MOVE);
    EXPECT_EQ(slider.requestedCursor(), FL_CURSOR_NS);
}

TEST_F(RangeSliderEvents, EachEndIsGrabbedOverItsGripAndAroundItsEdgeAtAnyRange) {
    for (int length = 1; length < 60; ++length) {
        EndZones z = endZones(KnobSpan{100, length}, 4);  // grips 4 pixels inside each end
        EXPECT_TRUE(z.lowFrom == 94 && z.highTo == 106 + length && z.lowTo <= z.highFrom);
        EXPECT_TRUE(!showsGrips(length, 4) || (z.lowTo >= 109 && z.highFrom <= 91 + length));
    }
    // With everything selected, the low end's grip pulls the low end without a jump.
    slider.setValues(1.0, 100.0);
    press(8);
    drag(28);
    EXPECT_DOUBLE_EQ(slider.lowValue(), positionToValue(20, 1.0, 100.0, slider.w()));
    EXPECT_DOUBLE_EQ(slider.highValue(), 100.0);
}

TEST_F(RangeSliderEvents, KeysAndFocusAreLeftToOthers) {
    EXPECT_EQ(slider.handle(FL_FOCUS), 0);
    EXPECT_EQ(slider.handle(FL_KEYBOARD), 0);
}

TEST_F(RangeSliderEvents, ASingleValueRangeStaysFinite) {
    slider.setBounds(1.0, 1.0);
    slider.setValues(1.0, 1.0);
    for (int e : {-10, 0, 1, 2, 50, 100, 199, 250}) {
        press(e);
        drag(e + 30);
        release(e + 30);
        press(e, 1);
        send(FL_MOVE, e);
        EXPECT_TRUE(std::isfinite(slider.lowValue()));
        EXPECT_TRUE(std::isfinite(slider.highValue()));
        EXPECT_DOUBLE_EQ(slider.lowValue(), 1.0);
        EXPECT_DOUBLE_EQ(slider.highValue(), 1.0);
    }
}

TEST(RangeSliderValues, BoundsAndClamping) {
    RangeSlider slider(0, 0, 100, 20);
    EXPECT_EQ(slider.box(), FL_DOWN_BOX);
    EXPECT_FALSE(slider.isHorizontal());
    slider.setOrientation(-3);
    EXPECT_TRUE(slider.isHorizontal());
    slider.setMinimumSpan(1.0);
    slider.setBounds(10.0, 5.0);  // an inverted pair collapses onto its first value
    EXPECT_EQ(slider.minimum(), 10.0);
    EXPECT_EQ(slider.maximum(), 10.0);
    EXPECT_EQ(slider.lowValue(), 10.0);
    slider.setBounds(0.0, 50.0);
    slider.setValues(-5.0, 80.0);
    EXPECT_EQ(slider.lowValue(), 0.0);
    EXPECT_EQ(slider.highValue(), 50.0);
    slider.setValues(30.0, 20.0);  // inverted: widened by the minimum span
    EXPECT_EQ(slider.lowValue(), 30.0);
    EXPECT_EQ(slider.highValue(), 31.0);
    slider.setValues(10.0, 20.0);
    slider.setLowValue(25.0);
    EXPECT_EQ(slider.lowValue(), 19.0);
    slider.setHighValue(3.0);
    EXPECT_EQ(slider.highValue(), 20.0);
}

}  // namespace
