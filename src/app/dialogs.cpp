#include "app/dialogs.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>

#include <algorithm>
#include <memory>

namespace {

struct Answer {
    int button = -1;
};

// What a button's callback needs: where the answer goes and which button it is.
struct Slot {
    Answer* answer;
    int index;
};

void pressed(Fl_Widget*, void* slot) {
    const Slot* s = static_cast<const Slot*>(slot);
    s->answer->button = s->index;
}

}  // namespace

int askChoice(const std::string& title, const std::string& message,
              const std::vector<std::string>& buttons, int defaultButton, int cancelButton) {
    const int buttonW = 100;
    const int gap = 10;
    const int count = static_cast<int>(buttons.size());
    const int width = std::max(420, count * (buttonW + gap) + gap);
    Fl_Window dialog(width, 130, title.c_str());
    Answer answer;
    Fl_Box text(gap, gap, width - 2 * gap, 70, message.c_str());
    text.align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_WRAP);
    std::vector<std::unique_ptr<Fl_Button>> row;
    std::vector<Slot> slots(static_cast<std::size_t>(count));
    int x = width - count * (buttonW + gap);
    for (int i = 0; i < count; ++i, x += buttonW + gap) {
        if (i == defaultButton)
            row.push_back(std::make_unique<Fl_Return_Button>(x, 90, buttonW, 28));
        else
            row.push_back(std::make_unique<Fl_Button>(x, 90, buttonW, 28));
        row.back()->copy_label(buttons[static_cast<std::size_t>(i)].c_str());
        slots[static_cast<std::size_t>(i)] = {&answer, i};
        row.back()->callback(pressed, &slots[static_cast<std::size_t>(i)]);
        if (i == cancelButton)
            row.back()->shortcut(FL_Escape);
    }
    dialog.end();
    // Escape on a window (and the close button) call its callback: that is the cancel answer.
    dialog.callback([](Fl_Widget*, void* a) { static_cast<Answer*>(a)->button = -2; }, &answer);
    dialog.set_modal();
    dialog.show();
    if (defaultButton >= 0 && defaultButton < count)
        row[static_cast<std::size_t>(defaultButton)]->take_focus();
    while (answer.button == -1 && dialog.shown())
        Fl::wait();
    dialog.hide();
    // The buttons leave the window before it is destroyed, as they are owned here.
    for (auto& button : row)
        dialog.remove(button.get());
    dialog.remove(&text);
    return answer.button >= 0 ? answer.button : cancelButton;
}
