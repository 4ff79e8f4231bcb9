#include "playback/range_slider.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <cmath>
#include <initializer_list>

using namespace range_slider_geometry;

int RangeSlider::dragMode_ = DragNone;
int RangeSlider::grabOffset_ = 0;

RangeSlider::RangeSlider(int x, int y, int w, int h, const char* label)
    : Fl_Widget(x, y, w, h, label) {
    box(FL_DOWN_BOX);
    // A dark trough under a light blue knob, so the selection reads as one at a glance.
    color(FL_DARK3);
    selection_color(fl_rgb_color(120, 165, 225));
}

void RangeSlider::setBounds(double a, double b) {
    minimum_ = a;
    maximum_ = b < a ? a : b;
    if (a > lowValue_) {
        lowValue_ = a;
    }
    if (highValue_ > maximum_) {
        highValue_ = maximum_;
    }
}

void RangeSlider::setValues(double lo, double hi) {
    clampValues(lo, hi);
    redraw();
}

void RangeSlider::clampValues(double lo, double hi) {
    if (lo < minimum_) {
        lo = minimum_;
    }
    if (hi > maximum_) {
        hi = maximum_;
    }
    if (hi < lo) {
        hi = lo + minimumSpan_;
    }
    lowValue_ = lo;
    highValue_ = hi;
}

void RangeSlider::setLowValue(double v) {
    if (v >= highValue_) {
        v = highValue_ - minimumSpan_;
    }
    clampValues(v, highValue_);
}

void RangeSlider::setHighValue(double v) {
    if (v <= lowValue_) {
        v = lowValue_ + minimumSpan_;
    }
    clampValues(lowValue_, v);
}

int RangeSlider::innerLength() const {
    return isHorizontal() ? w() - Fl::box_dw(box()) : h() - Fl::box_dh(box());
}

int RangeSlider::innerBreadth() const {
    return isHorizontal() ? h() - Fl::box_dh(box()) : w() - Fl::box_dw(box());
}

KnobSpan RangeSlider::drawnKnob() const {
    KnobSpan knob =
        knobSpan(lowValue_, highValue_, minimum_, maximum_, innerLength(), innerBreadth());
    knob.start += isHorizontal() ? Fl::box_dx(box()) : Fl::box_dy(box());
    return knob;
}

EndZones RangeSlider::grabZones() const {
    return endZones(drawnKnob(), gripInset());
}

int RangeSlider::gripInset() const {
    // The grips sit just inside the knob box's bevel.
    return (isHorizontal() ? Fl::box_dx(knobBox_) : Fl::box_dy(knobBox_)) + 2;
}

void RangeSlider::draw() {
    draw_box(box(), x(), y(), w(), h(), color());
    const KnobSpan knob = drawnKnob();
    int kx = x() + Fl::box_dx(box());
    int ky = y() + Fl::box_dy(box());
    int kw = w() - Fl::box_dw(box());
    int kh = h() - Fl::box_dh(box());
    if (isHorizontal()) {
        kx = x() + knob.start;
        kw = knob.length;
    } else {
        ky = y() + knob.start;
        kh = knob.length;
    }
    if (kw > 0 && kh > 0) {
        draw_box(knobBox_, kx, ky, kw, kh, selection_color());
        drawEndMarks(kx, ky, kw, kh);
    }
    draw_label(kx, ky, kw, kh);
}

void RangeSlider::drawEndMarks(int kx, int ky, int kw, int kh) const {
    // Two grooves just inside each end, across the middle half of the knob: where to grab.
    const int inset = gripInset();
    const int length = isHorizontal() ? kw : kh;
    const int grip = kGripLength;
    if (!showsGrips(length, inset)) {
        return;
    }
    const Fl_Color dark = fl_darker(fl_darker(selection_color()));
    const Fl_Color light = fl_lighter(fl_lighter(selection_color()));
    for (int along : {inset, inset + 3, length - inset - grip, length - inset - grip + 3}) {
        for (int side = 0; side < 2; ++side) {
            fl_color(side == 0 ? dark : light);
            if (isHorizontal()) {
                fl_yxline(kx + along + side, ky + kh / 4, ky + kh - 1 - kh / 4);
            } else {
                fl_xyline(kx + kw / 4, ky + along + side, kx + kw - 1 - kw / 4);
            }
        }
    }
}

