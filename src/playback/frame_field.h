#pragma once

#include <FL/Fl_Input.H>

#include <functional>
#include <optional>

// The panel's time display, which also takes a typed frame number. The click into it selects
// the number shown; Enter runs the widget's callback; Escape and leaving the field run
// `restore`, so a half-typed number never stays.
class FrameField : public Fl_Input {
  public:
    FrameField(int x, int y, int w, int h);

    int handle(int event) override;

    // Shows `text` unless the field is being edited: from the click into it until Enter, Escape
    // or leaving it, the field keeps what it showed and what is typed.
    void display(const char* text);
    // Whether the field takes typed numbers; a field that does not is read-only and takes no
    // keyboard focus.
    void acceptTyping(bool on);
    // Whether the user is editing: the field has the keyboard focus and takes typing.
    bool beingEdited() const;
    // Hands the keyboard focus back to the field's window, if the field has it.
    void leave();

    // Runs after Escape or when the field loses the focus.
    std::function<void()> restore;
};

// A whole decimal frame number, with optional sign and surrounding blanks, held at the int
// limits; nothing for any other text.
std::optional<int> parseFrameNumber(const char* text);
