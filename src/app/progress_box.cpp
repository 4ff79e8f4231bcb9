#include "app/progress_box.h"

#include "motion/progress.h"

ProgressBox::ProgressBox(const std::string& text, Progress& progress, bool cancellable)
    : Fl_Window(420, 90, "bvhpath - working"),
      progress_(progress),
      text_(text),
      bar_(10, 25, 400, 22, nullptr),
      cancel_(310, 55, 100, 26, "Cancel") {
    bar_.minimum(0.0f);
    bar_.maximum(1.0f);
    bar_.selection_color(FL_BLUE);
    bar_.copy_label(text_.c_str());
    bar_.align(FL_ALIGN_TOP_LEFT);
    cancel_.callback(cancelPressed, this);
    end();
    set_non_modal();
    if (!cancellable) {
        cancel_.hide();
        callback([](Fl_Widget*, void*) {});  // closing it would promise what cannot be done
        return;
    }
    // Closing the box asks for the same as its button.
    callback(cancelPressed, this);
}

void ProgressBox::update() {
    bar_.value(static_cast<float>(progress_.fraction()));
}

void ProgressBox::cancelPressed(Fl_Widget*, void* box) {
    auto* self = static_cast<ProgressBox*>(box);
    self->progress_.cancel();
    self->cancel_.deactivate();
    self->cancel_.label("Cancelling");
}