int RangeSlider::handle(int event) {
    int e = isHorizontal() ? Fl::event_x() - x() : Fl::event_y() - y();
    int q = isHorizontal() ? Fl::event_y() - y() : Fl::event_x() - x();
    switch (event) {
        case FL_PUSH:
            press(e);
            return 1;
        case FL_DRAG:
            dragTo(e);
            return 1;
        case FL_RELEASE:
            release();
            return 1;
        case FL_ENTER:
        case FL_MOVE:
            pointAt(e, q);
            return 1;
        case FL_LEAVE:
            requestCursor(FL_CURSOR_DEFAULT);
            return 1;
        default:
            return Fl_Widget::handle(event);
    }
}

void RangeSlider::press(int e) {
    int A = innerLength();
    int lowPx = valueToPixel(lowValue_, minimum_, maximum_, A);
    int highPx = valueToPixel(highValue_, minimum_, maximum_, A);
    grabOffset_ = e - lowPx;
    if (!Fl::event_inside(x(), y(), w(), h())) {
        dragMode_ = DragNone;
    } else if (Fl::event_clicks() != 0) {
        setLowValue(minimum_);
        setHighValue(maximum_);
        notifyChanged();
        dragMode_ = DragNone;
    } else {
        dragMode_ = dragModeAt(e, grabZones());
        // An end grabbed beside its edge keeps that distance to the pointer instead of jumping.
        if (dragMode_ == DragHigh) {
            grabOffset_ = e - highPx;
        }
    }
}

void RangeSlider::dragTo(int e) {
    int L = axisLength();
    double end = positionToValue(e - grabOffset_, minimum_, maximum_, L);
    switch (dragMode_) {
        case DragLow:
            setLowValue(end);
            notifyChanged();
            break;
        case DragHigh:
            setHighValue(end);
            notifyChanged();
            break;
        case DragBody: {
            double span = highValue_ - lowValue_;
            double f = knobFraction(lowValue_, highValue_, minimum_, maximum_);
            int knob = pixelSpan(f, L);
            int p = e - grabOffset_;
            if (p < 0) {
                p = 0;
            }
            if (p > L - knob) {
                p = L - knob;
            }
            double n = positionToValue(p, minimum_, maximum_, L);
            clampValues(n, n + span);
            notifyChanged();
            break;
        }
        default:
            break;
    }
}

void RangeSlider::release() {
    double page = knobFraction(lowValue_, highValue_, minimum_, maximum_) * (maximum_ - minimum_);
    double lo = lowValue_;
    double hi = highValue_;
    if (dragMode_ == DragTroughBefore) {
        lo -= page;
        hi -= page;
        if (lo < minimum_) {
            hi += minimum_ - lo;
            lo = minimum_;
        }
    } else if (dragMode_ == DragTroughAfter) {
        lo += page;
        hi += page;
        if (hi > maximum_) {
            lo -= hi - maximum_;
            hi = maximum_;
        }
    } else {
        return;
    }
    clampValues(lo, hi);
    notifyChanged();
}

void RangeSlider::pointAt(int e, int q) {
    int breadth = isHorizontal() ? h() : w();
    if (overEdge(e, q, grabZones(), breadth)) {
        requestCursor(isHorizontal() ? FL_CURSOR_WE : FL_CURSOR_NS);
    } else {
        requestCursor(FL_CURSOR_DEFAULT);
    }
}

void RangeSlider::requestCursor(Fl_Cursor c) {
    requestedCursor_ = c;
    // Sets the cursor of the first shown window; without one (no display) it does nothing.
    fl_cursor(c, FL_BLACK, FL_WHITE);
}

void RangeSlider::notifyChanged() {
    if (when() & FL_WHEN_CHANGED) {
        do_callback();
    } else {
        set_changed();
    }
    redraw();
}
