#include "playback/frame_field.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <cctype>
#include <climits>
#include <cstdlib>

FrameField::FrameField(int x, int y, int w, int h) : Fl_Input(x, y, w, h) {
    when(FL_WHEN_ENTER_KEY_ALWAYS);
}

int FrameField::handle(int event) {
    // Taken by a click only: given by navigation when its window gains the focus, the field
    // would swallow the playback keys meant for the window.
    if (event == FL_FOCUS && Fl::event() != FL_PUSH) {
        return 0;
    }
    if (event == FL_KEYBOARD && Fl::event_key() == FL_Escape && beingEdited()) {
        clear_changed();
        if (restore) {
            restore();
        }
        leave();
        return 1;
    }
    const bool startsEdit = event == FL_PUSH && Fl::focus() != this;
    int used = Fl_Input::handle(event);
    if (startsEdit && beingEdited()) {
        // The click that starts an edit selects the number shown, so what is typed replaces it
        // rather than joining it.
        position(size(), 0);
    }
    if (event == FL_UNFOCUS) {
        clear_changed();
        if (restore) {
            restore();
        }
    }
    return used;
}

void FrameField::display(const char* text) {
    if (!beingEdited()) {
        value(text);
    }
}

void FrameField::acceptTyping(bool on) {
    readonly(on ? 0 : 1);
    if (on) {
        set_visible_focus();
    } else {
        leave();
        clear_visible_focus();
    }
}

bool FrameField::beingEdited() const {
    return Fl::focus() == this && !readonly();
}

void FrameField::leave() {
    if (Fl::focus() == this) {
        Fl::focus(window());
    }
}

std::optional<int> parseFrameNumber(const char* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    char* end = nullptr;
    long long n = std::strtoll(text, &end, 10);
    if (end == text) {
        return std::nullopt;
    }
    while (std::isspace(static_cast<unsigned char>(*end))) {
        ++end;
    }
    if (*end != '\0') {
        return std::nullopt;
    }
    // An out-of-range number is still a number: strtoll has held it at its limits already.
    if (n > INT_MAX) {
        return INT_MAX;
    }
    if (n < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(n);
}
